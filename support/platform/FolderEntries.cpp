#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "support/platform/SystemIO.h"

#ifdef _WIN32
#include <windows.h>

#include "support/platform/Win32Text.h"
#else
#include <sys/stat.h>
#endif

std::vector<std::string> FolderEntryNames(const std::string& folder, bool withFolders) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    if (folder.empty())
        return names;
    std::error_code ec;
    fs::directory_iterator it(FilePath(folder), ec);
    if (ec)
        return names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::error_code dec;
        if (!withFolders && it->is_directory(dec))
            continue;
        names.push_back(PathText(it->path().filename()));
    }
    return names;
}

bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries,
                       std::string& error) {
    namespace fs = std::filesystem;
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(FilePath(folder), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        FolderEntry entry;
        entry.Name = PathText(it->path().filename());
        std::error_code dec;
        entry.IsFolder = it->is_directory(dec);
        entry.IsFile = !entry.IsFolder && it->is_regular_file(dec);
        entry.Hidden = !entry.Name.empty() && entry.Name.front() == '.';
#ifdef _WIN32
        const DWORD attributes = GetFileAttributesW(it->path().c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN))
            entry.Hidden = true;
#endif
        entries.push_back(std::move(entry));
    }
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

std::string FolderIdentity(const std::string& folder) {
#ifdef _WIN32
    // The volume and the file index: one folder reached through junctions,
    // symbolic links or subst drives has one identity (a path through them
    // does not resolve here, the C++ library sees no reparse points).
    const win32::Handle handle(::CreateFileW(FilePath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info))
        return {};
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string((static_cast<unsigned long long>(info.nFileIndexHigh) << 32) |
                          info.nFileIndexLow);
#else
    // Device and inode: also a bind mount of a folder into itself is one folder.
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
}

bool IsFolderPath(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(FilePath(path), ec);
}
