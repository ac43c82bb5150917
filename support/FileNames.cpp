// File-name helpers of TFileFunc.
#include <cstdint>
#include <string>
#include <vector>

#include "support/CommonLib.h"
#include "support/SamePath.h"
#include "support/platform/SystemIO.h"

namespace {

std::string FileNamePart(const std::string& path) {
    size_t pos = path.rfind(PathDelim);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

// Extension with its point, empty when the name has none.
std::string ExtensionOf(const std::string& path) {
    std::string name = FileNamePart(path);
    size_t pos = name.rfind('.');
    return pos == std::string::npos ? std::string() : name.substr(pos);
}

} // namespace

std::vector<std::string> TFileFunc::ListFiles(const std::string& folder,
                                              const std::string& extension) const {
    std::vector<std::string> files;
    for (const std::string& name : FolderEntryNames(folder, false)) {
        if (!extension.empty() && ExtensionOf(name) != extension)
            continue;
        files.push_back(folder + name);
    }
    return files;
}

std::string TFileFunc::GetFileFolder(const std::string& path) const {
    size_t pos = path.rfind(PathDelim);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string TFileFunc::GetBaseName(const std::string& path) const {
    std::string name = FileNamePart(path);
    size_t pos = name.rfind('.');
    return pos == std::string::npos ? std::string() : name.substr(0, pos);
}

std::string TFileFunc::MakeUniqueFileName(const std::string& path) {
    StartBaseName = GetBaseName(path);
    const std::string folder = GetFileFolder(path);
    const std::string ext = ExtensionOf(path);
    // A folder of the same name blocks the name as much as a file does.
    const std::vector<std::string> names = FolderEntryNames(folder, true);
    std::string base = StartBaseName;
    for (;;) {
        bool taken = false;
        // On Windows "Song" is taken by "song": the encoder would overwrite it.
        for (const std::string& name : names)
            if (SamePathText(GetBaseName(name), base)) {
                taken = true;
                break;
            }
        if (!taken)
            return folder + base + ext;
        if (base == StartBaseName) {
            base += "_1";
            continue;
        }
        size_t us = base.rfind('_');
        std::string digits = base.substr(us + 1);
        std::uint64_t n = 0;
        for (char c : digits)
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        base = base.substr(0, us + 1) + std::to_string(n + 1);
    }
}
