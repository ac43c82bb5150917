#include "shell/FlashForm.h"

TFrmFlashForm::TFrmFlashForm(IEventPump& pump) : pump_(pump) {
    Timer1.Interval = 250;
    Timer2.Interval = 1000;
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
}

void TFrmFlashForm::FormShow() {
    TickCount = 0;
    Timer1.SetEnabled(true);
    Timer2.SetEnabled(true);
}

void TFrmFlashForm::Timer2Timer() {
    ++TickCount;
}

void TFrmFlashForm::Timer1Timer() {
    Timer1.SetEnabled(false);
    if (startUpDone_)
        return;
    startUpDone_ = true;
    if (OnStartUp)
        OnStartUp();
    // Wait for the second tick while the splash keeps painting. Short pauses
    // instead of a bare message loop, so the wait costs no CPU.
    // A splash whose timer is not driven gives up after a while rather than
    // holding the program's start.
    int waited = 0;
    while (TickCount < 2 && waited < MaxWaitMs) {
        pump_.Pause(20);
        waited += 20;
    }
    Timer2.SetEnabled(false);
    closed_ = true;
    Hide();
    if (OnCloseRequested)
        OnCloseRequested();
}
