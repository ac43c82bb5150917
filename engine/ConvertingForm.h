// The converting dialog as a model: the file being converted, a bar for the
// file and one for the job, the counter line, the spinner and the latest raw
// encoder output, plus the Stop button. The job shows and hides it; the Qt
// view binds the controls and forwards the timer, the button and the close.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "support/Controls.h"
#include "support/Toolkit.h"

class TCustomProc;
class TCommonLib;

// An action: a command with a name that can be executed from code.
class TAction {
public:
    std::function<void()> OnExecute;
    void Execute() const {
        if (OnExecute)
            OnExecute();
    }
};

class TfrmConverting : public TFormModel {
public:
    TfrmConverting(TCustomProc& proc, IUiDispatcher& dispatcher);
    TfrmConverting(const TfrmConverting&) = delete;
    TfrmConverting& operator=(const TfrmConverting&) = delete;

    TLabel lblInfo;
    TLabel lblCurConvertFileL;
    TLabel lblCurFileName;
    TLabel lblTotalFilr;
    TProgressBar pbTotal;
    TLabel lblCurprog;
    TProgressBar ProgressBar1;
    TLabel lblPersent;
    TButton btnStop;  // OnClick runs btnStop1Click
    TLabel statState; // the status bar's one panel
    TTimer tmrChanging;
    TAction actRefreshProgress;

    // Spinner frame, 0 to 5.
    int AnimFrame = 0;

    // The runner's callback: safe on any thread. The chunk is handed to the
    // interface thread and shown there, in the order chunks arrive.
    void OnEncoderOutput(const std::string& chunk);
    // A callback bound to this dialog, for the runner.
    std::function<void(const std::string&)> OutputCallback();

    void actRefreshProgressExecute();
    void tmrChangingTimer();
    void FormShow();
    void btnStop1Click();
    // The user closes the window. True when the stop was confirmed (the
    // dialog has hidden itself); false keeps it open.
    bool FormClose();

    // Shows the dialog and runs FormShow, unless it is visible already. The
    // view must not call FormShow on its own.
    void ShowDialog();
    // Starts a new file: output still queued from an earlier file is dropped.
    void BeginFile();

private:
    // Runs on the interface thread for one chunk.
    void ShowChunk(const std::string& chunk);
    void StopJob(bool byButton);

    TCustomProc& proc_;
    TCommonLib& lib_;
    IUiDispatcher& dispatcher_;
    std::atomic<unsigned> fileSerial_{0};
    // Queued chunks check it, so none runs after the dialog is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
