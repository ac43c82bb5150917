#include "PreviewFixture.h"

using Calls = std::vector<std::string>;

TEST_F(PreviewTest, StartsWithLogoShownAndNothingLoaded) {
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:00");
    EXPECT_EQ(form.btnPlay.Hint, "Ctrl + P");
    EXPECT_EQ(form.btnPause.Hint, "Ctrl + U");
    EXPECT_EQ(form.btnStop.Hint, "Ctrl + T");
    EXPECT_EQ(preview.tmrPaintSP.Interval, 10);
    EXPECT_FALSE(preview.tmrPaintSP.Enabled); // nothing polls while idle
}

TEST_F(PreviewTest, PlayWithNothingSelectedDoesNothing) {
    AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00", false);
    form.btnPlay.Click();
    EXPECT_TRUE(graph.Calls.empty());
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_TRUE(preview.panLogo.Visible);
}

TEST_F(PreviewTest, PlayLoadsInTheDocumentedOrder) {
    AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00");
    form.btnPlay.Click();
    EXPECT_EQ(graph.Calls,
              (Calls{"deactivate", "clear", "activate", "render /m/a.mp4", "pause", "run"}));
    EXPECT_EQ(preview.CurPlayFile, "/m/a.mp4");
    EXPECT_TRUE(preview.IsPlaying);
    EXPECT_TRUE(graph.Running);
    EXPECT_FALSE(preview.panLogo.Visible);
    // The load waits 10 ms while events run.
    EXPECT_EQ(pump.Pauses, (std::vector<int>{10}));
}

TEST_F(PreviewTest, ThreeSelectedRowsLoadInListOrderAndTheLastPlays) {
    AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00");
    AddRow("/m/skip.mp4", "00:02:00", "00:00:00", "00:02:00", false);
    AddRow("/m/b.wav", "00:02:00", "00:00:00", "00:02:00");
    AddRow("/m/c.avi", "00:02:00", "00:00:00", "00:02:00");
    form.btnPlay.Click();
    std::vector<std::string> renders;
    for (const auto& c : graph.Calls)
        if (c.rfind("render ", 0) == 0)
            renders.push_back(c);
    EXPECT_EQ(renders, (Calls{"render /m/a.mp4", "render /m/b.wav", "render /m/c.avi"}));
    EXPECT_EQ(preview.CurPlayFile, "/m/c.avi");
    EXPECT_EQ(graph.Loaded, "/m/c.avi");
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, PlayWhilePlayingDoesNothing) {
    PlayOne("/m/a.mp4");
    form.btnPlay.Click();
    EXPECT_TRUE(graph.Calls.empty());
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, PlayAfterPauseResumesWithoutReloading) {
    PlayOne("/m/a.mp4");
    form.btnPause.Click();
    EXPECT_FALSE(preview.IsPlaying);
    form.btnPlay.Click();
    EXPECT_EQ(graph.Calls, (Calls{"pause", "run"}));
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, PauseWhilePausedOrWithNothingLoadedDoesNothing) {
    form.btnPause.Click();
    EXPECT_TRUE(graph.Calls.empty());
    PlayOne("/m/a.mp4");
    form.btnPause.Click();
    form.btnPause.Click();
    EXPECT_EQ(graph.Calls, (Calls{"pause"}));
    // Paused, the logo stays hidden and the file stays loaded.
    EXPECT_FALSE(preview.panLogo.Visible);
    EXPECT_EQ(preview.CurPlayFile, "/m/a.mp4");
}

TEST_F(PreviewTest, StopWithNothingLoadedChangesNothing) {
    form.pnlCurTime.Caption = "00:00:07";
    form.btnStop.Click();
    EXPECT_TRUE(graph.Calls.empty());
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:07");
}

TEST_F(PreviewTest, StopResetsThePlayer) {
    PlayOne("/m/a.mp4");
    Tick(42.5);
    ASSERT_EQ(form.pnlCurTime.Caption, "00:00:42");
    ASSERT_EQ(preview.pbPlayState.Position(), 42);
    form.btnStop.Click();
    EXPECT_EQ(graph.Calls, (Calls{"stop", "deactivate", "clear"}));
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:00");
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_FALSE(graph.Active());
    EXPECT_EQ(preview.pbPlayState.Position(), 0);
}

TEST_F(PreviewTest, LoadSeeksToTheStartOnlyWhenSeekingIsEnabled) {
    struct Case {
        bool seekEnabled;
        std::int64_t startSeconds;
        int expectedSeeks;
    };
    for (const Case& c : {Case{true, 30, 1}, Case{false, 30, 0}, Case{true, 0, 1}}) {
        SCOPED_TRACE(testing::Message() << c.seekEnabled << " " << c.startSeconds);
        form.btnStop.Click();
        Grid().ClearRows();
        graph.Calls.clear();
        graph.PositionHns = 0;
        preview.SeekEnabled = c.seekEnabled;
        preview.StartSeconds = c.startSeconds;
        AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00");
        form.btnPlay.Click();
        const std::string seek = "seek " + std::to_string(c.startSeconds * 1000);
        EXPECT_EQ(graph.CountOf(seek), c.expectedSeeks);
        // The seek comes after the graph runs.
        if (c.expectedSeeks) {
            EXPECT_EQ(graph.Calls.back(), seek);
        }
        EXPECT_EQ(graph.PositionHns, c.seekEnabled ? c.startSeconds * 10'000'000 : 0);
    }
}

TEST_F(PreviewTest, UnrenderableFileIsLoggedOnceAndLeavesNothingLoaded) {
    graph.Unrenderable.insert("/m/text.mp4");
    graph.Failure = "Unable to play. (no sound output device)";
    AddRow("/m/text.mp4", "00:02:00", "00:00:00", "00:02:00");
    form.btnPlay.Click();
    EXPECT_EQ(Occurrences(LogText(), "|Playing Video error.\r\n"), 1);
    // With the media layer's reason on a line of its own.
    EXPECT_EQ(Occurrences(LogText(), "|Preview of /m/text.mp4: Unable to play. (no sound "
                                     "output device)\r\n"),
              1);
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_FALSE(graph.Active());
    EXPECT_TRUE(dialogs.Messages.empty());
    // The next Play tries the selection again instead of running an empty graph.
    graph.Calls.clear();
    form.btnPlay.Click();
    EXPECT_EQ(graph.CountOf("render /m/text.mp4"), 1);
    EXPECT_EQ(graph.CountOf("run"), 0);
    EXPECT_EQ(Occurrences(LogText(), "Playing Video error."), 2);
}

TEST_F(PreviewTest, UnrenderableFileReplacingAPlayingOneShowsTheLogo) {
    PlayOne("/m/a.mp4");
    graph.Unrenderable.insert("/m/bad.mp4");
    preview.PlayFile("/m/bad.mp4");
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:00");
}

TEST_F(PreviewTest, FailureToRunShowsTheLogoAndNoMessage) {
    PlayOne("/m/a.mp4");
    form.btnPause.Click();
    graph.ThrowOnRun = true;
    form.btnPlay.Click();
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(PreviewTest, StopDuringALoadEndsItAndTheRemainingRowsAreNotLoaded) {
    AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00");
    AddRow("/m/b.mp4", "00:02:00", "00:00:00", "00:02:00");
    graph.DuringRender = [this] { form.btnStop.Click(); };
    form.btnPlay.Click();
    EXPECT_EQ(graph.CountOf("render /m/b.mp4"), 0);
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_FALSE(graph.Running);
    EXPECT_TRUE(preview.panLogo.Visible);
}

TEST_F(PreviewTest, ClickOnTheLoadingRowDoesNotStopTheLoad) {
    AddRow("/m/a.mp4", "00:02:00", "00:00:00", "00:02:00");
    graph.DuringRender = [this] { preview.PlaceMarkers(); };
    form.btnPlay.Click();
    EXPECT_EQ(graph.CountOf("stop"), 0);
    EXPECT_EQ(preview.CurPlayFile, "/m/a.mp4");
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, PositionDisplayFormatsHoursMinutesSeconds) {
    PlayOne("/m/a.mp4");
    graph.Duration = 500LL * 3600 * 1000;
    struct Case {
        double seconds;
        const char* text;
    };
    for (const Case& c : {Case{0, "00:00:00"}, Case{59.99, "00:00:59"}, Case{61, "00:01:01"},
                          Case{3599, "00:59:59"}, Case{3600, "01:00:00"}, Case{3661.7, "01:01:01"},
                          Case{360000, "100:00:00"}}) {
        Tick(c.seconds);
        EXPECT_EQ(form.pnlCurTime.Caption, c.text) << c.seconds;
    }
}

TEST_F(PreviewTest, TickMirrorsRangeAndPositionInTheHiddenBar) {
    PlayOne("/m/a.mp4");
    graph.Duration = 95500;
    Tick(12.9);
    EXPECT_EQ(preview.pbPlayState.Max(), 95);
    EXPECT_EQ(preview.pbPlayState.Position(), 12);
}

TEST_F(PreviewTest, EndMarkerPausesAtPositionZeroOnTheTickThatShowsIt) {
    PlayOne("/m/a.mp4");
    preview.EndTimeText = "00:01:00";
    Tick(58.4);
    Tick(59.4);
    EXPECT_TRUE(graph.Calls.empty());
    Tick(60.4);
    EXPECT_EQ(graph.Calls, (Calls{"seek 0", "pause"}));
    EXPECT_FALSE(preview.IsPlaying);
    EXPECT_EQ(preview.CurPlayFile, "/m/a.mp4");
    EXPECT_EQ(form.pnlCurTime.Caption, "00:01:00");
    EXPECT_EQ(graph.PositionHns, 0);
}

TEST_F(PreviewTest, EndMarkerStillPausesWhenATickJumpsOverItsSecond) {
    PlayOne("/m/a.mp4");
    preview.EndTimeText = "00:01:00";
    Tick(59.98);
    Tick(61.01);
    EXPECT_EQ(graph.Calls, (Calls{"seek 0", "pause"}));
    EXPECT_EQ(form.pnlCurTime.Caption, "00:01:00");
}

TEST_F(PreviewTest, SeekPastTheEndMarkerDoesNotPause) {
    PlayOne("/m/a.mp4");
    preview.EndTimeText = "00:01:00";
    Tick(10);
    Tick(75);
    Tick(76);
    EXPECT_TRUE(graph.Calls.empty());
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, EndOfMediaStopsThePlayer) {
    PlayOne("/m/a.mp4");
    graph.Duration = 120000;
    Tick(119.2);
    EXPECT_TRUE(preview.IsPlaying);
    Tick(120.0);
    EXPECT_EQ(graph.Calls, (Calls{"seek 0", "stop", "deactivate", "clear"}));
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:00");
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_TRUE(preview.panLogo.Visible);
}

TEST_F(PreviewTest, UnknownDurationNeverCountsAsTheEnd) {
    PlayOne("/m/stream.mp3");
    graph.Duration = 0;
    Tick(3);
    EXPECT_TRUE(preview.IsPlaying);
    EXPECT_EQ(preview.CurPlayFile, "/m/stream.mp3");
}

TEST_F(PreviewTest, CloseReleasesTheGraph) {
    PlayOne("/m/a.mp4");
    preview.ClosePlayer();
    EXPECT_EQ(graph.Calls, (Calls{"deactivate", "clear"}));
    EXPECT_FALSE(graph.Active());
    EXPECT_TRUE(preview.CurPlayFile.empty());
}

TEST_F(PreviewTest, GraphTimerReachesThePlayer) {
    PlayOne("/m/a.mp4");
    graph.PositionHns = 5 * 10'000'000LL;
    ASSERT_TRUE(graph.OnPositionTimer);
    graph.OnPositionTimer(5000, 120000);
    EXPECT_EQ(form.pnlCurTime.Caption, "00:00:05");
}
