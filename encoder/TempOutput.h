// The file being written: a temporary name beside the output, renamed into place only when
// the output is complete, removed in every other case.
#pragma once

#include <chrono>
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

    // Flushes the finished file to disk and moves it to its final name. Without overwrite an
    // output that appeared meanwhile is kept and the call fails.
    void Commit(bool overwrite);

    // Removes the temporary file now (idempotent).
    void Discard() noexcept;

private:
    std::string finalPath_;
    std::string tempPath_;
    bool done_ = false;
};

// Name used for temporary files of an output, without the random part; lets tests find
// leftovers. The output's name is shortened when the whole temporary name would not fit.
std::string TempPrefixFor(const std::string& finalPath);

// True for a name TempOutput makes: "." NAME ".evc-" 12 hex digits ".part".
bool IsTempOutputName(const std::string& fileName);

// Removes temporary files of that pattern in the folder that were last written more than
// maxAge ago: what a killed evc left behind. Never fails.
void RemoveStaleTempOutputs(const std::string& folder, std::chrono::seconds maxAge) noexcept;

} // namespace evc
