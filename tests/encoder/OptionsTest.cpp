#include "encoder/Options.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line) {
        if (c == ' ') {
            if (!cur.empty()) {
                out.push_back(cur);
            }
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) {
        out.push_back(cur);
    }
    return out;
}

TEST(ParseArguments, TheProgramsMp3Line) {
    const auto r = evc::ParseArguments(Split("-y -i /in/My.Song.wma -acodec mp3 -vn -ab 128 "
                                             "-vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 205 "
                                             "/out/My.Song.mp3"));
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.showHelp);
    const auto& o = r.options;
    EXPECT_TRUE(o.overwrite);
    EXPECT_EQ(o.input, "/in/My.Song.wma");
    EXPECT_EQ(o.output, "/out/My.Song.mp3");
    EXPECT_EQ(o.codec, "mp3");
    EXPECT_EQ(o.bitrateKbps, 128.0);
    EXPECT_EQ(o.volume, 200);
    EXPECT_EQ(o.channels, 2);
    EXPECT_EQ(o.sampleRate, 44100);
    EXPECT_EQ(o.startSeconds, 0.0);
    EXPECT_EQ(o.lengthSeconds, 205.0);
    EXPECT_EQ(o.threads, 0);
    EXPECT_EQ(evc::ParseArguments(Split("-threads 3 -i a.wav o.mp3")).options.threads, 3);
}

TEST(ParseArguments, TheProgramsAmrLineWithVideoValues) {
    const auto r = evc::ParseArguments(Split("-y -i a.3gp -acodec amr_nb -s 176x144 -b 128 -ab "
                                             "128 -vol 200 -ac 1 -ar 8000 -ss 00:01:10 -t 50 "
                                             "o.amr"));
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.codec, "amr_nb");
    EXPECT_EQ(r.options.startSeconds, 70.0);
    EXPECT_EQ(r.options.lengthSeconds, 50.0);
    EXPECT_EQ(r.options.sampleRate, 8000);
    EXPECT_EQ(r.options.channels, 1);
}

TEST(ParseArguments, EmptyVolumeSelectionLeavesUnityGain) {
    // An empty volume list item gives no -vol at all.
    const auto r = evc::ParseArguments(Split("-y -i a.wav -acodec aac -vn -ab 64 -ac 2 -ar 44100 "
                                             "o.m4a"));
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.volume, 200);
    EXPECT_DOUBLE_EQ(evc::GainForVolume(r.options.volume), 1.0);
    EXPECT_FALSE(r.options.startSeconds.has_value());
    EXPECT_FALSE(r.options.lengthSeconds.has_value());
}

TEST(ParseArguments, OrderDoesNotMatter) {
    const auto r = evc::ParseArguments({"o.ogg", "-ar", "22050", "-i", "in.mp3", "-y"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.output, "o.ogg");
    EXPECT_EQ(r.options.input, "in.mp3");
    EXPECT_FALSE(r.options.codec.has_value());
}

TEST(ParseArguments, PathsWithBlanksAndQuotesStayWhole) {
    const auto r = evc::ParseArguments({"-i", "/my music/\"odd\" name.mp3", "/out dir/x y.wav"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.input, "/my music/\"odd\" name.mp3");
    EXPECT_EQ(r.options.output, "/out dir/x y.wav");
}

TEST(ParseArguments, Help) {
    for (const char* h : {"-h", "--help", "-help"}) {
        EXPECT_TRUE(evc::ParseArguments({h}).showHelp) << h;
    }
    EXPECT_NE(evc::UsageText().find("-acodec"), std::string::npos);
}

struct BadCase {
    std::vector<std::string> args;
    const char* messagePart;
};

class BadArgumentsTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadArgumentsTest, Rejected) {
    const auto r = evc::ParseArguments(GetParam().args);
    EXPECT_NE(r.error.find(GetParam().messagePart), std::string::npos)
        << "error was: '" << r.error << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadArgumentsTest,
    ::testing::Values(BadCase{{"-i", "a.wav", "-t", "0", "o.mp3"}, "more than 0"},
                      BadCase{{"-i", "a.wav", "-t", "-5", "o.mp3"}, "more than 0"},
                      BadCase{{"-i", "a.wav", "-t", "abc", "o.mp3"}, "invalid length"},
                      BadCase{{"-i", "a.wav", "-acodec", "opus", "o.mp3"}, "unknown audio codec"},
                      BadCase{{"-i", "a.wav", "-q", "2", "o.mp3"}, "unknown option '-q'"},
                      BadCase{{"-i", "a.wav", "o.mp3", "-ab"}, "needs a value"},
                      BadCase{{"-i", "a.wav", "-ab", "0", "o.mp3"}, "invalid audio bitrate"},
                      BadCase{{"-i", "a.wav", "-ab", "12x", "o.mp3"}, "invalid audio bitrate"},
                      BadCase{{"-i", "a.wav", "-vol", "-25", "o.mp3"}, "invalid volume"},
                      BadCase{{"-i", "a.wav", "-vol", "2.5", "o.mp3"}, "invalid volume"},
                      BadCase{{"-i", "a.wav", "-ac", "0", "o.mp3"}, "invalid channel count"},
                      BadCase{{"-i", "a.wav", "-threads", "-1", "o.mp3"}, "invalid thread count"},
                      BadCase{{"-i", "a.wav", "-threads", "65", "o.mp3"}, "invalid thread count"},
                      BadCase{{"-i", "a.wav", "-threads", "auto", "o.mp3"}, "invalid thread count"},
                      BadCase{{"-i", "a.wav", "-ar", "44k", "o.mp3"}, "invalid sample rate"},
                      BadCase{{"-i", "a.wav", "-s", "176", "o.mp3"}, "invalid frame size"},
                      BadCase{{"-i", "a.wav", "-ss", "1:99", "o.mp3"}, "invalid start time"},
                      BadCase{{"-i", "a.wav", "-ss", "-00:00:01", "o.mp3"}, "invalid start time"},
                      BadCase{{"-i", "a.wav"}, "no output file"},
                      BadCase{{"o.mp3"}, "no input file"},
                      BadCase{{"-i", "a.wav", "-i", "b.wav", "o.mp3"}, "only one input"},
                      BadCase{{"-i", "a.wav", "o.mp3", "p.mp3"}, "more than one output"},
                      BadCase{{"-i", "a.wav", "o.flac"}, "unsupported output type"},
                      BadCase{{"-i", "a.wav", "-acodec", "mp3", "o.wav"}, "cannot be written"},
                      BadCase{{"-i", "a.wav", "-acodec", "aac", "o.ogg"}, "cannot be written"}));

TEST(ParseArguments, AacCodecGoesToBothAacTypes) {
    EXPECT_EQ(evc::ParseArguments({"-i", "a", "-acodec", "aac", "o.aac"}).error, "");
    EXPECT_EQ(evc::ParseArguments({"-i", "a", "-acodec", "aac", "o.m4a"}).error, "");
}

struct TimeCase {
    const char* text;
    std::optional<double> seconds;
};

class TimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTest, Parsed) {
    const auto t = evc::ParseTimeText(GetParam().text);
    ASSERT_EQ(t.has_value(), GetParam().seconds.has_value()) << GetParam().text;
    if (t) {
        EXPECT_NEAR(*t, *GetParam().seconds, 1e-9) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeTextTest,
    ::testing::Values(
        TimeCase{"00:00:00", 0.0}, TimeCase{"00:03:25", 205.0}, TimeCase{"01:00:00", 3600.0},
        TimeCase{"100:00:01", 360001.0}, TimeCase{"00:00:01.5", 1.5}, TimeCase{"1:10", 70.0},
        TimeCase{"205", 205.0}, TimeCase{"-5", -5.0}, TimeCase{"2.25", 2.25},
        TimeCase{"00:60:00", std::nullopt}, TimeCase{"00:00:60", std::nullopt},
        TimeCase{"", std::nullopt}, TimeCase{"::", std::nullopt}, TimeCase{"1:2:3:4", std::nullopt},
        TimeCase{"00:0a:00", std::nullopt}, TimeCase{"00.5:00", std::nullopt},
        TimeCase{"4294967296", 4294967296.0}, TimeCase{"-4294967296", -4294967296.0},
        TimeCase{"4294967296.001", std::nullopt}, TimeCase{"100000000000000000000", std::nullopt},
        TimeCase{"-100000000000000000000", std::nullopt}, TimeCase{"1193047:00:00", std::nullopt}));

} // namespace
