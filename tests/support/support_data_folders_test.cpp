#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include "fakes/AsUser.h"
#endif
#include "fakes/Fakes.h"
#include "support/CommonLib.h"
#include "support/DataFolders.h"
#include "support/platform/SystemIO.h"

namespace {

namespace fs = std::filesystem;

struct FolderCase {
    const char* what;
    TDataFolderFacts facts;
    const char* config;
    const char* log;
};

// Rows are written with '/'; on Windows every one becomes '\\', so each row
// runs on both systems.
std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', PathDelim);
    return path;
}

TDataFolderFacts NativeFacts(TDataFolderFacts f) {
    for (std::string* s : {&f.ProgramFolder, &f.XdgConfigHome, &f.XdgStateHome, &f.Home, &f.AppData,
                           &f.LocalAppData})
        *s = Native(*s);
    for (std::string& s : f.ProgramFiles)
        s = Native(s);
    return f;
}

TEST(DataFolders, OneRuleForSettingsAndLog) {
    const std::vector<std::string> pf{"C:/Program Files", "C:/Program Files (x86)/"};
    const std::string roaming = "C:/Users/u/AppData/Roaming";
    const std::string local = "C:/Users/u/AppData/Local/";
    // Facts: program folder, writable, installed by layout, XDG config, XDG
    // state, home, Windows' program folders, roaming and local app data.
    const std::vector<FolderCase> cases{
        {"writable portable folder keeps everything",
         {"/opt/v/", true, false, "/x/conf", "/x/state", "/home/u", {}, "", ""},
         "/opt/v/Config/",
         "/opt/v/"},
        {"portable folder written without its separator",
         {"/opt/v", true, false, "", "", "/home/u", {}, "", ""},
         "/opt/v/Config/",
         "/opt/v/"},
        {"read-only folder: XDG folders as set",
         {"/opt/v/", false, false, "/x/conf", "/x/state/", "/home/u", {}, "", ""},
         "/x/conf/velmora/Config/",
         "/x/state/velmora/"},
        {"read-only folder, XDG unset: the defaults under home",
         {"/opt/v/", false, false, "", "", "/home/u", {}, "", ""},
         "/home/u/.config/velmora/Config/",
         "/home/u/.local/state/velmora/"},
        {"relative XDG values are ignored",
         {"/opt/v/", false, false, "conf", "./state", "/home/u/", {}, "", ""},
         "/home/u/.config/velmora/Config/",
         "/home/u/.local/state/velmora/"},
        {"installed and writable (root): still the user's folders",
         {"/usr/lib/velmora/", true, true, "", "/s", "/root", {}, "", ""},
         "/root/.config/velmora/Config/",
         "/s/velmora/"},
        {"no home, both XDG folders set",
         {"/opt/v/", false, false, "/c", "/s", "", {}, "", ""},
         "/c/velmora/Config/",
         "/s/velmora/"},
        {"no home and no XDG folder: nowhere else to go",
         {"/opt/v/", false, true, "/c", "", "", {}, "", ""},
         "/opt/v/Config/",
         "/opt/v/"},
        {"under Program Files and writable (wine, an administrator): the user's app data",
         {"C:/Program Files/Velmora/", true, false, "", "", "C:/Users/u", pf, roaming, local},
         "C:/Users/u/AppData/Roaming/Velmora/Config/",
         "C:/Users/u/AppData/Local/Velmora/"},
        {"under Program Files (x86), other case, no separator at the end",
         {"c:/PROGRAM FILES (X86)/Velmora", true, false, "", "", "", pf, roaming, local},
         "C:/Users/u/AppData/Roaming/Velmora/Config/",
         "C:/Users/u/AppData/Local/Velmora/"},
        {"unpacked zip beside Program Files keeps its own folder",
         {"C:/Program Files Old/Velmora/", true, false, "", "", "", pf, roaming, local},
         "C:/Program Files Old/Velmora/Config/",
         "C:/Program Files Old/Velmora/"},
        {"unpacked zip on another drive keeps its own folder",
         {"D:/Program Files/Velmora/", true, false, "", "", "", pf, roaming, local},
         "D:/Program Files/Velmora/Config/",
         "D:/Program Files/Velmora/"},
        {"read-only unpacked zip: the user's app data",
         {"E:/Velmora/", false, false, "", "", "", pf, roaming, local},
         "C:/Users/u/AppData/Roaming/Velmora/Config/",
         "C:/Users/u/AppData/Local/Velmora/"},
        {"relative known folder is no Program Files",
         {"Velmora/", true, false, "", "", "", {"Velmora"}, roaming, local},
         "Velmora/Config/",
         "Velmora/"},
        {"installed without its local app data: nowhere else to go",
         {"C:/Program Files/Velmora/", false, false, "", "", "", pf, roaming, ""},
         "C:/Program Files/Velmora/Config/",
         "C:/Program Files/Velmora/"},
    };
    for (const auto& c : cases) {
        const TDataFolders folders = DecideDataFolders(NativeFacts(c.facts));
        EXPECT_EQ(folders.Config, Native(c.config)) << c.what;
        EXPECT_EQ(folders.Log, Native(c.log)) << c.what;
    }
}

#ifndef _WIN32
TEST(DataFolders, ProbeTellsWritableFromReadOnlyFolders) {
    TempDir dir;
    fs::permissions(dir.Path(), fs::perms::all);
    const fs::path readOnly = dir.Path() / "ro";
    const fs::path writable = dir.Path() / "rw";
    fs::create_directory(readOnly);
    fs::create_directory(writable);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(writable, fs::perms::all);
    const std::string seen = AsUnprivilegedUser([&] {
        std::string out;
        for (const fs::path& p : {readOnly, writable, dir.Path() / "missing"})
            out += FolderTakesNewFiles(p.string() + "/") ? '1' : '0';
        return out;
    });
    EXPECT_EQ(seen, "010");
    // The probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(writable));
}

#endif

TEST(DataFolders, LogFolderOfItsOwnIsMadeOnTheFirstLine) {
    TempDir dir;
    const std::string program = dir.Folder() + "prog/";
    fs::create_directory(program);
    const std::string state = dir.Folder() + "state/velmora/";
    TAppFunc app(program, {dir.Folder() + "conf/velmora/Config/", state});
    app.WriteLog("first");
    std::ifstream in(state + "log.txt", std::ios::binary);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(line.size() - 7), "|first\r");
    EXPECT_FALSE(fs::exists(program + "log.txt"));
    EXPECT_EQ(app.ConfigFolder(), dir.Folder() + "conf/velmora/Config/");
}

} // namespace
