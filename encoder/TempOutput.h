// The file being written: a temporary name beside the output, renamed into place only when
// the output is complete, removed in every other case.
#pragma once

#include <string>

namespace evc {

class TempOutput {
public:
    // Reserves a new temporary file in the folder of finalPath; throws EncodeError when the
    // folder cannot be written.
    explicit TempOutput(std::string finalPath);
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;
    ~TempOutput();

    const std::string& path() const { return tempPath_; }
    const std::string& finalPath() const { return finalPath_; }

    // Moves the finished file to its final name. Without overwrite an output that appeared
    // meanwhile is kept and the call fails.
    void Commit(bool overwrite);

    // Removes the temporary file now (idempotent).
    void Discard() noexcept;

private:
    std::string finalPath_;
    std::string tempPath_;
    bool done_ = false;
};

// Name used for temporary files of an output, without the random part; lets tests find
// leftovers.
std::string TempPrefixFor(const std::string& finalPath);

} // namespace evc
