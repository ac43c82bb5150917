// The screen saver is held off while playing, over a private D-Bus daemon
// with a stand-in screen saver service.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <vector>

#include "MediaFiles.h"
#include "Wait.h"
#include "ui/preview/QtMediaGraph.h"

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::vector<uint> Inhibited;
    std::vector<uint> Uninhibited;
    QStringList Applications;

public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        Applications << application;
        (void)reason;
        Inhibited.push_back(next_);
        return next_++;
    }
    void UnInhibit(uint cookie) { Uninhibited.push_back(cookie); }

private:
    uint next_ = 41;
};

namespace {

class ScreenSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MediaFiles::Get().Ok())
            GTEST_SKIP() << "ffmpeg could not make the test media";
        ASSERT_FALSE(QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            << "dbus-daemon is needed for this test";
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForStarted(5000));
        ASSERT_TRUE(WaitUntil([&] { return daemon_.canReadLine(); }, 5000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
        QDBusConnection service = QDBusConnection::connectToBus(address_, "fake-screen-saver");
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
        ASSERT_TRUE(service.registerObject("/org/freedesktop/ScreenSaver", &saver_,
                                           QDBusConnection::ExportAllSlots));
        graph_.SetScreenSaverBus(address_.toStdString());
        graph_.Activate();
        ASSERT_EQ(graph_.RenderFile(MediaFiles::Get().Wav()), rrLoaded);
    }
    void TearDown() override {
        graph_.Deactivate();
        QDBusConnection::disconnectFromBus("fake-screen-saver");
        QDBusConnection::disconnectFromBus("velmora-screensaver");
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(3000))
                daemon_.kill();
        }
    }

    QProcess daemon_;
    QString address_;
    FakeScreenSaver saver_;
    QtMediaGraph graph_;
};

} // namespace

TEST_F(ScreenSaverTest, HeldWhilePlayingAndReleasedOnPauseAndStop) {
    graph_.Run();
    graph_.Run(); // a second run asks no second time
    ASSERT_TRUE(WaitUntil([&] { return saver_.Inhibited.size() == 1; }));
    EXPECT_EQ(saver_.Applications.value(0), "Velmora");
    graph_.Pause();
    ASSERT_TRUE(WaitUntil([&] { return saver_.Uninhibited.size() == 1; }));
    EXPECT_EQ(saver_.Uninhibited[0], saver_.Inhibited[0]);

    graph_.Run();
    ASSERT_TRUE(WaitUntil([&] { return saver_.Inhibited.size() == 2; }));
    graph_.Stop();
    ASSERT_TRUE(WaitUntil([&] { return saver_.Uninhibited.size() == 2; }));
    EXPECT_EQ(saver_.Uninhibited[1], saver_.Inhibited[1]);
    EXPECT_FALSE(graph_.ScreenSaverHeld());
}

TEST_F(ScreenSaverTest, PauseBeforeTheScreenSaverAnsweredStillReleasesIt) {
    graph_.Run();
    graph_.Pause();
    ASSERT_TRUE(WaitUntil([&] { return saver_.Uninhibited.size() == 1; }));
    ASSERT_EQ(saver_.Inhibited.size(), 1u);
    EXPECT_EQ(saver_.Uninhibited[0], saver_.Inhibited[0]);
}

#include "ScreenSaverTest.moc"
