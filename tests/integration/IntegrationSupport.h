// Whole conversions without the GUI: the real encoder, the real platform
// (narrowed to the processes this test starts), a pump that runs the
// dispatcher in real time, and test media made by the ffmpeg CLI.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/OptionForm.h"
#include "engine/ConvertingForm.h"
#include "engine/CustomProc.h"
#include "engine/OptionTables.h"
#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "media/SourceFileGrid.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"

inline int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

inline std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

// Length in seconds of the decoded audio (a container's own estimate can
// be off, as for AMR); -1 when it cannot be read.
inline double DecodedSeconds(const std::string& path) {
    const std::string cmd = "ffmpeg -hide_banner -nostdin -i " + Quote(path) +
                            " -map 0:a:0 -f null - 2>&1 | tr '\\r' '\\n' | grep -o "
                            "'time=[0-9:.]*' | tail -n 1";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    char buffer[128] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, p);
    ::pclose(p);
    int h = 0, m = 0;
    double s = 0;
    if (n == 0 || std::sscanf(buffer, "time=%d:%d:%lf", &h, &m, &s) != 3)
        return -1;
    return h * 3600.0 + m * 60.0 + s;
}

inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ConversionRig {
    TempDir mediaDir;
    std::unique_ptr<IPlatform> real = CreatePosixPlatform();
    FakePlatform platform{real.get()};
    QueueDispatcher dispatcher;
    RealTimePump pump{dispatcher};
    TCoreRig core{platform, pump};
    TempDir& programDir = core.Dir;
    ScriptedDialogs& dialogs = core.Dialogs;
    TCommonLib& lib = core.Lib;
    TSysFunc& sysFunc = core.SysFunc;
    TFrmMainForm mainForm;
    TCustomProc proc{lib, core.FileFunc, sysFunc, mainForm};
    TfrmOption optionForm;
    TfrmConverting form{proc, dispatcher};
    int exits = 0;

    ConversionRig() {
        // Only our own children are seen or stopped, whoever else runs an encoder.
        platform.UseRealProcesses = true;
        platform.ExeFolder = programDir.Folder();
        std::filesystem::create_symlink(std::filesystem::path(VELMORA_BIN_DIR) / "evc",
                                        programDir.Path() / "evc");
        proc.ConvertingForm = &form;
        proc.AttachOptionForm(optionForm);
        proc.ExitProcess = [this] { ++exits; };
        proc.FillOptionLists();
    }

    void SelectType(int type) {
        mainForm.cbbOutputFiletype.SetItemIndex(type);
        proc.ApplyProfile();
    }

    std::string Media(const std::string& name) const { return mediaDir.Folder() + name; }

    // `duration` is the row's Duration text, the end's by default.
    void AddRow(const std::string& path, const std::string& start, const std::string& end,
                const std::string& check = "True", std::string duration = std::string()) {
        TSourceFileRow row;
        row[sfCheck] = check;
        row[sfFileName] = path;
        row[sfSize] = "1.00 KB";
        row[sfDuration] = duration.empty() ? end : duration;
        row[sfStartTime] = start;
        row[sfEndTime] = end;
        row[sfCutTime] = end;
        mainForm.dxTreeSourceFileInfo.Rows.push_back(row);
    }

    void Convert() { proc.ConvertFiles(mainForm.dxTreeSourceFileInfo); }

    std::vector<std::string> LogMessages() const { return core.LogMessages(); }
    int LogCount(const std::string& prefix) const {
        int n = 0;
        for (const std::string& m : LogMessages())
            n += m.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
    bool OwnEncoderLeft() { return sysFunc.FindProcessByName(lib.EncoderName) != 0; }
};
