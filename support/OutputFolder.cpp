// Choosing the output folder: the folder browser and the write probe.
#include <string>

#include "support/CommonLib.h"

namespace {

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == PathDelim)
        return folder + name;
    return folder + PathDelim + name;
}

// Can a sub-folder be created in `folder`? A probe folder that is already
// there proves nothing and is none of our business, so another, new name is
// used then and only what we created is removed.
bool CanCreateSubFolder(IPlatform& platform, const std::string& folder) {
    std::string probe = JoinFolder(folder, "test");
    for (int n = 1; platform.FolderExists(probe) || platform.FileExists(probe); ++n) {
        if (n > 1000)
            return false;
        probe = JoinFolder(folder, "test" + std::to_string(n));
    }
    const bool created = platform.CreateFolders(probe);
    platform.RemoveFolder(probe);
    return created;
}

} // namespace

bool TCommonLib::BrowseForFolder(const std::string& title, std::string& folder) {
    // No folder is preselected; on cancel the path stays empty.
    std::string chosen;
    if (!Dialogs().BrowseFolder(title, chosen)) {
        folder.clear();
        return false;
    }
    folder = chosen;
    return true;
}

std::string TCommonLib::SelectOutputFolder(const std::string& currentFolder) {
    IPlatform& platform = Platform();
    std::string chosen;
    bool accepted = false;
    if (BrowseForFolder("Please select output folder:", chosen)) {
        if (!chosen.empty() && platform.FolderExists(chosen)) {
            if (CanCreateSubFolder(platform, chosen))
                accepted = true;
            else
                ShowReadOnlyDirMsg();
        } else {
            ShowInvalidPathMsg();
        }
    }
    if (accepted) {
        if (!platform.FolderExists(chosen))
            platform.CreateFolders(chosen);
        return chosen;
    }
    if (!currentFolder.empty() && !platform.FolderExists(currentFolder))
        platform.CreateFolders(currentFolder);
    return currentFolder;
}
