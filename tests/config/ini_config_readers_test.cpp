#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/IniFiles32.h"
#include "fakes/FakePlatform.h"
#include "fakes/Fakes.h"
#include "support/CommonLib.h"

namespace {

namespace fs = std::filesystem;

struct Lib {
    TempDir dir;
    FakePlatform platform;
    ScriptedDialogs dialogs;
    FakeEventPump pump;
    TAppFunc app{dir.Folder()};
    TCommonLib lib{platform, dialogs, pump, app};
};

TEST(ConfigReaders, ProfilesFromTheConfigFolder) {
    Lib l;
    EXPECT_EQ(l.lib.AppPath, l.dir.Folder());
    fs::create_directory(l.dir.Path() / "Config");
    std::ofstream(l.dir.Path() / "Config" / "UserProfileInfo.ini", std::ios::binary)
        << "\r\n[我的配置]\r\n我的配置=1|2|none|3|1|4\r\n\r\n[Loud]\r\nLoud=\r\nother=x\r\n";
    EXPECT_EQ(l.lib.ReadConfigSections("UserProfileInfo.ini"),
              (std::vector<std::string>{"我的配置", "Loud"}));
    EXPECT_EQ(l.lib.ReadConfigValue("UserProfileInfo.ini", "我的配置"), "1|2|none|3|1|4");
    EXPECT_EQ(l.lib.ReadConfigValue("UserProfileInfo.ini", "loud"), "");
    EXPECT_EQ(l.lib.ReadConfigValue("UserProfileInfo.ini", "Missing"), "");
}

TEST(ConfigReaders, EachCallReadsTheFileAfresh) {
    Lib l;
    fs::create_directory(l.dir.Path() / "Config");
    std::string path = l.dir.Folder() + "Config/UserProfileInfo.ini";
    EXPECT_TRUE(l.lib.ReadConfigSections("UserProfileInfo.ini").empty());
    TIniFile32(path).WriteString("P", "P", "0|0|0|0|0|0");
    EXPECT_EQ(l.lib.ReadConfigValue("UserProfileInfo.ini", "P"), "0|0|0|0|0|0");
    TIniFile32(path).EraseSection("P");
    EXPECT_EQ(l.lib.ReadConfigValue("UserProfileInfo.ini", "P"), "");
}

TEST(ConfigReaders, UnreadableFileReachesTheCaller) {
    Lib l;
    fs::create_directories(l.dir.Path() / "Config" / "UserProfileInfo.ini");
    EXPECT_THROW(l.lib.ReadConfigSections("UserProfileInfo.ini"), EIniFileError);
    EXPECT_THROW(l.lib.ReadConfigValue("UserProfileInfo.ini", "x"), EIniFileError);
}

} // namespace
