// Moving the frameless main window with the mouse. One drag is one state:
// handed to the window manager, followed by ourselves when there is none, or
// idle. A drag starts at most once per button press and ends on the release,
// on the next press, or when the mouse is seen moving with no button held (the
// window manager keeps the release of its own move to itself).
#pragma once

#include <functional>

class TWindowMove {
public:
    enum class TState { Idle, SystemMove, ManualMove };

    // Asks the window manager to move the window with the mouse; false when
    // there is none to ask.
    std::function<bool()> StartSystemMove;
    // Places the window's top left corner on the screen.
    std::function<void(int x, int y)> MoveTo;

    // Left press on the window's visible background (the title included);
    // mouse and window corner in screen coordinates.
    void Press(int mouseX, int mouseY, int windowX, int windowY);
    // The mouse moved over the title: with the left button held it starts
    // the drag, unless this press already started one.
    void TitleMotion(int mouseX, int mouseY, int windowX, int windowY, bool leftHeld);
    // The mouse moved anywhere over the window.
    void Motion(int mouseX, int mouseY, bool leftHeld);
    // A button was released over the window.
    void Release();

    TState State() const { return state_; }

private:
    void Begin(int mouseX, int mouseY, int windowX, int windowY);

    TState state_ = TState::Idle;
    // A drag has started since the last press.
    bool begunThisPress_ = false;
    int offsetX_ = 0;
    int offsetY_ = 0;
};
