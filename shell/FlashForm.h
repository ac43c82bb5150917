// The splash window as a model: a picture at its natural size and two timers.
// Timer1's first tick runs the start-up sequence; the splash closes once that
// has finished and Timer2 has ticked at least twice.
#pragma once

#include <functional>

#include "shell/JpegImage.h"
#include "support/Controls.h"
#include "support/Toolkit.h"

class TFrmFlashForm : public TFormModel {
public:
    explicit TFrmFlashForm(IEventPump& pump);
    static constexpr int MaxWaitMs = 10000;

    TBitmapImage Picture;
    TTimer Timer1;
    TTimer Timer2;
    int TickCount = 0;
    // Run by Timer1's first tick.
    std::function<void()> OnStartUp;
    // Asks the view to end the modal showing.
    std::function<void()> OnCloseRequested;

    bool StartUpDone() const { return startUpDone_; }
    bool Closed() const { return closed_; }

    // The window sizes itself to the picture.
    int Width() const { return Picture.Width; }
    int Height() const { return Picture.Height; }

    // Showing switches both timers on and restarts the counter.
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();

private:
    IEventPump& pump_;
    bool startUpDone_ = false;
    bool closed_ = false;
};
