// The trim bar under the video area and the logo over it, drawn from the
// preview's models. All arithmetic stays in TPreview.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "preview/Preview.h"

class TrimBarWidget : public QWidget {
    Q_OBJECT
public:
    TrimBarWidget(TPreview& preview, QWidget* parent = nullptr);
    ~TrimBarWidget() override;

    // The marker pictures (17 x 19, black transparent) and the strip
    // pictures; exposed for the look tests.
    const QImage& StartMarkerImage() const { return imgL_; }
    const QImage& EndMarkerImage() const { return imgR_; }

    QSize sizeHint() const override { return {TTrimBar::DesignWidth, TTrimBar::BarHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Press(QMouseEvent* event);

    TPreview& preview_;
    QImage imgL_;
    QImage imgR_;
    QPixmap outsideStrip_;
    QPixmap insideStrip_;
};

// The logo panel filling the video area; shown while nothing plays. Follows
// preview.panLogo. With an empty picture it draws the product name.
class LogoPanel : public QWidget {
    Q_OBJECT
public:
    LogoPanel(TPreview& preview, QWidget* videoArea, QPixmap logo = {});
    ~LogoPanel() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow();

    TPreview& preview_;
    QPixmap logo_;
};

// Modifier bits of a Qt event as the core's TShiftFlag set; AltGr counts as
// Ctrl+Alt. The main window's keys and the trim bar's clicks both use it.
unsigned ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
