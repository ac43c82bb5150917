#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>

#include "MediaFiles.h"
#include "Wait.h"
#include "preview/PreviewFixture.h"
#include "ui/preview/QtMediaGraph.h"
#include "ui/preview/TrimBarWidget.h"

namespace {

void Mouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(x, 9), w->mapToGlobal(QPointF(x, 9)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

// The preview over a real common library, with either graph.
struct Rig {
    NullPlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TCommonLib& lib = core.Lib;
    TFrmMainForm form;

    int AddRow(const std::string& path, const std::string& duration) {
        TSourceFileRow row;
        row[sfCheck] = "True";
        row[sfFileName] = path;
        row[sfDuration] = duration;
        row[sfStartTime] = "00:00:00";
        row[sfEndTime] = duration;
        row.Selected = true;
        form.dxTreeSourceFileInfo.Rows.push_back(row);
        return form.dxTreeSourceFileInfo.RowCount() - 1;
    }
};

} // namespace

TEST(TrimBarWidget, HasTheBarSizeAndMarkerPicturesWithBlackTransparent) {
    Rig rig;
    FakeGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    TrimBarWidget bar(preview);
    EXPECT_EQ(bar.size(), QSize(260, 19));
    for (const QImage* img : {&bar.StartMarkerImage(), &bar.EndMarkerImage()}) {
        EXPECT_EQ(img->size(), QSize(17, 19));
        EXPECT_EQ(qAlpha(img->pixel(0, 0)), 0);
        int opaque = 0;
        for (int y = 0; y < img->height(); ++y)
            for (int x = 0; x < img->width(); ++x)
                if (qAlpha(img->pixel(x, y)) != 0) {
                    ++opaque;
                    EXPECT_NE(img->pixel(x, y) & 0xFFFFFF, 0u) << "black left opaque";
                }
        EXPECT_GT(opaque, 20);
    }
    EXPECT_NE(bar.StartMarkerImage(), bar.EndMarkerImage());
}

TEST(TrimBarWidget, DrawsTheFivePartsWhereTheModelSays) {
    Rig rig;
    FakeGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    TrimBarWidget bar(preview);
    preview.Panel1.LeftWidth = 40;
    preview.Panel1.RightWidth = 60;
    const QImage shot = bar.grab().toImage();
    const QColor face = bar.palette().color(QPalette::Button);
    // The marker's face shows through the transparent corner of its picture.
    EXPECT_EQ(shot.pixelColor(40, 0), face);
    EXPECT_EQ(shot.pixelColor(preview.Panel1.EndMarkerLeft() + 18, 0), face);
    // Strips: the outer ones share a picture, the middle one differs.
    EXPECT_EQ(shot.pixelColor(10, 9), shot.pixelColor(250, 9));
    EXPECT_NE(shot.pixelColor(10, 9), shot.pixelColor(100, 9));
    EXPECT_NE(shot.pixelColor(10, 9), face);
}

TEST(TrimBarWidget, DragMovesTheMarkerLiveAndClicksStep) {
    Rig rig;
    FakeGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    TrimBarWidget bar(preview);
    const int r = rig.AddRow("/m/a.mp4", "00:01:40");
    preview.PlaceMarkers();
    Mouse(&bar, QEvent::MouseButtonPress, 8, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(preview.Dragging());
    Mouse(&bar, QEvent::MouseMove, 60, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(preview.Panel1.LeftWidth, 53);
    EXPECT_NE(rig.form.dxTreeSourceFileInfo.Field(r, sfStartTime), "00:00:00");
    Mouse(&bar, QEvent::MouseMove, 118, Qt::NoButton, Qt::LeftButton);
    Mouse(&bar, QEvent::MouseButtonRelease, 118, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(preview.Dragging());
    EXPECT_EQ(preview.Panel1.LeftWidth, 111);
    EXPECT_EQ(rig.form.dxTreeSourceFileInfo.Field(r, sfStartTime), "00:00:50");
    // The start marker cannot be pushed past the end marker.
    Mouse(&bar, QEvent::MouseButtonPress, 115, Qt::LeftButton, Qt::LeftButton);
    Mouse(&bar, QEvent::MouseMove, 400, Qt::NoButton, Qt::LeftButton);
    Mouse(&bar, QEvent::MouseButtonRelease, 400, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(preview.Panel1.MiddleWidth(), 1);
    // Ctrl-click on the left strip: one pixel. With the strips together
    // wider than 215 pixels the click does nothing.
    const int before = preview.Panel1.LeftWidth;
    Mouse(&bar, QEvent::MouseButtonPress, 3, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(preview.Panel1.LeftWidth, before);
    preview.Panel1.LeftWidth = 50;
    Mouse(&bar, QEvent::MouseButtonPress, 3, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    Mouse(&bar, QEvent::MouseButtonRelease, 3, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(preview.Panel1.LeftWidth, 49);
    // A double click steps again.
    Mouse(&bar, QEvent::MouseButtonDblClick, 3, Qt::LeftButton, Qt::LeftButton,
          Qt::ControlModifier);
    EXPECT_EQ(preview.Panel1.LeftWidth, 48);
    // A plain click on the right strip moves the end marker 5 pixels right.
    preview.Panel1.RightWidth = 30;
    Mouse(&bar, QEvent::MouseButtonPress, 255, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(preview.Panel1.RightWidth, 25);
}

// Counts the paints a widget gets.
struct PaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST(TrimBarWidget, AChangeOfTheBarRepaintsItWithoutAPollingTimer) {
    Rig rig;
    FakeGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    TrimBarWidget bar(preview);
    PaintCounter counter;
    bar.installEventFilter(&counter);
    bar.show();
    ASSERT_TRUE(WaitUntil([&] { return counter.Paints > 0; }, 5000));
    const int before = counter.Paints;
    preview.Panel1.LeftWidth = 40;
    preview.Panel1.Changed();
    ASSERT_TRUE(WaitUntil([&] { return counter.Paints > before; }, 5000));
    bar.hide();
}

TEST(TrimBarWidget, ModifierBitsFollowTheCore) {
    struct Case {
        Qt::KeyboardModifiers mods;
        Qt::MouseButtons buttons;
        unsigned bits;
    };
    for (const Case& c :
         {Case{Qt::NoModifier, Qt::NoButton, 0u}, Case{Qt::ControlModifier, Qt::NoButton, ssCtrl},
          Case{Qt::ShiftModifier, Qt::LeftButton, ssShift | ssLeft},
          Case{Qt::AltModifier | Qt::ControlModifier, Qt::RightButton, ssAlt | ssCtrl | ssRight},
          Case{Qt::NoModifier, Qt::MiddleButton, ssMiddle}})
        EXPECT_EQ(ShiftStateOf(c.mods, c.buttons), c.bits);
}

TEST(LogoPanel, FollowsTheModelAndFillsTheVideoArea) {
    Rig rig;
    FakeGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    QWidget area;
    area.resize(256, 154);
    LogoPanel logo(preview, &area);
    area.show();
    EXPECT_TRUE(logo.isVisible());
    EXPECT_EQ(logo.geometry(), area.rect());
    rig.AddRow("/m/a.mp4", "00:01:40");
    rig.form.btnPlay.Click();
    EXPECT_FALSE(logo.isVisible());
    rig.form.btnStop.Click();
    EXPECT_TRUE(logo.isVisible());
    area.resize(300, 200);
    EXPECT_EQ(logo.geometry(), area.rect());
}

// The player on the real graph: play a row, watch the position display, then
// let the media end.
TEST(PreviewOnQtGraph, PlaysARowShowsThePositionAndStopsAtTheEnd) {
    if (!MediaFiles::Get().Ok())
        GTEST_SKIP() << "ffmpeg could not make the test media";
    Rig rig;
    QtMediaGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    rig.AddRow(MediaFiles::Get().Video(), "00:00:05");
    preview.PlaceMarkers();
    preview.StartSeconds = 2; // as a start marker move would leave it
    rig.form.btnPlay.Click();
    ASSERT_EQ(preview.CurPlayFile, MediaFiles::Get().Video());
    EXPECT_TRUE(preview.IsPlaying);
    EXPECT_FALSE(preview.panLogo.Visible);
    ASSERT_TRUE(WaitUntil([&] { return rig.form.pnlCurTime.Caption >= "00:00:02"; }))
        << rig.form.pnlCurTime.Caption;
    ASSERT_TRUE(WaitUntil([&] { return preview.CurPlayFile.empty(); }, 15000))
        << "the end of the media did not stop the player";
    EXPECT_EQ(rig.form.pnlCurTime.Caption, "00:00:00");
    EXPECT_TRUE(preview.panLogo.Visible);
    EXPECT_FALSE(graph.Active());
}

TEST(PreviewOnQtGraph, AFileThatCannotBeRenderedIsLoggedAndNothingPlays) {
    if (!MediaFiles::Get().Ok())
        GTEST_SKIP() << "ffmpeg could not make the test media";
    Rig rig;
    QtMediaGraph graph;
    TPreview preview(rig.form, rig.lib, graph);
    rig.AddRow(MediaFiles::Get().TextAsMp4(), "00:00:05");
    rig.form.btnPlay.Click();
    EXPECT_TRUE(preview.CurPlayFile.empty());
    EXPECT_TRUE(preview.panLogo.Visible);
    std::ifstream log(rig.core.Folder() + "log.txt");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("|Playing Video error.\r\n"), std::string::npos);
}
