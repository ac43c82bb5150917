// A whole application object on fakes: scripted dialogs, virtual time, a
// player graph that loads nothing and a temporary program folder holding copies of the
// built Res.so and Form.so.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/FakeGraph.h"
#include "fakes/FakePlatform.h"
#include "fakes/Fakes.h"
#include "shell/Application.h"

// The player loads nothing: no test here plays a file.
inline FakeGraph SilentGraph() {
    FakeGraph graph;
    graph.RenderUnlisted = false;
    return graph;
}

inline std::string BuiltLibrary(const char* name) {
    return std::string(VELMORA_BIN_DIR) + "/" + name;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ShellWorld {
    TempDir Folder;
    std::unique_ptr<IPlatform> Real = CreatePosixPlatform();
    FakePlatform Platform{Real.get()};
    ScriptedDialogs Dialogs;
    FakeEventPump Pump;
    QueueDispatcher Dispatcher;
    FakeGraph Graph = SilentGraph();
    std::unique_ptr<TApplication> App;
    int SplashShows = 0;
    int Exits = 0;

    explicit ShellWorld(bool withForm = true, bool withRes = true) {
        namespace fs = std::filesystem;
        if (withForm)
            fs::copy_file(BuiltLibrary(FormLibraryName), Folder.Path() / FormLibraryName);
        if (withRes)
            fs::copy_file(BuiltLibrary(ResLibraryName), Folder.Path() / ResLibraryName);
        Build();
    }

    void Build() {
        App = std::make_unique<TApplication>(Platform, Dialogs, Pump, Dispatcher, Graph,
                                             Folder.Folder());
        App->CustomProc.DefaultHome = [this] { return Folder.Folder(); };
        App->MainForm.ExitProcess = [this] { ++Exits; };
        // The view's modal splash: show, then drive both timers on the
        // virtual clock.
        App->ShowSplashModal = [this](TFrmFlashForm& splash) {
            ++SplashShows;
            splash.FormShow();
            std::int64_t start = Pump.NowMs;
            std::int64_t nextTick = start + splash.Timer2.Interval;
            Pump.OnEvents = [this, &splash, &nextTick] {
                while (Pump.NowMs >= nextTick) {
                    splash.Timer2.Tick();
                    nextTick += splash.Timer2.Interval;
                }
            };
            Pump.Pause(splash.Timer1.Interval);
            splash.Timer1.Tick();
            Pump.OnEvents = nullptr;
        };
    }
};
