// A recording IPlatform for tests: nothing reaches the desktop or powers the
// machine off. The process list is scripted, or, with UseRealProcesses, the
// real list narrowed to the processes this fake started or was told about, so
// a test can never see or stop anybody else's processes. File-system calls go
// to the real platform when one is given.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/platform/Platform.h"

class FakePlatform : public IPlatform {
public:
    // `real` (optional, not owned) serves file-system calls, library loading,
    // spawning and, with UseRealProcesses, the process list.
    explicit FakePlatform(IPlatform* real = nullptr) : real_(real) {}

    // ---- Script and records. Lock Mutex when touching them while other
    // threads use the fake; single-threaded tests can read them directly. ----
    std::recursive_mutex Mutex;

    std::string ExeFolder = "/tmp/velmora-fake/";
    bool NT = true;

    // Scripted process list (used unless UseRealProcesses).
    std::vector<ProcessEntry> Processes;
    // Ids TerminateProcess fails on; they stay in the list.
    std::set<std::uint32_t> Unkillable;
    // Every TerminateProcess call, in order.
    std::vector<std::uint32_t> Terminated;
    int ListCalls = 0;

    // Real processes: only ids in OwnIds are listed or may be terminated.
    // Children started through Spawn are added automatically.
    bool UseRealProcesses = false;
    std::set<std::uint32_t> OwnIds;

    int PowerOffCalls = 0;
    bool PowerOffResult = true;
    std::vector<std::string> InhibitReasons;
    bool InhibitResult = true;
    std::vector<std::string> OpenedFolders;
    std::vector<std::string> OpenedUrls;
    bool OpenResult = true;
    std::vector<std::vector<std::string>> Detached;
    bool DetachedResult = true;
    std::vector<std::vector<std::string>> Spawned;
    // When set, Spawn calls it instead of the real platform.
    std::function<std::unique_ptr<IChildProcess>(const std::vector<std::string>&,
                                                 const std::string&, std::string*)>
        OnSpawn;
    int TrimCalls = 0;
    std::vector<std::pair<std::string, bool>> Privileges;
    bool PrivilegeResult = true;
    std::vector<int> Sleeps;
    std::vector<std::string> LoadedLibraries;

    std::string ExecutableFolder() override { return ExeFolder; }
    std::string RunningExecutable() override {
        return real_ ? real_->RunningExecutable() : std::string();
    }
    bool IsNTPlatform() override { return NT; }

    std::unique_ptr<IChildProcess> Spawn(const std::vector<std::string>& argv,
                                         const std::string& workDir, std::string* error) override {
        std::function<std::unique_ptr<IChildProcess>(const std::vector<std::string>&,
                                                     const std::string&, std::string*)>
            hook;
        {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            Spawned.push_back(argv);
            hook = OnSpawn;
        }
        std::unique_ptr<IChildProcess> child;
        if (hook)
            child = hook(argv, workDir, error);
        else if (real_ != nullptr)
            child = real_->Spawn(argv, workDir, error);
        else if (error != nullptr)
            *error = "no platform to spawn with";
        if (child) {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            OwnIds.insert(child->Id());
        }
        return child;
    }
    bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir) override {
        (void)workDir;
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        Detached.push_back(argv);
        return DetachedResult;
    }

    std::vector<ProcessEntry> ListProcesses() override {
        std::set<std::uint32_t> own;
        {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            ++ListCalls;
            if (!UseRealProcesses || real_ == nullptr)
                return Processes;
            own = OwnIds;
        }
        // The real calls run unlocked so other threads using the fake never
        // wait for a slow list or a terminate's grace period.
        std::vector<ProcessEntry> list;
        for (ProcessEntry& p : real_->ListProcesses())
            if (own.count(p.Id) != 0)
                list.push_back(std::move(p));
        return list;
    }
    bool TerminateProcess(std::uint32_t id) override {
        {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            Terminated.push_back(id);
            if (!UseRealProcesses || real_ == nullptr) {
                if (Unkillable.count(id) != 0)
                    return false;
                for (auto it = Processes.begin(); it != Processes.end(); ++it)
                    if (it->Id == id) {
                        Processes.erase(it);
                        return true;
                    }
                return false;
            }
            if (OwnIds.count(id) == 0)
                return false;
        }
        return real_->TerminateProcess(id);
    }

    bool PowerOff() override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        ++PowerOffCalls;
        return PowerOffResult;
    }
    std::unique_ptr<ISleepInhibitor> InhibitSleep(const std::string& why) override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        InhibitReasons.push_back(why);
        if (!InhibitResult)
            return nullptr;
        return std::make_unique<Inhibitor>(*this);
    }
    // Inhibitors currently held.
    int HeldInhibitors = 0;

    bool OpenFolder(const std::string& folder) override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        OpenedFolders.push_back(folder);
        return OpenResult;
    }
    bool OpenUrl(const std::string& url) override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        OpenedUrls.push_back(url);
        return OpenResult;
    }

    void TrimWorkingSet() override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        ++TrimCalls;
    }

    bool CreateFolders(const std::string& path) override {
        return real_ != nullptr && real_->CreateFolders(path);
    }
    bool FolderExists(const std::string& path) override {
        return real_ != nullptr && real_->FolderExists(path);
    }
    bool FileExists(const std::string& path) override {
        return real_ != nullptr && real_->FileExists(path);
    }
    std::int64_t FileSize(const std::string& path) override {
        return real_ != nullptr ? real_->FileSize(path) : -1;
    }
    bool RemoveFolder(const std::string& path) override {
        return real_ != nullptr && real_->RemoveFolder(path);
    }

    std::unique_ptr<ILibrary> LoadLibrary(const std::string& path, std::string* error) override {
        {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            LoadedLibraries.push_back(path);
        }
        if (real_ != nullptr)
            return real_->LoadLibrary(path, error);
        if (error != nullptr)
            *error = "no platform to load libraries with";
        return nullptr;
    }

    // Records the wait; sleeps for real only when a real platform is given.
    void SleepMs(int ms) override {
        {
            std::lock_guard<std::recursive_mutex> lock(Mutex);
            Sleeps.push_back(ms);
        }
        if (real_ != nullptr)
            real_->SleepMs(ms);
    }

    bool SetPrivilege(const std::string& privilege, bool enable) override {
        std::lock_guard<std::recursive_mutex> lock(Mutex);
        Privileges.emplace_back(privilege, enable);
        return PrivilegeResult;
    }

private:
    class Inhibitor : public ISleepInhibitor {
    public:
        explicit Inhibitor(FakePlatform& owner) : owner_(owner) {
            // Constructed under the owner's lock.
            ++owner_.HeldInhibitors;
        }
        ~Inhibitor() override {
            std::lock_guard<std::recursive_mutex> lock(owner_.Mutex);
            --owner_.HeldInhibitors;
        }
        Inhibitor(const Inhibitor&) = delete;
        Inhibitor& operator=(const Inhibitor&) = delete;

    private:
        FakePlatform& owner_;
    };

    IPlatform* real_;
};
