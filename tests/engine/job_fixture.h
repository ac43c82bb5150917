// The objects a conversion job needs, wired as start-up wires them, with the
// toolkit seams and the platform faked.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/OptionForm.h"
#include "engine/ConvertingForm.h"
#include "engine/CustomProc.h"
#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "media/SourceFileGrid.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"

// A scripted encoder process: it is listed as "evc" from its start, hands
// out its chunks one per read, then ends with `Code`, or earlier when it is
// terminated. Runs on the runner's thread; the list lives in the fake platform.
class ScriptedChild : public IChildProcess {
public:
    ScriptedChild(FakePlatform& platform, std::uint32_t id, std::vector<std::string> chunks,
                  int code, bool endless)
        : platform_(platform), id_(id), chunks_(std::move(chunks)), code_(code), endless_(endless) {
        std::lock_guard<std::recursive_mutex> lock(platform_.Mutex);
        platform_.Processes.push_back({id_, EncoderExeName});
    }
    ~ScriptedChild() override { Remove(); }

    std::uint32_t Id() const override { return id_; }
    std::size_t BytesAvailable() override {
        return next_ < chunks_.size() ? chunks_[next_].size() : 0;
    }
    long Read(char* buffer, std::size_t size) override {
        if (next_ >= chunks_.size())
            return 0;
        const std::string& c = chunks_[next_++];
        const std::size_t n = std::min(size, c.size());
        std::copy(c.begin(), c.begin() + static_cast<long>(n), buffer);
        return static_cast<long>(n);
    }
    bool WaitReadable(int timeoutMs) override {
        if (next_ < chunks_.size())
            return true;
        // A real wait, so a silent child does not make the runner spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 5)));
        return false;
    }
    bool IsRunning() override {
        if (exit_.How != ChildExit::Running)
            return false;
        if (!Listed()) {
            exit_ = {ChildExit::Signaled, 15};
            return false;
        }
        if (next_ >= chunks_.size() && !endless_) {
            Remove();
            exit_ = {ChildExit::Exited, code_};
            return false;
        }
        return true;
    }
    ChildExit Exit() const override { return exit_; }
    void CloseInput() override {}

private:
    bool Listed() {
        std::lock_guard<std::recursive_mutex> lock(platform_.Mutex);
        for (const ProcessEntry& p : platform_.Processes)
            if (p.Id == id_)
                return true;
        return false;
    }
    void Remove() {
        std::lock_guard<std::recursive_mutex> lock(platform_.Mutex);
        for (auto it = platform_.Processes.begin(); it != platform_.Processes.end(); ++it)
            if (it->Id == id_) {
                platform_.Processes.erase(it);
                return;
            }
    }

    FakePlatform& platform_;
    std::uint32_t id_;
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
    int code_;
    bool endless_;
    ChildExit exit_;
};

struct JobFixture {
    std::unique_ptr<IPlatform> real = CreatePosixPlatform();
    FakePlatform platform{real.get()};
    FakeEventPump pump;
    QueueDispatcher dispatcher;
    TCoreRig core{platform, pump};
    TempDir& dir = core.Dir;
    ScriptedDialogs& dialogs = core.Dialogs;
    TCommonLib& lib = core.Lib;
    TFileFunc& fileFunc = core.FileFunc;
    TSysFunc& sysFunc = core.SysFunc;
    TFrmMainForm mainForm;
    TCustomProc proc{lib, fileFunc, sysFunc, mainForm};
    TfrmOption optionForm;
    TfrmConverting form{proc, dispatcher};
    RecordingJobDesktop desktop;
    int exits = 0;

    JobFixture() {
        lib.KillTimeoutMs = 200;
        platform.ExeFolder = dir.Folder();
        proc.ConvertingForm = &form;
        proc.AttachOptionForm(optionForm);
        proc.ExitProcess = [this] { ++exits; };
        proc.Desktop = &desktop;
        pump.Drain = [this] { dispatcher.RunAll(); };
    }

    std::string LogText() const { return core.LogText(); }
    std::vector<std::string> LogMessages() const { return core.LogMessages(); }
};

inline TSourceFileRow MakeRow(const std::string& check, const std::string& path,
                              const std::string& start = "00:00:00",
                              const std::string& end = "00:00:10") {
    TSourceFileRow row;
    row[sfCheck] = check;
    row[sfFileName] = path;
    row[sfSize] = "1.00 KB";
    row[sfDuration] = end;
    row[sfStartTime] = start;
    row[sfEndTime] = end;
    row[sfCutTime] = end;
    return row;
}
