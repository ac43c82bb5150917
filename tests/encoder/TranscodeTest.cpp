// The conversion run in-process, so the sanitizer build sees the whole pipeline.
#include "encoder/Errors.h"
#include "encoder/Options.h"
#include "encoder/Transcoder.h"

#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>

namespace {

class Transcode : public ::testing::Test {
protected:
    static void SetUpTestSuite() { media_ = std::make_unique<evctest::TempDir>(); }
    static void TearDownTestSuite() { media_.reset(); }
    // Made on first use: ctest runs every test in a process of its own.
    static std::string Media(const std::string& name) {
        const std::string path = media_->File(name);
        if (name == "twenty.wav" && !std::filesystem::exists(path)) {
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=20", "-ac", "2"}, path);
        }
        return path;
    }
    static std::unique_ptr<evctest::TempDir> media_;
    evctest::TempDir out_;
};

std::unique_ptr<evctest::TempDir> Transcode::media_;

struct InProcessCase {
    const char* ext;
    int rate;
    int channels;
    double kbps;
    int volume;
};

class TranscodeTypes : public Transcode, public ::testing::WithParamInterface<InProcessCase> {};

TEST_P(TranscodeTypes, TrimmedEncodeOfEachType) {
    const auto& c = GetParam();
    evc::EncodeOptions o;
    o.input = Media("twenty.wav");
    o.output = out_.File(std::string("x") + c.ext);
    o.sampleRate = c.rate;
    o.channels = c.channels;
    o.bitrateKbps = c.kbps;
    o.volume = c.volume;
    o.startSeconds = 1.5;
    o.lengthSeconds = 2;
    const auto result = evc::Transcode(o, {});
    EXPECT_NEAR(result.seconds, 2.0, 1e-9);
    const auto info = evctest::ReadAudio(o.output);
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_NEAR(info.Seconds(), 2.0, 0.05);
    EXPECT_EQ(out_.Entries().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Types, TranscodeTypes,
                         ::testing::Values(InProcessCase{".amr", 8000, 1, 7.4, 300},
                                           InProcessCase{".aac", 48000, 2, 16, 25},
                                           InProcessCase{".mp3", 22050, 1, 224, 500},
                                           InProcessCase{".ac3", 22050, 2, 224, 256},
                                           InProcessCase{".m4a", 32000, 1, 80, 175},
                                           InProcessCase{".ogg", 44100, 1, 16, 0},
                                           InProcessCase{".wav", 96000, 2, 64, 125}),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

TEST_F(Transcode, ExistingOutputIsAnErrorWithoutOverwrite) {
    evc::EncodeOptions o;
    o.input = Media("twenty.wav");
    o.output = Media("twenty.wav") + ".mp3";
    evc::Transcode(o, {});
    EXPECT_THROW(evc::Transcode(o, {}), evc::EncodeError);
    o.overwrite = true;
    EXPECT_NO_THROW(evc::Transcode(o, {}));
}

TEST_F(Transcode, ProgressRisesMonotonicallyToTheLength) {
    evc::EncodeOptions o;
    o.input = Media("twenty.wav");
    o.output = out_.File("p.mp3");
    o.startSeconds = 3;
    o.lengthSeconds = 12;
    std::vector<std::string> lines;
    evc::TranscodeHooks hooks;
    hooks.line = [&](const std::string& l) { lines.push_back(l); };
    hooks.statusIntervalMs = 0; // every frame
    const auto result = evc::Transcode(o, hooks);
    EXPECT_NEAR(result.seconds, 12.0, 1e-9);
    long long last = -1;
    double lastExact = -1;
    int statusCount = 0;
    for (const auto& l : lines) {
        if (l.rfind("size=", 0) != 0) {
            ASSERT_EQ(statusCount, 0) << "header after status: " << l;
            continue;
        }
        ++statusCount;
        const long long s = evctest::ProgramSeconds(l);
        ASSERT_GE(s, last) << l;
        ASSERT_LE(s, 12) << l;
        const double exact = std::stod(l.substr(l.find("time=") + 5));
        ASSERT_GE(exact, lastExact) << l;
        last = s;
        lastExact = exact;
    }
    EXPECT_GT(statusCount, 100);
    EXPECT_EQ(last, 12);
    EXPECT_NE(lines.back().find("time=12.00 "), std::string::npos) << lines.back();
}

TEST_F(Transcode, StopFlagEndsTheEncodeWithoutOutput) {
    evc::EncodeOptions o;
    o.input = Media("twenty.wav");
    o.output = out_.File("s.ogg");
    volatile std::sig_atomic_t stop = 0;
    int statusLines = 0;
    evc::TranscodeHooks hooks;
    hooks.stop = &stop;
    hooks.statusIntervalMs = 0;
    hooks.line = [&](const std::string& l) {
        if (l.rfind("size=", 0) == 0 && ++statusLines == 50) {
            stop = SIGTERM;
        }
    };
    EXPECT_THROW(evc::Transcode(o, hooks), evc::EncodeCancelled);
    EXPECT_TRUE(out_.Entries().empty());
}

} // namespace
