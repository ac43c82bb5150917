// A preview with a scripted player graph, a main window model and a real
// common library over a temporary program folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/Fakes.h"
#include "media/MediaGraph.h"
#include "preview/Preview.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"

// Records every call; renders any path unless it is listed as unrenderable.
class FakePlayerGraph : public IMediaGraph {
public:
    std::vector<std::string> Calls;
    std::set<std::string> Unrenderable;
    std::string Loaded;
    bool Running = false;
    std::int64_t Duration = 120000;
    std::int64_t PositionHns = 0;
    bool ThrowOnRun = false;
    bool ThrowOnSeek = false;
    std::function<void()> DuringRender;

    void Activate() override {
        Calls.push_back("activate");
        active_ = true;
    }
    void Deactivate() override {
        Calls.push_back("deactivate");
        active_ = false;
    }
    bool Active() const override { return active_; }
    void Clear() override {
        Calls.push_back("clear");
        Running = false;
        Loaded.clear();
    }
    int RenderFile(const std::string& path) override {
        Calls.push_back("render " + path);
        if (!active_)
            return -1;
        if (DuringRender) {
            auto hook = DuringRender;
            DuringRender = nullptr;
            hook();
        }
        if (Unrenderable.count(path))
            return 1;
        Loaded = path;
        return 0;
    }
    void Run() override {
        Calls.push_back("run");
        if (ThrowOnRun)
            throw std::runtime_error("run failed");
        Running = true;
    }
    void Pause() override {
        Calls.push_back("pause");
        Running = false;
    }
    void Stop() override {
        Calls.push_back("stop");
        Running = false;
    }
    std::int64_t DurationMs() override { return Loaded.empty() ? 0 : Duration; }
    std::int64_t CurrentPosition() override { return PositionHns; }
    void SeekTo(std::int64_t ms) override {
        Calls.push_back("seek " + std::to_string(ms));
        if (ThrowOnSeek)
            throw std::runtime_error("seek failed");
        PositionHns = ms * 10000;
    }

    int CountOf(const std::string& call) const {
        int n = 0;
        for (const auto& c : Calls)
            n += c == call ? 1 : 0;
        return n;
    }

private:
    bool active_ = false;
};

// The preview needs no operating-system service; every call fails quietly.
class NullPlatform : public IPlatform {
public:
    std::string ExecutableFolder() override { return "/nonexistent/"; }
    std::string RunningExecutable() override { return "/nonexistent/velmora"; }
    bool IsNTPlatform() override { return true; }
    std::unique_ptr<IChildProcess> Spawn(const std::vector<std::string>&, const std::string&,
                                         std::string* error) override {
        if (error)
            *error = "not available";
        return nullptr;
    }
    bool StartDetached(const std::vector<std::string>&, const std::string&) override {
        return false;
    }
    std::vector<ProcessEntry> ListProcesses() override { return {}; }
    bool TerminateProcess(std::uint32_t) override { return false; }
    bool PowerOff() override { return false; }
    std::unique_ptr<ISleepInhibitor> InhibitSleep(const std::string&) override { return nullptr; }
    bool OpenFolder(const std::string&) override { return false; }
    bool OpenUrl(const std::string&) override { return false; }
    void TrimWorkingSet() override {}
    bool CreateFolders(const std::string&) override { return false; }
    bool FolderExists(const std::string&) override { return false; }
    bool FileExists(const std::string&) override { return false; }
    std::int64_t FileSize(const std::string&) override { return -1; }
    bool RemoveFolder(const std::string&) override { return false; }
    std::unique_ptr<ILibrary> LoadLibrary(const std::string&, std::string* error) override {
        if (error)
            *error = "not available";
        return nullptr;
    }
    void SleepMs(int) override {}
};

class PreviewTest : public ::testing::Test {
protected:
    TempDir dir;
    std::unique_ptr<IPlatform> platform = std::make_unique<NullPlatform>();
    ScriptedDialogs dialogs;
    FakeEventPump pump;
    TAppFunc appFunc{dir.Folder()};
    TCommonLib lib{*platform, dialogs, pump, appFunc};
    TFrmMainForm form;
    FakePlayerGraph graph;
    TPreview preview{form, lib, graph};

    TSourceFileGrid& Grid() { return form.dxTreeSourceFileInfo; }

    int AddRow(const std::string& path, const std::string& duration, const std::string& start,
               const std::string& end, bool selected = true) {
        TSourceFileRow row;
        row[sfCheck] = "True";
        row[sfFileName] = path;
        row[sfSize] = "1 MB";
        row[sfDuration] = duration;
        row[sfStartTime] = start;
        row[sfEndTime] = end;
        row[sfCutTime] = "";
        row.Selected = selected;
        Grid().Rows.push_back(row);
        return Grid().RowCount() - 1;
    }

    std::string Cell(int row, int field) { return Grid().Field(row, field); }

    std::string LogText() {
        std::ifstream in(dir.Folder() + "log.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static int Occurrences(const std::string& text, const std::string& part) {
        int n = 0;
        for (auto pos = text.find(part); pos != std::string::npos;
             pos = text.find(part, pos + part.size()))
            ++n;
        return n;
    }

    // Loads one selected row through the Play button and forgets the calls.
    void PlayOne(const std::string& path, const std::string& duration = "00:02:00") {
        AddRow(path, duration, "00:00:00", duration);
        form.btnPlay.Click();
        ASSERT_EQ(preview.CurPlayFile, path);
        graph.Calls.clear();
    }

    // One position tick as the graph would send it, at `seconds` into the file.
    void Tick(double seconds) {
        graph.PositionHns = static_cast<std::int64_t>(seconds * 10'000'000);
        preview.dstrckbrMainformTimer(static_cast<std::int64_t>(seconds * 1000), graph.Duration);
    }
};
