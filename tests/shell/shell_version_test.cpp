// Version text of an executable file.
#include <string>

#include <gtest/gtest.h>

#include "fakes/Fakes.h"
#include "shell/Version.h"
#include "tests/shell/ShellFixture.h"

namespace {

// Made at run time, so the test program itself holds no second block.
std::string Block(const std::string& value) {
    std::string tag = "\x01VELMORA";
    tag += "-FILEVERSION=";
    return tag + value;
}

struct VersionCase {
    const char* FileVersion;
    const char* Text;
};

class VersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionText, MajorAndMinorJoinedByADot) {
    EXPECT_EQ(VersionTextFromFileVersion(GetParam().FileVersion), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Shell, VersionText,
                         ::testing::Values(VersionCase{"1.3.0.0", "1.3"},
                                           VersionCase{"2.10.5.1", "2.10"},
                                           VersionCase{"10.0.0.0", "10.0"},
                                           VersionCase{"1.3", "1.3"}, VersionCase{"4", "4"},
                                           VersionCase{"", ""}));

TEST(FileVersion, TheProgramReadsItsOwnBuiltVersion) {
    EXPECT_EQ(std::string(BuiltFileVersion()), VELMORA_VERSION);
    EXPECT_EQ(ReadFileVersion("/proc/self/exe"), VELMORA_VERSION);
    EXPECT_EQ(GetFileVersionText("/proc/self/exe"), "1.3");
}

struct BlockCase {
    const char* Name;
    std::string Bytes;
    const char* Expected;
};

class FileVersionBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FileVersionBlocks, OnlyAWellFormedBlockCounts) {
    TempDir dir;
    WriteFile(dir.Path() / "program", GetParam().Bytes);
    EXPECT_EQ(GetFileVersionText(dir.Folder() + "program"), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, FileVersionBlocks,
    ::testing::Values(
        BlockCase{"Block", std::string("ELF\0junk", 8) + Block("7.8.9.10\x02tail"), "7.8"},
        BlockCase{"NoBlock", "just some bytes without a version", ""}, BlockCase{"Empty", "", ""},
        BlockCase{"TagWithoutEnd", Block("1.2.3.4"), ""},
        BlockCase{"TagWithText", Block("abc\x02"), ""},
        BlockCase{"FirstBrokenThenGood", Block("x\x02 ") + Block("5.6.0.0\x02"), "5.6"},
        BlockCase{"AcrossAReadPiece", std::string((1 << 20) - 7, 'z') + Block("3.4.0.0\x02"),
                  "3.4"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FileVersion, AMissingFileHasNoVersion) {
    EXPECT_EQ(GetFileVersionText("/nonexistent/velmora"), "");
}

} // namespace
