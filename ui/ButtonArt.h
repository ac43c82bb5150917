// The button pictures, drawn with QPainter: one look for every state.
#pragma once

#include <QPainter>
#include <QRect>
#include <QString>

enum class ButtonArt {
    Minimize,
    Close,
    Home,
    Mail,
    About,
    Options,
    Folder,
    Play,
    Pause,
    Stop,
    Open,
    Remove,
    Clear,
    Convert,
    StopJob,
};

enum class ButtonState { Normal, Hover, Pressed, Disabled };

// What a picture means, as a screen reader says it for a button without text.
QString ButtonArtMeaning(ButtonArt art);

void PaintButtonArt(QPainter& painter, const QRect& rect, ButtonArt art, const QString& text,
                    ButtonState state);

// Colours of the skin, shared by the windows.
namespace Palette {
inline const QColor Background("#16212c");
inline const QColor Panel("#1f2d3a");
inline const QColor PanelEdge("#2f4557");
inline const QColor Accent("#2ec4b6");
inline const QColor AccentDark("#1a8f86");
inline const QColor Warm("#ff9f1c");
inline const QColor Text("#e8eef2");
inline const QColor MutedText("#8aa0b0");
} // namespace Palette
