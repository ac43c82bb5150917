#include "ui/ButtonArt.h"

#include <QPainterPath>

QString ButtonArtMeaning(ButtonArt art) {
    switch (art) {
    case ButtonArt::Minimize:
        return QStringLiteral("最小化");
    case ButtonArt::Close:
        return QStringLiteral("关闭");
    case ButtonArt::Home:
        return QStringLiteral("主页");
    case ButtonArt::Mail:
        return QStringLiteral("电子邮件");
    case ButtonArt::About:
        return QStringLiteral("关于");
    case ButtonArt::Options:
        return QStringLiteral("选项");
    case ButtonArt::Folder:
        return QStringLiteral("浏览");
    case ButtonArt::Play:
        return QStringLiteral("播放");
    case ButtonArt::Pause:
        return QStringLiteral("暂停");
    case ButtonArt::Stop:
        return QStringLiteral("停止");
    case ButtonArt::Open:
        return QStringLiteral("添加文件");
    case ButtonArt::Remove:
        return QStringLiteral("移除文件");
    case ButtonArt::Clear:
        return QStringLiteral("清空列表");
    case ButtonArt::Convert:
        return QStringLiteral("开始转换");
    case ButtonArt::StopJob:
        return QStringLiteral("停止转换");
    }
    return {};
}

namespace {

QColor Shade(const QColor& c, ButtonState state) {
    switch (state) {
    case ButtonState::Hover:
        return c.lighter(125);
    case ButtonState::Pressed:
        return c.darker(125);
    case ButtonState::Disabled:
        return QColor(90, 100, 110);
    case ButtonState::Normal:
        break;
    }
    return c;
}

void Glyph(QPainter& p, const QRectF& r, ButtonArt art, const QColor& ink) {
    p.save();
    QPen pen(ink, qMax(1.5, r.width() / 12.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = r.center();
    const double w = r.width();
    const double h = r.height();
    switch (art) {
    case ButtonArt::Minimize:
        p.drawLine(QPointF(r.left() + w * 0.25, c.y() + h * 0.15),
                   QPointF(r.right() - w * 0.25, c.y() + h * 0.15));
        break;
    case ButtonArt::Close:
    case ButtonArt::Remove:
        p.drawLine(QPointF(r.left() + w * 0.28, r.top() + h * 0.28),
                   QPointF(r.right() - w * 0.28, r.bottom() - h * 0.28));
        p.drawLine(QPointF(r.right() - w * 0.28, r.top() + h * 0.28),
                   QPointF(r.left() + w * 0.28, r.bottom() - h * 0.28));
        break;
    case ButtonArt::Home: {
        QPainterPath roof;
        roof.moveTo(r.left() + w * 0.18, c.y());
        roof.lineTo(c.x(), r.top() + h * 0.2);
        roof.lineTo(r.right() - w * 0.18, c.y());
        p.drawPath(roof);
        p.drawRect(QRectF(r.left() + w * 0.3, c.y() - h * 0.04, w * 0.4, h * 0.32));
        p.setBrush(ink);
        p.drawRect(QRectF(c.x() - w * 0.05, c.y() + h * 0.12, w * 0.1, h * 0.16));
        break;
    }
    case ButtonArt::Mail: {
        QRectF env(r.left() + w * 0.18, r.top() + h * 0.3, w * 0.64, h * 0.42);
        p.drawRoundedRect(env, 2, 2);
        QPainterPath flap;
        flap.moveTo(env.topLeft());
        flap.lineTo(env.center().x(), env.top() + env.height() * 0.55);
        flap.lineTo(env.topRight());
        p.drawPath(flap);
        break;
    }
    case ButtonArt::About: {
        p.drawEllipse(c, w * 0.3, h * 0.3);
        p.setBrush(ink);
        p.drawEllipse(QPointF(c.x(), c.y() - h * 0.14), w * 0.03, w * 0.03);
        p.drawLine(QPointF(c.x(), c.y() - h * 0.02), QPointF(c.x(), c.y() + h * 0.16));
        break;
    }
    case ButtonArt::Play: {
        QPainterPath tri;
        tri.moveTo(r.left() + w * 0.34, r.top() + h * 0.24);
        tri.lineTo(r.right() - w * 0.24, c.y());
        tri.lineTo(r.left() + w * 0.34, r.bottom() - h * 0.24);
        tri.closeSubpath();
        p.setBrush(ink);
        p.drawPath(tri);
        break;
    }
    case ButtonArt::Pause:
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(r.left() + w * 0.28, r.top() + h * 0.25, w * 0.15, h * 0.5));
        p.drawRect(QRectF(r.right() - w * 0.43, r.top() + h * 0.25, w * 0.15, h * 0.5));
        break;
    case ButtonArt::Stop:
    case ButtonArt::StopJob:
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(r.left() + w * 0.28, r.top() + h * 0.28, w * 0.44, h * 0.44), 1.5,
                          1.5);
        break;
    case ButtonArt::Options: {
        p.drawEllipse(c, w * 0.16, h * 0.16);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(c);
            p.rotate(i * 45.0);
            p.drawLine(QPointF(0, -h * 0.24), QPointF(0, -h * 0.33));
            p.restore();
        }
        break;
    }
    case ButtonArt::Folder:
    case ButtonArt::Open: {
        QPainterPath f;
        f.moveTo(r.left() + w * 0.15, r.top() + h * 0.3);
        f.lineTo(r.left() + w * 0.4, r.top() + h * 0.3);
        f.lineTo(r.left() + w * 0.48, r.top() + h * 0.38);
        f.lineTo(r.right() - w * 0.15, r.top() + h * 0.38);
        f.lineTo(r.right() - w * 0.15, r.bottom() - h * 0.25);
        f.lineTo(r.left() + w * 0.15, r.bottom() - h * 0.25);
        f.closeSubpath();
        p.drawPath(f);
        if (art == ButtonArt::Open) {
            p.drawLine(QPointF(c.x(), c.y() - h * 0.02), QPointF(c.x(), c.y() + h * 0.22));
            p.drawLine(QPointF(c.x() - w * 0.12, c.y() + h * 0.1),
                       QPointF(c.x() + w * 0.12, c.y() + h * 0.1));
        }
        break;
    }
    case ButtonArt::Clear: {
        QRectF bin(r.left() + w * 0.3, r.top() + h * 0.32, w * 0.4, h * 0.46);
        p.drawRect(bin);
        p.drawLine(QPointF(r.left() + w * 0.22, r.top() + h * 0.26),
                   QPointF(r.right() - w * 0.22, r.top() + h * 0.26));
        p.drawLine(QPointF(c.x() - w * 0.07, bin.top() + h * 0.08),
                   QPointF(c.x() - w * 0.07, bin.bottom() - h * 0.08));
        p.drawLine(QPointF(c.x() + w * 0.07, bin.top() + h * 0.08),
                   QPointF(c.x() + w * 0.07, bin.bottom() - h * 0.08));
        break;
    }
    case ButtonArt::Convert: {
        QPainterPath arrow;
        arrow.moveTo(r.left() + w * 0.2, c.y() - h * 0.1);
        arrow.lineTo(c.x() + w * 0.05, c.y() - h * 0.1);
        arrow.lineTo(c.x() + w * 0.05, r.top() + h * 0.2);
        arrow.lineTo(r.right() - w * 0.18, c.y());
        arrow.lineTo(c.x() + w * 0.05, r.bottom() - h * 0.2);
        arrow.lineTo(c.x() + w * 0.05, c.y() + h * 0.1);
        arrow.lineTo(r.left() + w * 0.2, c.y() + h * 0.1);
        arrow.closeSubpath();
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawPath(arrow);
        break;
    }
    }
    p.restore();
}

} // namespace

void PaintButtonArt(QPainter& p, const QRect& rect, ButtonArt art, const QString& text,
                    ButtonState state) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);

    const bool round = art == ButtonArt::Home || art == ButtonArt::Mail || art == ButtonArt::About;
    const bool title = art == ButtonArt::Minimize || art == ButtonArt::Close;
    const bool primary = art == ButtonArt::Convert;

    QColor face = Palette::Panel.lighter(130);
    QColor ink = Palette::Text;
    if (primary) {
        face = Palette::Accent;
        ink = QColor("#0d1a24");
    } else if (art == ButtonArt::StopJob) {
        face = QColor("#d9534f");
    } else if (round) {
        face = Palette::Panel.lighter(145);
        ink = Palette::Accent;
    } else if (title) {
        face = art == ButtonArt::Close && state == ButtonState::Hover ? QColor("#d9534f")
                                                                      : QColor(255, 255, 255, 28);
    }
    face =
        title && art == ButtonArt::Close && state == ButtonState::Hover ? face : Shade(face, state);
    if (state == ButtonState::Disabled)
        ink = QColor(150, 158, 166);

    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, face.lighter(112));
    g.setColorAt(1, face.darker(108));
    p.setBrush(g);
    p.setPen(QPen(title ? Qt::transparent : face.darker(150), 1));
    if (round)
        p.drawEllipse(r.adjusted(2, 2, -2, -2));
    else
        p.drawRoundedRect(r, 4, 4);

    if (text.isEmpty()) {
        const double side = qMin(r.width(), r.height()) * (round ? 0.72 : 1.0);
        QRectF glyph(0, 0, side, side);
        glyph.moveCenter(r.center());
        Glyph(p, glyph, art, ink);
    } else {
        // Picture on the left, caption beside it.
        const double side = qMin(r.height() * 0.9, 22.0);
        QRectF glyph(r.left() + 6, r.center().y() - side / 2, side, side);
        Glyph(p, glyph, art, ink);
        QFont font = p.font();
        font.setPixelSize(primary ? 15 : 12);
        font.setBold(primary);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(r.adjusted(side + 6, 0, -4, 0), Qt::AlignCenter, text);
    }
    p.restore();
}
