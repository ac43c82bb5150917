#include "PreviewFixture.h"

namespace {

struct EditCase {
    const char* name;
    const char* start; // row before the edit
    const char* end;
    int column;        // the edited cell
    const char* typed; // its new text
    const char* expectStart;
    const char* expectEnd;
    const char* expectCut;
};

} // namespace

TEST_F(PreviewTest, EditCheckAgainstTheDuration) {
    // Every row is 100 s long (00:01:40).
    const EditCase cases[] = {
        {"ordinary", "00:00:00", "00:01:40", sfStartTime, "00:00:10", "00:00:10", "00:01:40",
         "00:01:30"},
        {"start at the duration, end there too", "00:00:00", "00:01:40", sfStartTime, "00:01:40",
         "00:01:40", "00:01:40", "00:00:00"},
        {"start past the duration, end there too", "00:00:00", "00:01:40", sfStartTime, "00:02:00",
         "00:01:40", "00:01:40", "00:00:00"},
        {"start past the duration, end before it", "00:00:00", "00:01:00", sfStartTime, "00:02:00",
         "00:01:40", "00:02:00", "00:00:00"},
        {"start past the end", "00:00:00", "00:01:00", sfStartTime, "00:01:10", "00:01:10",
         "00:01:10", "00:00:00"},
        {"end below the start", "00:00:30", "00:01:40", sfEndTime, "00:00:10", "00:00:30",
         "00:00:30", "00:00:00"},
        {"end equal to the start", "00:00:30", "00:01:40", sfEndTime, "00:00:30", "00:00:30",
         "00:00:30", "00:00:00"},
        {"end past the duration", "00:00:10", "00:01:00", sfEndTime, "00:02:00", "00:00:10",
         "00:01:40", "00:01:30"},
        {"ordinary end", "00:00:10", "00:01:40", sfEndTime, "00:01:00", "00:00:10", "00:01:00",
         "00:00:50"},
        {"empty start", "00:00:30", "00:01:00", sfStartTime, "", "00:00:00", "00:01:00",
         "00:01:00"},
        {"empty end", "00:00:30", "00:01:00", sfEndTime, "", "00:00:30", "00:01:40", "00:01:10"},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Grid().ClearRows();
        const int r = AddRow("/m/a.mp4", "00:01:40", c.start, c.end);
        EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(r, c.column, c.typed));
        EXPECT_EQ(Cell(r, sfStartTime), c.expectStart);
        EXPECT_EQ(Cell(r, sfEndTime), c.expectEnd);
        EXPECT_EQ(Cell(r, sfCutTime), c.expectCut);
        EXPECT_EQ(Cell(r, sfDuration), "00:01:40");
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(PreviewTest, TextOutsideTheTimeFormGivesAnErrorAndLeavesTheRow) {
    for (const char* typed : {"ab:cd:ef", "1:02:03", "00:60:00", "00:00:61", "00:00", "12",
                              "00:00:00:00", "-1:00:00", "00:0a:00", "  :  :  "}) {
        SCOPED_TRACE(typed);
        dialogs.Messages.clear();
        Grid().ClearRows();
        const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:10", "00:01:00");
        Grid().Rows[0][sfCutTime] = "00:00:50";
        const auto before = Grid().Rows[0].Fields;
        EXPECT_FALSE(preview.dxTreeSourceFileInfoEdited(r, sfStartTime, typed));
        EXPECT_EQ(Grid().Rows[0].Fields, before);
        ASSERT_EQ(dialogs.Messages.size(), 1u);
        EXPECT_EQ(dialogs.Messages[0].Kind, mkError);
        EXPECT_EQ(dialogs.Messages[0].Title, lib.AppTitle);
        EXPECT_NE(dialogs.Messages[0].Text.find(typed), std::string::npos);
    }
}

TEST_F(PreviewTest, EditChecksEverySelectedRowAndStopsAtAnUnreadableOne) {
    const int a = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:03:00");
    const int bad = AddRow("/m/b.mp4", "garbled", "00:00:00", "00:01:00");
    const int c = AddRow("/m/c.mp4", "00:01:40", "00:00:00", "00:03:00");
    EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(a, sfStartTime, "00:00:20"));
    EXPECT_EQ(Cell(a, sfEndTime), "00:01:40");
    EXPECT_EQ(Cell(a, sfCutTime), "00:01:20");
    EXPECT_EQ(Cell(bad, sfEndTime), "00:01:00");
    EXPECT_EQ(Cell(c, sfEndTime), "00:03:00"); // not reached
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_NE(dialogs.Messages[0].Text.find("garbled"), std::string::npos);
}

TEST_F(PreviewTest, EditedRowIsCheckedEvenWhenNotSelected) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40", false);
    EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(r, sfEndTime, "00:09:00"));
    EXPECT_EQ(Cell(r, sfEndTime), "00:01:40");
}

TEST_F(PreviewTest, RowsOfAHundredHoursAndMoreAreChecked) {
    const int r = AddRow("/m/long.mkv", "120:00:00", "00:00:00", "120:00:00");
    EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(r, sfStartTime, "100:30:00"));
    EXPECT_EQ(Cell(r, sfStartTime), "100:30:00");
    EXPECT_EQ(Cell(r, sfCutTime), "19:30:00");
    EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(r, sfEndTime, "130:00:00"));
    EXPECT_EQ(Cell(r, sfEndTime), "120:00:00");
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(PreviewTest, EditSeeksThePlayerToTheCheckedStart) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    form.btnPlay.Click();
    preview.SeekEnabled = true;
    graph.Calls.clear();
    preview.dxTreeSourceFileInfoEdited(r, sfStartTime, "00:03:00");
    // The start was cut to the duration before the seek.
    EXPECT_EQ(graph.Calls, (std::vector<std::string>{"seek 100000"}));

    preview.SeekEnabled = false;
    graph.Calls.clear();
    preview.dxTreeSourceFileInfoEdited(r, sfStartTime, "00:00:05");
    EXPECT_TRUE(graph.Calls.empty());
}

TEST_F(PreviewTest, EditSetsThePlayerRangeFromTheEditedRow) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    preview.StartSeconds = 77;
    preview.dxTreeSourceFileInfoEdited(r, sfStartTime, "00:00:40");
    EXPECT_EQ(preview.StartSeconds, 40);
    preview.dxTreeSourceFileInfoEdited(r, sfEndTime, "00:01:10");
    EXPECT_EQ(preview.EndTimeText, "00:01:10");
    EXPECT_EQ(preview.StartSeconds, 40);
    preview.dxTreeSourceFileInfoEdited(r, sfEndTime, "00:05:00");
    EXPECT_EQ(Cell(r, sfEndTime), "00:01:40");
    EXPECT_EQ(preview.EndTimeText, "");
    // A rejected text changes nothing.
    preview.dxTreeSourceFileInfoEdited(r, sfStartTime, "xx");
    EXPECT_EQ(preview.StartSeconds, 40);
}

TEST_F(PreviewTest, TickingAFileStoresTheMarkWithoutCheckingOrSeeking) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "", "");
    preview.PlaceMarkers();
    form.btnPlay.Click();
    graph.Calls.clear();
    EXPECT_TRUE(preview.dxTreeSourceFileInfoEdited(r, sfCheck, "False"));
    EXPECT_EQ(Cell(r, sfCheck), "False");
    EXPECT_EQ(Cell(r, sfStartTime), "");
    EXPECT_TRUE(graph.Calls.empty());
}

TEST_F(PreviewTest, EditOfAnotherColumnIsIgnoredAndOutOfRangeRowsToo) {
    const int r = AddRow("/m/a.mp4", "00:01:40", "00:00:00", "00:01:40");
    EXPECT_FALSE(preview.dxTreeSourceFileInfoEdited(r, sfDuration, "00:00:01"));
    EXPECT_FALSE(preview.dxTreeSourceFileInfoEdited(r, sfFileName, "/x"));
    EXPECT_FALSE(preview.dxTreeSourceFileInfoEdited(5, sfStartTime, "00:00:01"));
    EXPECT_FALSE(preview.dxTreeSourceFileInfoEdited(-1, sfStartTime, "00:00:01"));
    EXPECT_EQ(Cell(r, sfDuration), "00:01:40");
    EXPECT_EQ(Cell(r, sfFileName), "/m/a.mp4");
    EXPECT_TRUE(dialogs.Messages.empty());
}
