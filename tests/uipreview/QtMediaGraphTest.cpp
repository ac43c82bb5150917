#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QVideoWidget>

#include <ostream>
#include <vector>

#include "MediaFiles.h"
#include "Wait.h"
#include "ui/preview/QtMediaGraph.h"

namespace {

class QtMediaGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MediaFiles::Get().Ok())
            GTEST_SKIP() << "ffmpeg could not make the test media";
    }
    QtMediaGraph graph;
};

} // namespace

struct PlayCase {
    const char* name;
    std::string (MediaFiles::*file)() const;
};

void PrintTo(const PlayCase& c, std::ostream* os) {
    *os << c.name;
}

class QtMediaGraphPlays : public QtMediaGraphTest,
                          public ::testing::WithParamInterface<PlayCase> {};

TEST_P(QtMediaGraphPlays, LoadsPlaysReportsDurationAdvancesAndSeeks) {
    const std::string path = (MediaFiles::Get().*GetParam().file)();
    std::vector<std::pair<std::int64_t, std::int64_t>> ticks;
    graph.OnPositionTimer = [&](std::int64_t pos, std::int64_t dur) {
        ticks.emplace_back(pos, dur);
    };

    graph.Activate();
    ASSERT_EQ(graph.RenderFile(path), rrLoaded);
    EXPECT_NEAR(static_cast<double>(graph.DurationMs()), 5000.0, 150.0);
    EXPECT_FALSE(graph.PositionTimerActive());

    graph.Pause();
    graph.Run();
    EXPECT_TRUE(graph.PositionTimerActive());
    EXPECT_EQ(graph.PositionTimerInterval(), 1000);
    EXPECT_TRUE(graph.ScreenSaverHeld());
    ASSERT_TRUE(WaitUntil([&] { return graph.CurrentPosition() > 3'000'000; }))
        << "the position never advanced";
    ASSERT_TRUE(WaitUntil([&] { return !ticks.empty(); }, 4000)) << "no position tick";
    EXPECT_NEAR(static_cast<double>(ticks[0].second), 5000.0, 150.0);
    EXPECT_GT(ticks[0].first, 0);

    graph.SeekTo(3500);
    ASSERT_TRUE(WaitUntil([&] { return graph.CurrentPosition() >= 34'000'000; }))
        << "the seek did not take";
    EXPECT_LT(graph.CurrentPosition(), 50'000'000);

    graph.Pause();
    EXPECT_FALSE(graph.PositionTimerActive());
    EXPECT_FALSE(graph.ScreenSaverHeld());
    const auto ticksAtPause = ticks.size();
    RunEventsFor(1300);
    EXPECT_EQ(ticks.size(), ticksAtPause) << "the position timer ran while paused";

    graph.Stop();
    graph.Deactivate();
    graph.Clear();
    EXPECT_FALSE(graph.Active());
    EXPECT_EQ(graph.DurationMs(), 0);
}

INSTANTIATE_TEST_SUITE_P(Media, QtMediaGraphPlays,
                         ::testing::Values(PlayCase{"wav", &MediaFiles::Wav},
                                           PlayCase{"video", &MediaFiles::Video},
                                           PlayCase{"gbk_name", &MediaFiles::GbkNamedWav}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtMediaGraphTest, TextFileNamedMp4FailsToRenderAndTheGraphStaysUsable) {
    graph.Activate();
    EXPECT_NE(graph.RenderFile(MediaFiles::Get().TextAsMp4()), rrLoaded);
    EXPECT_TRUE(graph.Active());
    EXPECT_EQ(graph.DurationMs(), 0);
    // Running a graph that holds nothing is harmless.
    graph.Run();
    EXPECT_FALSE(graph.PositionTimerActive());
    graph.Clear();
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Wav()), rrLoaded);
}

TEST_F(QtMediaGraphTest, RenderNeedsAnActiveGraphAndAnExistingFile) {
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Wav()), rrNotActive);
    graph.Activate();
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Missing()), rrMissingFile);
}

TEST_F(QtMediaGraphTest, EventsRunWhileAFileLoads) {
    graph.Activate();
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Video()), rrLoaded);
    EXPECT_TRUE(ran);
}

TEST_F(QtMediaGraphTest, ClearDuringALoadEndsTheWait) {
    graph.Activate();
    QTimer::singleShot(0, [&] { graph.Clear(); });
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Video()), rrAborted);
    EXPECT_EQ(graph.DurationMs(), 0);
}

TEST_F(QtMediaGraphTest, ALoadStartedDuringALoadWins) {
    graph.Activate();
    int inner = -1;
    QTimer::singleShot(0, [&] { inner = graph.RenderFile(MediaFiles::Get().Wav()); });
    EXPECT_EQ(graph.RenderFile(MediaFiles::Get().Video()), rrAborted);
    ASSERT_TRUE(WaitUntil([&] { return inner != -1; }));
    EXPECT_EQ(inner, rrLoaded);
    EXPECT_NEAR(static_cast<double>(graph.DurationMs()), 5000.0, 150.0);
}

TEST_F(QtMediaGraphTest, EndOfMediaGivesAFinalTickAtTheDuration) {
    std::vector<std::pair<std::int64_t, std::int64_t>> ticks;
    graph.OnPositionTimer = [&](std::int64_t pos, std::int64_t dur) {
        ticks.emplace_back(pos, dur);
    };
    graph.Activate();
    ASSERT_EQ(graph.RenderFile(MediaFiles::Get().Wav()), rrLoaded);
    graph.Run();
    graph.SeekTo(4200);
    ASSERT_TRUE(WaitUntil(
        [&] { return !ticks.empty() && ticks.back().first >= ticks.back().second; }, 10000))
        << "no tick at the end";
    EXPECT_GT(ticks.back().second, 0);
    EXPECT_FALSE(graph.PositionTimerActive());
    EXPECT_FALSE(graph.ScreenSaverHeld());
}

TEST_F(QtMediaGraphTest, VideoAreaLetterboxesOnBlack) {
    QWidget* area = graph.VideoWidget();
    ASSERT_NE(area, nullptr);
    auto* video = area->findChild<QVideoWidget*>();
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->aspectRatioMode(), Qt::KeepAspectRatio);
    EXPECT_EQ(area->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(video->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(area->autoFillBackground());
}

TEST_F(QtMediaGraphTest, PointerHidesAfterRestingAndReturnsOnMovement) {
    graph.PointerHideMs = 60;
    QWidget* area = graph.VideoWidget();
    area->resize(256, 154);
    area->show();
    auto* video = area->findChild<QVideoWidget*>();
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(video, &move);
    EXPECT_FALSE(graph.PointerHidden());
    ASSERT_TRUE(WaitUntil([&] { return graph.PointerHidden(); }, 3000));
    QApplication::sendEvent(video, &move);
    EXPECT_FALSE(graph.PointerHidden());
    // Over the picture the pointer is on the widget that holds it.
    ASSERT_TRUE(WaitUntil([&] { return graph.PointerHidden(); }, 3000));
    ASSERT_FALSE(video->findChildren<QWidget*>().isEmpty());
    for (QWidget* inner : video->findChildren<QWidget*>()) {
        EXPECT_EQ(inner->cursor().shape(), Qt::BlankCursor);
        QApplication::sendEvent(inner, &move);
        EXPECT_FALSE(graph.PointerHidden());
        EXPECT_NE(inner->cursor().shape(), Qt::BlankCursor);
    }
    area->hide();
}

TEST_F(QtMediaGraphTest, VideoAreaPlacedInAWindowBelongsToIt) {
    auto window = std::make_unique<QWidget>();
    QPointer<QWidget> area = graph.VideoWidget();
    area->setParent(window.get());
    window.reset();
    EXPECT_TRUE(area.isNull());
    // The graph must not touch the area it no longer has.
}
