// Whole runs of the evc executable, checked by reading the results back with libavformat.
#include "encoder/Options.h"
#include "encoder/Settings.h"
#include "encoder/System.h"

#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <thread>

namespace fs = std::filesystem;
using evctest::AudioInfo;
using evctest::ReadAudio;
using evctest::RunEvc;
using evctest::RunResult;

namespace {

struct TypeInfo {
    const char* ext;
    const char* codecArg;
    const char* format; // demuxer name when read back
    const char* codec;
    int slack;     // samples a result may run over the asked length: frame padding, priming
    int shortfall; // samples it may lack (libvorbis through libavformat drops 128)
    int frame;     // samples the encoder takes at a time (Vorbis: its short block)
};

const TypeInfo kTypes[] = {
    {".amr", "amr_nb", "amr", "amr_nb", 160, 0, 160},
    {".aac", "aac", "aac", "aac", 2048, 0, 1024},
    {".mp3", "mp3", "mp3", "mp3", 1152, 0, 1152},
    {".ac3", "ac3", "ac3", "ac3", 1536, 0, 1536},
    {".m4a", "aac", "mov,mp4,m4a,3gp,3g2,mj2", "aac", 1024, 0, 1024},
    {".ogg", "vorbis", "ogg", "vorbis", 1024, 128, 256},
    {".wav", "pcm_s16le", "wav", "pcm_s16le", 0, 0, 1},
};

// The argument list the program builds for a type.
std::vector<std::string> ProgramArgs(const TypeInfo& t, const std::string& in,
                                     const std::string& out, const std::string& kbps,
                                     const std::string& vol, const std::string& channels,
                                     const std::string& rate, const std::string& start = "",
                                     const std::string& length = "") {
    std::vector<std::string> a = {"-y", "-i", in, "-acodec", t.codecArg};
    if (std::string(t.ext) == ".amr") {
        a.insert(a.end(), {"-s", "176x144", "-b", "128", "-ab", kbps, "-vol", vol, "-ac", "1",
                           "-ar", "8000"});
    } else {
        a.insert(a.end(), {"-vn", "-ab", kbps, "-vol", vol, "-ac", channels, "-ar", rate});
    }
    if (!start.empty()) {
        a.insert(a.end(), {"-ss", start, "-t", length});
    }
    a.push_back(out);
    return a;
}

bool HasLeftovers(const evctest::TempDir& dir) {
    for (const auto& name : dir.Entries()) {
        if (name.find(".evc-") != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> StatusLines(const std::string& out) {
    std::vector<std::string> status;
    for (const auto& l : evctest::Lines(out)) {
        if (l.rfind("size=", 0) == 0) {
            status.push_back(l);
        }
    }
    return status;
}

class EvcRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { media_ = std::make_unique<evctest::TempDir>(); }
    static void TearDownTestSuite() { media_.reset(); }
    // Made on first use: ctest runs every test in a process of its own.
    static std::string Media(const std::string& name) {
        const std::string path = media_->File(name);
        if (fs::exists(path)) {
            return path;
        }
        if (name == "tone.wav") {
            // Three seconds of a rising tone, 44.1 kHz stereo: sample positions are tellable
            // apart.
            evctest::MakeMedia({"-f", "lavfi", "-i",
                                "aevalsrc=0.5*sin(2*PI*(200+300*t)*t)|0.5*sin(2*PI*(300+200*t)*t):"
                                "s=44100:d=3",
                                "-c:a", "pcm_s16le"},
                               path);
        } else if (name == "tone.mp4") {
            // The same tone as the sound of a small H.264 video.
            evctest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=128x96:rate=25:d=3", "-i",
                                Media("tone.wav"), "-c:v", "libx264", "-preset", "ultrafast",
                                "-c:a", "aac", "-b:a", "192k"},
                               path);
        } else if (name == "one.wav") {
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=f=440:sample_rate=44100:d=1", "-ac", "2",
                                "-c:a", "pcm_s16le"},
                               path);
        } else if (name == "level.wav") {
            // A steady -20 dBFS tone for level checks.
            evctest::MakeMedia({"-f", "lavfi", "-i", "aevalsrc=0.1*sin(2*PI*1000*t):s=44100:d=2",
                                "-ac", "2", "-c:a", "pcm_s16le"},
                               path);
        }
        return path;
    }

    static std::unique_ptr<evctest::TempDir> media_;
    evctest::TempDir out_;
};

std::unique_ptr<evctest::TempDir> EvcRun::media_;

class EvcTypes : public EvcRun, public ::testing::WithParamInterface<TypeInfo> {};

// From a plain WAV and from the sound of a video.
TEST_P(EvcTypes, TrimmedOutputIsTheAskedTypeAndLength) {
    const TypeInfo& t = GetParam();
    for (const char* source : {"tone.wav", "tone.mp4"}) {
        SCOPED_TRACE(source);
        const std::string out = out_.File(std::string("cut") + t.ext);
        const RunResult r =
            RunEvc(ProgramArgs(t, Media(source), out, "128", "200", "2", "44100", "00:00:01", "1"));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const AudioInfo info = ReadAudio(out);
        ASSERT_TRUE(info.ok) << info.error;
        EXPECT_EQ(info.format, t.format);
        EXPECT_EQ(info.codec, t.codec);
        const bool amr = std::string(t.ext) == ".amr";
        EXPECT_EQ(info.sampleRate, amr ? 8000 : 44100);
        EXPECT_EQ(info.channels, amr ? 1 : 2);
        const std::int64_t asked = info.sampleRate;
        EXPECT_GE(info.samples, asked - t.shortfall);
        EXPECT_LE(info.samples, asked + t.slack);
        // The last status line reports the full length, as the program reads it.
        const auto status = StatusLines(r.out);
        ASSERT_FALSE(status.empty()) << r.out;
        EXPECT_EQ(evctest::ProgramSeconds(status.back()), 1);
        EXPECT_NE(status.back().find("time=1.00 "), std::string::npos) << status.back();
        EXPECT_FALSE(HasLeftovers(out_));
    }
}

TEST_P(EvcTypes, LengthPastTheEndStopsAtTheEnd) {
    const TypeInfo& t = GetParam();
    const std::string out = out_.File(std::string("all") + t.ext);
    const RunResult r = RunEvc(
        ProgramArgs(t, Media("tone.wav"), out, "64", "200", "1", "22050", "00:00:00", "100"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioInfo info = ReadAudio(out);
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_NEAR(info.Seconds(), 3.0, (t.slack + 64.0) / info.sampleRate);
}

// Inputs shorter than a frame, at the output's rate and (four channels of nine samples) from
// another rate: each gives a file a player reads.
TEST_P(EvcTypes, TinyInputsGiveReadableFiles) {
    const TypeInfo& t = GetParam();
    const int rate = std::string(t.ext) == ".amr" ? 8000 : 44100;
    struct Tiny {
        int rate;
        int channels;
        int samples;
    };
    const Tiny tiny[] = {{rate, 2, 1},
                         {rate, 2, 9},
                         {rate, 2, std::max(1, t.frame - 1)},
                         {rate == 8000 ? 44100 : 8000, 4, 9}};
    for (const Tiny& in : tiny) {
        const std::string what = std::to_string(in.samples) + " samples of " +
                                 std::to_string(in.channels) + " channels at " +
                                 std::to_string(in.rate) + " Hz";
        SCOPED_TRACE(what);
        const std::string src = out_.File("source.wav");
        // A fixed seed: with seed 6, nine samples once made an AC3 stream no reader knew.
        evctest::MakeMedia({"-f", "lavfi", "-i",
                            "anoisesrc=a=0.5:seed=6:r=" + std::to_string(in.rate), "-af",
                            "atrim=end_sample=" + std::to_string(in.samples), "-ac",
                            std::to_string(in.channels), "-c:a", "pcm_s16le"},
                           src);
        const std::string out = out_.File(std::string("tiny") + t.ext);
        const RunResult r = RunEvc(ProgramArgs(t, src, out, "128", "200", "2", "44100"));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const RunResult check = evctest::RunBuildTool(
            "ffmpeg", {"-v", "error", "-nostdin", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(check.exitCode, 0);
        EXPECT_EQ(check.err, "");
        const AudioInfo info = ReadAudio(out);
        ASSERT_TRUE(info.ok) << info.error;
        EXPECT_GT(info.samples, 0);
        EXPECT_FALSE(HasLeftovers(out_));
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EvcTypes, ::testing::ValuesIn(kTypes),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

// Every value the option lists can give, for every type.
TEST_F(EvcRun, FullOptionMatrixGivesReadableFiles) {
    const char* bitrates[] = {"16", "32", "48", "64", "80", "128", "160", "192", "224"};
    const char* rates[] = {"22050", "32000", "44100", "48000"};
    const char* channels[] = {"1", "2"};
    int volumeStep = 0;
    int failures = 0;
    for (const TypeInfo& t : kTypes) {
        const auto type = *evc::OutputTypeForPath(std::string("x") + t.ext);
        for (const char* b : bitrates) {
            for (const char* rate : rates) {
                for (const char* ch : channels) {
                    const std::string vol = std::to_string(25 * (volumeStep++ % 21));
                    const std::string out = out_.File(std::string("m") + t.ext);
                    const RunResult r =
                        RunEvc(ProgramArgs(t, Media("one.wav"), out, b, vol, ch, rate));
                    const std::string what = std::string(t.ext) + " -ab " + b + " -ar " + rate +
                                             " -ac " + ch + " -vol " + vol;
                    if (r.exitCode != 0) {
                        ADD_FAILURE() << what << ": " << r.err;
                        ++failures;
                        continue;
                    }
                    const AudioInfo info = ReadAudio(out);
                    evc::RequestedSettings req;
                    req.sampleRate = std::stoi(type == evc::OutputType::Amr ? "8000" : rate);
                    req.channels = std::stoi(type == evc::OutputType::Amr ? "1" : ch);
                    req.bitrateKbps = std::stod(b);
                    const auto want = evc::ResolveSettings(type, req, 44100, 2);
                    EXPECT_TRUE(info.ok) << what << ": " << info.error;
                    EXPECT_EQ(info.codec, t.codec) << what;
                    EXPECT_EQ(info.sampleRate, want.sampleRate) << what;
                    EXPECT_EQ(info.channels, want.channels) << what;
                    EXPECT_NEAR(info.Seconds(), 1.0, (t.slack + 64.0) / want.sampleRate) << what;
                    for (const auto& note : want.notes) {
                        EXPECT_NE(r.out.find("Note: " + note), std::string::npos)
                            << what << " should say: " << note;
                    }
                    if (failures > 5) {
                        FAIL() << "giving up after " << failures << " failures";
                    }
                }
            }
        }
    }
    EXPECT_FALSE(HasLeftovers(out_));
}

struct VolumeCase {
    const char* ext;
    int volume;
    double wantDb; // change of level; NAN: silence
};

class EvcVolume : public EvcRun, public ::testing::WithParamInterface<VolumeCase> {};

TEST_P(EvcVolume, LevelFollowsTheScale) {
    const VolumeCase& c = GetParam();
    const TypeInfo* t = nullptr;
    for (const auto& k : kTypes) {
        if (std::string(k.ext) == c.ext) {
            t = &k;
        }
    }
    ASSERT_NE(t, nullptr);
    const std::string out = out_.File(std::string("v") + c.ext);
    const RunResult r = RunEvc(
        ProgramArgs(*t, Media("level.wav"), out, "128", std::to_string(c.volume), "2", "44100"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioInfo in = ReadAudio(Media("level.wav"));
    const AudioInfo res = ReadAudio(out);
    ASSERT_TRUE(res.ok);
    if (std::isnan(c.wantDb)) {
        EXPECT_LT(res.peak, 1e-3);
        return;
    }
    const double db = 20 * std::log10(res.rms / in.rms);
    EXPECT_NEAR(db, c.wantDb, 0.5) << "volume " << c.volume;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, EvcVolume,
    ::testing::Values(VolumeCase{".wav", 200, 0.0}, VolumeCase{".wav", 100, -6.02},
                      VolumeCase{".wav", 0, NAN}, VolumeCase{".wav", 400, 6.02},
                      VolumeCase{".wav", 500, 7.96}, VolumeCase{".wav", 25, -18.06},
                      VolumeCase{".mp3", 200, 0.0}, VolumeCase{".mp3", 100, -6.02},
                      VolumeCase{".mp3", 0, NAN}, VolumeCase{".ogg", 200, 0.0},
                      VolumeCase{".ogg", 100, -6.02}, VolumeCase{".m4a", 200, 0.0},
                      VolumeCase{".m4a", 0, NAN}, VolumeCase{".ac3", 100, -6.02},
                      VolumeCase{".amr", 0, NAN}));

// Level of the frequency in one channel, over a whole number of its periods.
double Level(const std::vector<float>& x, size_t from, size_t count, double hz, int rate) {
    double re = 0;
    double im = 0;
    for (size_t i = 0; i < count; ++i) {
        const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / rate;
        re += x[from + i] * std::cos(phase);
        im -= x[from + i] * std::sin(phase);
    }
    return std::hypot(re, im) / static_cast<double>(count);
}

class EvcLoud : public EvcRun, public ::testing::WithParamInterface<const char*> {};

// Sixteen times a -20 dBFS tone peaks at 1.6. Float encoders take that as it is (one may
// lower a loud window as a whole); clipping it first would add odd harmonics.
TEST_P(EvcLoud, FloatEncodersGetSamplesAboveFullScale) {
    const TypeInfo* t = nullptr;
    for (const auto& k : kTypes) {
        t = std::string(k.ext) == GetParam() ? &k : t;
    }
    ASSERT_NE(t, nullptr);
    const std::string out = out_.File(std::string("loud") + t->ext);
    const RunResult r =
        RunEvc(ProgramArgs(*t, Media("level.wav"), out, "192", "3200", "2", "44100"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioInfo res = ReadAudio(out, true);
    ASSERT_EQ(res.sampleRate, 44100);
    ASSERT_GE(res.firstChannel.size(), 44100u + 22050u);
    const double tone = Level(res.firstChannel, 11025, 44100, 1000, 44100);
    for (const double harmonic : {3000.0, 5000.0, 7000.0}) {
        const double dbc =
            20 * std::log10(Level(res.firstChannel, 11025, 44100, harmonic, 44100) / tone);
        EXPECT_LT(dbc, -50) << harmonic << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P(FloatTypes, EvcLoud,
                         ::testing::Values(".mp3", ".aac", ".m4a", ".ogg", ".ac3"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(EvcRun, LoudVolumeClipsInsteadOfWrapping) {
    const std::string out = out_.File("loud.wav");
    const RunResult r =
        RunEvc(ProgramArgs(kTypes[6], Media("tone.wav"), out, "128", "2000", "2", "44100"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const AudioInfo info = ReadAudio(out);
    // Ten times a 0.5 sine: mostly at full scale, never wrapped to the other sign.
    EXPECT_GT(info.rms, 0.85);
    EXPECT_LE(info.peak, 1.0);
}

TEST_F(EvcRun, StartIsSampleAccurate) {
    const AudioInfo src = ReadAudio(Media("tone.wav"), true);
    ASSERT_EQ(src.samples, 3 * 44100);
    // 0.25 s decodes from the start; 2.5 s seeks first.
    for (const char* start : {"00:00:00.25", "00:00:01", "00:00:02.5"}) {
        const std::string out = out_.File("ss.wav");
        const RunResult r = RunEvc(
            {"-y", "-i", Media("tone.wav"), "-acodec", "pcm_s16le", "-ss", start, "-t", "1", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const AudioInfo res = ReadAudio(out, true);
        const auto offset = static_cast<size_t>(std::llround(*evc::ParseTimeText(start) * 44100));
        const size_t want = std::min<size_t>(44100, src.firstChannel.size() - offset);
        ASSERT_EQ(res.firstChannel.size(), want) << start;
        for (size_t i = 0; i < want; ++i) {
            ASSERT_EQ(res.firstChannel[i], src.firstChannel[offset + i])
                << "start " << start << " sample " << i;
        }
    }
}

class EvcStart : public EvcRun, public ::testing::WithParamInterface<const char*> {};

// Compressed sources: the cut must line up with a full decode of the same file.
TEST_P(EvcStart, StartLinesUpWithAFullDecode) {
    const std::string ext = GetParam();
    const std::string src = Media("tone-start" + ext);
    const char* codec = ext == ".mp3" ? "libmp3lame" : ext == ".m4a" ? "aac" : "libvorbis";
    evctest::MakeMedia({"-i", Media("tone.wav"), "-c:a", codec, "-b:a", "192k"}, src);
    const AudioInfo full = ReadAudio(src, true);
    ASSERT_TRUE(full.ok);
    for (const char* start : {"00:00:00.25", "00:00:01", "00:00:02.5"}) {
        const std::string out = out_.File("ss.wav");
        const RunResult r =
            RunEvc({"-y", "-i", src, "-acodec", "pcm_s16le", "-ss", start, "-t", "1", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const AudioInfo res = ReadAudio(out, true);
        const auto offset =
            static_cast<size_t>(std::llround(*evc::ParseTimeText(start) * full.sampleRate));
        ASSERT_GT(full.firstChannel.size(), offset + 1000);
        const size_t n = std::min(res.firstChannel.size(), full.firstChannel.size() - offset);
        ASSERT_GT(n, 20000u) << start;
        double worst = 0;
        for (size_t i = 0; i < n; ++i) {
            worst = std::max(
                worst, std::fabs(double(res.firstChannel[i]) - full.firstChannel[offset + i]));
        }
        // One sample off on this sweep differs by 0.05 or more; a decoder restarted by a seek
        // differs by a few thousandths.
        EXPECT_LT(worst, 0.02) << ext << " from " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, EvcStart, ::testing::Values(".mp3", ".m4a", ".ogg"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(EvcRun, HeaderFirstThenStatusLinesWithoutSeparatorsInTheHeader) {
    const std::string out = out_.File("h.ac3");
    const RunResult r =
        RunEvc(ProgramArgs(kTypes[3], Media("one.wav"), out, "48", "200", "1", "22050"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = evctest::Lines(r.out);
    ASSERT_GE(lines.size(), 4u);
    bool inStatus = false;
    for (const auto& l : lines) {
        if (l.rfind("size=", 0) == 0) {
            inStatus = true;
            EXPECT_GE(evctest::ProgramSeconds(l), 0) << l;
        } else {
            EXPECT_FALSE(inStatus) << "header line after a status line: " << l;
            EXPECT_EQ(l.find('='), std::string::npos) << l;
        }
    }
    EXPECT_NE(r.out.find("Note: AC-3 cannot be written at 22050 Hz, using 32000 Hz"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("32000 Hz, mono"), std::string::npos) << r.out;
}

TEST_F(EvcRun, HelpAndUsageErrors) {
    const RunResult help = RunEvc({"-h"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: evc"), std::string::npos);
    const RunResult bad = RunEvc({"-i", Media("one.wav"), "-foo", out_.File("x.mp3")});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_EQ(evctest::Lines(bad.err).size(), 1u) << bad.err;
    EXPECT_NE(bad.err.find("unknown option '-foo'"), std::string::npos) << bad.err;
}

TEST_F(EvcRun, OverwriteOnlyWithY) {
    const std::string out = out_.File("o.wav");
    std::ofstream(out) << "keep me";
    RunResult r = RunEvc({"-i", Media("one.wav"), out});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    {
        std::ifstream in(out);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
    }
    r = RunEvc({"-y", "-i", Media("one.wav"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAudio(out).samples, 44100);
    EXPECT_FALSE(HasLeftovers(out_));
}

// Names beyond ASCII in folder, input and output (on Windows they arrive as UTF-16 and go
// back to the system as UTF-16).
TEST_F(EvcRun, ChineseNamesInAndOut) {
    fs::create_directory(evc::PathFromUtf8(out_.File("音乐 文件")));
    const std::string in = out_.File("音乐 文件/歌曲.wav");
    const std::string out = out_.File("音乐 文件/输出 歌曲.mp3");
    fs::copy_file(evc::PathFromUtf8(Media("one.wav")), evc::PathFromUtf8(in));
    const RunResult r = RunEvc({"-y", "-i", in, "-ab", "64", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Input: '" + in + "'"), std::string::npos) << r.out;
    const AudioInfo info = ReadAudio(out);
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_EQ(info.codec, "mp3");
    EXPECT_NEAR(info.Seconds(), 1.0, 1152.0 / 44100);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(evc::PathFromUtf8(out_.File("音乐 文件")))) {
        names.push_back(evc::Utf8FromPath(e.path().filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"歌曲.wav", "输出 歌曲.mp3"}));
}

TEST_F(EvcRun, NeverWritesItsInput) {
    const std::string in = out_.File("same.wav");
    fs::copy_file(Media("one.wav"), in);
    const auto before = fs::file_size(in);
    const RunResult r = RunEvc({"-y", "-i", in, "-vol", "0", in});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(in), before);
    EXPECT_NEAR(ReadAudio(in).rms, ReadAudio(Media("one.wav")).rms, 1e-9);
}

} // namespace
