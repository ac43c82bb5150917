// The preview area with a video playing, on a virtual X display: the picture
// is letterboxed on black, the logo is gone and the trim bar shows the range.
// Saves screenshots/preview_playing.png in the build folder for a person to
// look at. Needs an X display (run through xvfb-run); skipped offscreen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <filesystem>

#include "MediaFiles.h"
#include "Wait.h"
#include "preview/PreviewFixture.h"
#include "ui/preview/QtMediaGraph.h"
#include "ui/preview/TrimBarWidget.h"

TEST(PreviewScreenshot, VideoPlayingInThePreviewArea) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display (xvfb-run)";
    ASSERT_TRUE(MediaFiles::Get().Ok());

    NullPlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TCommonLib& lib = core.Lib;
    TFrmMainForm form;
    QtMediaGraph graph;
    TPreview preview(form, lib, graph);

    QWidget window;
    window.resize(300, 220);
    QPalette grey = window.palette();
    grey.setColor(QPalette::Window, QColor(90, 90, 90));
    window.setPalette(grey);
    window.setAutoFillBackground(true);
    QWidget* area = graph.VideoWidget();
    area->setParent(&window);
    area->setGeometry(22, 20, 256, 154);
    auto* logo = new LogoPanel(preview, area);
    auto* bar = new TrimBarWidget(preview, &window);
    bar->move(20, 180);

    TSourceFileRow row;
    row[sfCheck] = "True";
    row[sfFileName] = MediaFiles::Get().Video();
    row[sfDuration] = "00:00:05";
    row[sfStartTime] = "00:00:01";
    row[sfEndTime] = "00:00:04";
    row.Selected = true;
    form.dxTreeSourceFileInfo.Rows.push_back(row);
    preview.PlaceMarkers();
    window.show();
    form.btnPlay.Click();
    ASSERT_EQ(preview.CurPlayFile, MediaFiles::Get().Video());
    RunEventsFor(1500);
    EXPECT_FALSE(logo->isVisible());

    const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    const auto folder = std::filesystem::path(VELMORA_TEST_BIN_DIR).parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / "preview_playing.png").string())));

    // A 16:9 picture in a 256 x 154 area: black bars above and below.
    EXPECT_EQ(shot.pixelColor(150, 21), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(150, 172), QColor(Qt::black));
    int coloured = 0;
    for (int x = 30; x < 270; x += 10) {
        const QColor c = shot.pixelColor(x, 97);
        coloured += (c.red() + c.green() + c.blue()) > 120 ? 1 : 0;
    }
    EXPECT_GT(coloured, 12) << "no picture in the video area";
    // The trim bar: the start marker stands right of the left strip (1 s of 5).
    EXPECT_EQ(preview.Panel1.LeftWidth, 45);
    form.btnStop.Click();
}
