#include <gtest/gtest.h>

#include <random>

#include "support/CommandLineSplit.h"

namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> argv;
};

TEST(CommandLineSplit, WindowsRules) {
    const SplitCase cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a b  c", {"a", "b", "c"}},
        {" \tlead trail\t ", {"lead", "trail"}},
        {"\"abc\" d e", {"abc", "d", "e"}},
        {"\"a b\"c d", {"a bc", "d"}},
        {"a\\\\b d\"e f\"g h", {"a\\\\b", "de fg", "h"}},
        {"a\\\\\\\"b c d", {"a\\\"b", "c", "d"}},
        {"a\\\\\\\\\"b c\" d e", {"a\\\\b c", "d", "e"}},
        {"\"\"", {""}},
        {"x \"\" y", {"x", "", "y"}},
        {"\"a\"\"b\"", {"a\"b"}}, // a doubled quote inside quotes ends them
        {"\"a\"\" b\"", {"a\"", "b"}},
        {"\"unterminated blank", {"unterminated blank"}},
        {"trailing\\", {"trailing\\"}},
        {"\"c:\\\\dir\\\\\" next", {"c:\\\\dir\\", "next"}},
        {"中文 \"歌 曲\"", {"中文", "歌 曲"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.argv) << c.line;
}

TEST(CommandLineSplit, QuotingLeavesOrdinaryPathsAsDocumented) {
    const char* paths[] = {"/home/u/a.wav", "C:\\a\\My.Song.wma", "/tmp/中文.mp3", "x"};
    for (const char* p : paths)
        EXPECT_EQ(QuoteArgument(p), std::string("\"") + p + "\"");
    EXPECT_EQ(QuoteArgumentIfNeeded("/opt/velmora/evc"), "/opt/velmora/evc");
    EXPECT_EQ(QuoteArgumentIfNeeded("/opt/my app/evc"), "\"/opt/my app/evc\"");
    EXPECT_EQ(QuoteArgumentIfNeeded(""), "\"\"");
    EXPECT_EQ(QuoteArgument("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(QuoteArgument("dir\\"), "\"dir\\\\\"");
    EXPECT_EQ(QuoteArgument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
}

TEST(CommandLineSplit, NastyArgumentsRoundTrip) {
    const std::vector<std::string> nasty = {
        "",          " ",           "a b",        "\"",           "\"\"",       "a\"b",
        "\\",        "\\\\",        "a\\",        "a\\\"",        "\\\"\\",     "with\ttab",
        "中文 歌曲", "/m/it's.wav", "\"quoted\"", "a\\\\\\\"b c", "x\\\\ \\\\", "end\\\\\"\\"};
    std::string line = QuoteArgumentIfNeeded("/opt/my \"app\"/evc");
    std::vector<std::string> expected{"/opt/my \"app\"/evc"};
    for (const std::string& a : nasty) {
        EXPECT_EQ(SplitCommandLine(QuoteArgument(a)), std::vector<std::string>{a}) << a;
        line += " " + QuoteArgument(a);
        expected.push_back(a);
    }
    EXPECT_EQ(SplitCommandLine(line), expected);
}

TEST(CommandLineSplit, RandomArgumentsRoundTrip) {
    // Fixed seed: failures reproduce.
    std::mt19937 rng(20261209);
    const std::vector<std::string> alphabet = {"a", " ", "\"", "\\", "\t", "中", "/", "'"};
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> args(1 + rng() % 4);
        std::string line;
        for (std::string& a : args) {
            const int len = static_cast<int>(rng() % 8);
            for (int i = 0; i < len; ++i)
                a += alphabet[rng() % alphabet.size()];
            line += (line.empty() ? "" : " ") + QuoteArgumentIfNeeded(a);
        }
        ASSERT_EQ(SplitCommandLine(line), args) << line;
    }
}

} // namespace
