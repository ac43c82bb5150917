// The files a folder adds to the list: the accepted files inside it and all
// its subfolders. In each folder its files come first, then its subfolders,
// each in natural name order ("2.mp3" before "10.mp3"). Hidden entries are
// left out; a folder reached twice (a link back up the tree) is walked once.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct TFolderListing {
    std::vector<std::string> Files;
    // Folders that could not be read, with the system's reason.
    std::vector<std::string> Unreadable;
};

// `accept` is asked with each file's name; `between` runs after every folder
// read, so a long walk can keep the window alive.
TFolderListing ListFolderFiles(const std::string& folder,
                               const std::function<bool(const std::string& name)>& accept,
                               const std::function<void()>& between = {});
