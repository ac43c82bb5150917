// The converting dialog model: progress arithmetic, spinner, show, stop, close.
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job_fixture.h"

namespace {

class ConvertingTest : public ::testing::Test, public JobFixture {
protected:
    // Hands a chunk over as the runner does and lets the interface thread run.
    void Feed(const std::string& chunk) {
        form.OnEncoderOutput(chunk);
        dispatcher.RunAll();
    }
};

TEST_F(ConvertingTest, StartsWithItsTexts) {
    EXPECT_EQ(form.Caption, "Converting");
    EXPECT_EQ(form.lblInfo.Caption, "Please wait . . .");
    EXPECT_EQ(form.lblCurConvertFileL.Caption, "当前转换的文件:");
    EXPECT_EQ(form.lblCurFileName.Caption, "");
    EXPECT_EQ(form.lblTotalFilr.Caption, "总进度:");
    EXPECT_EQ(form.lblCurprog.Caption, "当前进度:");
    EXPECT_EQ(form.lblPersent.Caption, "当前: 1, 总共 : ...");
    EXPECT_EQ(form.statState.Caption, "");
    EXPECT_EQ(form.pbTotal.Max(), 100);
    EXPECT_EQ(form.ProgressBar1.Max(), 100);
    EXPECT_EQ(form.tmrChanging.Interval, 500);
    EXPECT_TRUE(form.tmrChanging.Enabled);
    EXPECT_FALSE(form.Visible);
}

TEST_F(ConvertingTest, FirstChunkOfAFileChangesNoBar) {
    proc.TotalCount = 2;
    proc.CurCutSeconds = "60";
    lib.ConvertParam.SourceFile = "/music/a.wav";
    Feed("size=1kB time=16.38 bitrate=5");
    EXPECT_EQ(proc.RefreshCount, 1);
    EXPECT_EQ(form.statState.Caption, "size=1kB time=16.38 bitrate=5");
    EXPECT_EQ(form.lblCurFileName.Caption, "/music/a.wav");
    EXPECT_EQ(form.lblPersent.Caption, "当前: 1, 总共 : ...");
    EXPECT_EQ(form.ProgressBar1.Max(), 100);
    EXPECT_EQ(form.ProgressBar1.Position(), 0);
    EXPECT_EQ(form.pbTotal.Max(), 100);
}

TEST_F(ConvertingTest, JobBarFollowsOneRefreshBehind) {
    proc.TotalCount = 2;
    proc.DoneCount = 0;
    proc.CurCutSeconds = "60";
    Feed("a=1 b=16.38 c=5");
    Feed("a=1 b=16.38 c=5");
    EXPECT_EQ(form.ProgressBar1.Min(), 0);
    EXPECT_EQ(form.ProgressBar1.Max(), 60);
    EXPECT_EQ(form.ProgressBar1.Position(), 16);
    EXPECT_EQ(form.pbTotal.Max(), 200);
    EXPECT_EQ(form.pbTotal.Position(), 0);
    EXPECT_EQ(form.lblPersent.Caption, "当前: 1 , 总共: 2.");
    Feed("a=1 b=16.38 c=5");
    EXPECT_EQ(form.pbTotal.Position(), 16 * 100 / 61);
    EXPECT_EQ(form.pbTotal.Position(), 26);
}

TEST_F(ConvertingTest, JobBarAddsTheFilesDone) {
    proc.TotalCount = 3;
    proc.DoneCount = 1;
    proc.CurCutSeconds = "60";
    proc.RefreshCount = 1;
    form.ProgressBar1.SetRange(0, 60);
    form.ProgressBar1.SetPosition(30);
    Feed("size=1 time=45.00 bitrate=2");
    EXPECT_EQ(form.pbTotal.Position(), 149);
    EXPECT_EQ(form.pbTotal.Max(), 300);
    EXPECT_EQ(form.ProgressBar1.Position(), 45);
    EXPECT_EQ(form.lblPersent.Caption, "当前: 2 , 总共: 3.");
}

struct ChunkCase {
    const char* Name;
    const char* CutSeconds;
    const char* Chunk;
    int Max;      // file bar maximum afterwards
    int Position; // file bar position afterwards (it held 7 before)
};

class ConvertingChunkTest : public ConvertingTest,
                            public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(ConvertingChunkTest, FileBarFromTheTimeField) {
    const ChunkCase c = GetParam();
    proc.TotalCount = 1;
    proc.CurCutSeconds = "60";
    proc.RefreshCount = 1;
    form.ProgressBar1.SetRange(0, 60);
    form.ProgressBar1.SetPosition(7);
    proc.CurCutSeconds = c.CutSeconds;
    Feed(c.Chunk);
    EXPECT_EQ(form.ProgressBar1.Max(), c.Max);
    EXPECT_EQ(form.ProgressBar1.Position(), c.Position);
    EXPECT_EQ(proc.RefreshCount, 2);
    // The counter line is refreshed whatever the chunk held.
    EXPECT_EQ(form.lblPersent.Caption, "当前: 1 , 总共: 1.");
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ConvertingChunkTest,
    ::testing::Values(
        ChunkCase{"Plain", "60", "size=  12kB time=16.38 bitrate= 128.0kbits/s", 60, 16},
        ChunkCase{"NewestLineCounts", "60", "s=1 time=5.00 b=2\ns=2 time=9.00 b=3\n", 60, 9},
        ChunkCase{"CrLfLines", "60", "s=1 time=5.00 b=2\r\ns=2 time=9.00 b=3\r\n", 60, 9},
        ChunkCase{"HeaderThenStatus", "60",
                  "Trim: from 00:00:00.000, 60 s\nsize=       0kB time=0.00 bitrate=N/A\n"
                  "size=     147kB time=29.45 bitrate= 127.4kbits/s\n",
                  60, 29},
        ChunkCase{"CutLastLine", "60", "size=1kB time=21.00 bitrate=1\nsize=2kB time=22", 60, 21},
        ChunkCase{"CutFirstLine", "60", "=1 bitrate=4\nsize=2kB time=23.00 bitrate=1", 60, 23},
        ChunkCase{"HeaderOnly", "60", "evc 1.3.0.0\nInput: 'a.wav', wav\n", 60, 7},
        ChunkCase{"ThreeParts", "60", "a=1 b=16.38", 60, 7},
        ChunkCase{"NoEquals", "60", "Input #0, wav", 60, 7},
        ChunkCase{"EmptyTimeField", "60", "a=1 b==c=5", 60, 7},
        ChunkCase{"SkippedValue", "60", "a=1 b=10000000000.00 c=5", 60, 7},
        ChunkCase{"SkippedBeforeAnyPoint", "60", "a=1 b=10000000000. c=5", 60, 7},
        // Only a piece of exactly that text is skipped.
        ChunkCase{"NotSkippedWithTail", "60", "a=1 b=10000000000 c=5", 60, 60},
        ChunkCase{"NearlySkipped", "60", "a=1 b=1000000000.00 c=5", 60, 60},
        ChunkCase{"LeadingPoint", "60", "a=1 b=.50 c=5", 60, 0},
        ChunkCase{"NoDigits", "60", "a=1 b=N/A c=5", 60, 0},
        ChunkCase{"NotANumber", "60", "a=1 b=+- c=5", 60, 7},
        ChunkCase{"TwoSigns", "60", "a=1 b=+-3.0 c=5", 60, 3},
        ChunkCase{"PastTheEnd", "60", "a=1 b=75.00 c=5", 60, 60},
        ChunkCase{"ZeroLength", "0", "a=1 b=16.38 c=5", 0, 0},
        ChunkCase{"NegativeLength", "-5", "a=1 b=16.38 c=5", 0, 0},
        ChunkCase{"Huge", "60", "a=1 b=99999999999999999999.0 c=5", 60, 60},
        ChunkCase{"Negative", "60", "a=1 b=-4.0 c=5", 60, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ConvertingTest, UnreadableLengthKeepsTheBar) {
    proc.TotalCount = 1;
    proc.RefreshCount = 1;
    form.ProgressBar1.SetRange(0, 60);
    form.ProgressBar1.SetPosition(7);
    for (const char* cut : {"", "abc", "12x"}) {
        proc.CurCutSeconds = cut;
        Feed("a=1 b=20.00 c=5");
        EXPECT_EQ(form.ProgressBar1.Max(), 60) << cut;
        EXPECT_EQ(form.ProgressBar1.Position(), 7) << cut;
    }
}

TEST_F(ConvertingTest, BadNumberDoesNotEndTheReading) {
    proc.TotalCount = 1;
    proc.CurCutSeconds = "60";
    Feed("header");
    Feed("a=1 b=-+.0 c=5");
    Feed("a=1 b=12.00 c=5");
    EXPECT_EQ(form.ProgressBar1.Position(), 12);
    EXPECT_EQ(proc.RefreshCount, 3);
}

TEST_F(ConvertingTest, ChunksAreShownInOrderOnTheInterfaceThread) {
    proc.TotalCount = 1;
    proc.CurCutSeconds = "1000";
    std::thread runner([this] {
        for (int i = 0; i < 200; ++i)
            form.OnEncoderOutput("a=1 b=" + std::to_string(i) + ".00 c=5");
    });
    runner.join();
    // Nothing ran on the runner's thread.
    EXPECT_EQ(proc.RefreshCount, 0);
    EXPECT_EQ(form.statState.Caption, "");
    std::vector<int> positions;
    form.ProgressBar1.OnModelChanged = [&] { positions.push_back(form.ProgressBar1.Position()); };
    dispatcher.RunAll();
    form.ProgressBar1.OnModelChanged = nullptr;
    EXPECT_EQ(proc.RefreshCount, 200);
    EXPECT_EQ(form.ProgressBar1.Position(), 199);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

TEST_F(ConvertingTest, OutputOfAnEarlierFileIsDropped) {
    proc.TotalCount = 2;
    proc.CurCutSeconds = "60";
    form.OnEncoderOutput("a=1 b=30.00 c=5");
    form.OnEncoderOutput("a=1 b=40.00 c=5");
    form.BeginFile();
    form.OnEncoderOutput("next file header");
    dispatcher.RunAll();
    EXPECT_EQ(proc.RefreshCount, 1);
    EXPECT_EQ(form.statState.Caption, "next file header");
    EXPECT_EQ(form.ProgressBar1.Position(), 0);
}

TEST_F(ConvertingTest, SpinnerFrames) {
    const std::vector<std::string> frames = {"|", "/", "-", "\\", "|", "|", "/", "-"};
    form.ProgressBar1.SetRange(0, 60);
    form.ProgressBar1.SetPosition(0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        form.tmrChanging.Tick();
        EXPECT_EQ(form.lblInfo.Caption, "初始化转换文件信息...  " + frames[i]) << i;
        EXPECT_GE(form.AnimFrame, 1);
        EXPECT_LE(form.AnimFrame, 5);
    }
}

TEST_F(ConvertingTest, StatusLineTurnsAtThreeSeconds) {
    struct Case {
        int Position;
        const char* Prefix;
    };
    const Case cases[] = {{0, "初始化转换文件信息...  "},
                          {1, "初始化转换文件信息...  "},
                          {2, "初始化转换文件信息...  "},
                          {3, "转换中...  "},
                          {4, "转换中...  "},
                          {60, "转换中...  "}};
    form.ProgressBar1.SetRange(0, 60);
    for (const Case& c : cases) {
        form.ProgressBar1.SetPosition(c.Position);
        form.AnimFrame = 1; // next frame is the slash
        form.tmrChangingTimer();
        EXPECT_EQ(form.lblInfo.Caption, std::string(c.Prefix) + "/") << c.Position;
    }
}

TEST_F(ConvertingTest, ShowResetsTheDialog) {
    proc.TotalCount = 3;
    lib.ConvertParam.SourceFile = "/music/b.mp3";
    form.AnimFrame = 4;
    form.ProgressBar1.SetPosition(50);
    form.pbTotal.SetPosition(70);
    form.ShowDialog();
    EXPECT_TRUE(form.Visible);
    EXPECT_EQ(form.AnimFrame, 0);
    EXPECT_EQ(form.lblCurFileName.Caption, "/music/b.mp3");
    EXPECT_EQ(form.lblPersent.Caption, "Current: 1, Total: 3");
    EXPECT_EQ(form.ProgressBar1.Max(), 1);
    EXPECT_EQ(form.ProgressBar1.Position(), 0);
    EXPECT_EQ(form.pbTotal.Max(), 1);
    EXPECT_EQ(form.pbTotal.Position(), 0);
    // Shown already: nothing is reset again.
    form.AnimFrame = 3;
    form.ShowDialog();
    EXPECT_EQ(form.AnimFrame, 3);
}

class ConvertingStopTest : public ConvertingTest {
protected:
    void SetUp() override {
        for (const char* p : {"/m/a.wav", "/m/b.wav", "/m/c.wav"})
            mainForm.dxTreeSourceFileInfo.Rows.push_back(MakeRow("True", p));
        lib.ConvertParam.EncoderPath = dir.Folder() + "evc";
        platform.Processes = {{101, "evc"}, {202, "bash"}, {303, "EVC"}};
        form.ShowDialog();
        mainForm.SetEnabled(false);
        proc.CurRow = 1;
        proc.TotalCount = 3;
        form.ProgressBar1.SetRange(0, 60);
        form.ProgressBar1.SetPosition(20);
        form.pbTotal.SetRange(0, 300);
        form.pbTotal.SetPosition(120);
    }
    bool OnlyBashLeft() {
        return platform.Processes.size() == 1 && platform.Processes[0].Id == 202;
    }
};

TEST_F(ConvertingStopTest, StopAnsweredNoChangesNothing) {
    dialogs.QuestionAnswers = {false};
    form.btnStop.Click();
    ASSERT_EQ(dialogs.Questions, std::vector<std::string>{"确定停止转换吗? "});
    EXPECT_FALSE(proc.StopRequested);
    EXPECT_TRUE(form.Visible);
    EXPECT_FALSE(mainForm.Enabled);
    EXPECT_EQ(proc.CurRow, 1);
    EXPECT_EQ(platform.Processes.size(), 3u);
    EXPECT_EQ(form.ProgressBar1.Position(), 20);
}

TEST_F(ConvertingStopTest, StopAnsweredYesEndsTheJob) {
    // Borrow a runner that never starts, to see the terminate request.
    proc.Runner = std::make_unique<TAdvanceSystem>(platform, dir.Folder(), "", nullptr);
    dialogs.QuestionAnswers = {true};
    form.btnStop.Click();
    EXPECT_TRUE(proc.StopRequested);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_EQ(proc.CurRow, 3 + 10);
    EXPECT_TRUE(OnlyBashLeft());
    EXPECT_TRUE(proc.Runner->Terminated());
    EXPECT_EQ(form.ProgressBar1.Position(), 0);
    EXPECT_EQ(form.pbTotal.Max(), 0);
    EXPECT_EQ(form.pbTotal.Position(), 0);
    EXPECT_EQ(form.lblPersent.Caption, "Current: 1, Total: ...");
    EXPECT_EQ(dialogs.Messages.size(), 0u);
    proc.Runner.reset();
}

TEST_F(ConvertingStopTest, CloseAnsweredNoKeepsTheDialog) {
    dialogs.QuestionAnswers = {false};
    EXPECT_FALSE(form.FormClose());
    ASSERT_EQ(dialogs.Questions, std::vector<std::string>{"确定停止转换吗?"});
    EXPECT_TRUE(form.Visible);
    EXPECT_FALSE(mainForm.Enabled);
    EXPECT_EQ(proc.CurRow, 1);
    EXPECT_EQ(platform.Processes.size(), 3u);
}

TEST_F(ConvertingStopTest, CloseAnsweredYesStopsWithoutTheStopFlag) {
    dialogs.QuestionAnswers = {true};
    EXPECT_TRUE(form.FormClose());
    EXPECT_FALSE(proc.StopRequested);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_EQ(proc.CurRow, 13);
    EXPECT_TRUE(OnlyBashLeft());
    // The bars are left as they were.
    EXPECT_EQ(form.ProgressBar1.Position(), 20);
    EXPECT_EQ(form.pbTotal.Position(), 120);
}

} // namespace
