// The whole desktop program: the Qt application with its error report, the
// toolkit seams, the application object and every window.
#pragma once

#include <memory>
#include <string>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "shell/Application.h"
#include "support/platform/Platform.h"
#include "ui/JobDesktop.h"
#include "ui/MainWindow.h"
#include "ui/QtToolkit.h"
#include "ui/SecondaryWindows.h"
#include "ui/preview/QtMediaGraph.h"

// Reports an exception that escaped an event handler in an error box; the
// event ends and the program goes on. Key presses reach the main window's
// model before the focused control.
class VelmoraApp : public QApplication {
    Q_OBJECT
public:
    VelmoraApp(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    QPointer<MainWindow> KeyPreviewWindow;
    // Shows the error; tests replace it.
    std::function<void(const QString&)> ReportError;
    int ErrorsReported() const { return errors_; }

private:
    void Report(const QString& text);
    bool reporting_ = false;
    int errors_ = 0;
    // Key presses being delivered right now; a control passing one on to
    // an inner widget must not run the shortcut again.
    std::vector<const QEvent*> keysInFlight_;
};

class VelmoraProgram {
public:
    // `platform` may be a fake in tests; `programFolder` ends with '/'.
    VelmoraProgram(IPlatform& platform, const std::string& programFolder);
    ~VelmoraProgram();

    TApplication& App() { return *app_; }
    MainWindow& Main() { return *main_; }
    ConvertingDialog& Converting() { return *converting_; }
    OptionsDialog& Options() { return *options_; }
    BusyWindow& Busy() { return *busy_; }
    QtDialogs& Dialogs() { return dialogs_; }

    // Show handling, then the window on screen. False when the program ends
    // instead (a library is missing).
    bool Start();
    // Files from the command line or from a second start: they join the list
    // as a drop does, as soon as the window is free (after start-up, a job,
    // the busy window or a modal box).
    void HandOver(const std::vector<std::string>& paths);

private:
    QtEventPump pump_;
    QtDispatcher dispatcher_;
    QtDialogs dialogs_;
    JobDesktop jobDesktop_;
    std::unique_ptr<QtMediaGraph> player_;
    std::unique_ptr<TApplication> app_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<ConvertingDialog> converting_;
    std::unique_ptr<OptionsDialog> options_;
    std::unique_ptr<BusyWindow> busy_;
    QTimer handOverRetry_;
};

// main(): the program run from its own folder.
int RunVelmora(int argc, char** argv);
