#include "PreviewFixture.h"
#include "support/TimeText.h"

TEST(TrimArithmetic, NearestRoundsHalvesToEven) {
    struct Case {
        double x;
        std::int64_t expected;
    };
    for (const Case& c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}, Case{2.4999, 2},
                          Case{2.5001, 3}, Case{-0.5, 0}, Case{-1.5, -2}, Case{110.0, 110}})
        EXPECT_EQ(NearestEven(c.x), c.expected) << c.x;
}

TEST(TrimArithmetic, StrictTimeReading) {
    struct Case {
        const char* text;
        std::int64_t seconds; // -1: not a time text
    };
    for (const Case& c :
         {Case{"00:00:00", 0}, Case{"00:01:05", 65}, Case{"23:59:59", 86399},
          Case{"100:00:00", 360000}, Case{"1234:05:06", 1234 * 3600 + 306}, Case{"0:00:00", -1},
          Case{"00:0:00", -1}, Case{"00:00:0", -1}, Case{"00:60:00", -1}, Case{"00:00:60", -1},
          Case{"ab:cd:ef", -1}, Case{"00:00", -1}, Case{"00:00:00:00", -1}, Case{"", -1},
          Case{"-1:00:00", -1}, Case{" 00:00:01", -1}, Case{"00:00:01 ", -1}, Case{"  :  :  ", -1},
          Case{"1234567890:00:00", -1}}) {
        auto got = StrictTimeTextSeconds(c.text);
        if (c.seconds < 0)
            EXPECT_FALSE(got.has_value()) << c.text;
        else
            EXPECT_EQ(got.value_or(-1), c.seconds) << c.text;
    }
}

TEST(TrimArithmetic, PartsOfTheBarUnderThePointer) {
    TTrimBar bar;
    bar.LeftWidth = 10;
    bar.RightWidth = 20;
    struct Case {
        int x;
        TTrimPart part;
    };
    for (const Case& c : {Case{-1, TTrimPart::Outside}, Case{0, TTrimPart::LeftStrip},
                          Case{9, TTrimPart::LeftStrip}, Case{10, TTrimPart::StartMarker},
                          Case{28, TTrimPart::StartMarker}, Case{29, TTrimPart::MiddleStrip},
                          Case{220, TTrimPart::MiddleStrip}, Case{221, TTrimPart::EndMarker},
                          Case{239, TTrimPart::EndMarker}, Case{240, TTrimPart::RightStrip},
                          Case{259, TTrimPart::RightStrip}, Case{260, TTrimPart::Outside}})
        EXPECT_EQ(TrimPartAt(bar, c.x), c.part) << c.x;
    EXPECT_EQ(bar.MiddleWidth(), 260 - 10 - 20 - 38);
}

TEST_F(PreviewTest, TimeTextsReadBySplitting) {
    struct Case {
        const char* text;
        std::int64_t seconds;
    };
    for (const Case& c : {Case{"00:01:05", 65}, Case{"100:00:00", 360000}, Case{"", 0},
                          Case{"12:30", 0}, Case{"1:2:3", 3723}, Case{"01:00:00:99", 3600}})
        EXPECT_EQ(LooseTimeTextSeconds(lib, c.text), c.seconds) << c.text;
}

struct PlaceCase {
    const char* duration;
    const char* start;
    const char* end;
    int fromLeft, fromRight;
    int left, right;
};

TEST_F(PreviewTest, PlaceMarkersMapsTimesToStripWidthsWithThresholds) {
    const PlaceCase cases[] = {
        // Full range from the design widths and from the reset widths: unchanged.
        {"00:01:40", "00:00:00", "00:01:40", 1, 1, 1, 1},
        {"00:01:40", "00:00:00", "00:01:40", 2, 2, 2, 2},
        // 100 s, start at 50 s: 110 + 1.
        {"00:01:40", "00:00:50", "00:01:40", 1, 1, 111, 1},
        // Left threshold: 2 pixels move, 1 does not (220 s maps 1:1).
        {"00:03:40", "00:00:02", "00:03:40", 1, 1, 3, 1},
        {"00:03:40", "00:00:01", "00:03:40", 1, 1, 1, 1},
        // Right threshold: 3 pixels move, 2 do not.
        {"00:03:40", "00:00:00", "00:03:37", 1, 1, 1, 4},
        {"00:03:40", "00:00:00", "00:03:38", 1, 1, 1, 1},
        // Halves to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2 (440 s, half a pixel a second).
        {"00:07:20", "00:00:01", "00:07:20", 50, 1, 1, 1},
        {"00:07:20", "00:00:03", "00:07:20", 50, 1, 3, 1},
        {"00:07:20", "00:00:05", "00:07:20", 50, 1, 3, 1},
        // An end past the duration never makes a strip narrower than 1 pixel.
        {"00:05:00", "00:00:00", "00:05:03", 2, 2, 2, 1},
        // Start equal to end keeps a 1-pixel middle strip.
        {"00:01:40", "00:00:50", "00:00:50", 1, 1, 111, 110},
        // No duration: nothing to trim, the full range.
        {"00:00:00", "00:00:00", "00:00:00", 50, 60, 1, 1},
        // A wide right strip from the row before does not hold the left one back.
        {"00:01:40", "00:01:30", "00:01:40", 1, 200, 199, 1},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.duration << " " << c.start << " " << c.end << " from "
                                        << c.fromLeft << "/" << c.fromRight);
        Grid().ClearRows();
        AddRow("/m/a.mp4", c.duration, c.start, c.end);
        preview.Panel1.LeftWidth = c.fromLeft;
        preview.Panel1.RightWidth = c.fromRight;
        preview.PlaceMarkers();
        EXPECT_EQ(preview.Panel1.LeftWidth, c.left);
        EXPECT_EQ(preview.Panel1.RightWidth, c.right);
        EXPECT_GE(preview.Panel1.MiddleWidth(), 1);
        EXPECT_EQ(preview.Panel1.Width, 260);
    }
}

TEST_F(PreviewTest, PlaceMarkersFollowsTheLastSelectedRowAndEnablesSeeking) {
    EXPECT_FALSE(preview.SeekEnabled);
    AddRow("/m/a.mp4", "00:01:40", "00:00:50", "00:01:40");
    AddRow("/m/b.mp4", "00:05:00", "00:00:00", "00:02:30");
    AddRow("/m/c.mp4", "00:03:40", "00:01:00", "00:03:40", false);
    preview.PlaceMarkers();
    EXPECT_EQ(preview.CurDuration, 300);
    EXPECT_EQ(preview.Panel1.LeftWidth, 1);
    EXPECT_EQ(preview.Panel1.RightWidth, 111);
    EXPECT_TRUE(preview.SeekEnabled);
    // The player follows the shown row's range.
    EXPECT_EQ(preview.StartSeconds, 0);
    EXPECT_EQ(preview.EndTimeText, "00:02:30");

    // A row that ends at its duration plays to the end of the media.
    Grid().ClearRows();
    AddRow("/m/d.mp4", "00:01:40", "00:00:20", "00:01:40");
    preview.PlaceMarkers();
    EXPECT_EQ(preview.StartSeconds, 20);
    EXPECT_EQ(preview.EndTimeText, "");
}

TEST_F(PreviewTest, PlaceMarkersLeavesThePlayingRowAloneAndStopsForAnother) {
    PlayOne("/m/a.mp4", "00:01:40");
    preview.Panel1.LeftWidth = 40;
    preview.PlaceMarkers();
    EXPECT_TRUE(graph.Calls.empty());
    EXPECT_EQ(preview.Panel1.LeftWidth, 40);
    EXPECT_TRUE(preview.IsPlaying);

    Grid().SetSelected(0, false);
    AddRow("/m/b.mp4", "00:01:40", "00:00:50", "00:01:40");
    preview.PlaceMarkers();
    EXPECT_EQ(graph.CountOf("stop"), 1);
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_EQ(preview.Panel1.LeftWidth, 111);
    EXPECT_EQ(preview.StartSeconds, 50);
}

TEST_F(PreviewTest, ResetTrimBarKeepsTheTrimState) {
    AddRow("/m/a.mp4", "00:01:40", "00:00:50", "00:01:20");
    preview.PlaceMarkers();
    preview.ResetTrimBar();
    EXPECT_EQ(preview.Panel1.LeftWidth, 2);
    EXPECT_EQ(preview.Panel1.RightWidth, 2);
    EXPECT_EQ(preview.CurDuration, 100);
    EXPECT_EQ(preview.StartSeconds, 50);
    EXPECT_TRUE(preview.SeekEnabled);
}

TEST_F(PreviewTest, StartMarkerDragEndingAt111PixelsGivesHalfTheDuration) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    preview.BeginMarkerDrag(TTrimMarker::Start, 5);
    preview.DragMarker(5 + 60);
    preview.EndMarkerDrag(5 + 110);
    EXPECT_EQ(preview.Panel1.LeftWidth, 111);
    EXPECT_EQ(preview.StartSeconds, 50);
    EXPECT_EQ(Cell(r, sfStartTime), "00:00:50");
    EXPECT_EQ(Cell(r, sfCutTime), "00:00:50");
    EXPECT_FALSE(preview.Dragging());
}

TEST_F(PreviewTest, MarkerMovesMapPixelsToPercentages) {
    struct Case {
        TTrimMarker marker;
        int strip; // width of the moved marker's strip
        const char* duration;
        const char* expected;
    };
    const Case cases[] = {
        {TTrimMarker::Start, 1, "00:01:40", "00:00:00"},
        {TTrimMarker::Start, 3, "00:01:40", "00:00:00"},
        {TTrimMarker::Start, 111, "00:01:40", "00:00:50"},
        {TTrimMarker::Start, 220, "00:01:40", "00:01:40"},
        {TTrimMarker::Start, 111, "00:00:07", "00:00:03"},
        // Fully right: ((240 - 22) * 121) div 260 = 101 %.
        {TTrimMarker::End, 1, "00:05:00", "00:05:03"},
        {TTrimMarker::End, 2, "00:05:00", "00:05:00"},
        {TTrimMarker::End, 111, "00:01:40", "00:00:50"},
        {TTrimMarker::End, 220, "00:01:40", "00:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.marker == TTrimMarker::Start ? "start " : "end ")
                                        << c.strip << " " << c.duration);
        Grid().ClearRows();
        const int r = AddRow("/m/a.mp4", c.duration, "00:00:00", c.duration);
        preview.PlaceMarkers();
        if (c.marker == TTrimMarker::Start) {
            preview.Panel1.RightWidth = 1;
            preview.Panel1.LeftWidth = c.strip;
            preview.SetStartTimeAndPlay();
            EXPECT_EQ(Cell(r, sfStartTime), c.expected);
        } else {
            preview.Panel1.LeftWidth = 1;
            preview.Panel1.RightWidth = c.strip;
            preview.Splitter2Moved();
            EXPECT_EQ(Cell(r, sfEndTime), c.expected);
            EXPECT_EQ(preview.EndTimeText, c.expected);
        }
    }
}

TEST_F(PreviewTest, DraggedMarkersNeverCrossNorLeaveTheBar) {
    AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    preview.BeginMarkerDrag(TTrimMarker::Start, 10);
    preview.EndMarkerDrag(400);
    EXPECT_EQ(preview.Panel1.LeftWidth, 220);
    EXPECT_EQ(preview.Panel1.MiddleWidth(), 1);
    preview.BeginMarkerDrag(TTrimMarker::End, 245);
    preview.EndMarkerDrag(-300);
    EXPECT_EQ(preview.Panel1.RightWidth, 1);
    preview.BeginMarkerDrag(TTrimMarker::Start, 225);
    preview.EndMarkerDrag(-50);
    EXPECT_EQ(preview.Panel1.LeftWidth, 1);
    preview.BeginMarkerDrag(TTrimMarker::End, 245);
    preview.EndMarkerDrag(-50);
    EXPECT_EQ(preview.Panel1.RightWidth, 220);
    EXPECT_EQ(preview.Panel1.MiddleWidth(), 1);
    EXPECT_EQ(preview.Panel1.EndMarkerLeft(), 21);
}

TEST_F(PreviewTest, StartMarkerDragUpdatesTheRowAndSeeksAtEveryStep) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    form.btnPlay.Click();
    graph.Calls.clear();
    preview.BeginMarkerDrag(TTrimMarker::Start, 1);
    std::vector<std::string> starts;
    for (int x : {25, 25, 60, 111}) {
        preview.DragMarker(x);
        starts.push_back(Cell(r, sfStartTime));
    }
    preview.EndMarkerDrag(111);
    // ((W - 3) * 121) div 260: 25 -> 10 %, 60 -> 26 %, 111 -> 50 %.
    EXPECT_EQ(starts, (std::vector<std::string>{"00:00:10", "00:00:10", "00:00:26", "00:00:50"}));
    // One seek per change of width; none for the repeated and the final x.
    EXPECT_EQ(graph.Calls, (std::vector<std::string>{"seek 10000", "seek 26000", "seek 50000"}));
    EXPECT_TRUE(preview.IsPlaying);
}

TEST_F(PreviewTest, EndMarkerMoveDoesNotSeek) {
    AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    form.btnPlay.Click();
    preview.SeekEnabled = true;
    graph.Calls.clear();
    preview.BeginMarkerDrag(TTrimMarker::End, 245);
    preview.EndMarkerDrag(200);
    EXPECT_EQ(graph.CountOf("seek 0") + graph.Calls.size(), 0u);
}

TEST_F(PreviewTest, SeekFailureDuringAStartMoveIsIgnored) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    form.btnPlay.Click();
    graph.ThrowOnSeek = true;
    preview.Panel1.LeftWidth = 111;
    EXPECT_NO_THROW(preview.SetStartTimeAndPlay());
    EXPECT_EQ(Cell(r, sfStartTime), "00:00:50");
}

TEST_F(PreviewTest, MoveHandlersLetEventsRunFirstAndDoNotNest) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    int depth = 0, maxDepth = 0, events = 0;
    // A drag step arriving while the handler lets events run.
    pump.OnEvents = [&] {
        ++events;
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (events == 1)
            preview.DragMarker(111);
        --depth;
    };
    preview.BeginMarkerDrag(TTrimMarker::Start, 1);
    preview.DragMarker(50);
    preview.EndMarkerDrag(111);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(events, 2); // the folded step ran the handler once more
    EXPECT_EQ(preview.Panel1.LeftWidth, 111);
    EXPECT_EQ(Cell(r, sfStartTime), "00:00:50");
}

TEST_F(PreviewTest, MarkerMoveWithoutSelectionChangesNoRowNorWhereThePlayerPauses) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:10", "00:01:30");
    preview.PlaceMarkers();
    Grid().SetSelected(r, false);
    preview.Panel1.LeftWidth = 111;
    preview.SetStartTimeAndPlay();
    preview.Panel1.RightWidth = 111;
    preview.Splitter2Moved();
    EXPECT_EQ(preview.StartSeconds, 50);
    EXPECT_EQ(preview.EndTimeText, "00:01:30");
    EXPECT_EQ(Cell(r, sfStartTime), "00:00:10");
    EXPECT_EQ(Cell(r, sfEndTime), "00:01:30");
    // Selected again, the end marker's move is the row's and the player's.
    Grid().SetSelected(r, true);
    preview.Splitter2Moved();
    EXPECT_EQ(preview.EndTimeText, "00:00:50");
    EXPECT_EQ(Cell(r, sfEndTime), "00:00:50");
}

TEST_F(PreviewTest, CtrlClickingTheLeftStripThreeTimesStepsOnePixelEach) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.PlaceMarkers();
    preview.Panel1.LeftWidth = 50;
    preview.Panel1.RightWidth = 1;
    std::vector<std::string> starts;
    for (int i = 0; i < 3; ++i) {
        preview.Panel2MouseDown(TMouseButton::mbLeft, ssCtrl | ssLeft, 3, 4);
        starts.push_back(Cell(r, sfStartTime));
    }
    EXPECT_EQ(preview.Panel1.LeftWidth, 47);
    // ((49 - 3) * 121) div 260 = 21, then 20, 20 (percent of 100 s).
    EXPECT_EQ(starts, (std::vector<std::string>{"00:00:21", "00:00:20", "00:00:20"}));
}

TEST_F(PreviewTest, StripClickSteps) {
    struct Case {
        bool leftStrip;
        TMouseButton button;
        unsigned shift;
        int left, right;
        int expectedLeft, expectedRight;
    };
    const Case cases[] = {
        {true, TMouseButton::mbLeft, 0, 5, 1, 5, 1},         // not wider than the step
        {true, TMouseButton::mbLeft, 0, 6, 1, 1, 1},         // plain: 5 pixels
        {true, TMouseButton::mbLeft, ssShift, 11, 1, 1, 1},  // Shift: 10
        {true, TMouseButton::mbLeft, ssShift, 10, 1, 10, 1}, // not wider than 10
        {true, TMouseButton::mbLeft, ssCtrl, 2, 1, 1, 1},    // Ctrl: 1
        {true, TMouseButton::mbLeft, ssCtrl, 1, 1, 1, 1},
        {true, TMouseButton::mbLeft, ssCtrl | ssShift, 20, 1, 15, 1}, // not exactly one key
        {true, TMouseButton::mbLeft, ssCtrl | ssAlt, 20, 1, 15, 1},
        {true, TMouseButton::mbRight, 0, 20, 1, 20, 1},
        {true, TMouseButton::mbMiddle, ssCtrl, 20, 1, 20, 1},
        // Outer strips plus 45 wider than the bar: no step.
        {true, TMouseButton::mbLeft, 0, 110, 106, 110, 106},
        {true, TMouseButton::mbLeft, 0, 110, 105, 105, 105},
        {false, TMouseButton::mbLeft, 0, 1, 10, 1, 5},
        {false, TMouseButton::mbLeft, ssShift, 1, 30, 1, 20},
        {false, TMouseButton::mbLeft, ssCtrl, 1, 30, 1, 29},
        {false, TMouseButton::mbLeft, 0, 1, 5, 1, 5},
        {false, TMouseButton::mbRight, 0, 1, 30, 1, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.leftStrip ? "left " : "right ") << c.shift << " "
                                        << c.left << "/" << c.right);
        preview.Panel1.LeftWidth = c.left;
        preview.Panel1.RightWidth = c.right;
        if (c.leftStrip)
            preview.Panel2MouseDown(c.button, c.shift, 0, 0);
        else
            preview.Panel3MouseDown(c.button, c.shift, 0, 0);
        EXPECT_EQ(preview.Panel1.LeftWidth, c.expectedLeft);
        EXPECT_EQ(preview.Panel1.RightWidth, c.expectedRight);
    }
}

TEST_F(PreviewTest, RightStripClickMovesTheEndMarkerAndSetsTheEndTime) {
    const int r = AddRow("/m/a.mp4", "00:05:00", "00:00:00", "00:05:00");
    preview.PlaceMarkers();
    preview.Panel1.RightWidth = 6;
    preview.Panel3MouseDown(TMouseButton::mbLeft, 0, 2, 2);
    EXPECT_EQ(preview.Panel1.RightWidth, 1);
    EXPECT_EQ(Cell(r, sfEndTime), "00:05:03");
    EXPECT_EQ(Cell(r, sfCutTime), "00:05:03");
    EXPECT_EQ(preview.EndTimeText, "00:05:03");
}

TEST_F(PreviewTest, PaintTimerRepaintsTheBar) {
    int repaints = 0;
    preview.Panel1.OnModelChanged = [&] { ++repaints; };
    preview.tmrPaintSP.SetEnabled(true);
    preview.tmrPaintSP.Tick();
    preview.tmrPaintSP.Tick();
    EXPECT_EQ(repaints, 2);
    preview.tmrPaintSP.SetEnabled(false);
    preview.tmrPaintSP.Tick();
    EXPECT_EQ(repaints, 2);
}
