// The application object: owns the shared objects and every window model,
// wires them together, and runs start-up and close. The view (ui/) builds the
// widgets on top of it; tests build it with fakes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/OptionForm.h"
#include "engine/ConvertingForm.h"
#include "engine/CustomProc.h"
#include "media/InitFileForm.h"
#include "media/MediaGraph.h"
#include "media/SourceFileList.h"
#include "preview/Preview.h"
#include "shell/FlashForm.h"
#include "shell/Launchers.h"
#include "shell/MainForm.h"
#include "shell/ProgramLayout.h"
#include "shell/SoftInfo.h"
#include "support/CommonLib.h"
#include "support/Toolkit.h"
#include "support/platform/Platform.h"

// Longest product text taken from Res.so's string table (a 254-character
// buffer with its terminating zero).
inline constexpr size_t MaxResStringLength = 253;

class TApplication {
public:
    static constexpr const char* Title = "Velmora";

    TApplication(IPlatform& platform, IDialogs& dialogs, IEventPump& pump,
                 IUiDispatcher& dispatcher, IMediaGraph& playerGraph, std::string programFolder,
                 TSourceFileList::TGraphFactory probeGraphs = CreateProbeGraph);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    IPlatform& Platform;
    IDialogs& Dialogs;
    IEventPump& Pump;
    IUiDispatcher& Dispatcher;
    IMediaGraph& PlayerGraph;

    // Shared objects, in the order the windows need them.
    TAppFunc AppFunc;
    TCommonLib Lib;
    TSysFunc SysFunc;
    TStrFunc StrFunc;
    TFileFunc FileFunc;

    // The main window and the conversion procedures that reach into it.
    TFrmMainForm MainForm;
    TCustomProc CustomProc;
    // The other windows, created after the main window in this order.
    TfrmConverting ConvertingForm;
    TfrmOption OptionForm;
    TFrmInitFileForm InitFileForm;
    // The player and trim bar, and the list of source files.
    TPreview Preview;
    TSourceFileList SourceList;

    TRecSoftInfo RecSoftInfo;
    TLaunchers Launchers;

    // The file whose version the caption shows (the program itself).
    std::string ExecutableFile;

    // Shows the splash modally and returns when it has closed. Set by the
    // view; without it the splash's timers are driven through the pump.
    std::function<void(TFrmFlashForm&)> ShowSplashModal;
    // The splash while it is shown, null otherwise.
    TFrmFlashForm* FlashForm() const { return flash_.get(); }

    // Runs from an installation: the encoder and the executable in its bin
    // folder, settings and log where `folders` say. Before anything is shown.
    void UseProgramLayout(const TProgramLayout& layout, TDataFolders folders);

    // Main window show handling: splash and start-up, option lists, user
    // settings, drop target, preset. Runs once.
    void FormShow();
    void ShowSplash();
    void RunStartUpSequence();
    void CheckResourceLibraries();
    void LoadSoftInfo();
    void ShowMessageBox(const std::string& text);

    // Files from the command line or handed over by a second start. They join
    // the list as a drop does, once the window is free: start-up done, no job,
    // no busy window, and (`viewBusy`) no modal window of the view. True when
    // nothing is left waiting.
    void HandOverFiles(const std::vector<std::string>& paths);
    bool TakeHandedFiles(bool viewBusy);
    bool HandedFilesWaiting() const { return !handedFiles_.empty(); }

    // The program ends once the show handling is done.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool DropTargetRegistered() const { return dropTarget_; }
    int StartUpRuns() const { return startUpRuns_; }

    // The not-found message for a library file name.
    static std::string NotFoundText(const std::string& fileName);

private:
    std::unique_ptr<TFrmFlashForm> flash_;
    bool terminated_ = false;
    bool dropTarget_ = false;
    bool shown_ = false;
    int startUpRuns_ = 0;
    std::vector<std::string> handedFiles_;

    void RunGuarded(const char* what, const std::function<void()>& step);
};
