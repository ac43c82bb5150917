// The busy window's flow and the two readers every added file goes through.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "MediaTestKit.h"

using namespace media_test;

namespace {

TEST(InitFileFormTest, BusyTextRunsThroughFramesTwoThreeFourOne) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    form.FormShow();
    const char* expected[] = {"读取文件信息...  /", "读取文件信息...  -", "读取文件信息...  \\",
                              "读取文件信息...  |", "读取文件信息...  /", "读取文件信息...  -"};
    for (const char* text : expected) {
        int before = pump.ProcessCount;
        form.Timer1.Tick();
        EXPECT_EQ(form.lblInfo.Caption, text);
        EXPECT_EQ(pump.ProcessCount, before + 1) << "events are handled on every tick";
    }
    EXPECT_EQ(form.SpinFrame, 3);
}

TEST(InitFileFormTest, LabelKeepsTheLastFrameBetweenShowings) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    EXPECT_EQ(form.lblInfo.Caption, "读取文件信息...");
    form.FormShow();
    EXPECT_EQ(form.lblInfo.Caption, "读取文件信息...") << "until the first tick";
    form.Timer1.Tick();
    form.Timer1.Tick();
    form.FormClose();
    form.FormShow();
    EXPECT_EQ(form.SpinFrame, 1);
    EXPECT_EQ(form.lblInfo.Caption, "读取文件信息...  -");
    form.Timer1.Tick();
    EXPECT_EQ(form.lblInfo.Caption, "读取文件信息...  /");
}

TEST(InitFileFormTest, Timer2AddsOnceStoresTheFolderThenCloses) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    std::vector<std::string> order;
    std::vector<std::string> added;
    form.OnAddFiles = [&](const std::vector<std::string>& paths) {
        order.push_back("add");
        added = paths;
        EXPECT_FALSE(form.Timer2.Enabled) << "Timer2 is stopped before the adding";
    };
    form.OnStoreFolder = [&] { order.push_back("store"); };
    form.PendingFiles = {"/m/b.mp3", "/m/a.mp3"};
    form.FormShow();
    form.Show();
    form.Timer2.Tick();
    EXPECT_EQ(order, (std::vector<std::string>{"add", "store"}));
    EXPECT_EQ(added, form.PendingFiles);
    EXPECT_FALSE(form.Visible);
    EXPECT_FALSE(form.Timer1.Enabled);
    EXPECT_FALSE(form.Timer2.Enabled);
    form.Timer2.Tick(); // disabled: nothing more
    EXPECT_EQ(order.size(), 2u);
}

TEST(InitFileFormTest, PendingFilesReplacedDuringTheAddingDoNotDisturbIt) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    std::vector<std::string> seen;
    form.OnAddFiles = [&](const std::vector<std::string>& paths) {
        for (const auto& p : paths) {
            form.PendingFiles.assign(100, "other"); // an event sets new files
            seen.push_back(p);
        }
    };
    form.PendingFiles = {"/m/1.wav", "/m/2.wav", "/m/3.wav"};
    form.ShowModal();
    EXPECT_EQ(seen, (std::vector<std::string>{"/m/1.wav", "/m/2.wav", "/m/3.wav"}));
}

TEST(InitFileFormTest, FailedAddingStillClosesAndReportsTheError) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    bool stored = false;
    form.OnAddFiles = [](const std::vector<std::string>&) { throw std::runtime_error("boom"); };
    form.OnStoreFolder = [&] { stored = true; };
    EXPECT_THROW(form.ShowModal(), std::runtime_error);
    EXPECT_FALSE(form.Visible);
    EXPECT_FALSE(form.Timer1.Enabled);
    EXPECT_FALSE(stored);
}

TEST(InitFileFormTest, ShowModalWithoutAViewRunsTheAddingAfter300Ms) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    std::int64_t addedAt = -1;
    form.OnAddFiles = [&](const std::vector<std::string>&) { addedAt = pump.NowMs; };
    form.ShowModal();
    EXPECT_EQ(addedAt, 300);
    EXPECT_FALSE(form.Visible);
    // The adding happened once, and the wait kept handling events.
    EXPECT_GE(pump.ProcessCount, 6);
    for (int ms : pump.Pauses)
        EXPECT_LE(ms, 100);
}

TEST(InitFileFormTest, ShowModalHandsTheLoopToTheView) {
    FakeEventPump pump;
    TFrmInitFileForm form(pump);
    int adds = 0;
    form.OnAddFiles = [&](const std::vector<std::string>&) { ++adds; };
    int loops = 0;
    form.RunModal = [&] {
        ++loops;
        EXPECT_TRUE(form.Visible);
        EXPECT_TRUE(form.Timer1.Enabled);
        EXPECT_TRUE(form.Timer2.Enabled);
        form.Timer1.Tick();
        form.Timer2.Tick();
    };
    form.ShowModal();
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(adds, 1);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(pump.Pauses.empty());
}

TEST(ProbeDurationTest, WholeSecondsTruncatedAndNoneOnFailure) {
    constexpr std::int64_t kNone = -1;
    const struct {
        const char* What;
        std::int64_t Ms; // kNone: the file does not render
        bool Throws;
        std::int64_t Seconds; // kNone: unreadable
    } cases[] = {
        {"59.999 s", 59999, false, 59},
        {"exactly one second", 1000, false, 1},
        {"just under", 999, false, 0},
        {"no length", 0, false, 0},
        {"negative", -5, false, 0},
        {"ten hours", 36000000, false, 36000},
        {"not rendered", kNone, false, kNone},
        {"graph throws", 5000, true, kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        FakeGraph graph = ListedGraph();
        if (c.Ms != kNone)
            graph.Durations["/m/f.wav"] = c.Ms;
        graph.ThrowOnRender = c.Throws;
        EXPECT_EQ(TFrmInitFileForm::ProbeDuration("/m/f.wav", &graph).value_or(kNone), c.Seconds);
        EXPECT_FALSE(graph.Active());
    }
    EXPECT_EQ(TFrmInitFileForm::ProbeDuration("/m/f.wav", nullptr), std::nullopt);
}

TEST(ProbeDurationTest, ClearsAndActivatesBeforeRendering) {
    FakeGraph graph = ListedGraph({{"/m/f.wav", 2000}});
    TFrmInitFileForm::ProbeDuration("/m/f.wav", &graph);
    EXPECT_EQ(graph.Calls,
              (std::vector<std::string>{"clear", "activate", "render /m/f.wav", "deactivate"}));
}

TEST(ReadFileSizeTest, LengthInBytesOrAnError) {
    TempDir dir;
    for (size_t bytes : {size_t{0}, size_t{1}, size_t{4095}, size_t{1} << 20}) {
        std::string path = dir.Folder() + "f" + std::to_string(bytes) + ".wav";
        WriteText(path, std::string(bytes, 'a'));
        EXPECT_EQ(TFrmInitFileForm::ReadFileSize(path), static_cast<std::int64_t>(bytes));
    }
    // Sparse file beyond 4 GiB: the size is a 64-bit number.
    std::string big = dir.Folder() + "big.wav";
    WriteText(big, "");
    std::filesystem::resize_file(big, (std::uintmax_t{5} << 30) + 7);
    EXPECT_EQ(TFrmInitFileForm::ReadFileSize(big), (std::int64_t{5} << 30) + 7);

    EXPECT_THROW(TFrmInitFileForm::ReadFileSize(dir.Folder() + "missing.wav"), EFileSizeError);
    EXPECT_THROW(TFrmInitFileForm::ReadFileSize(dir.Folder()), EFileSizeError);
    std::string locked = dir.Folder() + "locked.wav";
    WriteText(locked, "abc");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (!std::ifstream(locked)) { // root reads anything
        EXPECT_THROW(TFrmInitFileForm::ReadFileSize(locked), EFileSizeError);
    }
}

} // namespace
