// Whole runs on inputs and outputs crafted from good files: unusual but complete files convert,
// damaged ones fail with a one-line reason, and neither leaves a temporary file behind.
#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Bytes of one second of ten.wav (44.1 kHz, 16-bit stereo).
constexpr std::uintmax_t kWavSecond = 44100 * 4;
// Result length: as long as the input decodes.
constexpr double kAllOfIt = -1;

class EvcCrafted : public ::testing::Test {
protected:
    static void SetUpTestSuite() { media_ = std::make_unique<evctest::TempDir>(); }
    static void TearDownTestSuite() { media_.reset(); }

    // Made on first use: ctest runs every test in a process of its own.
    static std::string Media(const std::string& name) {
        const std::string path = media_->File(name);
        if (fs::exists(fs::symlink_status(path))) {
            return path;
        }
        const std::string wav = name == "ten.wav" ? "" : Media("ten.wav");
        auto wavWithSizes = [&](std::uint32_t riff, std::uint32_t data) {
            fs::copy_file(wav, path);
            evctest::PatchLe32(path, 4, riff);
            evctest::PatchLe32(path, evctest::FindInFile(path, "data") + 4, data);
        };
        const std::uintmax_t wavBytes = wav.empty() ? 0 : fs::file_size(wav);
        const std::uint32_t dataBytes = 10 * kWavSecond;
        if (name == "ten.wav") {
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=10", "-ac", "2", "-c:a", "pcm_s16le"},
                               path);
        } else if (name == "hour.wav") {
            // Small on disk, and far longer to encode than any wait for its first bytes.
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=3600:sample_rate=8000", "-ac", "1",
                                "-c:a", "pcm_s16le"},
                               path);
        } else if (name == "ten.mp3" || name == "ten.ogg") {
            evctest::MakeMedia({"-i", wav, "-c:a", name == "ten.mp3" ? "libmp3lame" : "libvorbis"},
                               path);
        } else if (name == "recorder.wav") {
            wavWithSizes(0, 0);
        } else if (name == "pipe.wav") {
            wavWithSizes(0xFFFFFFFF, 0xFFFFFFFF);
        } else if (name == "stream.wav") {
            wavWithSizes(0x7FFFF024, 0x7FFFF000);
        } else if (name == "past-riff.wav") {
            // The data chunk claims more than the RIFF chunk around it holds.
            wavWithSizes(static_cast<std::uint32_t>(wavBytes - 8), dataBytes + 5 * kWavSecond);
        } else if (name == "half.wav") {
            evctest::CopyHead(wav, path, wavBytes / 2);
        } else if (name == "short-0.3s.wav") {
            evctest::CopyHead(wav, path, wavBytes - kWavSecond * 3 / 10);
        } else if (name == "short-0.7s.wav") {
            evctest::CopyHead(wav, path, wavBytes - kWavSecond * 7 / 10);
        } else if (name == "cut.mp3" || name == "cut.ogg") {
            const std::string whole = Media(name == "cut.mp3" ? "ten.mp3" : "ten.ogg");
            evctest::CopyHead(whole, path, fs::file_size(whole) * 4 / 10);
        } else if (name == "cut-79ms.mp3") {
            evctest::CopyHead(Media("ten.mp3"), path, 1500);
        } else if (name == "concat.mp3") {
            // 45 bytes that would read another file.
            fs::create_directory(media_->File("private"));
            fs::copy_file(wav, media_->File("private/secret.wav"));
            std::ofstream(path) << "ffconcat version 1.0\nfile private/secret.wav\n";
        } else if (name == "fifo.wav") {
            EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        } else if (name == "locked/ten.wav") {
            fs::create_directory(media_->File("locked"));
            fs::copy_file(wav, path);
            fs::permissions(media_->File("locked"), fs::perms::none);
        }
        return path;
    }

    static std::unique_ptr<evctest::TempDir> media_;
    evctest::TempDir out_;
};

std::unique_ptr<evctest::TempDir> EvcCrafted::media_;

struct Crafted {
    const char* name;
    const char* input;
    std::vector<std::string> extra;
    std::string output;      // name in the output folder
    double seconds;          // of the result; NAN: the run fails
    const char* messagePart; // of the failure
    bool asOtherUser = false;
    int fileSizeLimit = 0; // bytes a file of evc's may grow to
};

class EvcCraftedCases : public EvcCrafted, public ::testing::WithParamInterface<Crafted> {};

TEST_P(EvcCraftedCases, ConvertsWhatIsCompleteRefusesTheRest) {
    const Crafted& c = GetParam();
    const std::string in = Media(c.input);
    const std::string out = out_.File(c.output);
    std::string program = evctest::EvcPath();
    std::vector<std::string> args = {"-y", "-i", in};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.push_back(out);
    if (c.asOtherUser && geteuid() == 0) {
        // Permissions do not stop root: run as nobody.
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "setpriv";
    }
    if (c.fileSizeLimit > 0) {
        args.insert(args.begin(), {"--fsize=" + std::to_string(c.fileSizeLimit), program});
        program = "prlimit";
    }
    const evctest::RunResult r = evctest::Run(program, args, 120);
    if (std::isnan(c.seconds)) {
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.exitCode, -2) << "hung";
        const auto lines = evctest::Lines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_NE(lines[0].find(c.messagePart), std::string::npos) << lines[0];
        EXPECT_EQ(lines[0].find(".part"), std::string::npos) << "names the temporary file";
        EXPECT_FALSE(fs::exists(out));
    } else {
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const evctest::AudioInfo info = evctest::ReadAudio(out);
        ASSERT_TRUE(info.ok) << info.error;
        const double want = c.seconds == kAllOfIt ? evctest::ReadAudio(in).Seconds() : c.seconds;
        EXPECT_NEAR(info.Seconds(), want, 0.03);
    }
    EXPECT_EQ(out_.Entries().size(), std::isnan(c.seconds) ? 0u : 1u);
}

const std::string kChinese = "音"; // three bytes in UTF-8

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) {
        r += s;
    }
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Files, EvcCraftedCases,
    ::testing::Values(
        Crafted{"WavSizeZero", "recorder.wav", {}, "o.wav", 10, ""},
        Crafted{"WavSizeAllOnes", "pipe.wav", {}, "o.wav", 10, ""},
        Crafted{"WavSizeStreamPlaceholder", "stream.wav", {}, "o.wav", 10, ""},
        Crafted{"WavSizePastItsRiffChunk", "past-riff.wav", {}, "o.wav", 10, ""},
        Crafted{"WavHalfCut", "half.wav", {}, "o.mp3", NAN, "truncated or damaged"},
        Crafted{"WavShortWithinTolerance", "short-0.3s.wav", {}, "o.wav", 9.7, ""},
        Crafted{
            "WavShortBeyondTolerance", "short-0.7s.wav", {}, "o.wav", NAN, "truncated or damaged"},
        Crafted{"Mp3Cut", "cut.mp3", {}, "o.wav", NAN, "truncated or damaged"},
        Crafted{"Mp3CutTo79ms", "cut-79ms.mp3", {}, "o.mp3", NAN, "truncated or damaged"},
        Crafted{"OggCutPromisesNoMore", "cut.ogg", {}, "o.wav", kAllOfIt, ""},
        Crafted{"ConcatScriptNamedMp3",
                "concat.mp3",
                {},
                "o.wav",
                NAN,
                "not an audio or video file evc can read"},
        Crafted{"Fifo", "fifo.wav", {}, "o.wav", NAN, "not a regular file"},
        Crafted{
            "FolderNotEnterable", "locked/ten.wav", {}, "o.wav", NAN, "Permission denied", true},
        Crafted{"HugeLength",
                "ten.wav",
                {"-t", "100000000000000000000"},
                "o.wav",
                NAN,
                "invalid length"},
        Crafted{"HugeStart",
                "ten.wav",
                {"-ss", "100000000000000000000", "-t", "5"},
                "o.wav",
                NAN,
                "invalid start time"},
        Crafted{"LongestLength", "ten.wav", {"-t", "4294967296"}, "o.wav", 10, ""},
        Crafted{"LatestStart",
                "ten.wav",
                {"-ss", "4294967296", "-t", "5"},
                "o.wav",
                NAN,
                "past the end"},
        Crafted{"OutputName234Bytes", "ten.wav", {}, Repeat(kChinese, 76) + "ab.wav", 10, ""},
        Crafted{"OutputName255Bytes", "ten.wav", {}, Repeat(kChinese, 83) + "ab.wav", 10, ""},
        Crafted{"DiskFull",
                "ten.wav",
                {},
                "full.wav",
                NAN,
                "full.wav': File too large",
                false,
                100000}),
    [](const auto& info) { return std::string(info.param.name); });

// A killed evc leaves its temporary file; the next run in the folder removes it once it is an
// hour old, and leaves younger ones (a run still writing) alone.
TEST_F(EvcCrafted, NextRunRemovesWhatAKilledRunLeft) {
    std::vector<std::string> store = {
        evctest::EvcPath(), "-y", "-i", Media("hour.wav"), "-ab", "32", out_.File("killed.mp3")};
    std::vector<char*> argv;
    for (auto& s : store) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    bool writing = false;
    for (int i = 0; i < 2000 && !writing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (const auto& e : fs::directory_iterator(out_.path())) {
            std::error_code ec;
            writing = writing || fs::file_size(e.path(), ec) > 0;
        }
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(writing) << "no temporary file appeared";
    ASSERT_TRUE(WIFSIGNALED(status)) << "evc ended before it was killed";
    const auto left = out_.Entries();
    ASSERT_EQ(left.size(), 1u);
    ASSERT_NE(left[0].find(".evc-"), std::string::npos) << left[0];
    const std::string young = out_.File(".other.mp3.evc-0123456789ab.part");
    std::ofstream(young) << "still being written";
    fs::last_write_time(out_.File(left[0]),
                        fs::file_time_type::clock::now() - std::chrono::minutes(61));
    fs::last_write_time(young, fs::file_time_type::clock::now() - std::chrono::minutes(59));

    const evctest::RunResult r =
        evctest::RunEvc({"-y", "-i", Media("ten.wav"), "-t", "1", out_.File("next.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(out_.File(left[0])));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(out_.File("next.wav")));
}

} // namespace
