#include "shell/Version.h"

#include <fstream>
#include <iterator>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0.0.0.0"
#endif

namespace {
// The block in the executable: tag, version, end mark. The tag is split in the
// reader so that only the block itself matches.
[[gnu::used]] const char kVersionBlock[] = "\x01VELMORA-FILEVERSION=" VELMORA_VERSION "\x02";
} // namespace

const char* BuiltFileVersion() {
    return kVersionBlock + 21;
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
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string tag = std::string("\x01VELMORA-") + "FILEVERSION=";
    for (size_t at = bytes.find(tag); at != std::string::npos; at = bytes.find(tag, at + 1)) {
        size_t begin = at + tag.size();
        size_t end = bytes.find('\x02', begin);
        if (end == std::string::npos || end - begin > 32)
            continue;
        std::string value = bytes.substr(begin, end - begin);
        if (value.find_first_not_of("0123456789.") == std::string::npos && !value.empty())
            return value;
    }
    return {};
}

std::string GetFileVersionText(const std::string& file) {
    std::string version = ReadFileVersion(file);
    if (version.empty())
        return {};
    return VersionTextFromFileVersion(version);
}
