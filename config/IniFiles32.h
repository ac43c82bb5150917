// The program's own INI store: the whole file as lines, every lookup a scan,
// every change a rewrite (atomic: temporary file in the same folder + rename).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// "Cannot open file "%s". %s" / "Cannot create file "%s". %s".
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TIniFile32 {
public:
    explicit TIniFile32(std::string fileName);
    virtual ~TIniFile32() = default;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    // Throws std::invalid_argument("Param Strings must be assigned") for nullptr.
    void ReadSections(std::vector<std::string>* strings) const;
    void EraseSection(const std::string& section);

    const std::string& FileName() const { return fileName_; }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    // Index of the first line equal to "[section]" (ASCII case folded), -1.
    int FindSection(const std::string& section) const;
    // Writes every line with CR LF, creating the parent folder when missing.
    void Save() const;

    std::string fileName_;
    std::vector<std::string> lines_;
};
