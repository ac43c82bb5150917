#include "ui/Program.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QKeyEvent>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#ifndef _WIN32
#include <QSocketNotifier>
#endif

#include "shell/SingleInstance.h"
#include "shell/StartArguments.h"
#include "support/DataFolders.h"
#include "support/platform/SystemIO.h"
#include "ui/SingleInstance.h"

VelmoraApp::VelmoraApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(TApplication::Title));
    // How the desktop knows the program: its notices and its taskbar entry.
    setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
    setQuitOnLastWindowClosed(false);
}

void VelmoraApp::Report(const QString& text) {
    ++errors_;
    std::fprintf(stderr, "Velmora: %s\n", text.toLocal8Bit().constData());
    if (reporting_)
        return; // an error while the box is up: logged only
    reporting_ = true;
    if (ReportError)
        ReportError(text);
    else
        QMessageBox::critical(activeWindow(), QString::fromLatin1(TApplication::Title), text);
    reporting_ = false;
}

bool VelmoraApp::notify(QObject* receiver, QEvent* event) {
    // A key press reaches the window (QWidgetWindow) first and is then
    // forwarded, as the same event, to the focused widget: the preview runs
    // at the first widget of the main window that receives it, once.
    auto* widget = event->type() == QEvent::KeyPress ? qobject_cast<QWidget*>(receiver) : nullptr;
    const bool preview =
        widget && KeyPreviewWindow && widget->window() == KeyPreviewWindow.data() &&
        std::find(keysInFlight_.begin(), keysInFlight_.end(), event) == keysInFlight_.end();
    if (preview)
        keysInFlight_.push_back(event);
    bool result = false;
    try {
        if (preview)
            KeyPreviewWindow->PreviewKey(static_cast<QKeyEvent*>(event));
        result = QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(QString::fromStdString(e.what()));
    } catch (...) {
        Report(QStringLiteral("Unknown error"));
    }
    if (preview)
        keysInFlight_.erase(std::find(keysInFlight_.begin(), keysInFlight_.end(), event));
    return result;
}

VelmoraProgram::VelmoraProgram(IPlatform& platform, const std::string& programFolder)
    : player_(std::make_unique<QtMediaGraph>()) {
    app_ = std::make_unique<TApplication>(platform, dialogs_, pump_, dispatcher_, *player_,
                                          programFolder);
    // The windows, in the order the program makes them.
    main_ = std::make_unique<MainWindow>(*app_, player_->VideoWidget());
    converting_ = std::make_unique<ConvertingDialog>(app_->ConvertingForm, main_.get());
    options_ = std::make_unique<OptionsDialog>(app_->OptionForm, nullptr);
    busy_ = std::make_unique<BusyWindow>(app_->InitFileForm, main_.get());
    dialogs_.DefaultOwner = main_.get();
    app_->CustomProc.Desktop = &jobDesktop_;
    jobDesktop_.SetTaskbarWindow(main_.get());
    jobDesktop_.Log = [this](const std::string& text) { app_->AppFunc.WriteLog(text); };
    app_->ShowSplashModal = [](TFrmFlashForm& model) {
        SplashWindow splash(model);
        splash.RunModal();
    };
    if (auto* qapp = qobject_cast<VelmoraApp*>(QCoreApplication::instance()))
        qapp->KeyPreviewWindow = main_.get();
    // Handed files wait for a free window; looked at again while any wait.
    handOverRetry_.setInterval(250);
    handOverRetry_.setSingleShot(true);
    QObject::connect(&handOverRetry_, &QTimer::timeout, main_.get(), [this] { HandOver({}); });
}

void VelmoraProgram::HandOver(const std::vector<std::string>& paths) {
    app_->HandOverFiles(paths);
    const bool modal = QApplication::activeModalWidget() || QGuiApplication::modalWindow();
    if (!app_->TakeHandedFiles(modal) && !handOverRetry_.isActive())
        handOverRetry_.start();
}

VelmoraProgram::~VelmoraProgram() {
    if (auto* qapp = qobject_cast<VelmoraApp*>(QCoreApplication::instance()))
        qapp->KeyPreviewWindow = nullptr;
    busy_.reset();
    options_.reset();
    converting_.reset();
    main_.reset();
    app_.reset();
    player_.reset();
}

bool VelmoraProgram::Start() {
    if (!main_->RunShowHandling())
        return false;
    main_->show();
    main_->setMask(main_->Shape());
    main_->raise();
    main_->activateWindow();
    return true;
}

namespace {

#ifndef _WIN32
int gSignalPipe[2] = {-1, -1};

void OnTerminateSignal(int) {
    char byte = 1;
    ssize_t ignored = ::write(gSignalPipe[1], &byte, 1);
    (void)ignored;
}
#endif

// The command line as the program's own text. Windows hands main() the ANSI
// code page; Qt has the line as UTF-16.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        args.push_back(all[i].toStdString());
    return args;
#else
    return {argv + 1, argv + argc};
#endif
}

} // namespace

int RunVelmora(int argc, char** argv) {
    // --help and --version answer without a display.
    std::error_code cwdError;
    const std::string cwd = PathText(std::filesystem::current_path(cwdError));
    const TStartArguments early = ParseStartArguments({argv + 1, argv + argc}, cwd);
    if (early.Action == TStartArguments::TAction::Help ||
        early.Action == TStartArguments::TAction::Version) {
        const std::string text =
            early.Action == TStartArguments::TAction::Help ? StartUsageText() : StartVersionText();
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
#ifndef _WIN32
    // The GStreamer backend plays everything we preview, also without sound.
    // Windows has one backend of its own (Media Foundation).
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
#endif
    VelmoraApp qapp(argc, argv);
    // Qt has taken its own options out of argv by now.
    const TStartArguments start = ParseStartArguments(ProgramArguments(argc, argv), cwd);
    if (start.Action == TStartArguments::TAction::Error) {
        std::fprintf(stderr, "velmora: %s\nTry 'velmora --help' for more information.\n",
                     start.Error.c_str());
        return 2;
    }
    // One program per user and session: a running one takes the files.
    std::string instanceProblem;
    const std::string instanceName = InstanceServerName(GatherInstanceFacts(instanceProblem));
    std::unique_ptr<InstanceLock> instanceLock;
    if (!instanceName.empty()) {
        instanceLock = std::make_unique<InstanceLock>(instanceName);
        if (!instanceLock->Locked())
            instanceProblem = "no lock on " + instanceName;
        switch (HandToRunningProgram(instanceName, start.Files)) {
        case HandOverResult::Handed:
            return 0;
        case HandOverResult::NoAnswer:
            std::fprintf(stderr, "velmora: the running program does not answer\n");
            return 1;
        case HandOverResult::NoProgram:
            break;
        }
    }
    std::unique_ptr<IPlatform> platform = CreateSystemPlatform();
    const TProgramLayout layout = FindProgramLayout(platform->ExecutableFolder(), *platform);
    VelmoraProgram program(*platform, layout.ProgramFolder);
    program.App().UseProgramLayout(
        layout, DecideDataFolders(GatherDataFolderFacts(layout.ProgramFolder, layout.Installed)));

#ifdef _WIN32
    // Windows asks before it ends the session: close the main window the
    // normal way, so the settings are kept.
    QObject::connect(&qapp, &QGuiApplication::commitDataRequest, &program.Main(), [&program] {
        if (program.Main().isVisible())
            program.Main().close();
    });
#else
    // A session that ends the program (SIGTERM, SIGINT, SIGHUP) closes the
    // main window the normal way, so the settings are kept.
    std::unique_ptr<QSocketNotifier> notifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) == 0) {
        notifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [&program] {
            char byte;
            ssize_t ignored = ::read(gSignalPipe[0], &byte, 1);
            (void)ignored;
            // Before the settings are loaded there is nothing to keep, and
            // saving then would overwrite them with defaults.
            if (program.Main().isVisible()) {
                program.Main().close();
            } else {
                std::fflush(nullptr);
                std::_Exit(0);
            }
        });
        struct sigaction action {};
        action.sa_handler = OnTerminateSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &action, nullptr);
    }
#endif

    // Listening before the window is up: a second start during the splash
    // waits in the queue, not in a second window.
    std::unique_ptr<InstanceServer> server;
    if (!instanceName.empty()) {
        server = std::make_unique<InstanceServer>(
            &program.Main(),
            [&program](std::vector<std::string> paths) {
                program.Main().BringToFront();
                program.HandOver(paths);
            },
            [&program](const std::string& text) { program.App().AppFunc.WriteLog(text); });
        std::string error;
        if (!server->Listen(instanceName, error)) {
            instanceProblem = "cannot listen on " + instanceName + ": " + error;
            server.reset();
        }
        instanceLock->Unlock();
    }
    if (!instanceProblem.empty())
        program.App().AppFunc.WriteLog("One program per session is off: " + instanceProblem);

    int result = 0;
    try {
        if (!program.Start())
            return 0; // a library is missing: the program ends after start-up
        if (!start.Files.empty()) {
            // Once the loop runs, through the path a drop takes.
            QTimer::singleShot(0, &program.Main(),
                               [&program, &start] { program.HandOver(start.Files); });
        }
        result = qapp.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromLatin1(TApplication::Title),
                              QString::fromStdString(e.what()));
        result = 1;
    }
    return result;
}
