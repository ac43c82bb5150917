// Runs that must fail: each leaves neither an output nor a temporary file.
#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

class EvcFailure : public ::testing::Test {
protected:
    static void SetUpTestSuite() { media_ = std::make_unique<evctest::TempDir>(); }
    static void TearDownTestSuite() { media_.reset(); }
    // Made on first use: ctest runs every test in a process of its own.
    static std::string Media(const std::string& name) {
        const std::string path = media_->File(name);
        if (fs::exists(path)) {
            return path;
        }
        if (name == "ten.wav") {
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=10", "-ac", "2", "-c:a", "pcm_s16le"},
                               path);
        } else if (name == "ten.m4a") {
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=10", "-ac", "2", "-c:a", "aac",
                                "-movflags", "+faststart"},
                               path);
        } else if (name == "text.mp3") {
            std::ofstream(path) << "This is a text file, not an MP3.\n";
        } else if (name.rfind("cut-", 0) == 0) {
            // The first half of a file whose header promises all of it.
            const std::string from = Media(name.substr(4));
            fs::copy_file(from, path);
            fs::resize_file(path, fs::file_size(from) / 2);
        } else if (name == "long.wav") {
            // Three minutes, so an encode is still running when the signal comes.
            evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=180", "-ac", "2", "-c:a", "pcm_s16le"},
                               path);
        }
        return path;
    }

    void ExpectNothingLeft(const std::string& output) {
        EXPECT_FALSE(fs::exists(output)) << output;
        for (const auto& n : out_.Entries()) {
            ADD_FAILURE() << "left behind: " << n;
        }
    }

    static std::unique_ptr<evctest::TempDir> media_;
    evctest::TempDir out_;
};

std::unique_ptr<evctest::TempDir> EvcFailure::media_;

struct FailCase {
    const char* name;
    const char* input; // in the media folder; empty: a missing file
    std::vector<std::string> extra;
    const char* ext;
    const char* messagePart;
};

class EvcFailCases : public EvcFailure, public ::testing::WithParamInterface<FailCase> {};

TEST_P(EvcFailCases, NonZeroOneLineNoOutput) {
    const FailCase& c = GetParam();
    const std::string in = *c.input ? Media(c.input) : Media("missing.wav");
    const std::string out = out_.File(std::string("result") + c.ext);
    std::vector<std::string> args = {"-y", "-i", in};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.push_back(out);
    const evctest::RunResult r = evctest::RunEvc(args);
    EXPECT_NE(r.exitCode, 0);
    const auto lines = evctest::Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_NE(lines[0].find(c.messagePart), std::string::npos) << lines[0];
    ExpectNothingLeft(out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EvcFailCases,
    ::testing::Values(
        FailCase{"missing", "", {}, ".mp3", "not found"},
        FailCase{"text", "text.mp3", {}, ".mp3", "not an audio or video file"},
        FailCase{"cutWav", "cut-ten.wav", {}, ".mp3", "truncated or damaged"},
        FailCase{"cutM4a", "cut-ten.m4a", {"-acodec", "vorbis"}, ".ogg", "truncated or damaged"},
        FailCase{"zeroLength", "ten.wav", {"-ss", "00:00:01", "-t", "0"}, ".wav", "more than 0"},
        FailCase{
            "negativeLength", "ten.wav", {"-ss", "00:00:05", "-t", "-4"}, ".wav", "more than 0"},
        FailCase{"unknownCodec", "ten.wav", {"-acodec", "flac"}, ".wav", "unknown audio codec"},
        FailCase{
            "startPastEnd", "ten.wav", {"-ss", "00:01:00", "-t", "5"}, ".aac", "past the end"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EvcFailure, ExistingOutputWithoutYIsKept) {
    const std::string out = out_.File("there.mp3");
    std::ofstream(out) << "old";
    const evctest::RunResult r = evctest::RunEvc({"-i", Media("ten.wav"), out});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(out), 3u);
    EXPECT_EQ(out_.Entries().size(), 1u);
}

TEST_F(EvcFailure, UnwritableOutputFolder) {
    const fs::path ro = out_.path() / "ro";
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    std::string folder = ro.string();
    if (std::FILE* probe = std::fopen((ro / "probe").c_str(), "w")) {
        // Running as root: permissions do not stop us, a kernel file system does.
        std::fclose(probe);
        fs::remove(ro / "probe");
        folder = "/proc/self";
    }
    const std::string out = folder + "/x.mp3";
    const evctest::RunResult r = evctest::RunEvc({"-y", "-i", Media("ten.wav"), out});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot write to the output folder"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(fs::is_empty(ro));
}

TEST_F(EvcFailure, MissingOutputFolder) {
    const std::string out = out_.File("nowhere/x.wav");
    const evctest::RunResult r = evctest::RunEvc({"-y", "-i", Media("ten.wav"), out});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
    ExpectNothingLeft(out);
}

class EvcSignal : public EvcFailure, public ::testing::WithParamInterface<int> {};

TEST_P(EvcSignal, StopMidEncodeRemovesTheTemporaryFile) {
    const int sig = GetParam();
    const std::string out = out_.File("long.mp3");
    const std::string log = media_->File("signal-" + std::to_string(sig) + ".txt");
    std::vector<std::string> store = {
        evctest::EvcPath(), "-y", "-i", Media("long.wav"), "-acodec", "mp3", "-ab", "128", out};
    std::vector<char*> argv;
    for (auto& s : store) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_APPEND, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);

    // Wait until it is writing: a temporary file with data in it.
    bool writing = false;
    for (int i = 0; i < 400 && !writing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const auto& e : fs::directory_iterator(out_.path())) {
            std::error_code ec;
            writing = writing || fs::file_size(e.path(), ec) > 0;
        }
    }
    EXPECT_TRUE(writing) << "no temporary file appeared";
    ASSERT_EQ(kill(pid, sig), 0);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "evc did not end after the signal";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself, without cleaning up";
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    std::ifstream in(log);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(text.find("no output written"), std::string::npos) << text;
    ExpectNothingLeft(out);
}

INSTANTIATE_TEST_SUITE_P(Signals, EvcSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) {
                             return std::string(info.param == SIGTERM ? "TERM" : "INT");
                         });

} // namespace
