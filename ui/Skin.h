// The main window's skin: a 686 x 486 picture whose magenta pixels lie outside
// the window's shape, and the pictures of the other windows.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>

inline constexpr int SkinWidth = 686;
inline constexpr int SkinHeight = 486;
inline const QColor SkinTransparent(255, 0, 255);

// The main window's background picture.
QImage MakeMainSkin();
// The part of the picture that is kept: every pixel but the magenta ones.
QRegion SkinRegion(const QImage& skin);
// The logo shown in the video area while nothing plays.
QPixmap MakeLogoPicture(const QSize& size);
// The busy window's stretched background.
QPixmap MakeBusyBackground(const QSize& size);
