#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "IniStoreFixture.h"
#include "config/IniFiles32.h"
#include "fakes/Fakes.h"

namespace {

namespace fs = std::filesystem;
using namespace inistore;

// Test names carry the case in plain ASCII.
std::string Escaped(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '_' || c == '-' || c == '+' || c == ':' || c == '|' || c == '=')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

TEST_F(IniTest, FirstWriteIntoMissingFile) {
    TIniFile32 ini(name);
    ini.WriteString("USRInfo", "InitDir", "C:\\");
    EXPECT_EQ(Disk(), "\r\n[USRInfo]\r\nInitDir=C:\\\r\n");
}

TEST_F(IniTest, SecondKeyAppendedAndSameKeyReplacedInPlace) {
    TIniFile32 ini(name);
    ini.WriteString("USRInfo", "InitDir", "/a/");
    ini.WriteString("USRInfo", "OutDir", "/b/");
    EXPECT_EQ(Disk(), "\r\n[USRInfo]\r\nInitDir=/a/\r\nOutDir=/b/\r\n");
    ini.WriteString("USRInfo", "InitDir", "/c d/");
    EXPECT_EQ(Disk(), "\r\n[USRInfo]\r\nInitDir=/c d/\r\nOutDir=/b/\r\n");
}

TEST_F(IniTest, NewKeyLandsDirectlyBeforeTheNextHeader) {
    WriteAll(file, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    TIniFile32 ini(name);
    ini.WriteString("A", "z", "3");
    EXPECT_EQ(Disk(), "[A]\r\nx=1\r\n\r\nz=3\r\n[B]\r\ny=2\r\n");
}

TEST_F(IniTest, SectionsIgnoreCaseKeysDoNot) {
    WriteAll(file, "[usrinfo]\r\ninitdir=/lower/\r\nInitDir=/exact/\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("USRInfo", "InitDir", "d"), "/exact/");
    EXPECT_EQ(ini.ReadString("USRINFO", "initdir", "d"), "/lower/");
    EXPECT_EQ(ini.ReadString("USRInfo", "INITDIR", "d"), "d");
}

TEST_F(IniTest, KeyOfAnotherCaseIsAddedNotReplaced) {
    WriteAll(file, "[usrinfo]\r\ninitdir=/lower/\r\n");
    TIniFile32 ini(name);
    ini.WriteString("USRInfo", "InitDir", "/new/");
    EXPECT_EQ(Disk(), "[usrinfo]\r\ninitdir=/lower/\r\nInitDir=/new/\r\n");
}

TEST_F(IniTest, NonAsciiSectionNamesCompareByBytes) {
    WriteAll(file, "[配置]\r\n名字=值\r\n[ÄB]\r\nk=v\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("配置", "名字", ""), "值");
    EXPECT_EQ(ini.ReadString("Äb", "k", "none"), "v");
    EXPECT_EQ(ini.ReadString("äb", "k", "none"), "none");
}

TEST_F(IniTest, BlanksAroundKeyAndValueAreTrimmedInsideKept) {
    WriteAll(file, "[S]\r\n  InitDir \t=  /my  music/ \t\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "InitDir", ""), "/my  music/");
}

TEST_F(IniTest, EmptyValueGivesTheDefault) {
    WriteAll(file, "[S]\r\nk=\r\nk=second\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", "dflt"), "dflt");
}

TEST_F(IniTest, FirstOfTwoEqualKeysIsReadAndReplaced) {
    WriteAll(file, "[S]\r\nk=1\r\nk=2\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
    ini.WriteString("S", "k", "9");
    EXPECT_EQ(Disk(), "[S]\r\nk=9\r\nk=2\r\n");
}

TEST_F(IniTest, TwoSectionsOfOneNameUseTheFirst) {
    WriteAll(file, "[S]\r\na=1\r\n\r\n[s]\r\na=2\r\nb=3\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "a", ""), "1");
    EXPECT_EQ(ini.ReadString("S", "b", "none"), "none");
    std::vector<std::string> sections;
    ini.ReadSections(&sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"S", "s"}));
    ini.WriteString("s", "b", "4");
    EXPECT_EQ(Disk(), "[S]\r\na=1\r\n\r\nb=4\r\n[s]\r\na=2\r\nb=3\r\n");
    ini.EraseSection("S");
    EXPECT_EQ(Disk(), "[s]\r\na=2\r\nb=3\r\n");
}

TEST_F(IniTest, HeaderWithInnerBlanksIsListedButNeverFound) {
    WriteAll(file, "[ Name ]\r\nk=v\r\n  [Other]  \r\nq=w\r\n");
    TIniFile32 ini(name);
    std::vector<std::string> sections{"stale"};
    ini.ReadSections(&sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"Name", "Other"}));
    EXPECT_EQ(ini.ReadString("Name", "k", "none"), "none");
    EXPECT_EQ(ini.ReadString(" Name ", "k", "none"), "v");
    // The padded header still ends the section before it.
    EXPECT_EQ(ini.ReadString(" Name ", "q", "none"), "none");
    EXPECT_EQ(ini.ReadString("Other", "q", "none"), "none");
}

TEST_F(IniTest, LinesBeforeTheFirstHeaderAndBlankHeadersNeverMatch) {
    WriteAll(file, "k=top\r\n \t\r\n[S]\r\n;k=comment\r\nk=real\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "real");
    EXPECT_EQ(ini.ReadString("S", ";k", ""), "comment");
    EXPECT_EQ(ini.ReadString("", "k", "none"), "none");
    std::vector<std::string> sections;
    ini.ReadSections(&sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"S"}));
}

TEST_F(IniTest, OnlyTheFirstEqualsSplits) {
    WriteAll(file, "[S]\r\na=b=c\r\nnoequals\r\n=orphan\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "a", ""), "b=c");
    EXPECT_EQ(ini.ReadString("S", "", "dflt"), "dflt");
}

TEST_F(IniTest, LineEndsCrLfCrAndLfAndNulEndsTheText) {
    WriteAll(file, std::string("[S]\ra=1\nb=2\r\nc=3\r\rd=4\0[T]\r\ne=5\r\n", 33));
    TIniFile32 ini(name);
    EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[S]", "a=1", "b=2", "c=3", "", "d=4"}));
    EXPECT_EQ(ini.ReadString("T", "e", "none"), "none");
    ini.WriteString("S", "a", "1");
    EXPECT_EQ(Disk(), "[S]\r\na=1\r\nb=2\r\nc=3\r\n\r\nd=4\r\n");
}

TEST_F(IniTest, LastLineWithoutEndIsReadAndEndedOnWrite) {
    WriteAll(file, "[S]\r\nk=last");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "last");
    ini.WriteString("S", "n", "1");
    EXPECT_EQ(Disk(), "[S]\r\nk=last\r\nn=1\r\n");
}

TEST_F(IniTest, ByteOrderMarkBecomesPartOfTheFirstLine) {
    WriteAll(file, "\xEF\xBB\xBF[S]\r\nk=v\r\n[T]\r\nk=w\r\n");
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    EXPECT_EQ(ini.ReadString("T", "k", "none"), "w");
}

TEST_F(IniTest, EmptyKeyOnMissingSectionWritesHeaderOnly) {
    TIniFile32 ini(name);
    ini.WriteString("count", "", "5");
    EXPECT_EQ(Disk(), "\r\n[count]\r\n");
    ini.WriteString("count", "", "6");
    EXPECT_EQ(Disk(), "\r\n[count]\r\n");
}

TEST_F(IniTest, WriteIntegerDecimalWithSign) {
    TIniFile32 ini(name);
    ini.WriteInteger("count", "count", -42);
    ini.WriteInteger("count", "max", 2147483647);
    ini.WriteInteger("count", "min", -2147483647 - 1);
    EXPECT_EQ(Disk(), "\r\n[count]\r\ncount=-42\r\nmax=2147483647\r\nmin=-2147483648\r\n");
    TIniFile32 again(name);
    EXPECT_EQ(again.ReadInteger("count", "min", 0), -2147483647 - 1);
}

struct IntCase {
    std::string text;
    int expected;
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class ReadIntegerTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ReadIntegerTest, DecimalHexOrDefault) {
    TempDir d;
    std::string path = d.Folder() + "n.ini";
    WriteAll(path, "[S]\r\nk=" + GetParam().text + "\r\n");
    TIniFile32 ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "k", -7), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadIntegerTest,
    ::testing::Values(IntCase{"12", 12}, IntCase{"-12", -12}, IntCase{"+12", 12}, IntCase{"007", 7},
                      IntCase{"0x1F", 31}, IntCase{"0X1f", 31}, IntCase{"$ff", 255},
                      IntCase{"$7FFFFFFF", 2147483647}, IntCase{"$FFFFFFFF", -1},
                      IntCase{"0x80000000", -2147483647 - 1}, IntCase{"2147483647", 2147483647},
                      IntCase{"-2147483648", -2147483647 - 1}, IntCase{"2147483648", -7},
                      IntCase{"-2147483649", -7}, IntCase{"$100000000", -7}, IntCase{"0x", -7},
                      IntCase{"0X", -7}, IntCase{"$", -7}, IntCase{"", -7}, IntCase{"12ab", -7},
                      IntCase{"0x1G", -7}, IntCase{"1 2", -7}, IntCase{"1.5", -7},
                      IntCase{"+-1", -7}, IntCase{"--1", -7}, IntCase{"-", -7},
                      IntCase{"-0x10", -7}, IntCase{"x10", -7}, IntCase{"0", 0}, IntCase{"0x0", 0},
                      IntCase{"十", -7}));

TEST_F(IniTest, IntegersSurviveTheRoundTrip) {
    std::vector<std::int32_t> values{0, 1, -1, 9, 10, -10, 2147483647, -2147483647 - 1};
    std::mt19937 rng(12345);
    for (int i = 0; i < 200; ++i)
        values.push_back(static_cast<std::int32_t>(rng()));
    {
        TIniFile32 ini(name);
        for (size_t i = 0; i < values.size(); ++i)
            ini.WriteInteger("N", "k" + std::to_string(i), values[i]);
    }
    TIniFile32 ini(name);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini.ReadInteger("N", "k" + std::to_string(i), 77), values[i]);
}

TEST_F(IniTest, ReadIntegerOfMissingKeyOrSection) {
    TIniFile32 ini(name);
    EXPECT_EQ(ini.ReadInteger("count", "count", 3), 3);
}

TEST_F(IniTest, ReadSectionsNeedsAList) {
    TIniFile32 ini(name);
    try {
        ini.ReadSections(nullptr);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Param Strings must be assigned");
    }
}

TEST_F(IniTest, EraseFirstSectionLeavesNoLeadingBlank) {
    WriteAll(file, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    TIniFile32 ini(name);
    ini.EraseSection("a");
    EXPECT_EQ(Disk(), "[B]\r\ny=2\r\n");
}

TEST_F(IniTest, EraseMiddleSectionLeavesTwoBlanks) {
    WriteAll(file, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nno equals\r\n\r\n[C]\r\nz=3\r\n");
    TIniFile32 ini(name);
    ini.EraseSection("B");
    EXPECT_EQ(Disk(), "[A]\r\nx=1\r\n\r\n\r\n[C]\r\nz=3\r\n");
}

TEST_F(IniTest, EraseLastSectionEndsWithOneBlank) {
    WriteAll(file, "\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    TIniFile32 ini(name);
    ini.EraseSection("B");
    EXPECT_EQ(Disk(), "\r\n[A]\r\nx=1\r\n\r\n\r\n");
}

TEST_F(IniTest, EraseMissingSectionLeavesTheFileUntouched) {
    const std::string original = "[A]\nx=1"; // LF and no final line end
    WriteAll(file, original);
    auto before = fs::last_write_time(file);
    TIniFile32 ini(name);
    ini.EraseSection("B");
    EXPECT_EQ(Disk(), original);
    EXPECT_EQ(fs::last_write_time(file), before);
}

TEST_F(IniTest, StoreSeesTheFileAsItWasWhenCreated) {
    WriteAll(file, "[S]\r\nk=old\r\n");
    TIniFile32 ini(name);
    WriteAll(file, "[S]\r\nk=new\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "old");
    EXPECT_EQ(TIniFile32(name).ReadString("S", "k", ""), "new");
}

TEST_F(IniTest, LineBreaksInTextAreRefusedAndNothingIsWritten) {
    WriteAll(file, "[S]\r\nk=v\r\n");
    TIniFile32 ini(name);
    EXPECT_THROW(ini.WriteString("S", "k", "x\r\n[USRInfo]\r\nSHUTDOWN=1"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S\n", "k", "v"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", "k\r", "v"), EIniFileError);
    EXPECT_THROW(ini.WriteString("S", "k", std::string("a\0b", 3)), EIniFileError);
    EXPECT_EQ(Disk(), "[S]\r\nk=v\r\n");
}

// ---- Failures on disk ----

TEST_F(IniTest, FolderWhereTheFileShouldBeCannotBeOpened) {
    fs::create_directory(file);
    EXPECT_EQ(ErrorOf([&] { TIniFile32 ini(name); }),
              "Cannot open file \"" + name + "\". Is a directory");
}

TEST_F(IniTest, FileUnderARegularFileIsMissing) {
    WriteAll(file, "x");
    TIniFile32 ini(name + "/inner.ini");
    EXPECT_TRUE(ini.Lines().empty());
    EXPECT_EQ(ErrorOf([&] { ini.WriteString("S", "k", "v"); }),
              "Cannot create file \"" + name + "/inner.ini\". Not a directory");
}

TEST_F(IniTest, ReadOnlyFileIsNotReplaced) {
    WriteAll(file, "[S]\r\nk=v\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    TIniFile32 ini(name);
    EXPECT_EQ(ErrorOf([&] { ini.WriteString("S", "k", "new"); }),
              "Cannot create file \"" + name + "\". Permission denied");
    EXPECT_EQ(Disk(), "[S]\r\nk=v\r\n");
    // The change stays in the store until it is released.
    EXPECT_EQ(ini.ReadString("S", "k", ""), "new");
}

TEST_F(IniTest, SaveOverAFolderFailsAndLeavesNoTemporaryFile) {
    TIniFile32 ini(name);
    fs::create_directory(file);
    EXPECT_EQ(ErrorOf([&] { ini.WriteString("S", "k", "v"); }),
              "Cannot create file \"" + name + "\". Is a directory");
    EXPECT_TRUE(fs::is_directory(file));
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(IniTest, ConfigFolderIsCreatedOnFirstSaveOnly) {
    std::string path = dir.Folder() + "Config/UserSettings.ini";
    TIniFile32 ini(path);
    EXPECT_FALSE(fs::exists(dir.Path() / "Config"));
    ini.WriteString("USRInfo", "SHUTDOWN", "0");
    EXPECT_EQ(ReadAll(path), "\r\n[USRInfo]\r\nSHUTDOWN=0\r\n");
    // Only the last folder is made: a deeper missing path is an error.
    TIniFile32 deep(dir.Folder() + "a/b/x.ini");
    EXPECT_EQ(ErrorOf([&] { deep.WriteInteger("S", "k", 1); }),
              "Cannot create file \"" + dir.Folder() + "a/b/x.ini\". No such file or directory");
    EXPECT_FALSE(fs::exists(dir.Path() / "a"));
}

} // namespace
