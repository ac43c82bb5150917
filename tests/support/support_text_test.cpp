#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "support/CommonLib.h"
#include "support/SamePath.h"
#include "support/Text.h"

namespace {

using Parts = std::vector<std::string>;

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

struct Lib {
    FakePlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TCommonLib& lib = core.Lib;
};

struct SplitCase {
    std::string text;
    char delimiter;
    Parts parts;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << Escaped(c.text) << "_" << Escaped(std::string(1, c.delimiter));
}

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, KeepsLeadingAndInnerEmptyPartsDropsTrailing) {
    Lib l;
    EXPECT_EQ(l.lib.SplitText(GetParam().text, GetParam().delimiter), GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitTextTest,
    ::testing::Values(
        SplitCase{"", ':', {}}, SplitCase{"", '|', {}}, SplitCase{"a::b", ':', {"a", "", "b"}},
        SplitCase{":a", ':', {"", "a"}}, SplitCase{"a:", ':', {"a"}}, SplitCase{":", ':', {""}},
        SplitCase{"::", ':', {"", ""}}, SplitCase{"12:05:30", ':', {"12", "05", "30"}},
        SplitCase{"abc", ':', {"abc"}},
        SplitCase{"1|none|3|4|5|6", '|', {"1", "none", "3", "4", "5", "6"}},
        SplitCase{"size= 12kB time=1.5 bitrate=", '=', {"size", " 12kB time", "1.5 bitrate"}},
        SplitCase{"音频:视频", ':', {"音频", "视频"}}));

struct ListCase {
    std::string text;
    char separator;
    Parts parts;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class SplitToListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(SplitToListTest, DropsEveryEmptyPart) {
    Parts list{"stale", "entries"};
    SplitToList(GetParam().text, GetParam().separator, list);
    EXPECT_EQ(list, GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitToListTest,
                         ::testing::Values(ListCase{"1.3.0.0", '.', {"1", "3", "0", "0"}},
                                           ListCase{"a..b.", '.', {"a", "b"}},
                                           ListCase{"", '.', {}}, ListCase{"...", '.', {}},
                                           ListCase{".x", '.', {"x"}},
                                           ListCase{"word", '.', {"word"}}));

TEST(TextAfterLast, Table) {
    TStrFunc s;
    const std::vector<std::pair<std::pair<std::string, char>, std::string>> table{
        {{"song.mp3", '.'}, "mp3"}, {{"name", '.'}, "name"},   {{"a.b.c", '.'}, "c"},
        {{"name.", '.'}, ""},       {{"", '.'}, ""},           {{"/a/b/c.wav", '/'}, "c.wav"},
        {{"/a/b/", '/'}, ""},       {{"歌曲.mp3", '.'}, "mp3"}};
    for (const auto& [in, out] : table)
        EXPECT_EQ(s.TextAfterLast(in.first, in.second), out) << in.first;
}

struct NumberCase {
    std::string text;
    double value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class TextToNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumberTest, KeepsDigitsFirstPointAndFirstSigns) {
    Lib l;
    EXPECT_DOUBLE_EQ(l.lib.TextToNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToNumberTest,
    ::testing::Values(NumberCase{"  16", 16}, NumberCase{"256kB", 256},
                      NumberCase{"12.34.56", 12.3456}, NumberCase{"-3-4", -34},
                      NumberCase{"3-4", 34}, NumberCase{"abc", 0}, NumberCase{"1e5", 15},
                      NumberCase{"", 0}, NumberCase{"+", 0}, NumberCase{"-", 0}, NumberCase{"7", 7},
                      NumberCase{"x7y", 7}, NumberCase{"\t 12.34 \r\n", 12.34},
                      NumberCase{"+-5", 5}, NumberCase{"-+5", -5}, NumberCase{".5", 0.5},
                      NumberCase{"5.", 5}, NumberCase{"-.25", -0.25}, NumberCase{"1,5", 15},
                      NumberCase{" 123.45 bitrate", 123.45}, NumberCase{"0012", 12},
                      NumberCase{"时间=3.5", 3.5}));

TEST(TextToNumber, NonNumbersAreConversionErrors) {
    Lib l;
    for (const std::string text : {".", "..", "-.", "+.", "a.b", "+-.", "-x."})
        EXPECT_THROW(l.lib.TextToNumber(text), EConvertError) << text;
}

TEST(TextToNumber, ReadsThePointWhateverTheUsersSeparator) {
    Lib l;
    l.lib.DecimalSeparator = ",";
    EXPECT_DOUBLE_EQ(l.lib.TextToNumber("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(l.lib.TextToNumber("12,5"), 125);
}

struct SizeCase {
    std::int64_t bytes;
    std::string text;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.bytes;
}

class SizeToTextTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeToTextTest, CutsToTwoDecimals) {
    Lib l;
    EXPECT_EQ(l.lib.SizeToText(GetParam().bytes), GetParam().text) << GetParam().bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeToTextTest,
    ::testing::Values(SizeCase{0, "0 B"}, SizeCase{-1, "0 B"},
                      SizeCase{std::numeric_limits<std::int64_t>::min(), "0 B"}, SizeCase{1, "1 B"},
                      SizeCase{1023, "1023 B"}, SizeCase{1024, "1 KB"}, SizeCase{1130, "1.1 KB"},
                      SizeCase{1536, "1.5 KB"}, SizeCase{1034, "1 KB"}, SizeCase{1035, "1.01 KB"},
                      SizeCase{1126, "1.09 KB"}, SizeCase{2047, "1.99 KB"},
                      SizeCase{1048575, "1023.99 KB"}, SizeCase{1048576, "1 MB"},
                      SizeCase{1234567, "1.17 MB"}, SizeCase{1073741823, "1023.99 MB"},
                      SizeCase{1073741824, "1 GB"}, SizeCase{5 * 1073741824LL, "5 GB"},
                      SizeCase{1610612736, "1.5 GB"}, SizeCase{2048LL * 1073741824LL, "2048 GB"},
                      SizeCase{std::numeric_limits<std::int64_t>::max(), "8589934591.99 GB"}));

TEST(SizeToText, UsesTheUsersDecimalSeparator) {
    Lib l;
    l.lib.DecimalSeparator = ",";
    EXPECT_EQ(l.lib.SizeToText(1536), "1,5 KB");
    EXPECT_EQ(l.lib.SizeToText(1234567), "1,17 MB");
    EXPECT_EQ(l.lib.SizeToText(1024), "1 KB");
}

struct TimeCase {
    std::int64_t seconds;
    std::string text;
};

void PrintTo(const TimeCase& c, std::ostream* os) {
    *os << c.seconds;
}

class SecondsToTimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(SecondsToTimeTextTest, TwoDigitFields) {
    Lib l;
    EXPECT_EQ(l.lib.SecondsToTimeText(GetParam().seconds), GetParam().text) << GetParam().seconds;
}

INSTANTIATE_TEST_SUITE_P(Table, SecondsToTimeTextTest,
                         ::testing::Values(TimeCase{0, "00:00:00"}, TimeCase{1, "00:00:01"},
                                           TimeCase{59, "00:00:59"}, TimeCase{60, "00:01:00"},
                                           TimeCase{61, "00:01:01"}, TimeCase{3599, "00:59:59"},
                                           TimeCase{3600, "01:00:00"}, TimeCase{3601, "01:00:01"},
                                           TimeCase{3661, "01:01:01"}, TimeCase{86399, "23:59:59"},
                                           TimeCase{360000, "100:00:00"},
                                           TimeCase{360000 + 3599, "100:59:59"},
                                           TimeCase{-5, "00:00:00"}, TimeCase{-3600, "00:00:00"},
                                           TimeCase{std::numeric_limits<std::int64_t>::max(),
                                                    "2562047788015215:30:07"}));

struct PadCase {
    std::int64_t width, divisor, value;
    std::string text;
};

void PrintTo(const PadCase& c, std::ostream* os) {
    *os << c.width << "_" << c.divisor << "_" << c.value;
}

class PadNumberTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadNumberTest, ZerosUpToWidth) {
    Lib l;
    const PadCase& c = GetParam();
    EXPECT_EQ(l.lib.PadNumber(c.width, c.divisor, c.value), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, PadNumberTest,
                         ::testing::Values(PadCase{2, 1, 5, "05"}, PadCase{2, 1, 0, "00"},
                                           PadCase{2, 1, 12, "12"}, PadCase{2, 1, 123, "123"},
                                           PadCase{2, 60000, 119999, "01"},
                                           PadCase{2, 1000, 59999, "59"},
                                           PadCase{5, 7, 100, "00014"}, PadCase{0, 1, 3, "3"},
                                           PadCase{-3, 1, 3, "3"}));

TEST(PadNumber, ZeroDivisorIsAnError) {
    Lib l;
    EXPECT_THROW(l.lib.PadNumber(2, 0, 5), std::invalid_argument);
}

} // namespace

TEST(SamePathText, CaseCountsWhereTheFileSystemTellsItApart) {
#ifdef _WIN32
    constexpr bool kPathsFoldCase = true;
#else
    constexpr bool kPathsFoldCase = false;
#endif
    EXPECT_TRUE(SamePathText("/m/Tone.wav", "/m/Tone.wav"));
    EXPECT_EQ(SamePathText("/m/Tone.wav", "/M/tone.WAV"), kPathsFoldCase);
    // Only ASCII letters fold: other bytes are never matched half-way.
    EXPECT_FALSE(SamePathText("/m/É.wav", "/m/é.wav"));
    EXPECT_FALSE(SamePathText("/m/tone.wav", "/m/tone.wa"));
}

TEST(NaturalLess, NumbersByValueLettersWithoutCase) {
    // Each name comes before the next.
    const std::vector<std::string> order{"",
                                         "01.mp3",
                                         "1.mp3",
                                         "2.mp3",
                                         "10.mp3",
                                         "a.mp3",
                                         "A1.mp3",
                                         "a2.mp3",
                                         "a02b.mp3",
                                         "a2c.mp3",
                                         "a10.mp3",
                                         "B.mp3",
                                         "b.mp3",
                                         "track 9",
                                         "track 009x",
                                         "track 10",
                                         "x99999999999999999999",
                                         "x100000000000000000000",
                                         "z",
                                         "\xc3\xa9.mp3"};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        EXPECT_TRUE(NaturalLess(order[i], order[i + 1])) << order[i] << " < " << order[i + 1];
        EXPECT_FALSE(NaturalLess(order[i + 1], order[i])) << order[i + 1] << " < " << order[i];
    }
    EXPECT_FALSE(NaturalLess("same", "same"));
}
