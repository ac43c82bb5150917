#include "shell/Version.h"

#include <fstream>
#include <vector>

#include "support/platform/SystemIO.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0.0.0.0"
#endif

namespace {
// The block in the executable: tag, version, end mark. The tag is split in the
// reader so that only the block itself matches.
[[gnu::used]] const char kVersionBlock[] = "\x01VELMORA-FILEVERSION=" VELMORA_VERSION "\x02";
} // namespace

const char* BuiltFileVersion() {
    (void)kVersionBlock;
    return VELMORA_VERSION;
}

std::string VersionTextFromFileVersion(const std::string& fileVersion) {
    size_t dot = fileVersion.find('.');
    if (dot == std::string::npos)
        return fileVersion;
    size_t next = fileVersion.find('.', dot + 1);
    return fileVersion.substr(0, dot) + "." +
           fileVersion.substr(dot + 1,
                              next == std::string::npos ? std::string::npos : next - dot - 1);
}

std::string ReadFileVersion(const std::string& file) {
    std::ifstream in(FilePath(file), std::ios::binary);
    if (!in)
        return {};
    const std::string tag = std::string("\x01VELMORA-") + "FILEVERSION=";
    constexpr size_t MaxValue = 32;
    // Read in pieces; keep the end of the previous piece so a block across
    // the border is still found.
    std::vector<char> chunk(1 << 20);
    std::string window;
    for (;;) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        window.append(chunk.data(), static_cast<size_t>(got));
        for (size_t at = window.find(tag); at != std::string::npos; at = window.find(tag, at + 1)) {
            size_t begin = at + tag.size();
            size_t end = window.find('\x02', begin);
            if (end == std::string::npos) {
                if (window.size() - begin <= MaxValue && in)
                    break; // may continue in the next piece
                continue;
            }
            if (end - begin > MaxValue)
                continue;
            std::string value = window.substr(begin, end - begin);
            if (!value.empty() && value.find_first_not_of("0123456789.") == std::string::npos)
                return value;
        }
        size_t keep = tag.size() + MaxValue + 1;
        if (window.size() > keep)
            window.erase(0, window.size() - keep);
    }
    return {};
}

std::string GetFileVersionText(const std::string& file) {
    std::string version = ReadFileVersion(file);
    if (version.empty())
        return {};
    return VersionTextFromFileVersion(version);
}
