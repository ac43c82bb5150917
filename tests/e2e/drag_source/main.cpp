// A file manager's drag for the whole-program tests: a small window that
// starts a drag of the files on its command line when the mouse is pressed
// on it and prints the outcome. It stays until it is ended: the target
// reads the dropped data from it after the drag has returned.
#include <cstdio>
#include <utility>

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
        setWindowTitle(QStringLiteral("drag source"));
        setStyleSheet(QStringLiteral("background: #3a6ea5;"));
        setGeometry(0, 0, 160, 100);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drop=%d\n", static_cast<int>(action));
        std::fflush(stdout);
    }

private:
    QList<QUrl> urls_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    DragSource window(urls);
    window.show();
    return app.exec();
}
