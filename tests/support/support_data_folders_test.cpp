#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/AsUser.h"
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

TEST(DataFolders, OneRuleForSettingsAndLog) {
    const std::vector<FolderCase> cases{
        {"writable portable folder keeps everything",
         {"/opt/v/", true, false, "/x/conf", "/x/state", "/home/u"},
         "/opt/v/Config/",
         "/opt/v/"},
        {"portable folder written without its separator",
         {"/opt/v", true, false, "", "", "/home/u"},
         "/opt/v/Config/",
         "/opt/v/"},
        {"read-only folder: XDG folders as set",
         {"/opt/v/", false, false, "/x/conf", "/x/state/", "/home/u"},
         "/x/conf/velmora/Config/",
         "/x/state/velmora/"},
        {"read-only folder, XDG unset: the defaults under home",
         {"/opt/v/", false, false, "", "", "/home/u"},
         "/home/u/.config/velmora/Config/",
         "/home/u/.local/state/velmora/"},
        {"relative XDG values are ignored",
         {"/opt/v/", false, false, "conf", "./state", "/home/u/"},
         "/home/u/.config/velmora/Config/",
         "/home/u/.local/state/velmora/"},
        {"installed and writable (root): still the user's folders",
         {"/usr/lib/velmora/", true, true, "", "/s", "/root"},
         "/root/.config/velmora/Config/",
         "/s/velmora/"},
        {"no home, both XDG folders set",
         {"/opt/v/", false, false, "/c", "/s", ""},
         "/c/velmora/Config/",
         "/s/velmora/"},
        {"no home and no XDG folder: nowhere else to go",
         {"/opt/v/", false, true, "/c", "", ""},
         "/opt/v/Config/",
         "/opt/v/"},
    };
    for (const auto& c : cases) {
        const TDataFolders folders = DecideDataFolders(c.facts);
        EXPECT_EQ(folders.Config, c.config) << c.what;
        EXPECT_EQ(folders.Log, c.log) << c.what;
    }
}

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
