// Start-up, splash, resource check, product information and close.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/Version.h"
#include "tests/shell/ShellFixture.h"

namespace {

namespace fs = std::filesystem;

int Count(const ScriptedDialogs& d, const std::string& text) {
    int n = 0;
    for (const auto& m : d.Messages)
        n += m.Text == text ? 1 : 0;
    return n;
}

TEST(StartUp, WithBothLibrariesTheSplashShowsAndTheCaptionCarriesTheVersion) {
    ShellWorld w;
    std::int64_t before = w.Pump.NowMs;
    int pictureWidth = 0;
    int pictureHeight = 0;
    int timer1 = 0;
    int timer2 = 0;
    auto drive = w.App->ShowSplashModal;
    w.App->ShowSplashModal = [&](TFrmFlashForm& splash) {
        pictureWidth = splash.Width();
        pictureHeight = splash.Height();
        timer1 = splash.Timer1.Interval;
        timer2 = splash.Timer2.Interval;
        drive(splash);
        EXPECT_GE(splash.TickCount, 2);
        EXPECT_TRUE(splash.Closed());
    };
    w.App->FormShow();

    EXPECT_TRUE(w.Dialogs.Messages.empty());
    EXPECT_FALSE(w.App->Terminated());
    EXPECT_EQ(w.SplashShows, 1);
    // The picture at its natural size, and the window as large as it.
    EXPECT_EQ(pictureWidth, 480);
    EXPECT_EQ(pictureHeight, 300);
    EXPECT_EQ(timer1, 250);
    EXPECT_EQ(timer2, 1000);
    // At least two ticks of the 1000 ms timer.
    EXPECT_GE(w.Pump.NowMs - before, 2000);
    EXPECT_EQ(w.App->FlashForm(), nullptr);

    std::string caption = "Velmora " + VersionTextFromFileVersion(VELMORA_VERSION);
    EXPECT_EQ(caption, "Velmora 1.3");
    EXPECT_EQ(w.App->MainForm.Caption, caption);
    EXPECT_EQ(w.App->MainForm.lblTitle.Caption, caption);

    // Lists filled, settings loaded, drop target, preset applied.
    EXPECT_EQ(w.App->MainForm.cbbOutputFiletype.Count(), 7);
    EXPECT_EQ(w.App->MainForm.cbbOutputFiletype.Text(), "AMR Audio Files (*.amr)");
    EXPECT_EQ(w.App->MainForm.cbbProfile.Text(), "标准效果");
    EXPECT_EQ(w.App->OptionForm.cbbAudioBitrate.Text(), "128");
    EXPECT_EQ(w.App->OptionForm.cbbAudioSample.Text(), "44100");
    EXPECT_TRUE(w.App->DropTargetRegistered());
    EXPECT_EQ(w.App->StartUpRuns(), 1);
}

TEST(StartUp, RunsOnceEvenWhenTheWindowIsShownAgain) {
    ShellWorld w;
    w.App->FormShow();
    w.App->FormShow();
    w.App->RunStartUpSequence();
    EXPECT_EQ(w.SplashShows, 1);
    EXPECT_EQ(w.App->StartUpRuns(), 1);
    EXPECT_EQ(w.App->MainForm.cbbOutputFiletype.Count(), 7); // not filled twice
}

TEST(StartUp, ProductInformationComesFromTheResourceLibrary) {
    ShellWorld w;
    w.App->FormShow();
    const TRecSoftInfo& info = w.App->RecSoftInfo;
    EXPECT_NE(info.MakerName.find("Dravik Soft"), std::string::npos);
    EXPECT_EQ(info.ProductName, "Velmora");
    EXPECT_FALSE(info.ResText2.empty());
    EXPECT_EQ(info.Version, "1.3");
    EXPECT_EQ(info.HomePage.rfind("https://", 0), 0u);
    EXPECT_NE(info.Email.find('@'), std::string::npos);
    EXPECT_FALSE(info.ResText7.empty());
    EXPECT_EQ(info.ProgramFolder, w.Folder.Folder());
    EXPECT_EQ(info.ProgramFolder.back(), '/');
}

struct MissingCase {
    const char* Name;
    bool Form;
    bool Res;
    std::vector<std::string> Messages;
    bool Splash;
};

class MissingLibraries : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingLibraries, EachMissingFileGetsOneMessageAndTheProgramEnds) {
    const MissingCase& c = GetParam();
    ShellWorld w(c.Form, c.Res);
    w.App->FormShow();
    ASSERT_EQ(w.Dialogs.Messages.size(), c.Messages.size());
    for (size_t i = 0; i < c.Messages.size(); ++i) {
        EXPECT_EQ(w.Dialogs.Messages[i].Text, c.Messages[i]);
        EXPECT_EQ(w.Dialogs.Messages[i].Title, "Velmora");
        EXPECT_EQ(w.Dialogs.Messages[i].Kind, mkInformation);
    }
    EXPECT_TRUE(w.App->Terminated());
    EXPECT_EQ(w.SplashShows, c.Splash ? 1 : 0);
    // The main window is not made ready when the program ends.
    EXPECT_FALSE(w.App->DropTargetRegistered());
    EXPECT_EQ(w.App->StartUpRuns(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, MissingLibraries,
    ::testing::Values(MissingCase{"FormMissing",
                                  false,
                                  true,
                                  {"'Form.so' is not found. Please reinstall this program."},
                                  true},
                      MissingCase{"ResMissing",
                                  true,
                                  false,
                                  {"'Res.so' is not found. Please reinstall this program."},
                                  false},
                      MissingCase{"BothMissing",
                                  false,
                                  false,
                                  {"'Form.so' is not found. Please reinstall this program.",
                                   "'Res.so' is not found. Please reinstall this program."},
                                  false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(StartUp, AResourceLibraryThatCannotBeLoadedIsReportedOnce) {
    ShellWorld w(true, false);
    WriteFile(w.Folder.Path() / "Res.so", "this is no library");
    w.App->FormShow();
    EXPECT_EQ(Count(w.Dialogs, "'Res.so' is not found. Please reinstall this program."), 1);
    EXPECT_EQ(w.Dialogs.Messages.size(), 1u);
    EXPECT_TRUE(w.App->Terminated());
    EXPECT_EQ(w.SplashShows, 0);
}

TEST(StartUp, WithoutAVersionBlockTheCaptionEndsWithTheBlank) {
    ShellWorld w;
    WriteFile(w.Folder.Path() / "velmora", "no version in here");
    w.App->ExecutableFile = w.Folder.Folder() + "velmora";
    w.App->FormShow();
    EXPECT_EQ(w.App->MainForm.Caption, "Velmora ");
    EXPECT_EQ(w.App->RecSoftInfo.Version, "");
}

TEST(StartUp, GarbageInTheSettingsFileStartsWithDefaults) {
    ShellWorld w;
    fs::create_directory(w.Folder.Path() / "Config");
    WriteFile(w.Folder.Path() / "Config" / "UserSettings.ini",
              std::string("\x01\x02[USRInfo\r\n==\r\nSHWDDir=yes\r\n\0\0garbage\xff\xfe", 40));
    WriteFile(w.Folder.Path() / "Config" / "UserProfileInfo.ini",
              "[broken\r\nno equals sign\r\n[p1]\r\np1=1|x|2\r\n[p2]\r\np2=1|2\r\n");
    w.App->FormShow();
    EXPECT_FALSE(w.App->Terminated());
    EXPECT_FALSE(w.App->MainForm.chkShowOutputDirectory.Checked);
    EXPECT_EQ(w.App->MainForm.cbbOutputFiletype.Count(), 7);
    // The broken profiles are listed after the five presets and cannot crash
    // the program when chosen.
    ASSERT_GE(w.App->MainForm.cbbProfile.Count(), 5);
    for (int i = 5; i < w.App->MainForm.cbbProfile.Count(); ++i) {
        try {
            w.App->MainForm.cbbProfile.UserSelect(i);
        } catch (const std::exception&) {
            // Reported by the interface's error box; the program goes on.
        }
    }
}

TEST(Close, StopsThePreviewSavesTheSettingsAndEnds) {
    ShellWorld w;
    w.App->FormShow();
    w.App->MainForm.chkShutdown.SetChecked(true);
    w.Graph.Calls.clear();
    w.App->MainForm.btnWindowClose.Click();
    ASSERT_GE(w.Graph.Calls.size(), 2u);
    EXPECT_EQ(w.Graph.Calls[0], "deactivate");
    EXPECT_EQ(w.Graph.Calls[1], "clear");
    std::string ini = ReadFile(w.Folder.Path() / "Config" / "UserSettings.ini");
    EXPECT_NE(ini.find("SHUTDOWN=1\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SHWDDir=0\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("OutDir=" + w.App->MainForm.edtOutputFolder.Text), std::string::npos);
    EXPECT_EQ(w.Exits, 1);
}

TEST(Close, ASettingsFileThatCannotBeWrittenStillEndsTheProgram) {
    ShellWorld w;
    w.App->FormShow();
    // A file where the Config folder should be: no save can succeed.
    WriteFile(w.Folder.Path() / "Config", "not a folder");
    EXPECT_NO_THROW(w.App->MainForm.FormClose());
    EXPECT_EQ(w.Exits, 1);
    EXPECT_FALSE(w.Dialogs.Messages.empty()); // the user is told
    EXPECT_EQ(ReadFile(w.Folder.Path() / "Config"), "not a folder");
}

TEST(MainWindow, MemoryTrimTimerRunsFromTheStart) {
    ShellWorld w;
    auto& timer = w.App->MainForm.tmrClearMemory;
    EXPECT_TRUE(timer.Enabled);
    EXPECT_EQ(timer.Interval, 1000);
    int before = w.Platform.TrimCalls;
    timer.Tick();
    timer.Tick();
    EXPECT_EQ(w.Platform.TrimCalls, before + 2);
    EXPECT_FALSE(w.App->MainForm.tmrAutoUpdate.Enabled);
    EXPECT_EQ(w.App->MainForm.tmrAutoUpdate.Interval, 10000);
}

TEST(MainWindow, ResizeSetsTheMinimumSize) {
    TFrmMainForm form;
    EXPECT_EQ(form.MinWidth, 0);
    form.FormResize();
    EXPECT_EQ(form.MinWidth, 686);
    EXPECT_EQ(form.MinHeight, 519);
}

TEST(MainWindow, MinimiseAndCloseGoThroughTheView) {
    ShellWorld w;
    int minimised = 0;
    int closes = 0;
    w.App->MainForm.OnMinimizeRequested = [&] { ++minimised; };
    w.App->MainForm.OnCloseRequested = [&] { ++closes; };
    w.App->MainForm.btnWindowMinimize.Click();
    w.App->MainForm.btnWindowClose.Click();
    EXPECT_EQ(minimised, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(w.Exits, 0); // the view's close event runs FormClose
}

TEST(Splash, FirstTimer1TickRunsTheStartUpOnceAndWaitsForTwoTicks) {
    FakeEventPump pump;
    TFrmFlashForm splash(pump);
    int runs = 0;
    int closes = 0;
    splash.OnStartUp = [&] { ++runs; };
    splash.OnCloseRequested = [&] { ++closes; };
    EXPECT_FALSE(splash.Timer1.Enabled);
    EXPECT_FALSE(splash.Timer2.Enabled);
    splash.TickCount = 5;
    splash.FormShow();
    EXPECT_TRUE(splash.Timer1.Enabled);
    EXPECT_TRUE(splash.Timer2.Enabled);
    EXPECT_EQ(splash.TickCount, 0);
    int pausesAtSecondTick = -1;
    pump.OnEvents = [&] {
        if (pump.NowMs % 1000 == 0) {
            splash.Timer2.Tick();
            if (splash.TickCount == 2 && pausesAtSecondTick < 0)
                pausesAtSecondTick = static_cast<int>(pump.Pauses.size());
        }
    };
    splash.Timer1.Tick();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(splash.Timer1.Enabled);
    EXPECT_EQ(splash.TickCount, 2);
    EXPECT_EQ(static_cast<int>(pump.Pauses.size()), pausesAtSecondTick);
    splash.Timer1.Tick(); // disabled: nothing more
    EXPECT_EQ(runs, 1);
}

TEST(Splash, AnUndrivenTimerDoesNotHoldTheStartForever) {
    FakeEventPump pump;
    TFrmFlashForm splash(pump);
    int closes = 0;
    splash.OnCloseRequested = [&] { ++closes; };
    splash.FormShow();
    splash.Timer1.Tick();
    EXPECT_EQ(closes, 1);
    EXPECT_GE(pump.NowMs, TFrmFlashForm::MaxWaitMs);
    EXPECT_LT(pump.NowMs, TFrmFlashForm::MaxWaitMs + 100);
}

} // namespace

namespace {

// A silent mono 8 kHz PCM WAV of whole seconds.
void WriteWav(const fs::path& path, int seconds) {
    const std::uint32_t data = static_cast<std::uint32_t>(seconds) * 16000;
    auto le = [](std::uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xff);
        return s;
    };
    WriteFile(path, "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
                        le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) +
                        std::string(data, '\0'));
}

} // namespace

TEST(HandOver, FilesWaitUntilTheWindowIsFreeThenJoinInOrder) {
    ShellWorld w;
    const fs::path media = w.Folder.Path() / "media";
    fs::create_directories(media / "album");
    WriteWav(media / "b.wav", 2);
    WriteWav(media / "album" / "10.wav", 2);
    WriteWav(media / "album" / "2.wav", 2);
    const std::vector<std::string> first{(media / "b.wav").string()};
    const std::vector<std::string> second{(media / "album").string()};
    TApplication& app = *w.App;
    // Each blocks the adding until it is lifted.
    const struct {
        const char* what;
        std::function<void(bool)> set;
    } blockers[] = {
        {"start-up not done",
         [&](bool on) {
             if (!on)
                 app.FormShow();
         }},
        {"main window disabled", [&](bool on) { app.MainForm.Enabled = !on; }},
        {"job running", [&](bool on) { app.CustomProc.JobRunning = on; }},
        {"busy window up", [&](bool on) { app.InitFileForm.Visible = on; }},
    };
    app.HandOverFiles(first);
    app.HandOverFiles(second);
    for (const auto& b : blockers) {
        b.set(true);
        EXPECT_FALSE(app.TakeHandedFiles(false)) << b.what;
        EXPECT_EQ(app.MainForm.dxTreeSourceFileInfo.RowCount(), 0) << b.what;
        b.set(false);
    }
    EXPECT_FALSE(app.TakeHandedFiles(true)) << "a modal window of the view";
    EXPECT_TRUE(app.TakeHandedFiles(false));
    EXPECT_FALSE(app.HandedFilesWaiting());
    const TSourceFileGrid& grid = app.MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Field(0, sfFileName), first[0]);
    EXPECT_EQ(grid.Field(1, sfFileName), second[0] + "/2.wav");
    EXPECT_EQ(grid.Field(2, sfFileName), second[0] + "/10.wav");
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}
