#include "encoder/Gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct S16Case {
    std::int16_t in;
    double gain;
    std::int16_t out;
};

class GainS16Test : public ::testing::TestWithParam<S16Case> {};

TEST_P(GainS16Test, RoundsAndSaturates) {
    std::int16_t v = GetParam().in;
    evc::ApplyGain(&v, 1, GetParam().gain);
    EXPECT_EQ(v, GetParam().out) << GetParam().in << " x " << GetParam().gain;
}

INSTANTIATE_TEST_SUITE_P(Values, GainS16Test,
                         ::testing::Values(S16Case{1000, 1.0, 1000}, S16Case{-32768, 1.0, -32768},
                                           S16Case{32767, 1.0, 32767}, S16Case{1000, 0.5, 500},
                                           S16Case{-1000, 0.5, -500}, S16Case{3, 0.5, 2},
                                           S16Case{1000, 0.0, 0}, S16Case{-32768, 0.0, 0},
                                           S16Case{20000, 2.5, 32767}, S16Case{-20000, 2.5, -32768},
                                           S16Case{100, 0.78125, 78}, S16Case{16384, 2.0, 32767}));

TEST(GainFloat, ScalesPastFullScaleWithoutClipping) {
    std::vector<float> v = {0.5f, -0.5f, 0.9f, -0.9f, 0.0f};
    evc::ApplyGain(v.data(), v.size(), 2.0);
    EXPECT_FLOAT_EQ(v[0], 1.0f);
    EXPECT_FLOAT_EQ(v[1], -1.0f);
    EXPECT_FLOAT_EQ(v[2], 1.8f);
    EXPECT_FLOAT_EQ(v[3], -1.8f);
    EXPECT_FLOAT_EQ(v[4], 0.0f);
}

TEST(GainFloat, HalfAndZero) {
    std::vector<float> v = {0.5f, -0.25f};
    evc::ApplyGain(v.data(), v.size(), 0.5);
    EXPECT_FLOAT_EQ(v[0], 0.25f);
    EXPECT_FLOAT_EQ(v[1], -0.125f);
    evc::ApplyGain(v.data(), v.size(), 0.0);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    EXPECT_FLOAT_EQ(v[1], 0.0f);
}

TEST(GainS16, WholeBufferNotJustFirst) {
    std::vector<std::int16_t> v(1000, 400);
    evc::ApplyGain(v.data(), v.size(), 0.25);
    for (auto s : v) {
        ASSERT_EQ(s, 100);
    }
}

} // namespace
