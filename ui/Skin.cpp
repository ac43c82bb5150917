#include "ui/Skin.h"

#include <QBitmap>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "ui/ButtonArt.h"

namespace {

constexpr double PanelRadius = 8;

// A panel's outline with its 1-pixel edge on the rectangle's outer pixels.
QPainterPath PanelPath(const QRect& r) {
    QPainterPath path;
    path.addRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), PanelRadius, PanelRadius);
    return path;
}

void Panel(QPainter& p, const QPainterPath& path) {
    const QRectF r = path.boundingRect();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor("#223444"));
    g.setColorAt(1, QColor("#1b2a37"));
    p.setBrush(g);
    p.setPen(QPen(Palette::PanelEdge, 1));
    p.drawPath(path);
}

void Note(QPainter& p, const QPointF& at, double s, const QColor& c) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(at.x(), at.y() + s * 0.75), s * 0.28, s * 0.22);
    p.drawRect(QRectF(at.x() + s * 0.18, at.y(), s * 0.1, s * 0.75));
    QPainterPath flag;
    flag.moveTo(at.x() + s * 0.18, at.y());
    flag.lineTo(at.x() + s * 0.55, at.y() + s * 0.14);
    flag.lineTo(at.x() + s * 0.55, at.y() + s * 0.3);
    flag.lineTo(at.x() + s * 0.28, at.y() + s * 0.2);
    flag.closeSubpath();
    p.drawPath(flag);
    p.restore();
}

} // namespace

QImage MakeMainSkin() {
    QImage img(SkinWidth, SkinHeight, QImage::Format_RGB32);
    img.fill(SkinTransparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // The outline: rounded corners, magenta outside.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0.5, 0.5, SkinWidth - 1, SkinHeight - 1), 18, 18);
    QLinearGradient body(0, 0, 0, SkinHeight);
    body.setColorAt(0, QColor("#1c2935"));
    body.setColorAt(1, QColor("#111a22"));
    // Hard edge: a blended border pixel would keep a trace of the magenta.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor("#3a5468"), 1));
    p.setBrush(body);
    p.drawPath(outline);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Title band with an accent line under it.
    p.save();
    p.setClipPath(outline);
    QLinearGradient band(0, 0, 0, 70);
    band.setColorAt(0, QColor("#24506a"));
    band.setColorAt(1, QColor("#163244"));
    p.fillRect(QRectF(0, 0, SkinWidth, 70), band);
    QLinearGradient accent(0, 0, SkinWidth, 0);
    accent.setColorAt(0, Palette::Accent);
    accent.setColorAt(0.6, QColor("#2e9cc4"));
    accent.setColorAt(1, Palette::Warm);
    p.fillRect(QRectF(0, 69, SkinWidth, 2), accent);
    // A soft wave across the band.
    QPainterPath wave;
    wave.moveTo(180, 52);
    for (int x = 180; x <= 600; x += 6)
        wave.lineTo(x, 50 + 9 * qSin(x / 23.0) * qSin(x / 97.0));
    p.setPen(QPen(QColor(255, 255, 255, 26), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.restore();

    // Program icon left of the title.
    QRectF icon(34, 28, 44, 44);
    QLinearGradient iconFace(icon.topLeft(), icon.bottomLeft());
    iconFace.setColorAt(0, QColor("#3fd6c6"));
    iconFace.setColorAt(1, Palette::AccentDark);
    p.setPen(Qt::NoPen);
    p.setBrush(iconFace);
    p.drawRoundedRect(icon, 10, 10);
    Note(p, QPointF(47, 36), 26, QColor("#0d1a24"));

    // Preview, settings and list area: one outline and single lines between
    // them, so no two edges run side by side. Corners that would meet a
    // neighbour lie inside it and leave no notch.
    const int overlap = static_cast<int>(2 * PanelRadius);
    const QRect previewBody = SkinPreviewPanel.adjusted(0, 0, 0, overlap);
    const QRect settingsBody = SkinSettingsPanel.adjusted(-overlap, 0, 0, overlap);
    Panel(p,
          PanelPath(previewBody).united(PanelPath(settingsBody)).united(PanelPath(SkinListPanel)));
    p.setPen(QPen(Palette::PanelEdge, 1));
    const double listTop = SkinListPanel.top() + 0.5;
    p.drawLine(QPointF(SkinListPanel.left() + 0.5, listTop),
               QPointF(SkinListPanel.right() + 0.5, listTop));
    const double settingsLeft = SkinSettingsPanel.left() + 0.5;
    p.drawLine(QPointF(settingsLeft, SkinSettingsPanel.top() + 0.5),
               QPointF(settingsLeft, listTop));
    p.fillRect(QRectF(20, 75, 260, 157), QColor("#0b1117"));

    // The line between the title area and the settings area.
    p.setPen(QPen(QColor("#3a5468"), 1));
    p.drawLine(QPointF(292, 125.5), QPointF(292 + 372, 125.5));

    // Under the check boxes: a hint strip for the end-of-job choices.
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.drawLine(QPointF(300, 218.5), QPointF(666, 218.5));

    // Footer.
    QFont f("Arial");
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(Palette::MutedText);
    p.drawText(QRectF(24, 436, 400, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("AMR · AAC · MP3 · AC3 · M4A · OGG · WAV"));
    p.drawText(QRectF(SkinWidth - 224, 436, 200, 20), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Dravik Soft"));
    QLinearGradient foot(0, 0, SkinWidth, 0);
    foot.setColorAt(0, QColor(46, 196, 182, 0));
    foot.setColorAt(0.5, QColor(46, 196, 182, 90));
    foot.setColorAt(1, QColor(46, 196, 182, 0));
    p.fillRect(QRectF(40, 462, SkinWidth - 80, 1), foot);
    p.end();

    // Whatever antialiased painting spilled past the outline goes back to
    // magenta, so the edge of the shape shows no trace of it.
    QImage inside(img.size(), QImage::Format_ARGB32);
    inside.fill(Qt::transparent);
    QPainter m(&inside);
    m.setRenderHint(QPainter::Antialiasing, false);
    m.fillPath(outline, Qt::black);
    m.end();
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        const auto* keep = reinterpret_cast<const QRgb*>(inside.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(keep[x]) == 0)
                row[x] = SkinTransparent.rgb();
            else if (row[x] == SkinTransparent.rgb())
                row[x] = QColor("#1c2935").rgb(); // never a hole inside the shape
    }
    return img;
}

QRegion SkinRegion(const QImage& skin) {
    // MaskInColor marks every pixel that is not magenta: the part to keep.
    QImage mask = skin.createMaskFromColor(SkinTransparent.rgb(), Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

QPixmap MakeLogoPicture(const QSize& size) {
    QPixmap pm(size);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(size.width() / 2.0, size.height() / 2.0), size.width() * 0.6);
    glow.setColorAt(0, QColor("#16354a"));
    glow.setColorAt(1, QColor("#05090d"));
    p.fillRect(pm.rect(), glow);
    QPainterPath wave;
    const double mid = size.height() * 0.72;
    wave.moveTo(0, mid);
    for (int x = 0; x <= size.width(); x += 3)
        wave.lineTo(x, mid + 10 * qSin(x / 9.0) * qSin(x / 41.0));
    p.setPen(QPen(QColor(46, 196, 182, 160), 2));
    p.drawPath(wave);
    Note(p, QPointF(size.width() / 2.0 - 30, size.height() * 0.18), 46, Palette::Accent);
    QFont f("Arial");
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Palette::Text);
    p.drawText(QRectF(size.width() / 2.0 - 8, size.height() * 0.2, 120, 40),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    return pm;
}

QPixmap MakeBusyBackground(const QSize& size) {
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor("#1a8f86"));
    g.setColorAt(1, QColor("#163244"));
    p.fillRect(pm.rect(), g);
    return pm;
}
