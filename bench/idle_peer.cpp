// Peer of the idle CPU benchmark: a plain Qt window the size of the main
// window holding a 260 x 19 bar; with an interval, a timer repaints the bar
// that often, as a polling marker repaint would.
//   idle_peer [interval-ms]     (0 or none: nothing polls)
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {

class Bar : public QWidget {
public:
    explicit Bar(QWidget* parent) : QWidget(parent) { setFixedSize(260, 19); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(70, 70, 70));
        p.fillRect(QRect(20, 0, 220, 19), QColor(120, 200, 120));
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int interval = argc > 1 ? std::atoi(argv[1]) : 0;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Idle peer"));
    window.resize(680, 480);
    Bar bar(&window);
    bar.move(20, 250);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &bar, [&bar] { bar.update(); });
    if (interval > 0)
        timer.start(interval);
    window.show();
    return app.exec();
}
