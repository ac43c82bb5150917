// Listing a dropped folder: order, hidden entries, links, unreadable parts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/AsUser.h"
#include "fakes/Fakes.h"
#include "media/FolderFiles.h"
#include "support/Text.h"

namespace {

namespace fs = std::filesystem;

struct ListingCase {
    const char* what;
    // Made under the folder: "name" a file, "name/" a folder, "name>target" a
    // link, "name/!" a folder nobody may read.
    std::vector<std::string> tree;
    std::string listed; // relative paths, one a line; "?" ends an unreadable folder
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string ListAsNobody(const fs::path& root) {
    return AsUnprivilegedUser([&] {
        const std::string base = root.string() + "/";
        TFolderListing listing = ListFolderFiles(
            root.string(), [](const std::string& name) { return !EndsWith(name, ".txt"); });
        std::string out;
        for (const std::string& f : listing.Files)
            out += f.substr(base.size()) + "\n";
        for (const std::string& u : listing.Unreadable)
            out += u.substr(base.size(), u.find(": ") - base.size()) + "?\n";
        return out;
    });
}

TEST(FolderFiles, NaturalOrderFilesFirstNoHiddenNoLoops) {
    const std::vector<ListingCase> cases{
        {"natural order, digits by value",
         {"10.mp3", "2.mp3", "1.mp3", "B.wav", "a.wav"},
         "1.mp3\n2.mp3\n10.mp3\na.wav\nB.wav\n"},
        {"files of a folder before its subfolders, depth first",
         {"cd10/", "cd10/1.mp3", "cd2/", "cd2/b/", "cd2/b/x.ogg", "cd2/a.mp3", "z.wav"},
         "z.wav\ncd2/a.mp3\ncd2/b/x.ogg\ncd10/1.mp3\n"},
        {"hidden files and folders left out, other types too",
         {".hidden.mp3", ".cache/", ".cache/in.mp3", "notes.txt", "a.mp3"},
         "a.mp3\n"},
        {"a link back up the tree is walked once",
         {"a.mp3", "sub/", "sub/b.mp3", "sub/up>.."},
         "a.mp3\nsub/b.mp3\n"},
        {"links to files are taken, broken ones not",
         {"real.wav", "link.wav>real.wav", "dead.wav>missing.wav"},
         "link.wav\nreal.wav\n"},
        {"an unreadable subfolder is reported, the rest listed",
         {"locked/!", "locked/secret.mp3", "open/", "open/c.mp3"},
         "open/c.mp3\nlocked/?\n"},
        {"an empty folder lists nothing", {}, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const fs::path root = dir.Path() / "music";
        fs::create_directory(root);
        std::vector<fs::path> locked;
        for (const std::string& entry : c.tree) {
            const size_t arrow = entry.find('>');
            if (arrow != std::string::npos) {
                fs::create_symlink(entry.substr(arrow + 1), root / entry.substr(0, arrow));
            } else if (entry.back() == '!') {
                fs::create_directories(root / entry.substr(0, entry.size() - 1));
                locked.push_back(root / entry.substr(0, entry.size() - 1));
            } else if (entry.back() == '/') {
                fs::create_directories(root / entry);
            } else {
                std::ofstream(root / entry) << "x";
            }
        }
        for (const fs::path& l : locked)
            fs::permissions(l, fs::perms::none);
        EXPECT_EQ(ListAsNobody(root), c.listed) << c.what;
        for (const fs::path& l : locked)
            fs::permissions(l, fs::perms::owner_all);
    }
}

} // namespace
