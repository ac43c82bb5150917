// A whole application object on fakes: scripted dialogs, virtual time, a
// recording player graph and a temporary program folder holding copies of the
// built Res.so and Form.so.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "fakes/Fakes.h"
#include "media/MediaGraph.h"
#include "shell/Application.h"

class RecordingGraph : public IMediaGraph {
public:
    std::vector<std::string> Calls;
    bool active = false;
    void Activate() override {
        Calls.push_back("Activate");
        active = true;
    }
    void Deactivate() override {
        Calls.push_back("Deactivate");
        active = false;
    }
    bool Active() const override { return active; }
    void Clear() override { Calls.push_back("Clear"); }
    int RenderFile(const std::string&) override {
        Calls.push_back("Render");
        return 1;
    }
    void Run() override { Calls.push_back("Run"); }
    void Pause() override { Calls.push_back("Pause"); }
    void Stop() override { Calls.push_back("Stop"); }
    std::int64_t DurationMs() override { return 0; }
    std::int64_t CurrentPosition() override { return 0; }
    void SeekTo(std::int64_t) override { Calls.push_back("Seek"); }
};

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
    RecordingGraph Graph;
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
