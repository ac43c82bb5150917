// Every operating-system service the program uses, behind one interface. The
// POSIX implementation lives in PosixPlatform.cpp, the Win32 one beside it in
// Win32Platform.cpp. Nothing else in the core includes system headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// How a child process ended.
struct ChildExit {
    enum Kind { Running, Exited, Signaled, NotStarted };
    Kind How = Running;
    int Code = 0; // exit code, or signal number when Signaled
};

// A started child with stdin on a pipe and stdout+stderr on one shared pipe.
class IChildProcess {
public:
    virtual ~IChildProcess() = default;
    virtual std::uint32_t Id() const = 0;
    // Bytes waiting on the output pipe (FIONREAD, PeekNamedPipe); 0 when none or on error.
    virtual std::size_t BytesAvailable() = 0;
    // Non-blocking read from the output pipe: bytes read, 0 when nothing is
    // waiting, -1 at end of stream or on error.
    virtual long Read(char* buffer, std::size_t size) = 0;
    // Waits until output is readable, the pipe closes, or timeoutMs passed.
    // Returns true when something (data or end of stream) is ready.
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Non-blocking status check (waitpid WNOHANG, a zero wait); records the exit.
    virtual bool IsRunning() = 0;
    virtual ChildExit Exit() const = 0;
    virtual void CloseInput() = 0;
};

struct ProcessEntry {
    std::uint32_t Id = 0;
    std::string ExeText; // executable name as the process list reports it
};

class ILibrary {
public:
    virtual ~ILibrary() = default;
    // Address of an exported symbol, nullptr when missing.
    virtual void* Symbol(const std::string& name) = 0;
};

// Held while a job runs; releasing it lets the system sleep again.
class ISleepInhibitor {
public:
    virtual ~ISleepInhibitor() = default;
};

// How long TerminateProcess lets a process end itself before forcing it, and how long it
// then waits for the forced end.
inline constexpr int TerminateGraceMs = 300;
inline constexpr int TerminateForceWaitMs = 500;

class IPlatform {
public:
    virtual ~IPlatform() = default;

    // Folder of the running executable, with a trailing separator.
    virtual std::string ExecutableFolder() = 0;
    // A path that opens the running program's own file, whatever its name or
    // however it was started (renamed, through a link).
    virtual std::string RunningExecutable() = 0;
    virtual bool IsNTPlatform() = 0;

    // Starts argv[0] with argv; working folder `workDir`. nullptr and `error`
    // set when it could not start.
    virtual std::unique_ptr<IChildProcess>
    Spawn(const std::vector<std::string>& argv, const std::string& workDir, std::string* error) = 0;
    // Starts a program detached (no pipes, not waited for); false when it
    // could not start.
    virtual bool StartDetached(const std::vector<std::string>& argv,
                               const std::string& workDir) = 0;

    // Snapshot of the running processes, in the system's order.
    virtual std::vector<ProcessEntry> ListProcesses() = 0;
    // Asks the process to end (POSIX: SIGTERM; Windows, which has no signals: the event
    // "Local\velmora-stop-<pid>" that evc waits on), then after TerminateGraceMs ends it by
    // force (SIGKILL, or TerminateProcess with exit code 1). True when the process is gone.
    virtual bool TerminateProcess(std::uint32_t id) = 0;

    // Asks the system to power the machine off; true when the request was accepted.
    virtual bool PowerOff() = 0;
    // Holds off system sleep until the returned object is released; nullptr
    // when no inhibitor could be taken.
    virtual std::unique_ptr<ISleepInhibitor> InhibitSleep(const std::string& why) = 0;

    // Opens a folder in the desktop's file manager (argument vector, no shell).
    virtual bool OpenFolder(const std::string& folder) = 0;
    // Opens a URL (http, mailto, file) with the desktop's handler.
    virtual bool OpenUrl(const std::string& url) = 0;

    virtual void TrimWorkingSet() = 0;

    // Creates a folder and its parents; true when it exists afterwards.
    virtual bool CreateFolders(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // Size in bytes, -1 when it cannot be read.
    virtual std::int64_t FileSize(const std::string& path) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;

    // dlopen or LoadLibraryW; nullptr and `error` set on failure.
    virtual std::unique_ptr<ILibrary> LoadLibrary(const std::string& path, std::string* error) = 0;

    virtual void SleepMs(int ms) = 0;

    // Enables or drops a named system privilege for this process. Systems
    // without such privileges (POSIX: rights come with the user) report success.
    virtual bool SetPrivilege(const std::string& privilege, bool enable) {
        (void)privilege;
        (void)enable;
        return true;
    }
};

// The real implementation for the system the program was built for.
std::unique_ptr<IPlatform> CreateSystemPlatform();
// The implementations themselves; each exists only in its own system's build.
std::unique_ptr<IPlatform> CreatePosixPlatform();
std::unique_ptr<IPlatform> CreateWin32Platform();
