// Runs one encoder command line as a child process on a thread of its own and
// hands every chunk of the child's console output to a callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "support/platform/Platform.h"

// Called on the runner's thread with each chunk of output.
using TOutputCallback = std::function<void(const std::string&)>;

class TAdvanceSystem {
public:
    // Output is read in pieces of this size into a buffer two bytes larger,
    // so a chunk always ends in a zero.
    static constexpr std::size_t ReadPieceSize = 1023;
    static constexpr std::size_t BufferSize = 1025;
    // Pause after each chunk handed over.
    static constexpr int ChunkPauseMs = 500;
    // Longest wait for output before the child's state is looked at again.
    static constexpr int IdleWaitMs = 50;

    // Created suspended: nothing runs before Resume. `workDir` is the folder
    // the child starts in.
    TAdvanceSystem(IPlatform& platform, std::string workDir, std::string cmdLine,
                   TOutputCallback onOutput);
    // Waits for the thread to finish (the child must have ended or end soon).
    ~TAdvanceSystem();
    TAdvanceSystem(const TAdvanceSystem&) = delete;
    TAdvanceSystem& operator=(const TAdvanceSystem&) = delete;

    std::string CmdLine;
    TOutputCallback OnOutput;

    // Starts the thread; later calls do nothing.
    void Resume();
    // Only raises the stop request; the poll does not end because of it.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // True once Execute has returned.
    bool Finished() const { return finished_; }

    // Ends the child of this runner, or keeps it from being started. Used
    // when a job is stopped before the encoder could be found by name.
    void KillChild();

    // Splits the command line, starts the child and polls its output until it
    // has ended. False when the child could not be started.
    bool RunCommand(const std::string& cmdLine, const TOutputCallback& onOutput);
    bool IsNTPlatform() { return platform_.IsNTPlatform(); }

    // How the child ended; Running while the thread has not finished.
    ChildExit ExitStatus() const;
    // Why the child could not be started, empty otherwise.
    std::string StartError() const;

protected:
    void Execute();

private:
    bool ChildRunning(IChildProcess& child);
    // Sleeps up to `ms`, ending early when the child ends or the runner is
    // being released. Returns with the child's running state.
    bool PauseWatchingChild(IChildProcess& child, int ms);

    IPlatform& platform_;
    std::string workDir_;
    std::thread thread_;
    std::atomic<bool> resumed_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> releasing_{false};
    std::atomic<bool> killRequested_{false};
    std::atomic<std::uint32_t> childId_{0};

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    ChildExit exit_;
    std::string startError_;
};
