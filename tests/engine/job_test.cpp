// The conversion job with a fake platform and virtual time.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job_fixture.h"

namespace {

// How one scripted encoder run behaves.
struct RunScript {
    std::vector<std::string> Chunks;
    int Code = 0;
    bool Endless = false; // runs until it is terminated
    bool Fails = false;   // cannot be started
    int SpawnDelayMs = 0; // real time the start takes
};

class JobTest : public ::testing::Test, public JobFixture {
protected:
    std::vector<RunScript> scripts; // one per start, the last repeats
    std::vector<std::string> spawnedSources;
    std::uint32_t nextId = 5000;
    // What the pump saw at every event: main window enabled, dialog visible.
    std::vector<std::pair<bool, bool>> seen;
    std::function<void()> atEvent;

    void SetUp() override {
        proc.FillOptionLists();
        mainForm.cbbOutputFiletype.SetItemIndex(oftMP3);
        mainForm.edtOutputFolder.SetText(dir.Folder() + "out");
        platform.OnSpawn = [this](const std::vector<std::string>& argv, const std::string&,
                                  std::string* error) -> std::unique_ptr<IChildProcess> {
            RunScript s;
            {
                std::lock_guard<std::recursive_mutex> lock(platform.Mutex);
                const std::size_t i = spawnedSources.size();
                s = scripts.empty() ? RunScript{} : scripts[std::min(i, scripts.size() - 1)];
                // The source follows "-i".
                auto it = std::find(argv.begin(), argv.end(), "-i");
                spawnedSources.push_back(it != argv.end() && it + 1 != argv.end() ? *(it + 1) : "");
            }
            if (s.SpawnDelayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(s.SpawnDelayMs));
            if (s.Fails) {
                if (error)
                    *error = "no such file";
                return nullptr;
            }
            return std::make_unique<ScriptedChild>(platform, nextId++, s.Chunks, s.Code, s.Endless);
        };
        pump.OnEvents = [this] {
            seen.emplace_back(mainForm.Enabled, form.Visible);
            if (atEvent)
                atEvent();
            // The runner thread runs in real time; let it.
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        };
    }

    void AddRows(const std::vector<std::pair<std::string, std::string>>& rows) {
        for (const auto& [check, path] : rows)
            mainForm.dxTreeSourceFileInfo.Rows.push_back(MakeRow(check, path));
    }
    void Convert() { proc.ConvertFiles(mainForm.dxTreeSourceFileInfo); }

    std::vector<std::string> ParameterLines() const {
        std::vector<std::string> lines;
        for (const std::string& m : LogMessages())
            if (m.rfind("parameter: ", 0) == 0)
                lines.push_back(m);
        return lines;
    }
    int Count(int pauseMs) const {
        return static_cast<int>(std::count(pump.Pauses.begin(), pump.Pauses.end(), pauseMs));
    }
    // Presses Stop and answers Yes. The stop lets events run while it kills,
    // so `pressed` is set first to keep the hook from pressing again.
    void PressStop(bool& pressed) {
        pressed = true;
        dialogs.QuestionAnswers.push_back(true);
        form.btnStop.Click();
    }
    bool EncoderListed() {
        std::lock_guard<std::recursive_mutex> lock(platform.Mutex);
        return !platform.Processes.empty();
    }
};

TEST_F(JobTest, ConvertsTheCheckedRowsOnly) {
    AddRows({{"True", "/m/a.wav"}, {"False", "/m/b.wav"}, {"True", "/m/c.wav"}});
    std::vector<int> totals;
    atEvent = [&] { totals.push_back(proc.TotalCount); };
    Convert();
    EXPECT_EQ(spawnedSources, (std::vector<std::string>{"/m/a.wav", "/m/c.wav"}));
    const std::vector<std::string> lines = ParameterLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"/m/a.wav\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"/m/c.wav\""), std::string::npos);
    EXPECT_EQ(lines[1], "parameter: " + proc.CurCmdLine);
    EXPECT_EQ(proc.TotalCount, 2);
    EXPECT_EQ(proc.DoneCount, 2);
    EXPECT_TRUE(std::all_of(totals.begin(), totals.end(), [](int t) { return t == 2; }));
    EXPECT_EQ(Count(2000), 2);
    EXPECT_EQ(Count(3000), 2);
    // The pauses come in order for each file.
    const auto first2000 = std::find(pump.Pauses.begin(), pump.Pauses.end(), 2000);
    ASSERT_NE(first2000, pump.Pauses.end());
    EXPECT_EQ(*(first2000 + 1), 3000);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_EQ(platform.InhibitReasons.size(), 1u);
    EXPECT_EQ(platform.HeldInhibitors, 0);
    EXPECT_FALSE(proc.JobRunning);
    EXPECT_EQ(proc.Runner, nullptr);
}

TEST_F(JobTest, WindowsDuringTheJob) {
    AddRows({{"True", "/m/a.wav"}});
    std::vector<int> held;
    atEvent = [&] { held.push_back(platform.HeldInhibitors); };
    Convert();
    // Sleep is held off for the whole job and allowed again at its end.
    EXPECT_TRUE(std::all_of(held.begin(), held.end(), [](int h) { return h == 1; }));
    EXPECT_EQ(platform.HeldInhibitors, 0);
    ASSERT_FALSE(seen.empty());
    // From the first pause on: main window disabled, dialog shown.
    for (const auto& [enabled, visible] : seen) {
        EXPECT_FALSE(enabled);
        EXPECT_TRUE(visible);
    }
}

TEST_F(JobTest, OnlyExactTrueCounts) {
    AddRows({{"true", "/m/a.wav"}, {"TRUE", "/m/b.wav"}, {"True", "/m/c.wav"}, {"", "/m/d"}});
    Convert();
    EXPECT_EQ(proc.TotalCount, 1);
    EXPECT_EQ(proc.DoneCount, 1);
    EXPECT_EQ(spawnedSources, std::vector<std::string>{"/m/c.wav"});
}

TEST_F(JobTest, EmptyListShowsTheWarningOnly) {
    mainForm.chkShowOutputDirectory.SetChecked(true);
    mainForm.chkShutdown.SetChecked(true);
    Convert();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "请增加您想转换的视频或者音频文件.");
    EXPECT_EQ(dialogs.Messages[0].Kind, mkWarning);
    EXPECT_EQ(dialogs.Messages[0].Title, "Velmora");
    EXPECT_TRUE(pump.Pauses.empty());
    EXPECT_TRUE(platform.Spawned.empty());
    EXPECT_TRUE(platform.OpenedFolders.empty());
    EXPECT_EQ(platform.PowerOffCalls, 0);
    EXPECT_EQ(exits, 0);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_TRUE(platform.InhibitReasons.empty());
}

TEST_F(JobTest, NothingCheckedStillRunsTheEndActions) {
    AddRows({{"False", "/m/a.wav"}});
    mainForm.chkShowOutputDirectory.SetChecked(true);
    Convert();
    EXPECT_TRUE(platform.Spawned.empty());
    EXPECT_EQ(proc.TotalCount, 0);
    // The folder of the latest build: none was built.
    EXPECT_EQ(platform.OpenedFolders, std::vector<std::string>{""});
    EXPECT_TRUE(dialogs.Messages.empty());
}

struct EndCase {
    const char* Name;
    bool ShowFolder;
    bool Shutdown;
};

class JobEndTest : public JobTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(JobEndTest, EndActionsAfterACompleteJob) {
    const EndCase c = GetParam();
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    mainForm.chkShowOutputDirectory.SetChecked(c.ShowFolder);
    mainForm.chkShutdown.SetChecked(c.Shutdown);
    Convert();
    const std::string outDir = dir.Folder() + "out/";
    EXPECT_EQ(lib.ConvertParam.OutputDir, outDir);
    EXPECT_EQ(platform.OpenedFolders,
              c.ShowFolder ? std::vector<std::string>{outDir} : std::vector<std::string>{});
    EXPECT_EQ(platform.PowerOffCalls, c.Shutdown ? 1 : 0);
    EXPECT_EQ(exits, c.Shutdown ? 1 : 0);
    // Ending at once saves no settings.
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Config" / "UserSettings.ini"));
    EXPECT_EQ(platform.HeldInhibitors, 0);
    // No notice for a machine that powers off.
    EXPECT_EQ(desktop.Notices,
              c.Shutdown ? std::vector<std::string>{}
                         : std::vector<std::string>{"转换完成|已转换 2 个文件, 失败 0 个."});
}

INSTANTIATE_TEST_SUITE_P(Ends, JobEndTest,
                         ::testing::Values(EndCase{"Nothing", false, false},
                                           EndCase{"Folder", true, false},
                                           EndCase{"Shutdown", false, true},
                                           EndCase{"Both", true, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(JobTest, StopButtonSkipsTheEndActionsOnce) {
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}, {"True", "/m/c.wav"}});
    mainForm.chkShowOutputDirectory.SetChecked(true);
    mainForm.chkShutdown.SetChecked(true);
    scripts = {RunScript{{}, 0, true}};
    bool pressed = false;
    atEvent = [&] {
        // While waiting for the first encoder.
        if (!pressed && Count(100) >= 3 && EncoderListed())
            PressStop(pressed);
    };
    Convert();
    EXPECT_EQ(spawnedSources, std::vector<std::string>{"/m/a.wav"});
    EXPECT_EQ(proc.DoneCount, 1);
    EXPECT_FALSE(proc.StopRequested);
    EXPECT_TRUE(platform.OpenedFolders.empty());
    EXPECT_EQ(platform.PowerOffCalls, 0);
    EXPECT_EQ(exits, 0);
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_TRUE(platform.Processes.empty());
    // The stopped file is not a failure.
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_TRUE(proc.FailedFiles.empty());

    // The next job that finishes runs both actions again.
    scripts = {RunScript{}};
    atEvent = nullptr;
    Convert();
    EXPECT_EQ(proc.DoneCount, 3);
    EXPECT_EQ(platform.OpenedFolders.size(), 1u);
    EXPECT_EQ(platform.PowerOffCalls, 1);
    EXPECT_EQ(exits, 1);
}

TEST_F(JobTest, ClosingTheDialogKeepsTheEndActions) {
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    mainForm.chkShowOutputDirectory.SetChecked(true);
    scripts = {RunScript{{}, 0, true}};
    bool closed = false;
    atEvent = [&] {
        if (!closed && Count(100) >= 2 && EncoderListed()) {
            closed = true;
            dialogs.QuestionAnswers.push_back(true);
            form.FormClose();
        }
    };
    Convert();
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialogs.Questions, std::vector<std::string>{"确定停止转换吗?"});
    EXPECT_EQ(spawnedSources.size(), 1u);
    EXPECT_EQ(platform.OpenedFolders, std::vector<std::string>{dir.Folder() + "out/"});
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Rows added while a stopped job still releases its file (the main window
// is usable again) are not converted, and the stopped file is no failure.
struct StopRouteCase {
    const char* Name;
    bool ByButton;
};

class JobStopRouteTest : public JobTest, public ::testing::WithParamInterface<StopRouteCase> {};

TEST_P(JobStopRouteTest, AStoppedJobStaysStopped) {
    AddRows({{"True", "/m/a.wav"}});
    scripts = {RunScript{{}, 143, true}};
    bool stopped = false;
    atEvent = [&] {
        if (stopped || Count(100) < 2 || !EncoderListed())
            return;
        stopped = true;
        dialogs.QuestionAnswers.push_back(true);
        if (GetParam().ByButton)
            form.btnStop.Click();
        else
            form.FormClose();
        for (int i = 0; i < 13; ++i)
            AddRows({{"True", "/m/new" + std::to_string(i) + ".wav"}});
    };
    Convert();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(spawnedSources, std::vector<std::string>{"/m/a.wav"});
    EXPECT_EQ(proc.DoneCount, 1);
    EXPECT_EQ(proc.TotalCount, 1);
    EXPECT_TRUE(proc.FailedFiles.empty());
    EXPECT_TRUE(dialogs.Messages.empty());
    // The user stopped it: no notice, and the taskbar shows no progress.
    EXPECT_TRUE(desktop.Notices.empty());
    EXPECT_EQ(desktop.Progress.back(), -1);
}

INSTANTIATE_TEST_SUITE_P(Routes, JobStopRouteTest,
                         ::testing::Values(StopRouteCase{"Button", true},
                                           StopRouteCase{"CloseDialog", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(JobTest, ClosingTheProgramEndsTheEncoderFirst) {
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    scripts = {RunScript{{}, 0, true}};
    int programExits = 0;
    mainForm.CustomProc = &proc;
    mainForm.ExitProcess = [&] {
        ++programExits;
        EXPECT_FALSE(EncoderListed()) << "the encoder outlives the program";
    };
    atEvent = [&] {
        if (programExits == 0 && Count(100) >= 2 && EncoderListed())
            mainForm.FormClose();
    };
    Convert();
    EXPECT_EQ(programExits, 1);
    EXPECT_EQ(spawnedSources, std::vector<std::string>{"/m/a.wav"});
}

struct PauseStopCase {
    const char* Name;
    int PauseMs; // the pause during which Stop is pressed
    int SpawnDelayMs;
};

class JobPauseStopTest : public JobTest, public ::testing::WithParamInterface<PauseStopCase> {};

TEST_P(JobPauseStopTest, StopDuringAPauseLeavesNoEncoder) {
    const PauseStopCase c = GetParam();
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    mainForm.chkShowOutputDirectory.SetChecked(true);
    RunScript endless{{}, 0, true};
    endless.SpawnDelayMs = c.SpawnDelayMs;
    scripts = {endless};
    bool pressed = false;
    std::vector<std::pair<bool, bool>> afterStop;
    atEvent = [&] {
        if (pressed)
            afterStop.emplace_back(mainForm.Enabled, form.Visible);
        else if (!pump.Pauses.empty() && pump.Pauses.back() == c.PauseMs)
            PressStop(pressed);
    };
    Convert();
    ASSERT_TRUE(pressed);
    // During the launch pause no runner exists yet; during the start pause
    // the runner may or may not have reached the encoder's start.
    if (c.PauseMs == 2000)
        EXPECT_TRUE(spawnedSources.empty());
    else
        EXPECT_LE(spawnedSources.size(), 1u);
    {
        std::lock_guard<std::recursive_mutex> lock(platform.Mutex);
        EXPECT_TRUE(platform.Processes.empty());
    }
    // The dialog stayed hidden and the main window usable after the stop.
    for (const auto& [enabled, visible] : afterStop) {
        EXPECT_TRUE(enabled);
        EXPECT_FALSE(visible);
    }
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
    EXPECT_EQ(proc.DoneCount, 1);
    EXPECT_TRUE(platform.OpenedFolders.empty());
    EXPECT_TRUE(dialogs.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Pauses, JobPauseStopTest,
                         ::testing::Values(PauseStopCase{"Launch", 2000, 0},
                                           PauseStopCase{"Start", 3000, 0},
                                           // The encoder appears only after the stop.
                                           PauseStopCase{"StartSlowSpawn", 3000, 300}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(JobTest, SecondJobCannotStartWhileOneRuns) {
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    int tries = 0;
    atEvent = [&] {
        if (tries < 3) {
            ++tries;
            Convert();
        }
    };
    Convert();
    EXPECT_EQ(tries, 3);
    EXPECT_EQ(ParameterLines().size(), 2u);
    EXPECT_EQ(spawnedSources.size(), 2u);
    EXPECT_EQ(proc.DoneCount, 2);
    EXPECT_FALSE(proc.JobRunning);
}

TEST_F(JobTest, EncoderEndingWithinThePauseFinishesAtItsEnd) {
    AddRows({{"True", "/m/a.wav"}});
    atEvent = [&] {
        // Give the runner all the real time it needs during the pause.
        if (!pump.Pauses.empty() && pump.Pauses.back() == 3000 && proc.Runner)
            while (!proc.Runner->Finished())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    Convert();
    EXPECT_EQ(pump.Pauses, (std::vector<int>{2000, 3000}));
    EXPECT_EQ(proc.DoneCount, 1);
}

TEST_F(JobTest, ForeignEncoderKeepsTheJobWaiting) {
    AddRows({{"True", "/m/a.wav"}});
    platform.Processes.push_back({77, "revc"});
    atEvent = [&] {
        if (Count(100) >= 25) {
            std::lock_guard<std::recursive_mutex> lock(platform.Mutex);
            std::erase_if(platform.Processes, [](const ProcessEntry& p) { return p.Id == 77; });
        }
    };
    Convert();
    EXPECT_GE(Count(100), 25);
    EXPECT_EQ(proc.DoneCount, 1);
}

TEST_F(JobTest, FailedFilesAreListedOnce) {
    AddRows({{"True", "/m/good.wav"},
             {"True", "/m/bad.wav"},
             {"False", "/m/skip.wav"},
             {"True", "/m/missing.wav"},
             {"True", "/m/killed.wav"}});
    RunScript good{{"header", "size=1 time=1.00 b=1"}, 0};
    RunScript bad{{"Invalid data found"}, 1};
    RunScript missing;
    missing.Fails = true;
    RunScript killed{{}, 0, true};
    scripts = {good, bad, missing, killed};
    atEvent = [&] {
        // Someone else ends the fourth encoder.
        std::lock_guard<std::recursive_mutex> lock(platform.Mutex);
        if (spawnedSources.size() == 4 && !platform.Processes.empty())
            platform.Processes.clear();
    };
    Convert();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Kind, mkWarning);
    EXPECT_EQ(dialogs.Messages[0].Title, "Velmora");
    EXPECT_EQ(dialogs.Messages[0].Text,
              "以下文件转换失败:\n/m/bad.wav\n/m/missing.wav\n/m/killed.wav");
    EXPECT_EQ(proc.FailedFiles,
              (std::vector<std::string>{"/m/bad.wav", "/m/missing.wav", "/m/killed.wav"}));
    EXPECT_EQ(proc.DoneCount, 4);
    EXPECT_EQ(desktop.Notices, std::vector<std::string>{"转换完成|已转换 1 个文件, 失败 3 个."});
    int failureLines = 0;
    for (const std::string& m : LogMessages())
        if (m.find("Convert file error. ->") == 0)
            ++failureLines;
    EXPECT_EQ(failureLines, 3);
    // The warning comes after the dialog is gone.
    EXPECT_FALSE(form.Visible);
    EXPECT_TRUE(mainForm.Enabled);
}

TEST_F(JobTest, ChunksOfAFileReachTheDialogBeforeTheNextFile) {
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    scripts = {RunScript{{"header", "size=1 time=8.00 b=1"}, 0}};
    std::vector<int> positionsAtStart;
    std::vector<int> refreshesAtStart;
    std::size_t recordedAt = 0;
    atEvent = [&] {
        if (!pump.Pauses.empty() && pump.Pauses.back() == 2000 &&
            pump.Pauses.size() != recordedAt) {
            recordedAt = pump.Pauses.size();
            positionsAtStart.push_back(form.ProgressBar1.Position());
            refreshesAtStart.push_back(proc.RefreshCount);
        }
    };
    Convert();
    // Each file starts from an empty bar and no refreshes, whatever the
    // previous file's runner had still queued.
    EXPECT_EQ(positionsAtStart, (std::vector<int>{0, 0}));
    EXPECT_EQ(refreshesAtStart, (std::vector<int>{0, 0}));
    EXPECT_EQ(form.statState.Caption, "size=1 time=8.00 b=1");
    EXPECT_EQ(proc.RefreshCount, 2);
    EXPECT_EQ(form.ProgressBar1.Position(), 8);
    EXPECT_EQ(form.ProgressBar1.Max(), 10);
    // The taskbar follows the job bar, and shows nothing once the job ended.
    EXPECT_EQ(desktop.Progress, (std::vector<double>{0, 0, 0.5, -1}));
}

TEST_F(JobTest, ADamagedUserProfileIsShownOncePerJob) {
    std::filesystem::create_directories(dir.Folder() + "Config");
    std::ofstream(dir.Folder() + "Config/UserProfileInfo.ini", std::ios::binary)
        << "\r\n[Bad]\r\nBad=0|1|4|zz|0|3\r\n";
    optionForm.ShowOptions();
    optionForm.cbbCustomProfile.SetItemIndex(0);
    AddRows({{"True", "/m/a.wav"}, {"True", "/m/b.wav"}});
    for (std::size_t job = 1; job <= 2; ++job) {
        Convert();
        EXPECT_EQ(proc.DoneCount, 2);
        ASSERT_EQ(dialogs.Messages.size(), job);
        EXPECT_EQ(dialogs.Messages.back().Kind, mkError);
        EXPECT_EQ(dialogs.Messages.back().Text, "'zz' is not a valid integer value");
    }
}

} // namespace
