#include "engine/AdvanceSystem.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>
#include <vector>

#include "support/CommandLineSplit.h"

namespace {

// Step of the pause after a chunk: the child is reaped within this time, so
// an ended encoder never lingers in the process list.
constexpr int PauseStepMs = 20;

} // namespace

TAdvanceSystem::TAdvanceSystem(IPlatform& platform, std::string workDir, std::string cmdLine,
                               TOutputCallback onOutput)
    : CmdLine(std::move(cmdLine)), OnOutput(std::move(onOutput)), platform_(platform),
      workDir_(std::move(workDir)) {}

TAdvanceSystem::~TAdvanceSystem() {
    releasing_ = true;
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TAdvanceSystem::Resume() {
    if (resumed_.exchange(true))
        return;
    thread_ = std::thread([this] { Execute(); });
}

void TAdvanceSystem::Execute() {
    RunCommand(CmdLine, OnOutput);
    finished_ = true;
}

void TAdvanceSystem::KillChild() {
    killRequested_ = true;
    wake_.notify_all();
    // The runner thread keeps reaping while this waits, so the id stays ours
    // until the child is gone.
    const std::uint32_t id = childId_.load();
    if (id != 0)
        platform_.TerminateProcess(id);
}

ChildExit TAdvanceSystem::ExitStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return exit_;
}

std::string TAdvanceSystem::StartError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return startError_;
}

bool TAdvanceSystem::ChildRunning(IChildProcess& child) {
    if (child.IsRunning())
        return true;
    // Reaped: the id may be given to another process from now on.
    childId_ = 0;
    return false;
}

bool TAdvanceSystem::PauseWatchingChild(IChildProcess& child, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        lock.unlock();
        const bool running = ChildRunning(child);
        lock.lock();
        if (!running || releasing_)
            return running;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        wake_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                 until - now, std::chrono::milliseconds(PauseStepMs)));
    }
}

bool TAdvanceSystem::RunCommand(const std::string& cmdLine, const TOutputCallback& onOutput) {
    auto notStarted = [this](std::string why) {
        std::lock_guard<std::mutex> lock(mutex_);
        exit_.How = ChildExit::NotStarted;
        exit_.Code = 0;
        startError_ = std::move(why);
        return false;
    };

    const std::vector<std::string> argv = SplitCommandLine(cmdLine);
    if (argv.empty() || argv.front().empty())
        return notStarted("empty command line");
    if (killRequested_)
        return notStarted("stopped before start");

    // The child starts in the program folder, given without its trailing separator.
    std::string dir = workDir_;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();

    std::string error;
    std::unique_ptr<IChildProcess> child = platform_.Spawn(argv, dir, &error);
    if (!child)
        return notStarted(error.empty() ? "could not start " + argv.front() : error);
    childId_ = child->Id();
    // A stop that came while the child was being created.
    if (killRequested_)
        platform_.TerminateProcess(child->Id());

    std::array<char, BufferSize> buffer{};
    bool killSent = false;
    for (;;) {
        // The state is read before the output, so what the child wrote before
        // it ended still arrives.
        const bool running = ChildRunning(*child);
        const std::size_t waiting = child->BytesAvailable();
        if (waiting > 0) {
            buffer.fill(0);
            long got = 0;
            if (waiting <= ReadPieceSize) {
                got = child->Read(buffer.data(), ReadPieceSize);
            } else {
                // Only the newest piece is shown; older ones of this poll are dropped.
                std::size_t left = waiting;
                while (left > 0) {
                    buffer.fill(0);
                    const long n = child->Read(buffer.data(), std::min(left, ReadPieceSize));
                    if (n <= 0)
                        break;
                    got = n;
                    left -= std::min(left, static_cast<std::size_t>(n));
                }
            }
            if (got > 0) {
                // The text ends at the first zero byte.
                const char* begin = buffer.data();
                const char* end = begin + std::min(static_cast<std::size_t>(got), ReadPieceSize);
                if (onOutput)
                    onOutput(std::string(begin, std::find(begin, end, '\0')));
                if (running)
                    PauseWatchingChild(*child, ChunkPauseMs);
            } else if (running) {
                PauseWatchingChild(*child, PauseStepMs);
            }
        } else if (running) {
            // Nothing to read: wait for output instead of polling in a loop.
            if (child->WaitReadable(IdleWaitMs) && child->BytesAvailable() == 0)
                PauseWatchingChild(*child, PauseStepMs); // end of stream, child closing
        }
        if (!running)
            break;
        if (killRequested_ && !killSent && ChildRunning(*child)) {
            killSent = true;
            platform_.TerminateProcess(child->Id());
        }
    }

    std::lock_guard<std::mutex> lock(mutex_);
    exit_ = child->Exit();
    return true;
}
