// The trim range set on the trim bar and in the time cells is what gets
// converted: real encoder, real time.
#include <gtest/gtest.h>

#include "integration/IntegrationSupport.h"
#include "media/SourceFileList.h"
#include "preview/PreviewFixture.h"

namespace {

class TrimConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tone_ = rig_.Media("tone 10s.wav");
        ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=10 -ac 2 -ar 44100 " +
                        Quote(tone_)),
                  0);
        rig_.AddRow(tone_, "00:00:00", "00:00:10");
        Grid().SetSelected(0, true);
        rig_.mainForm.edtOutputFolder.SetText(rig_.mediaDir.Folder() + "out");
        rig_.SelectType(oftMP3);
        preview_.PlaceMarkers();
    }
    TSourceFileGrid& Grid() { return rig_.mainForm.dxTreeSourceFileInfo; }
    std::string Output() const { return rig_.mediaDir.Folder() + "out/tone 10s.mp3"; }

    ConversionRig rig_;
    FakeGraph graph_;
    TPreview preview_{rig_.mainForm, rig_.lib, graph_};
    std::string tone_;
};

} // namespace

TEST_F(TrimConversionTest, MarkersDraggedOnTheBarSetTheConvertedPart) {
    // Start marker to the middle: ((111 - 3) * 121) div 260 = 50 % of 10 s.
    preview_.BeginMarkerDrag(TTrimMarker::Start, 5);
    preview_.EndMarkerDrag(5 + 110);
    // End marker to its left edge 194: ((194 - 22) * 121) div 260 = 80 %.
    preview_.BeginMarkerDrag(TTrimMarker::End, preview_.Panel1.EndMarkerLeft() + 4);
    preview_.EndMarkerDrag(194 + 4);
    ASSERT_EQ(preview_.Panel1.EndMarkerLeft(), 194);
    EXPECT_EQ(Grid().Field(0, sfStartTime), "00:00:05");
    EXPECT_EQ(Grid().Field(0, sfEndTime), "00:00:08");
    EXPECT_EQ(Grid().Field(0, sfCutTime), "00:00:03");

    rig_.Convert();
    ASSERT_TRUE(rig_.proc.FailedFiles.empty());
    EXPECT_NEAR(DecodedSeconds(Output()), 3.0, 0.1);
}

TEST_F(TrimConversionTest, TimesTypedIntoTheCellsSetTheConvertedPart) {
    ASSERT_TRUE(preview_.dxTreeSourceFileInfoEdited(0, sfStartTime, "00:00:02"));
    // Past the duration: cut back to it.
    ASSERT_TRUE(preview_.dxTreeSourceFileInfoEdited(0, sfEndTime, "00:01:00"));
    EXPECT_EQ(Grid().Field(0, sfEndTime), "00:00:10");
    EXPECT_EQ(Grid().Field(0, sfCutTime), "00:00:08");

    rig_.Convert();
    ASSERT_TRUE(rig_.proc.FailedFiles.empty());
    EXPECT_NEAR(DecodedSeconds(Output()), 8.0, 0.1);
}

TEST_F(TrimConversionTest, AFileUnderASecondIsARowAndConvertsWhole) {
    const std::string blip = rig_.Media("blip.wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=880:duration=0.5 -ac 2 " + Quote(blip)),
              0);
    Grid().ClearRows();
    TFrmInitFileForm busy{rig_.pump};
    TSourceFileList list{Grid(), rig_.lib, rig_.proc, busy, preview_};
    list.AddSourceFiles({blip});
    ASSERT_EQ(Grid().RowCount(), 1);
    EXPECT_TRUE(rig_.dialogs.Messages.empty());
    for (int field : {sfDuration, sfStartTime, sfEndTime, sfCutTime})
        EXPECT_EQ(Grid().Field(0, field), "00:00:00");
    // Placed for a zero-second row: the full range, and the player runs to
    // the file's end.
    EXPECT_EQ(preview_.CurDuration, 0);
    EXPECT_EQ(preview_.Panel1.LeftWidth, 1);
    EXPECT_EQ(preview_.Panel1.RightWidth, 1);
    EXPECT_EQ(preview_.EndTimeText, "");

    // Markers dragged inwards have no second to cut: the row stays whole.
    preview_.BeginMarkerDrag(TTrimMarker::Start, 5);
    preview_.EndMarkerDrag(5 + 60);
    preview_.BeginMarkerDrag(TTrimMarker::End, preview_.Panel1.EndMarkerLeft() + 4);
    preview_.EndMarkerDrag(160 + 4);
    for (int field : {sfStartTime, sfEndTime, sfCutTime})
        EXPECT_EQ(Grid().Field(0, field), "00:00:00");
    EXPECT_EQ(preview_.StartSeconds, 0);

    rig_.Convert();
    ASSERT_TRUE(rig_.proc.FailedFiles.empty());
    EXPECT_NEAR(DecodedSeconds(rig_.mediaDir.Folder() + "out/blip.mp3"), 0.5, 0.06);
}
