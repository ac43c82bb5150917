#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/ConfigReaders.h"
#include "config/IniFiles32.h"
#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "support/CommonLib.h"

namespace {

namespace fs = std::filesystem;

struct Lib {
    FakePlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TempDir& dir = core.Dir;
    TCommonLib& lib = core.Lib;
};

TEST(ConfigReaders, ProfilesFromTheConfigFolder) {
    Lib l;
    EXPECT_EQ(l.lib.AppPath, l.dir.Folder());
    fs::create_directory(l.dir.Path() / "Config");
    std::ofstream(l.dir.Path() / "Config" / "UserProfileInfo.ini", std::ios::binary)
        << "\r\n[我的配置]\r\n我的配置=1|2|none|3|1|4\r\n\r\n[Loud]\r\nLoud=\r\nother=x\r\n";
    EXPECT_EQ(ReadConfigSections(l.lib, "UserProfileInfo.ini"),
              (std::vector<std::string>{"我的配置", "Loud"}));
    EXPECT_EQ(ReadConfigValue(l.lib, "UserProfileInfo.ini", "我的配置"), "1|2|none|3|1|4");
    EXPECT_EQ(ReadConfigValue(l.lib, "UserProfileInfo.ini", "loud"), "");
    EXPECT_EQ(ReadConfigValue(l.lib, "UserProfileInfo.ini", "Missing"), "");
}

TEST(ConfigReaders, EachCallReadsTheFileAfresh) {
    Lib l;
    fs::create_directory(l.dir.Path() / "Config");
    std::string path = l.dir.Folder() + "Config/UserProfileInfo.ini";
    EXPECT_TRUE(ReadConfigSections(l.lib, "UserProfileInfo.ini").empty());
    TIniFile32(path).WriteString("P", "P", "0|0|0|0|0|0");
    EXPECT_EQ(ReadConfigValue(l.lib, "UserProfileInfo.ini", "P"), "0|0|0|0|0|0");
    TIniFile32(path).EraseSection("P");
    EXPECT_EQ(ReadConfigValue(l.lib, "UserProfileInfo.ini", "P"), "");
}

TEST(ConfigReaders, UnreadableFileReachesTheCaller) {
    Lib l;
    fs::create_directories(l.dir.Path() / "Config" / "UserProfileInfo.ini");
    EXPECT_THROW(ReadConfigSections(l.lib, "UserProfileInfo.ini"), EIniFileError);
    EXPECT_THROW(ReadConfigValue(l.lib, "UserProfileInfo.ini", "x"), EIniFileError);
}

} // namespace
