#include "config/IniFiles32.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/Text.h"
#include "support/platform/SystemIO.h"

namespace {

bool IsHeader(const std::string& line) {
    std::string t = TrimControls(line);
    return !t.empty() && t.front() == '[' && t.back() == ']';
}

std::string KeyOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : TrimControls(line.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : TrimControls(line.substr(eq + 1));
}

std::vector<std::string> SplitLines(const std::string& data) {
    std::vector<std::string> lines;
    // A NUL byte ends the text.
    const size_t end = data.find('\0') == std::string::npos ? data.size() : data.find('\0');
    size_t start = 0;
    size_t i = 0;
    while (i < end) {
        char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(data.substr(start, i - start));
            if (c == '\r' && i + 1 < end && data[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < end)
        lines.push_back(data.substr(start, end - start));
    return lines;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::string FolderOf(const std::string& path) {
    size_t pos = path.find_last_of(PathSeparators);
    return pos == std::string::npos || pos == 0 ? std::string() : path.substr(0, pos);
}

// Plain decimal with an optional sign, or "$" and hexadecimal digits giving
// the 32-bit pattern.
bool ParseInt32(const std::string& text, std::int32_t& out) {
    if (text.empty())
        return false;
    if (text[0] == '$') {
        if (text.size() < 2 || text.size() > 9)
            return false;
        std::uint32_t v = 0;
        auto r = std::from_chars(text.data() + 1, text.data() + text.size(), v, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size())
            return false;
        out = static_cast<std::int32_t>(v);
        return true;
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool plus = *first == '+';
    if (plus)
        ++first;
    if (first == last || (plus && *first == '-'))
        return false;
    std::int32_t v = 0;
    auto r = std::from_chars(first, last, v, 10);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    out = v;
    return true;
}

} // namespace

TIniFile32::TIniFile32(std::string fileName) : fileName_(std::move(fileName)) {
    std::string data;
    std::string error;
    switch (ReadWholeFile(fileName_, data, error)) {
    case ReadFileResult::Ok:
        lines_ = SplitLines(data);
        break;
    case ReadFileResult::Missing:
        break;
    case ReadFileResult::Failed:
        throw EIniFileError("Cannot open file \"" + fileName_ + "\". " + error);
    }
}

int TIniFile32::FindSection(const std::string& section) const {
    const std::string header = "[" + section + "]";
    for (size_t i = 0; i < lines_.size(); ++i)
        if (SameTextAscii(lines_[i], header))
            return static_cast<int>(i);
    return -1;
}

std::string TIniFile32::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
    int at = FindSection(section);
    if (at < 0)
        return defaultValue;
    for (size_t i = static_cast<size_t>(at) + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i) {
        if (KeyOf(lines_[i]) == key) {
            std::string value = ValueOf(lines_[i]);
            return value.empty() ? defaultValue : value;
        }
    }
    return defaultValue;
}

std::int32_t TIniFile32::ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue) const {
    std::string text = ReadString(section, key, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = "$" + text.substr(2);
    std::int32_t value = 0;
    return ParseInt32(text, value) ? value : defaultValue;
}

void TIniFile32::WriteString(const std::string& section, const std::string& key,
                             const std::string& value) {
    // A line break would split the entry and could forge other keys or
    // sections when the file is read back.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        throw EIniFileError("Cannot write a line break into \"" + fileName_ + "\".");
    int at = FindSection(section);
    if (at < 0) {
        lines_.emplace_back();
        lines_.push_back("[" + section + "]");
        if (!key.empty())
            lines_.push_back(key + "=" + value);
    } else if (!key.empty()) {
        size_t i = static_cast<size_t>(at) + 1;
        for (; i < lines_.size() && !IsHeader(lines_[i]); ++i)
            if (KeyOf(lines_[i]) == key)
                break;
        if (i < lines_.size() && !IsHeader(lines_[i]))
            lines_[i] = key + "=" + value;
        else
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(i), key + "=" + value);
    }
    Save();
}

void TIniFile32::WriteInteger(const std::string& section, const std::string& key,
                              std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile32::ReadSections(std::vector<std::string>* strings) const {
    if (strings == nullptr)
        throw std::invalid_argument("Param Strings must be assigned");
    strings->clear();
    for (const std::string& line : lines_) {
        if (!IsHeader(line))
            continue;
        std::string t = TrimControls(line);
        strings->push_back(TrimControls(t.substr(1, t.size() - 2)));
    }
}

void TIniFile32::EraseSection(const std::string& section) {
    int at = FindSection(section);
    if (at < 0)
        return;
    auto first = lines_.begin() + at;
    auto last = first + 1;
    while (last != lines_.end() && !IsHeader(*last))
        ++last;
    auto pos = lines_.erase(first, last);
    if (at != 0)
        lines_.insert(pos, std::string());
    Save();
}

void TIniFile32::Save() const {
    std::string data;
    size_t total = 0;
    for (const std::string& line : lines_)
        total += line.size() + 2;
    data.reserve(total);
    for (const std::string& line : lines_) {
        data += line;
        data += "\r\n";
    }
    std::string error;
    // The Config folder is made on the first save.
    const std::string folder = FolderOf(fileName_);
    if (!folder.empty() && !EnsureFolder(folder, error))
        throw EIniFileError("Cannot create file \"" + fileName_ + "\". " + error);
    if (!WriteFileAtomically(fileName_, data, error))
        throw EIniFileError("Cannot create file \"" + fileName_ + "\". " + error);
}
