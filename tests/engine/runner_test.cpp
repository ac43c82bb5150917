// The encoder runner against real child processes.
#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/AdvanceSystem.h"
#include "fakes/Fakes.h"
#include "support/platform/Platform.h"

namespace {

const std::string ChildPath = std::string(VELMORA_TEST_BIN_DIR) + "/velmora_test_child";

// The child's pattern, so a chunk can be matched to the bytes it came from.
std::string Pattern(std::size_t count) {
    std::string s(count, ' ');
    for (std::size_t i = 0; i < count; ++i)
        s[i] = static_cast<char>('A' + (i * 7 + i / 26) % 26);
    return s;
}

struct Chunk {
    std::string Text;
    std::chrono::steady_clock::time_point At;
};

class Recorder {
public:
    TOutputCallback Callback() {
        return [this](const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex_);
            chunks_.push_back({text, std::chrono::steady_clock::now()});
        };
    }
    std::vector<Chunk> Chunks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const Chunk& c : Chunks())
            texts.push_back(c.Text);
        return texts;
    }

private:
    std::mutex mutex_;
    std::vector<Chunk> chunks_;
};

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

class RunnerTest : public ::testing::Test {
protected:
    std::unique_ptr<IPlatform> platform = CreatePosixPlatform();
    TempDir dir;
    Recorder recorder;

    std::unique_ptr<TAdvanceSystem> MakeRunner(const std::string& args) {
        return std::make_unique<TAdvanceSystem>(*platform, dir.Folder(), ChildPath + " " + args,
                                                recorder.Callback());
    }
    // Runs the command on this thread and returns RunCommand's answer.
    bool Run(TAdvanceSystem& runner) { return runner.RunCommand(runner.CmdLine, runner.OnOutput); }
};

struct PieceCase {
    const char* Name;
    std::size_t Written;
    std::size_t Delivered; // bytes of the last piece read
    int LivesOnMs = 600;   // how long the child stays after writing
};

class RunnerPieceTest : public RunnerTest, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(RunnerPieceTest, OnlyTheLastPieceOfAPollArrives) {
    const PieceCase c = GetParam();
    auto runner =
        MakeRunner("bytes " + std::to_string(c.Written) + " " + std::to_string(c.LivesOnMs));
    ASSERT_TRUE(Run(*runner));
    const std::vector<std::string> texts = recorder.Texts();
    ASSERT_EQ(texts.size(), 1u);
    const std::string all = Pattern(c.Written);
    EXPECT_EQ(texts[0].size(), c.Delivered);
    EXPECT_EQ(texts[0], all.substr(c.Written - c.Delivered));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RunnerPieceTest,
                         ::testing::Values(PieceCase{"Small", 10, 10},
                                           PieceCase{"OnePiece", 1023, 1023},
                                           PieceCase{"OneOver", 1024, 1},
                                           PieceCase{"TwoPieces", 2046, 1023},
                                           PieceCase{"ThreeThousand", 3000, 954},
                                           // Seen only by the poll that finds the child gone.
                                           PieceCase{"ThreeThousandThenExit", 3000, 954, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RunnerTest, TwoFullPiecesDoNotWaitForMore) {
    // The child stays alive for two seconds after writing; the chunk must
    // arrive long before that.
    auto runner = MakeRunner("bytes 2046 2000");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Run(*runner));
    const std::vector<Chunk> chunks = recorder.Chunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_LT(chunks[0].At - start, std::chrono::milliseconds(1500));
}

TEST_F(RunnerTest, OutputOfAChildThatEndsAtOnceStillArrives) {
    auto runner = MakeRunner("sayexit last-words");
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"last-words"});
    EXPECT_EQ(runner->ExitStatus().How, ChildExit::Exited);
    EXPECT_EQ(runner->ExitStatus().Code, 0);
}

TEST_F(RunnerTest, ChunkIsCutAtAZeroByte) {
    auto runner = MakeRunner("zero");
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"abc"});
}

TEST_F(RunnerTest, LaterPiecesArriveTogetherAfterThePause) {
    // "one" wakes the runner at once; the rest is written during its pause
    // and arrives as one chunk, nothing kept from the first.
    auto runner = MakeRunner("pieces 100 0 one two three");
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"one", "twothree"}));
}

TEST_F(RunnerTest, PausesAfterAChunkWhileTheChildRuns) {
    // "b" is written 150 ms after "a", but the runner reads again only after
    // its pause; the child lives on well past that.
    auto runner = MakeRunner("pieces 150 1200 a b");
    ASSERT_TRUE(Run(*runner));
    const std::vector<Chunk> chunks = recorder.Chunks();
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].Text, "a");
    EXPECT_EQ(chunks[1].Text, "b");
    EXPECT_GE(chunks[1].At - chunks[0].At, std::chrono::milliseconds(450));
}

TEST_F(RunnerTest, MissingProgramGivesFalseAndNoCallback) {
    TAdvanceSystem runner(*platform, dir.Folder(), dir.Folder() + "no-such-encoder -y",
                          recorder.Callback());
    EXPECT_FALSE(Run(runner));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_EQ(runner.ExitStatus().How, ChildExit::NotStarted);
    EXPECT_FALSE(runner.StartError().empty());
}

TEST_F(RunnerTest, EmptyCommandLineGivesFalse) {
    for (const std::string line : {"", "   ", "\t"}) {
        TAdvanceSystem runner(*platform, dir.Folder(), line, recorder.Callback());
        EXPECT_FALSE(Run(runner)) << "[" << line << "]";
        EXPECT_EQ(runner.ExitStatus().How, ChildExit::NotStarted);
    }
    EXPECT_TRUE(recorder.Texts().empty());
}

struct EndCase {
    const char* Name;
    const char* Args;
    ChildExit::Kind How;
    int Code;
};

class RunnerEndTest : public RunnerTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RunnerEndTest, RecordsHowTheChildEnded) {
    const EndCase c = GetParam();
    auto runner = MakeRunner(c.Args);
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(runner->ExitStatus().How, c.How);
    EXPECT_EQ(runner->ExitStatus().Code, c.Code);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"bye"});
}

INSTANTIATE_TEST_SUITE_P(
    Ends, RunnerEndTest,
    ::testing::Values(EndCase{"Zero", "code 0", ChildExit::Exited, 0},
                      EndCase{"Three", "code 3", ChildExit::Exited, 3},
                      EndCase{"TwoFiftyNine", "code 259", ChildExit::Exited, 259 & 0xff},
                      EndCase{"Terminated", "signal", ChildExit::Signaled, 15}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RunnerTest, ChildStartsInTheProgramFolderWithoutTrailingSeparator) {
    auto runner = MakeRunner("cwd");
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{dir.Path().string()});
}

TEST_F(RunnerTest, StandardInputIsAPipeAndErrorsShareTheOutput) {
    auto in = MakeRunner("stdin");
    ASSERT_TRUE(Run(*in));
    auto err = MakeRunner("stderr oops");
    ASSERT_TRUE(Run(*err));
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"fifo", "oops"}));
}

TEST_F(RunnerTest, CommandLineIsSplitWithQuotes) {
    auto runner = MakeRunner(R"(args -i "C:\my music\a b.wav" -t 5 "say \"hi\"")");
    ASSERT_TRUE(Run(*runner));
    EXPECT_EQ(recorder.Texts(),
              std::vector<std::string>{R"(-i|C:\my music\a b.wav|-t|5|say "hi")"});
}

TEST_F(RunnerTest, SilentChildCostsNoCpu) {
    auto runner = MakeRunner("silent 2000");
    const double before = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Run(*runner));
    const double used = ThreadCpuMs() - before;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    // A spinning wait would cost about 2000 ms; the sanitizers make every
    // wake-up of a quiet wait several times dearer.
#ifdef __SANITIZE_ADDRESS__
    EXPECT_LT(used, 200.0);
#else
    EXPECT_LT(used, 50.0);
#endif
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST_F(RunnerTest, ThreadRunsOnlyAfterResumeAndReleaseWaitsForIt) {
    auto runner = MakeRunner("sayexit hello");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_FALSE(runner->Finished());
    runner->Resume();
    runner->Resume(); // a second start does nothing
    runner.reset();   // waits for the thread
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"hello"});
}

TEST_F(RunnerTest, TerminateIsOnlyARequest) {
    auto runner = MakeRunner("pieces 300 0 a b");
    runner->Resume();
    runner->Terminate();
    EXPECT_TRUE(runner->Terminated());
    runner.reset();
    // The poll went on until the child had ended.
    const std::vector<std::string> texts = recorder.Texts();
    std::string all;
    for (const std::string& t : texts)
        all += t;
    EXPECT_EQ(all, "ab");
}

TEST_F(RunnerTest, KillChildEndsItsOwnChild) {
    auto runner = MakeRunner("silent 30000");
    const auto start = std::chrono::steady_clock::now();
    runner->Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    runner->KillChild();
    while (!runner->Finished() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(runner->Finished());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(runner->ExitStatus().How, ChildExit::Signaled);
}

TEST_F(RunnerTest, KillBeforeStartStartsNothing) {
    auto runner = MakeRunner("sayexit never");
    runner->KillChild();
    runner->Resume();
    runner.reset();
    EXPECT_TRUE(recorder.Texts().empty());
}

} // namespace
