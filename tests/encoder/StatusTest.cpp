#include "encoder/Status.h"

#include "EvcTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct StatusCase {
    long long bytes;
    double seconds;
    const char* line;
    long long programSeconds;
};

class StatusLineTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineTest, TextAndWhatTheProgramReads) {
    const auto& c = GetParam();
    const std::string line = evc::FormatStatusLine(c.bytes, c.seconds);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(evctest::ProgramSeconds(line), c.programSeconds) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Values, StatusLineTest,
    ::testing::Values(
        StatusCase{125952, 7.872, "size=     123kB time=7.87 bitrate= 128.0kbits/s", 7},
        StatusCase{0, 0.0, "size=       0kB time=0.00 bitrate=N/A", 0},
        // Cut, not rounded: 12.349 s written is not yet 12.35 s.
        StatusCase{2048, 12.349, "size=       2kB time=12.34 bitrate=   1.3kbits/s", 12},
        StatusCase{512, 0.999, "size=       1kB time=0.99 bitrate=   4.1kbits/s", 0},
        StatusCase{1024, 59.999999, "size=       1kB time=59.99 bitrate=   0.1kbits/s", 59},
        StatusCase{1, -3, "size=       0kB time=0.00 bitrate=N/A", 0},
        StatusCase{1073741824, 3600, "size= 1048576kB time=3600.00 bitrate=2386.1kbits/s", 3600}));

TEST(StatusThrottle, FirstAlwaysThenByInterval) {
    evc::StatusThrottle t(500);
    EXPECT_TRUE(t.Due(1000));
    EXPECT_FALSE(t.Due(1001));
    EXPECT_FALSE(t.Due(1499));
    EXPECT_TRUE(t.Due(1500));
    EXPECT_FALSE(t.Due(1999));
    EXPECT_TRUE(t.Due(2600));
}

TEST(ProgramSeconds, ChunksWithoutEnoughPartsGiveNothing) {
    EXPECT_EQ(evctest::ProgramSeconds("a=1 b=16.38 c=5"), 16);
    EXPECT_EQ(evctest::ProgramSeconds("a=1 b=16.38"), -1);
    EXPECT_EQ(evctest::ProgramSeconds("Input: 'x', wav"), -1);
}

} // namespace
