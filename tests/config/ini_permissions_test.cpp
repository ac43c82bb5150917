// Permission failures as an ordinary user sees them. Root reads and writes
// everything, so under root the store runs in a child that drops to nobody.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

#include "config/IniFiles32.h"
#include "fakes/AsUser.h"
#include "fakes/Fakes.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Attempt(const std::function<void()>& f) {
    try {
        f();
    } catch (const EIniFileError& e) {
        return e.what();
    } catch (...) {
        return "(other error)";
    }
    return "(no error)";
}

// Anyone may enter and list it; nobody, not even its owner, may write.
constexpr fs::perms ReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec;

class IniPermissions : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override {
        // Everyone may look into the test folder; what is inside decides.
        fs::permissions(dir.Path(), fs::perms::all);
    }
};

TEST_F(IniPermissions, UnreadableFileCannotBeOpened) {
    const std::string name = dir.Folder() + "UserSettings.ini";
    std::ofstream(name) << "[USRInfo]\r\nOutDir=/x/\r\n";
    fs::permissions(name, fs::perms::none);
    EXPECT_EQ(AsUnprivilegedUser([&] { return Attempt([&] { TIniFile32 ini(name); }); }),
              "Cannot open file \"" + name + "\". Permission denied");
}

TEST_F(IniPermissions, InAReadOnlyFolderAWritableFileIsRewrittenInPlace) {
    const std::string original = "[USRInfo]\r\nOutDir=/x/\r\nInitDir=/a/long/folder/\r\n";
    struct Case {
        fs::perms file;
        bool saved;
    };
    const Case cases[] = {{fs::perms::all, true}, {ReadOnlyFolder, false}};
    for (const Case& c : cases) {
        TempDir root;
        fs::permissions(root.Path(), fs::perms::all);
        const fs::path folder = root.Path() / "Config";
        fs::create_directory(folder);
        const std::string name = (folder / "UserSettings.ini").string();
        std::ofstream(name, std::ios::binary) << original;
        fs::permissions(name, c.file);
        fs::permissions(folder, ReadOnlyFolder);
        const std::string outcome = AsUnprivilegedUser([&] {
            return Attempt([&] {
                TIniFile32 ini(name);
                ini.WriteString("USRInfo", "InitDir", "/b/");
            });
        });
        // The shorter text leaves no tail of the old one.
        EXPECT_EQ(ReadAll(name), c.saved ? "[USRInfo]\r\nOutDir=/x/\r\nInitDir=/b/\r\n" : original);
        EXPECT_EQ(outcome, c.saved ? "(no error)"
                                   : "Cannot create file \"" + name + "\". Permission denied");
        int entries = 0;
        for ([[maybe_unused]] auto& e : fs::directory_iterator(folder))
            ++entries;
        EXPECT_EQ(entries, 1);
        fs::permissions(folder, fs::perms::all);
    }
}

TEST_F(IniPermissions, ConfigFolderThatCannotBeMadeIsReported) {
    fs::permissions(dir.Path(), ReadOnlyFolder);
    const std::string name = dir.Folder() + "Config/UserSettings.ini";
    EXPECT_EQ(AsUnprivilegedUser([&] {
                  return Attempt([&] { TIniFile32(name).WriteInteger("count", "count", 1); });
              }),
              "Cannot create file \"" + name + "\". Permission denied");
    EXPECT_FALSE(fs::exists(dir.Path() / "Config"));
}

} // namespace
