#include "ui/preview/TrimBarWidget.h"

#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "shell/MainForm.h"

namespace {

constexpr int kPictureWidth = 17;

// A marker picture: a coloured bracket on black; black becomes transparent
// so the marker's face shows through.
QImage MarkerImage(bool start) {
    QImage img(kPictureWidth, TTrimBar::BarHeight, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor body(30, 144, 255);
    const QColor edge(230, 240, 255);
    const int stem = start ? 2 : kPictureWidth - 5;
    p.fillRect(stem, 1, 3, TTrimBar::BarHeight - 2, body);
    p.fillRect(stem + 1, 2, 1, TTrimBar::BarHeight - 4, edge);
    QPolygon flag;
    if (start)
        flag << QPoint(stem + 3, 2) << QPoint(kPictureWidth - 2, 9) << QPoint(stem + 3, 16);
    else
        flag << QPoint(stem - 1, 2) << QPoint(1, 9) << QPoint(stem - 1, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawPolygon(flag);
    p.end();
    QImage out = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (qRed(line[x]) == 0 && qGreen(line[x]) == 0 && qBlue(line[x]) == 0)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

QPixmap StripPicture(const QColor& top, const QColor& bottom) {
    QPixmap pix(8, TTrimBar::BarHeight);
    QPainter p(&pix);
    QLinearGradient g(0, 0, 0, TTrimBar::BarHeight);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(pix.rect(), g);
    return pix;
}

TMouseButton ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return TMouseButton::mbLeft;
    case Qt::RightButton:
        return TMouseButton::mbRight;
    default:
        return TMouseButton::mbMiddle;
    }
}

int EventX(QMouseEvent* e) {
    return static_cast<int>(e->position().x());
}
int EventY(QMouseEvent* e) {
    return static_cast<int>(e->position().y());
}

} // namespace

unsigned ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    unsigned s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    if (modifiers & Qt::GroupSwitchModifier)
        s |= ssCtrl | ssAlt;
    if (buttons & Qt::LeftButton)
        s |= ssLeft;
    if (buttons & Qt::RightButton)
        s |= ssRight;
    if (buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

TrimBarWidget::TrimBarWidget(TPreview& preview, QWidget* parent)
    : QWidget(parent), preview_(preview), imgL_(MarkerImage(true)), imgR_(MarkerImage(false)),
      outsideStrip_(StripPicture(QColor(70, 70, 70), QColor(35, 35, 35))),
      insideStrip_(StripPicture(QColor(120, 200, 120), QColor(40, 120, 40))) {
    setObjectName("Panel1");
    setAccessibleName(QStringLiteral("剪切范围"));
    setFixedSize(TTrimBar::DesignWidth, TTrimBar::BarHeight);
    setMouseTracking(true);
    // tmrPaintSP is bound once, by the main window, like every other timer.
    preview_.Panel1.OnModelChanged = [this] { update(); };
}

TrimBarWidget::~TrimBarWidget() {
    preview_.Panel1.OnModelChanged = nullptr;
}

void TrimBarWidget::paintEvent(QPaintEvent*) {
    const TTrimBar& bar = preview_.Panel1;
    const int h = height();
    QPainter p(this);
    p.drawPixmap(QRect(0, 0, bar.LeftWidth, h), outsideStrip_);
    p.drawPixmap(QRect(bar.MiddleLeft(), 0, std::max(0, bar.MiddleWidth()), h), insideStrip_);
    p.drawPixmap(QRect(bar.RightLeft(), 0, bar.RightWidth, h), outsideStrip_);
    const QColor face = palette().color(QPalette::Button);
    const QRect start(bar.StartMarkerLeft(), 0, TTrimBar::MarkerWidth, h);
    const QRect end(bar.EndMarkerLeft(), 0, TTrimBar::MarkerWidth, h);
    p.fillRect(start, face);
    p.fillRect(end, face);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(start, imgL_);
    p.drawImage(end, imgR_);
}

void TrimBarWidget::Press(QMouseEvent* event) {
    const int x = EventX(event);
    const unsigned shift = ShiftStateOf(event->modifiers(), event->buttons());
    const TTrimBar& bar = preview_.Panel1;
    switch (TrimPartAt(bar, x)) {
    case TTrimPart::StartMarker:
        if (event->button() == Qt::LeftButton)
            preview_.BeginMarkerDrag(TTrimMarker::Start, x);
        break;
    case TTrimPart::EndMarker:
        if (event->button() == Qt::LeftButton)
            preview_.BeginMarkerDrag(TTrimMarker::End, x);
        break;
    case TTrimPart::LeftStrip:
        preview_.Panel2MouseDown(ButtonOf(event->button()), shift, x, EventY(event));
        break;
    case TTrimPart::RightStrip:
        preview_.Panel3MouseDown(ButtonOf(event->button()), shift, x - bar.RightLeft(),
                                 EventY(event));
        break;
    default:
        break;
    }
}

void TrimBarWidget::mousePressEvent(QMouseEvent* event) {
    Press(event);
    event->accept();
}

void TrimBarWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click steps again, like a second click.
    if (!preview_.Dragging())
        Press(event);
    event->accept();
}

void TrimBarWidget::mouseMoveEvent(QMouseEvent* event) {
    const int x = EventX(event);
    if (preview_.Dragging()) {
        preview_.DragMarker(x);
    } else {
        const TTrimPart part = TrimPartAt(preview_.Panel1, x);
        if (part == TTrimPart::StartMarker || part == TTrimPart::EndMarker)
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
    event->accept();
}

void TrimBarWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (preview_.Dragging() && event->button() == Qt::LeftButton)
        preview_.EndMarkerDrag(EventX(event));
    event->accept();
}

LogoPanel::LogoPanel(TPreview& preview, QWidget* videoArea, QPixmap logo)
    : QWidget(videoArea), preview_(preview), logo_(std::move(logo)) {
    setObjectName("panLogo");
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (videoArea) {
        setGeometry(videoArea->rect());
        videoArea->installEventFilter(this);
    }
    preview_.panLogo.OnModelChanged = [this] { Follow(); };
    Follow();
}

LogoPanel::~LogoPanel() {
    preview_.panLogo.OnModelChanged = nullptr;
}

void LogoPanel::Follow() {
    setVisible(preview_.panLogo.Visible);
    if (preview_.panLogo.Visible)
        raise();
}

bool LogoPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void LogoPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!logo_.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawPixmap(rect(), logo_);
        return;
    }
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(20, 28, 48));
    g.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(rect(), g);
    QFont f = font();
    f.setPixelSize(std::max(12, height() / 6));
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(200, 215, 240));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Velmora"));
}
