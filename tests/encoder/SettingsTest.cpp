#include "encoder/Settings.h"

#include <gtest/gtest.h>

namespace {

using evc::OutputType;

struct ResolveCase {
    OutputType type;
    int rate;
    int channels;
    double kbps;
    int wantRate;
    int wantChannels;
    int wantBitrate;
    size_t wantNotes;
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, NearestValidValues) {
    const ResolveCase& c = GetParam();
    evc::RequestedSettings req;
    req.sampleRate = c.rate;
    req.channels = c.channels;
    req.bitrateKbps = c.kbps;
    const auto s = evc::ResolveSettings(c.type, req, 44100, 2);
    EXPECT_EQ(s.sampleRate, c.wantRate);
    EXPECT_EQ(s.channels, c.wantChannels);
    EXPECT_EQ(s.bitrate, c.wantBitrate);
    EXPECT_EQ(s.notes.size(), c.wantNotes);
    for (const auto& n : s.notes) {
        // Header lines must never hold the separator the program splits status lines at.
        EXPECT_EQ(n.find('='), std::string::npos) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, ResolveTest,
                         ::testing::Values(
                             // AC-3 has no 22050 Hz and nothing below 32 kbit/s.
                             ResolveCase{OutputType::Ac3, 22050, 1, 48, 32000, 1, 48000, 1},
                             ResolveCase{OutputType::Ac3, 44100, 2, 16, 44100, 2, 32000, 1},
                             ResolveCase{OutputType::Ac3, 48000, 2, 224, 48000, 2, 224000, 0},
                             // LAME: MPEG-2 rates stop at 160 kbit/s, MPEG-1 rates start at 32.
                             ResolveCase{OutputType::Mp3, 22050, 2, 224, 22050, 2, 160000, 1},
                             ResolveCase{OutputType::Mp3, 22050, 2, 192, 22050, 2, 160000, 1},
                             ResolveCase{OutputType::Mp3, 22050, 1, 16, 22050, 1, 16000, 0},
                             ResolveCase{OutputType::Mp3, 44100, 1, 16, 44100, 1, 32000, 1},
                             ResolveCase{OutputType::Mp3, 48000, 2, 224, 48000, 2, 224000, 0},
                             // Native AAC: 6144 bits per 1024-sample frame and channel.
                             ResolveCase{OutputType::Aac, 22050, 1, 224, 22050, 1, 132000, 1},
                             ResolveCase{OutputType::Aac, 22050, 2, 224, 22050, 2, 224000, 0},
                             ResolveCase{OutputType::M4a, 22050, 1, 128, 22050, 1, 128000, 0},
                             ResolveCase{OutputType::M4a, 22050, 1, 160, 22050, 1, 132000, 1},
                             // libvorbis average bitrate tables.
                             ResolveCase{OutputType::Ogg, 22050, 1, 16, 22050, 1, 16000, 0},
                             ResolveCase{OutputType::Ogg, 22050, 2, 16, 22050, 2, 30000, 1},
                             ResolveCase{OutputType::Ogg, 22050, 1, 224, 22050, 1, 90000, 1},
                             ResolveCase{OutputType::Ogg, 22050, 2, 224, 22050, 2, 180000, 1},
                             ResolveCase{OutputType::Ogg, 32000, 1, 224, 32000, 1, 190000, 1},
                             ResolveCase{OutputType::Ogg, 32000, 2, 32, 32000, 2, 36000, 1},
                             ResolveCase{OutputType::Ogg, 44100, 1, 16, 44100, 1, 32000, 1},
                             ResolveCase{OutputType::Ogg, 48000, 2, 32, 48000, 2, 45000, 1},
                             ResolveCase{OutputType::Ogg, 48000, 2, 224, 48000, 2, 224000, 0},
                             // AMR-NB is 8000 Hz mono, 12.2 kbit/s at most.
                             ResolveCase{OutputType::Amr, 8000, 1, 128, 8000, 1, 12200, 1},
                             ResolveCase{OutputType::Amr, 44100, 2, 12.2, 8000, 1, 12200, 2},
                             // PCM ignores the bitrate and keeps any listed rate.
                             ResolveCase{OutputType::Wav, 22050, 1, 224, 22050, 1, 0, 0},
                             ResolveCase{OutputType::Wav, 48000, 2, 16, 48000, 2, 0, 0},
                             // Channel counts above stereo come down to stereo.
                             ResolveCase{OutputType::Mp3, 44100, 6, 128, 44100, 2, 128000, 1}));

TEST(ResolveSettings, UnsetValuesFollowTheSourceWithoutNotes) {
    const auto s = evc::ResolveSettings(OutputType::Ac3, {}, 22050, 6);
    EXPECT_EQ(s.sampleRate, 32000);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.bitrate, 128000);
    EXPECT_TRUE(s.notes.empty());
}

TEST(ResolveSettings, NoteNamesBothValues) {
    evc::RequestedSettings req;
    req.sampleRate = 22050;
    const auto s = evc::ResolveSettings(OutputType::Ac3, req, 44100, 2);
    ASSERT_EQ(s.notes.size(), 1u);
    EXPECT_EQ(s.notes[0], "AC-3 cannot be written at 22050 Hz, using 32000 Hz");
}

struct AmrCase {
    double kbps;
    int index;
    double modeKbps;
};

class AmrModeTest : public ::testing::TestWithParam<AmrCase> {};

TEST_P(AmrModeTest, HighestModeNotAbove) {
    const auto m = evc::AmrModeFor(GetParam().kbps);
    EXPECT_EQ(m.index, GetParam().index);
    EXPECT_DOUBLE_EQ(m.kbps, GetParam().modeKbps);
}

INSTANTIATE_TEST_SUITE_P(Edges, AmrModeTest,
                         ::testing::Values(AmrCase{1, 0, 4.75}, AmrCase{4.75, 0, 4.75},
                                           AmrCase{5.14, 0, 4.75}, AmrCase{5.15, 1, 5.15},
                                           AmrCase{7.94, 4, 7.4}, AmrCase{7.95, 5, 7.95},
                                           AmrCase{12.19, 6, 10.2}, AmrCase{12.2, 7, 12.2},
                                           AmrCase{16, 7, 12.2}, AmrCase{224, 7, 12.2}));

TEST(NearestOf, TieGoesToLowerAndEndsClamp) {
    const std::vector<int> v = {32, 40, 48};
    EXPECT_EQ(evc::NearestOf(v, 36), 32);
    EXPECT_EQ(evc::NearestOf(v, 37), 40);
    EXPECT_EQ(evc::NearestOf(v, 1), 32);
    EXPECT_EQ(evc::NearestOf(v, 1000), 48);
}

struct PathCase {
    const char* path;
    std::optional<OutputType> type;
};

class OutputTypeTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(OutputTypeTest, ByExtension) {
    EXPECT_EQ(evc::OutputTypeForPath(GetParam().path), GetParam().type) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Names, OutputTypeTest,
    ::testing::Values(PathCase{"/a/b.amr", OutputType::Amr}, PathCase{"b.AAC", OutputType::Aac},
                      PathCase{"x.y.mp3", OutputType::Mp3}, PathCase{"c.Ac3", OutputType::Ac3},
                      PathCase{"d.m4a", OutputType::M4a}, PathCase{"e.ogg", OutputType::Ogg},
                      PathCase{"C:\\out\\f.wav", OutputType::Wav}, PathCase{"g.mp4", std::nullopt},
                      PathCase{"/dir.mp3/noext", std::nullopt}, PathCase{".mp3", std::nullopt},
                      PathCase{"", std::nullopt}));

TEST(CodecNames, ProgramNamesAndLibraryAliases) {
    EXPECT_EQ(evc::CanonicalCodecName("amr_nb"), "amr_nb");
    EXPECT_EQ(evc::CanonicalCodecName("libmp3lame"), "mp3");
    EXPECT_EQ(evc::CanonicalCodecName("VORBIS"), "vorbis");
    EXPECT_EQ(evc::CanonicalCodecName("pcm_s16le"), "pcm_s16le");
    EXPECT_EQ(evc::CanonicalCodecName("pcm_s24le"), std::nullopt);
    EXPECT_EQ(evc::CanonicalCodecName(""), std::nullopt);
    EXPECT_EQ(evc::CodecNameFor(OutputType::M4a), "aac");
    EXPECT_EQ(evc::MuxerNameFor(OutputType::M4a), "ipod");
    EXPECT_EQ(evc::MuxerNameFor(OutputType::Aac), "adts");
}

} // namespace
