#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/platform/SystemIO.h"

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
