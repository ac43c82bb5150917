// The main window built on the real application object, with scripted
// dialogs, the Qt event pump and a player graph that loads nothing.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

#include "shell/ShellFixture.h"
#include "ui/MainWindow.h"
#include "ui/Program.h"
#include "ui/QtToolkit.h"

// Selects one row the way a click does, whatever modifiers a test left.
inline void SelectOnly(QTableView& view, int row) {
    view.selectionModel()->setCurrentIndex(view.model()->index(row, 1),
                                           QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
}

struct UiWorld {
    TempDir Folder;
    std::unique_ptr<IPlatform> Real = CreatePosixPlatform();
    FakePlatform Platform{Real.get()};
    ScriptedDialogs Dialogs;
    QtEventPump Pump;
    QtDispatcher Dispatcher;
    FakeGraph Graph = SilentGraph();
    std::unique_ptr<TApplication> App;
    std::unique_ptr<MainWindow> Window;

    UiWorld() {
        namespace fs = std::filesystem;
        fs::copy_file(BuiltLibrary(FormLibraryName), Folder.Path() / FormLibraryName);
        fs::copy_file(BuiltLibrary(ResLibraryName), Folder.Path() / ResLibraryName);
        App = std::make_unique<TApplication>(Platform, Dialogs, Pump, Dispatcher, Graph,
                                             Folder.Folder());
        App->ExecutableFile = "/proc/self/exe";
        App->CustomProc.DefaultHome = [this] { return Folder.Folder(); };
        App->ShowSplashModal = [](TFrmFlashForm& splash) {
            splash.FormShow();
            splash.TickCount = 2;
            splash.Timer1.Tick();
        };
        Window = std::make_unique<MainWindow>(*App, nullptr);
        App->MainForm.ExitProcess = [this] { ++Exits; };
        if (auto* app = qobject_cast<VelmoraApp*>(QCoreApplication::instance()))
            app->KeyPreviewWindow = Window.get();
        EXPECT_TRUE(Window->RunShowHandling());
        Window->show();
        QCoreApplication::processEvents();
    }
    ~UiWorld() {
        if (auto* app = qobject_cast<VelmoraApp*>(QCoreApplication::instance()))
            app->KeyPreviewWindow = nullptr;
        Window.reset();
    }

    // Makes a tone of `seconds` with the ffmpeg program.
    std::string Tone(const std::string& name, double seconds) {
        std::string path = Folder.Folder() + name;
        std::string cmd = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" +
                          std::to_string(seconds) + " \"" + path + "\"";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return path;
    }

    int Exits = 0;
};
