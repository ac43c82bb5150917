#include "shell/ProfileIni.h"

#include "support/Text.h"
#include "support/platform/SystemIO.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

struct Line {
    std::string Body; // without its line end
    std::string End;  // "\r\n", "\n", "\r" or empty for the last line
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == std::string::npos) {
            lines.push_back({text.substr(i), ""});
            break;
        }
        size_t endLen = (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(i, j - i), text.substr(j, endLen)});
        i = j + endLen;
    }
    return lines;
}

// Name of a section header line, or false when the line is none.
bool SectionName(const std::string& body, std::string& name) {
    std::string t = TrimBlanksAndTabs(body);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']');
    name =
        TrimBlanksAndTabs(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool KeyName(const std::string& body, std::string& name) {
    std::string t = TrimBlanksAndTabs(body);
    if (t.empty() || t[0] == ';')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    name = TrimBlanksAndTabs(t.substr(0, eq));
    return true;
}

std::string Join(const std::vector<Line>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l.Body + l.End;
    return out;
}

} // namespace

std::string SetProfileString(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& value) {
    std::vector<Line> lines = SplitLines(text);
    std::string eol = "\r\n";
    for (const auto& l : lines)
        if (!l.End.empty()) {
            eol = l.End;
            break;
        }

    int sectionAt = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        std::string name;
        if (SectionName(lines[static_cast<size_t>(i)].Body, name) && SameTextAscii(name, section)) {
            sectionAt = i;
            break;
        }
    }

    if (sectionAt < 0) {
        if (!lines.empty() && lines.back().End.empty())
            lines.back().End = eol;
        if (!lines.empty() && !TrimBlanksAndTabs(lines.back().Body).empty())
            lines.push_back({"", eol});
        lines.push_back({"[" + section + "]", eol});
        lines.push_back({key + "=" + value, eol});
        return Join(lines);
    }

    int lastKeyLine = sectionAt;
    for (int i = sectionAt + 1; i < static_cast<int>(lines.size()); ++i) {
        Line& l = lines[static_cast<size_t>(i)];
        std::string name;
        if (SectionName(l.Body, name))
            break;
        if (!TrimBlanksAndTabs(l.Body).empty())
            lastKeyLine = i;
        if (KeyName(l.Body, name) && SameTextAscii(name, key)) {
            // Keep the key as the file spells it; only the value changes.
            l.Body = l.Body.substr(0, l.Body.find('=') + 1) + value;
            return Join(lines);
        }
    }
    Line& before = lines[static_cast<size_t>(lastKeyLine)];
    if (before.End.empty())
        before.End = eol;
    lines.insert(lines.begin() + lastKeyLine + 1, Line{key + "=" + value, eol});
    return Join(lines);
}

bool WriteProfileString(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& value, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::filesystem::path file = FilePath(fileName);
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return fail("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    {
        // The system refuses to write a read-only file; so do we, although the
        // replace below would get past it.
        std::ofstream probe(file, std::ios::binary | std::ios::app);
        if (!probe)
            return fail("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    }
    std::string updated = SetProfileString(text, section, key, value);
    if (updated == text)
        return true;

    const std::filesystem::path temp = FilePath(fileName + ".tmp-velmora");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return fail("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
        out.flush();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return fail("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        }
    }
    std::error_code ec;
    std::filesystem::permissions(temp, std::filesystem::status(file, ec).permissions(), ec);
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return fail("Cannot create file \"" + fileName + "\". " + ec.message());
    }
    return true;
}

std::string ReadProfileString(const std::string& fileName, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    std::ifstream in(FilePath(fileName), std::ios::binary);
    if (!in)
        return defaultValue;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool inSection = false;
    for (const auto& l : SplitLines(text)) {
        std::string name;
        if (SectionName(l.Body, name)) {
            inSection = SameTextAscii(name, section);
            continue;
        }
        if (inSection && KeyName(l.Body, name) && SameTextAscii(name, key)) {
            std::string t = TrimBlanksAndTabs(l.Body);
            return TrimBlanksAndTabs(t.substr(t.find('=') + 1));
        }
    }
    return defaultValue;
}
