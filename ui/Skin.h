// The main window's skin: a 686 x 486 picture whose magenta pixels lie outside
// the window's shape, and the pictures of the other windows.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QRegion>

inline constexpr int SkinWidth = 686;
inline constexpr int SkinHeight = 486;
inline const QColor SkinTransparent(255, 0, 255);

// The skin's three areas, edges included. They are drawn as one panel with
// single dividing lines: neighbours share their edge's row or column.
inline constexpr QRect SkinPreviewPanel(12, 74, 273, 207);    // x 12-284, y 74-280
inline constexpr QRect SkinSettingsPanel(284, 125, 391, 156); // x 284-674, y 125-280
inline constexpr QRect SkinListPanel(12, 280, 663, 147);      // x 12-674, y 280-426

// The main window's background picture.
QImage MakeMainSkin();
// The part of the picture that is kept: every pixel but the magenta ones.
QRegion SkinRegion(const QImage& skin);
// The logo shown in the video area while nothing plays.
QPixmap MakeLogoPicture(const QSize& size);
// The busy window's stretched background.
QPixmap MakeBusyBackground(const QSize& size);
