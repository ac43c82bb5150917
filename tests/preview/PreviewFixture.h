// A preview with a fake player graph, a main window model and a real
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

#include "fakes/CoreRig.h"
#include "fakes/FakeGraph.h"
#include "media/MediaGraph.h"
#include "preview/Preview.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"

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
    std::unique_ptr<IPlatform> platform = std::make_unique<NullPlatform>();
    FakeEventPump pump;
    TCoreRig core{*platform, pump};
    ScriptedDialogs& dialogs = core.Dialogs;
    TCommonLib& lib = core.Lib;
    TFrmMainForm form;
    FakeGraph graph;
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

    std::string LogText() { return core.LogText(); }

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
