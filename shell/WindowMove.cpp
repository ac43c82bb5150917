#include "shell/WindowMove.h"

void TWindowMove::Begin(int mouseX, int mouseY, int windowX, int windowY) {
    begunThisPress_ = true;
    if (StartSystemMove && StartSystemMove()) {
        state_ = TState::SystemMove;
        return;
    }
    state_ = TState::ManualMove;
    offsetX_ = mouseX - windowX;
    offsetY_ = mouseY - windowY;
}

void TWindowMove::Press(int mouseX, int mouseY, int windowX, int windowY) {
    // A press always begins afresh: whatever drag came before has ended, even
    // when its release went to the window manager.
    state_ = TState::Idle;
    begunThisPress_ = false;
    Begin(mouseX, mouseY, windowX, windowY);
}

void TWindowMove::TitleMotion(int mouseX, int mouseY, int windowX, int windowY, bool leftHeld) {
    if (!leftHeld) {
        Motion(mouseX, mouseY, false);
        return;
    }
    if (state_ == TState::Idle && !begunThisPress_) {
        Begin(mouseX, mouseY, windowX, windowY);
        return;
    }
    Motion(mouseX, mouseY, true);
}

void TWindowMove::Motion(int mouseX, int mouseY, bool leftHeld) {
    if (!leftHeld) {
        // No button held: any drag is over, and the next press may start one.
        state_ = TState::Idle;
        begunThisPress_ = false;
        return;
    }
    if (state_ == TState::ManualMove && MoveTo)
        MoveTo(mouseX - offsetX_, mouseY - offsetY_);
}

void TWindowMove::Release() {
    state_ = TState::Idle;
    begunThisPress_ = false;
}
