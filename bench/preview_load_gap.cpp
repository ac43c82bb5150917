// How long the window goes without handling events while the preview loads a
// large video. A 5 ms timer stamps the time of every tick; the longest gap
// between two ticks during a load is compared with the longest gap while the
// same loop runs idle for as long. Run: bench_preview_load [runs]
// (QT_QPA_PLATFORM=offscreen and QT_MEDIA_BACKEND=gstreamer by default).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/preview/QtMediaGraph.h"

namespace {

class GapMeter {
public:
    GapMeter() {
        timer_.setInterval(5);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Stamp(); });
    }
    void Start() {
        maxGap_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    double Stop() {
        Stamp();
        timer_.stop();
        return static_cast<double>(maxGap_) / 1e6;
    }

private:
    void Stamp() {
        const qint64 now = clock_.nsecsElapsed();
        maxGap_ = std::max(maxGap_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 maxGap_ = 0;
};

void RunIdle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QT_MEDIA_BACKEND").isEmpty())
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    const auto dir =
        std::filesystem::temp_directory_path() /
        ("velmora-bench-preview-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const std::string video = (dir / "large preview.avi").string();
    std::printf("making a large video with ffmpeg...\n");
    const std::string make =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=7 "
        "-f lavfi -i sine=frequency=440:duration=7 -vf noise=alls=30:allf=t -c:v mjpeg -q:v 2 "
        "-c:a pcm_s16le -shortest -f avi \"" +
        video + "\"";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the video\n");
        std::filesystem::remove_all(dir);
        return 1;
    }
    const double mb = static_cast<double>(QFileInfo(QString::fromStdString(video)).size()) / 1e6;

    QtMediaGraph graph;
    GapMeter meter;
    std::vector<double> loadGaps, idleGaps, loadTimes;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        graph.Deactivate();
        graph.Clear();
        graph.Activate();
        QElapsedTimer t;
        t.start();
        meter.Start();
        const int result = graph.RenderFile(video);
        const double loadGap = meter.Stop();
        const double loadMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (result != rrLoaded)
            ++failures;
        loadGaps.push_back(loadGap);
        loadTimes.push_back(loadMs);
        graph.Clear();
        // The peer: the same loop with nothing loading, for as long.
        meter.Start();
        RunIdle(std::max(50, static_cast<int>(loadMs)));
        idleGaps.push_back(meter.Stop());
    }
    graph.Deactivate();
    std::filesystem::remove_all(dir);

    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double worstLoad = *std::max_element(loadGaps.begin(), loadGaps.end());
    const double worstIdle = *std::max_element(idleGaps.begin(), idleGaps.end());
    std::printf("video: %.1f MB, %d loads, %d failed\n", mb, runs, failures);
    std::printf("load time       median %.1f ms\n", median(loadTimes));
    std::printf("longest gap     loading: median %.1f ms, worst %.1f ms\n", median(loadGaps),
                worstLoad);
    std::printf("longest gap     idle:    median %.1f ms, worst %.1f ms\n", median(idleGaps),
                worstIdle);
    std::printf("ratio loading/idle (worst): %.2f\n", worstIdle > 0 ? worstLoad / worstIdle : 0.0);
    std::printf("target: longest gap under 100 ms while loading: %s\n",
                worstLoad < 100.0 ? "met" : "NOT met");
    return failures == 0 ? 0 : 2;
}
