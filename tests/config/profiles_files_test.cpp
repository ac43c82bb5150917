#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/UserProfiles.h"
#include "config/UserSettings.h"
#include "fakes/Fakes.h"
#include "support/CommonLib.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ProfileFiles, ProfileStringOfPositions) {
    EXPECT_EQ(MakeProfileString({1, 1, 2, 5, 1, 2}), "1|1|2|5|1|2");
    EXPECT_EQ(MakeProfileString({-1, 0, 10, -1, 0, 3}), "-1|0|10|-1|0|3");
}

TEST(ProfileFiles, NamesCompareWithoutAsciiCase) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {{"Rock", "rOCK", true}, {"Rock", "Rock ", false}, {"", "", true},
                          {"Ä", "ä", false},      {"中文a", "中文A", true}, {"ab", "abc", false}};
    for (const Case& c : cases)
        EXPECT_EQ(SameProfileName(c.a, c.b), c.same) << c.a << "/" << c.b;
}

TEST(ProfileFiles, CleaningTypedNames) {
    struct Case {
        std::string typed;
        std::string cleaned;
    };
    const Case cases[] = {
        {"Mine", "Mine"},
        {"  Mine\t", "Mine"},
        {"two words", "two words"},
        {"", ""},
        {" \t\r\n", ""},
        {"a=b", ""},
        {"a\nb", ""},
        {std::string("a\0b", 3), ""},
        {"[brackets]", "[brackets]"},
        {"中文配置", "中文配置"},
        {"a\x7f", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanProfileName(c.typed), c.cleaned) << c.typed;
}

TEST(ProfileFiles, CounterAdvancesAndSaturates) {
    TempDir dir;
    TUserProfileFiles files(dir.Folder());
    EXPECT_EQ(files.AdvanceCounter(), 1);
    EXPECT_EQ(files.AdvanceCounter(), 2);
    EXPECT_EQ(ReadWhole(files.CountFile()), "\r\n[count]\r\ncount=2\r\n");
    std::ofstream(files.CountFile(), std::ios::binary) << "[count]\r\ncount=2147483647\r\n";
    EXPECT_EQ(files.AdvanceCounter(), 2147483647);
    std::ofstream(files.CountFile(), std::ios::binary) << "[count]\r\ncount=-3\r\n";
    EXPECT_EQ(files.AdvanceCounter(), -2);
}

TEST(ProfileFiles, WriteFindAndErase) {
    TempDir dir;
    TUserProfileFiles files(dir.Folder());
    files.Write("A", "0|0|0|0|0|0");
    files.Write("B", "1|1|1|1|1|1");
    EXPECT_EQ(files.Names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(files.FindName("b"), "B");
    EXPECT_EQ(files.FindName("C"), "");
    EXPECT_FALSE(files.Erase("C"));
    EXPECT_TRUE(files.Erase("a"));
    // The store leaves one empty line where the section stood.
    EXPECT_EQ(ReadWhole(files.InfoFile()), "\r\n\r\n[B]\r\nB=1|1|1|1|1|1\r\n");
}

TEST(SettingsFile, DefaultsFollowTheHomeFolder) {
    const std::string d(1, PathDelim);
    EXPECT_EQ(DefaultOutputFolder("/home/u" + d), "/home/u" + d + "3GPMP4文件输出");
    EXPECT_EQ(DefaultOutputFolder("/home/u"), "/home/u" + d + "3GPMP4文件输出");
    const std::string home = HomeFolderFromEnvironment();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home.back(), PathDelim);
}

TEST(SettingsFile, OnlyExactlyOneChecks) {
    const std::pair<const char*, bool> cases[] = {{"1", true},     {"0", false}, {"01", false},
                                                  {"true", false}, {"", false},  {"1 ", false},
                                                  {"yes", false},  {"2", false}};
    for (const auto& [value, checked] : cases)
        EXPECT_EQ(SettingChecked(value), checked) << value;
}

} // namespace
