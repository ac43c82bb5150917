// Chunked encoding leaves no seam: music-like audio with transients encoded by one instance and
// by four, each decoded and set against the source around every chunk border. The steady source
// has its transients only in the first chunk, so later instances start on another block grid.
#include "EvcTestSupport.h"

#include "encoder/Chunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

struct SeamCase {
    const char* ext;
    const char* source; // music or steady
    evc::OutputType type;
    int frame;                      // the encoder's frame size at 44100 Hz
    AVSampleFormat format;          // its sample format for a 16-bit source
    std::vector<std::string> check; // an independent decoder, the file appended; empty: none
};

class EvcSeams : public ::testing::TestWithParam<SeamCase> {
protected:
    static void SetUpTestSuite() {
        dir_ = new evctest::TempDir;
        // Two tones, one swelling, and bursts of noise every 0.37 s and 0.53 s: attacks that
        // make encoders switch windows, so a border can fall near one.
        for (const auto& [name, until] : {std::pair{"music", "64"}, std::pair{"steady", "5"}}) {
            const std::string bursts = std::string("*lt(t\\,") + until + ")";
            evctest::MakeMedia(
                {"-f", "lavfi", "-i",
                 "aevalsrc=0.3*sin(2*PI*440*t)*(0.5+0.5*sin(2*PI*0.7*t))+0.3*lt(mod(t\\,0.37)\\,"
                 "0.01)*random(0)" +
                     bursts +
                     "+0.02*random(1)|0.3*sin(2*PI*554*t)+0.3*lt(mod(t\\,0.53)\\,0.008)*random(2)" +
                     bursts + ":s=44100:c=stereo:d=64",
                 "-c:a", "pcm_s16le"},
                dir_->File(std::string(name) + ".wav"));
            sources_[name] =
                evctest::ReadAudio(dir_->File(std::string(name) + ".wav"), true).firstChannel;
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static evctest::TempDir* dir_;
    static std::map<std::string, std::vector<float>> sources_;
};

evctest::TempDir* EvcSeams::dir_ = nullptr;
std::map<std::string, std::vector<float>> EvcSeams::sources_;

// The encoder delay: the shift that best lines the decoded audio up with the source.
int Delay(const std::vector<float>& out, const std::vector<float>& src) {
    int best = 0;
    double bestScore = -1e300;
    for (int d = 0; d <= 4096; ++d) {
        double s = 0;
        for (int n = kRate; n < 2 * kRate; ++n) {
            s += out[static_cast<std::size_t>(n + d)] * src[static_cast<std::size_t>(n)];
        }
        if (s > bestScore) {
            bestScore = s;
            best = d;
        }
    }
    return best;
}

struct Span {
    double max = 0;  // largest error
    double rms = 0;  // error RMS
    double jump = 0; // largest step from one decoded sample to the next
};

Span Measure(const std::vector<float>& out, int delay, const std::vector<float>& src, long from,
             long to) {
    Span s;
    double sum = 0;
    for (long n = from; n < to; ++n) {
        const double e =
            out[static_cast<std::size_t>(n + delay)] - src[static_cast<std::size_t>(n)];
        s.max = std::max(s.max, std::abs(e));
        sum += e * e;
        s.jump = std::max(s.jump, std::abs(double(out[static_cast<std::size_t>(n + delay + 1)]) -
                                           out[static_cast<std::size_t>(n + delay)]));
    }
    s.rms = std::sqrt(sum / double(to - from));
    return s;
}

TEST_P(EvcSeams, FourInstancesDecodeLikeOneAroundEveryChunkBorder) {
    const SeamCase& c = GetParam();
    const std::vector<float>& source_ = sources_[c.source];
    const std::string one = dir_->File(std::string(c.source) + "-one." + c.ext);
    const std::string four = dir_->File(std::string(c.source) + "-four." + c.ext);
    for (const auto& [threads, out] : {std::pair{"1", one}, std::pair{"4", four}}) {
        const auto r =
            evctest::RunEvc({"-y", "-threads", threads, "-i",
                             dir_->File(std::string(c.source) + ".wav"), "-ab", "128", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto ff = evctest::RunBuildTool(
            "ffmpeg", {"-v", "error", "-nostdin", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(ff.exitCode, 0);
        EXPECT_EQ(ff.err, "") << out;
        if (!c.check.empty()) {
            auto args = std::vector<std::string>(c.check.begin() + 1, c.check.end());
            args.push_back(out);
            const auto d = evctest::RunBuildTool(c.check[0], args);
            EXPECT_EQ(d.exitCode, 0) << c.check[0] << " " << out << ": " << d.out << d.err;
            EXPECT_EQ(d.err.find("rror"), std::string::npos) << d.err;
            EXPECT_EQ(d.out.find("WARNING"), std::string::npos) << d.out;
        }
    }
    const auto a = evctest::ReadAudio(one, true);
    const auto b = evctest::ReadAudio(four, true);
    ASSERT_TRUE(a.ok && b.ok) << a.error << b.error;
    EXPECT_EQ(b.samples, a.samples);

    const auto plan = evc::ChunkPlanFor(c.type, c.frame, kRate, 2, c.format, 4);
    const long chunk = plan ? long{plan->chunkFrames} * plan->frame : long(source_.size());
    const int delay = Delay(b.firstChannel, source_);
    EXPECT_EQ(delay, Delay(a.firstChannel, source_));
    const long half = kRate / 40; // 25 ms either side of a border
    const long end =
        std::min<long>(long(source_.size()), long(b.firstChannel.size()) - delay - 1) - kRate / 2;
    // Elsewhere: every other 50 ms window, leaving out the file's first and last half second.
    Span elsewhere;
    for (long w = kRate / 2; w + 2 * half <= end; w += 2 * half) {
        if ((w + half) % chunk < 2 * half || chunk - (w + half) % chunk < 2 * half) {
            continue;
        }
        const Span s = Measure(b.firstChannel, delay, source_, w, w + 2 * half);
        elsewhere = {std::max(elsewhere.max, s.max), std::max(elsewhere.rms, s.rms),
                     std::max(elsewhere.jump, s.jump)};
    }
    int borders = 0;
    for (long border = chunk; border + half < end; border += chunk, ++borders) {
        const Span s4 = Measure(b.firstChannel, delay, source_, border - half, border + half);
        const Span s1 = Measure(a.firstChannel, delay, source_, border - half, border + half);
        std::printf("%s border %.3f s: max %.4f rms %.4f jump %.4f (one instance %.4f %.4f %.4f; "
                    "elsewhere at most %.4f %.4f %.4f)\n",
                    c.ext, double(border) / kRate, s4.max, s4.rms, s4.jump, s1.max, s1.rms, s1.jump,
                    elsewhere.max, elsewhere.rms, elsewhere.jump);
        EXPECT_LE(s4.max, elsewhere.max) << c.ext << " at " << border;
        EXPECT_LE(s4.rms, elsewhere.rms) << c.ext << " at " << border;
        EXPECT_LE(s4.jump, std::max(elsewhere.jump, s1.jump)) << c.ext << " at " << border;
        // And no worse than one instance there, beyond the spread of coding noise.
        EXPECT_LE(s4.rms, 1.5 * s1.rms + 0.002) << c.ext << " at " << border;
    }
    if (plan) {
        EXPECT_GE(borders, 5) << "64 s of audio in chunks of " << chunk << " samples";
    }
}

INSTANTIATE_TEST_SUITE_P(
    LossyTypes, EvcSeams,
    ::testing::Values(
        SeamCase{
            "mp3", "music", evc::OutputType::Mp3, 1152, AV_SAMPLE_FMT_S16P, {"mpg123", "-q", "-t"}},
        SeamCase{"aac",
                 "music",
                 evc::OutputType::Aac,
                 1024,
                 AV_SAMPLE_FMT_FLTP,
                 {"faad", "-q", "-o", "/dev/null"}},
        SeamCase{"m4a",
                 "music",
                 evc::OutputType::M4a,
                 1024,
                 AV_SAMPLE_FMT_FLTP,
                 {"faad", "-q", "-o", "/dev/null"}},
        SeamCase{"ac3", "music", evc::OutputType::Ac3, 1536, AV_SAMPLE_FMT_FLTP, {}},
        SeamCase{"ogg", "music", evc::OutputType::Ogg, 64, AV_SAMPLE_FMT_FLTP, {"ogginfo"}},
        SeamCase{"ogg", "steady", evc::OutputType::Ogg, 64, AV_SAMPLE_FMT_FLTP, {"ogginfo"}}),
    [](const auto& info) {
        return std::string(info.param.ext) + (info.param.source == std::string("music")
                                                  ? ""
                                                  : "_" + std::string(info.param.source));
    });

} // namespace
