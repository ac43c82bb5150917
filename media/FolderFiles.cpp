#include "media/FolderFiles.h"

#include <algorithm>
#include <set>

#include "support/CommonLib.h"
#include "support/Text.h"

TFolderListing ListFolderFiles(const std::string& folder,
                               const std::function<bool(const std::string& name)>& accept,
                               const std::function<void()>& between) {
    TFolderListing result;
    std::set<std::string> walked;
    // Folders still to walk, the next on top: depth first, in name order.
    std::vector<std::string> pending{folder};
    std::vector<FolderEntry> entries;
    while (!pending.empty()) {
        const std::string current = WithTrailingDelim(pending.back());
        pending.pop_back();
        const std::string key = FolderIdentity(current);
        if (key.empty() || !walked.insert(key).second)
            continue;
        std::string error;
        if (!ReadFolderEntries(current, entries, error)) {
            result.Unreadable.push_back(current + ": " + error);
            if (between)
                between();
            continue;
        }
        std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
            return NaturalLess(a.Name, b.Name);
        });
        std::vector<std::string> subfolders;
        for (const FolderEntry& e : entries) {
            if (e.Hidden)
                continue;
            if (e.IsFolder)
                subfolders.push_back(current + e.Name);
            else if (e.IsFile && (!accept || accept(e.Name)))
                result.Files.push_back(current + e.Name);
        }
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
        if (between)
            between();
    }
    return result;
}
