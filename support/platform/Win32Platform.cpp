// The real platform for Windows. Texts are UTF-8 inside the program and UTF-16
// at every Windows call, so Chinese paths and arguments survive.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/CommandLineSplit.h"
#include "support/platform/Platform.h"
#include "support/platform/SystemIO.h"
#include "support/platform/Win32Text.h"

#include <shellapi.h>
#include <tlhelp32.h>

// windows.h renames these to their A/W forms; the interface keeps its own names.
#undef LoadLibrary

namespace {

namespace fs = std::filesystem;
using win32::Handle;
using win32::Narrow;
using win32::Widen;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "C:\x", "\x", "\\server\x": not taken from any working folder.
bool IsAbsolute(const std::string& p) {
    return (!p.empty() && IsSeparator(p[0])) || (p.size() >= 2 && p[1] == ':');
}

// The one command-line text a Windows child splits back into `argv`.
std::wstring CommandLineOf(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv) {
        if (!line.empty())
            line += ' ';
        line += QuoteArgumentIfNeeded(a);
    }
    return Widen(line);
}

// The program to start: a relative path with a folder in it is taken from the
// working folder, as on POSIX; a bare name is left to the system's search.
std::wstring ApplicationOf(const std::string& program, const std::string& workDir) {
    bool hasFolder = false;
    for (char c : program)
        hasFolder = hasFolder || IsSeparator(c);
    if (!hasFolder)
        return {};
    if (IsAbsolute(program) || workDir.empty())
        return Widen(program);
    std::string full = workDir;
    if (!IsSeparator(full.back()))
        full += '\\';
    return Widen(full + program);
}

// Makes only the listed handles inheritable by the one child being started,
// whatever other threads are starting at the same time.
class InheritList {
public:
    explicit InheritList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        initialised_ = true;
        if (!handles_.empty() &&
            ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                        handles_.size() * sizeof(HANDLE), nullptr, nullptr))
            list_ = list;
    }
    ~InheritList() {
        if (initialised_)
            ::DeleteProcThreadAttributeList(
                reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()));
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;
    // nullptr when the system could not narrow the inheritance.
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    bool initialised_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

bool ProcessGone(HANDLE process, int ms) {
    return ::WaitForSingleObject(process, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

class Win32Child : public IChildProcess {
public:
    Win32Child(PROCESS_INFORMATION pi, Handle out, Handle in)
        : process_(pi.hProcess), thread_(pi.hThread), id_(pi.dwProcessId), out_(std::move(out)),
          in_(std::move(in)) {}
    Win32Child(const Win32Child&) = delete;
    Win32Child& operator=(const Win32Child&) = delete;

    ~Win32Child() override {
        in_.Reset();
        out_.Reset();
        // A child outliving its object is stopped, never left running unseen.
        if (IsRunning()) {
            ::TerminateProcess(process_.Get(), 1);
            ProcessGone(process_.Get(), 1000);
        }
    }

    std::uint32_t Id() const override { return id_; }

    std::size_t BytesAvailable() override {
        DWORD waiting = 0;
        if (!out_ || !::PeekNamedPipe(out_.Get(), nullptr, 0, nullptr, &waiting, nullptr))
            return 0;
        return waiting;
    }

    long Read(char* buffer, std::size_t size) override {
        if (!out_)
            return -1;
        if (size == 0)
            return 0;
        DWORD waiting = 0;
        if (!::PeekNamedPipe(out_.Get(), nullptr, 0, nullptr, &waiting, nullptr))
            return -1; // broken pipe: every writer has gone
        if (waiting == 0)
            return 0;
        // Never more than is waiting, so ReadFile cannot block.
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(
            {size, static_cast<std::size_t>(waiting), static_cast<std::size_t>(1) << 30}));
        DWORD got = 0;
        if (!::ReadFile(out_.Get(), buffer, want, &got, nullptr))
            return -1;
        return static_cast<long>(got);
    }

    bool WaitReadable(int timeoutMs) override {
        if (!out_)
            return true;
        // Anonymous pipes cannot be waited on: look at short intervals.
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            DWORD waiting = 0;
            if (!::PeekNamedPipe(out_.Get(), nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0)
                return true;
            if (std::chrono::steady_clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    bool IsRunning() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (exit_.How != ChildExit::Running)
            return false;
        // The wait, not the exit code, tells whether it ended: a child may end
        // with the code that also means "still active".
        if (!ProcessGone(process_.Get(), 0))
            return true;
        DWORD code = 0;
        exit_ = {ChildExit::Exited,
                 ::GetExitCodeProcess(process_.Get(), &code) ? static_cast<int>(code) : -1};
        return false;
    }

    ChildExit Exit() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return exit_;
    }

    void CloseInput() override { in_.Reset(); }

private:
    Handle process_;
    Handle thread_;
    std::uint32_t id_;
    Handle out_;
    Handle in_;
    mutable std::mutex mutex_;
    ChildExit exit_;
};

class Win32Library : public ILibrary {
public:
    explicit Win32Library(HMODULE module) : module_(module) {}
    ~Win32Library() override { ::FreeLibrary(module_); }
    Win32Library(const Win32Library&) = delete;
    Win32Library& operator=(const Win32Library&) = delete;
    void* Symbol(const std::string& name) override {
        return reinterpret_cast<void*>(::GetProcAddress(module_, name.c_str()));
    }

private:
    HMODULE module_;
};

// The execution state belongs to the thread that set it, so it is held by a
// thread of its own: released from any thread, it never outlives its object.
class Win32Inhibitor : public ISleepInhibitor {
public:
    Win32Inhibitor() {
        std::promise<bool> taken;
        std::future<bool> result = taken.get_future();
        thread_ = std::thread([this, &taken] {
            const bool ok = ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
            taken.set_value(ok);
            if (!ok)
                return;
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait(lock, [this] { return release_; });
            ::SetThreadExecutionState(ES_CONTINUOUS);
        });
        held_ = result.get();
    }
    ~Win32Inhibitor() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
        thread_.join();
    }
    Win32Inhibitor(const Win32Inhibitor&) = delete;
    Win32Inhibitor& operator=(const Win32Inhibitor&) = delete;
    bool Held() const { return held_; }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
    bool held_ = false;
    std::thread thread_;
};

class Win32Platform : public IPlatform {
public:
    std::string ExecutableFolder() override {
        const std::wstring path = ModulePath();
        const size_t slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? ".\\" : Narrow(path.substr(0, slash + 1));
    }

    // The module's own path is the file that runs, whatever it is called.
    std::string RunningExecutable() override { return Narrow(ModulePath()); }

    static std::wstring ModulePath() {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n =
                ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n == 0)
                return std::wstring();
            if (n < path.size()) {
                path.resize(n);
                return path;
            }
            path.resize(path.size() * 2);
        }
    }

    // Every Windows this program builds for is of the NT family.
    bool IsNTPlatform() override { return true; }

    std::unique_ptr<IChildProcess> Spawn(const std::vector<std::string>& argv,
                                         const std::string& workDir, std::string* error) override {
        auto fail = [&](const std::string& why) -> std::unique_ptr<IChildProcess> {
            if (error != nullptr)
                *error = why;
            return nullptr;
        };
        if (argv.empty() || argv[0].empty())
            return fail("no program to start");
        // Only the child's ends are inheritable; the default security of the
        // process is enough, nobody else needs to open these pipes.
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        Handle inRead, inWrite, outRead, outWrite;
        if (!::CreatePipe(inRead.Out(), inWrite.Out(), &sa, 0) ||
            !::CreatePipe(outRead.Out(), outWrite.Out(), &sa, 0))
            return fail("cannot create pipe: " + win32::ErrorText(::GetLastError()));
        ::SetHandleInformation(inWrite.Get(), HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);

        InheritList inherit({inRead.Get(), outWrite.Get()});
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof si;
        si.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.StartupInfo.wShowWindow = SW_HIDE;
        si.StartupInfo.hStdInput = inRead.Get();
        si.StartupInfo.hStdOutput = outWrite.Get();
        si.StartupInfo.hStdError = outWrite.Get();
        si.lpAttributeList = inherit.Get();

        std::wstring app = ApplicationOf(argv[0], workDir);
        std::wstring line = CommandLineOf(argv);
        std::wstring dir = Widen(workDir);
        DWORD flags = CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT;
        if (si.lpAttributeList != nullptr)
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(app.empty() ? nullptr : app.c_str(), line.data(), nullptr, nullptr,
                              TRUE, flags, nullptr, dir.empty() ? nullptr : dir.c_str(),
                              &si.StartupInfo, &pi))
            return fail("cannot start " + argv[0] + ": " + win32::ErrorText(::GetLastError()));
        inRead.Reset();
        outWrite.Reset();
        return std::make_unique<Win32Child>(pi, std::move(outRead), std::move(inWrite));
    }

    bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir) override {
        if (argv.empty() || argv[0].empty())
            return false;
        if (!workDir.empty() && !FolderExists(workDir))
            return false;
        std::wstring app = ApplicationOf(argv[0], workDir);
        std::wstring line = CommandLineOf(argv);
        std::wstring dir = Widen(workDir);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(app.empty() ? nullptr : app.c_str(), line.data(), nullptr, nullptr,
                              FALSE, CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr,
                              dir.empty() ? nullptr : dir.c_str(), &si, &pi))
            return false;
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        return true;
    }

    std::vector<ProcessEntry> ListProcesses() override {
        std::vector<ProcessEntry> list;
        Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot)
            return list;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
             more = ::Process32NextW(snapshot.Get(), &entry)) {
            // Id 0 is the idle process, not a program.
            if (entry.th32ProcessID == 0)
                continue;
            list.push_back({static_cast<std::uint32_t>(entry.th32ProcessID),
                            Narrow(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH))});
        }
        return list;
    }

    bool TerminateProcess(std::uint32_t id) override {
        if (id == 0 || id == ::GetCurrentProcessId())
            return false;
        Handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process)
            return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process: gone
        if (ProcessGone(process.Get(), 0))
            return true;
        // Windows has no SIGTERM: a process that waits on its stop event (evc does) is asked
        // first and given the same grace as on POSIX to remove its temporary file.
        const std::wstring name = L"Local\\velmora-stop-" + std::to_wstring(id);
        Handle stop(::OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
        if (stop && ::SetEvent(stop.Get()) && ProcessGone(process.Get(), TerminateGraceMs))
            return true;
        // A stopped process must never read as one that succeeded.
        if (!::TerminateProcess(process.Get(), 1))
            return ProcessGone(process.Get(), 0);
        return ProcessGone(process.Get(), TerminateForceWaitMs);
    }

    bool PowerOff() override {
        SetPrivilege("SeShutdownPrivilege", true);
        return ::ExitWindowsEx(EWX_POWEROFF, 0) != 0;
    }

    std::unique_ptr<ISleepInhibitor> InhibitSleep(const std::string& why) override {
        (void)why; // Windows keeps no reason with this state
        auto inhibitor = std::make_unique<Win32Inhibitor>();
        if (!inhibitor->Held())
            return nullptr;
        return inhibitor;
    }

    // Only a folder that exists: the shell would run a program given here.
    bool OpenFolder(const std::string& folder) override {
        if (!FolderExists(folder))
            return false;
        return ShellOpen(folder);
    }

    bool OpenUrl(const std::string& url) override { return ShellOpen(url); }

    void TrimWorkingSet() override {
        ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                                   static_cast<SIZE_T>(-1));
    }

    bool CreateFolders(const std::string& path) override {
        std::error_code ec;
        fs::create_directories(FilePath(path), ec);
        return fs::is_directory(FilePath(path), ec);
    }
    bool FolderExists(const std::string& path) override {
        std::error_code ec;
        return !path.empty() && fs::is_directory(FilePath(path), ec);
    }
    bool FileExists(const std::string& path) override {
        std::error_code ec;
        auto st = fs::status(FilePath(path), ec);
        return !path.empty() && !ec && fs::exists(st) && !fs::is_directory(st);
    }
    std::int64_t FileSize(const std::string& path) override {
        std::error_code ec;
        auto size = fs::file_size(FilePath(path), ec);
        return ec ? -1 : static_cast<std::int64_t>(size);
    }
    // Removes an empty folder only; true when it is gone afterwards.
    bool RemoveFolder(const std::string& path) override {
        const std::wstring wide = Widen(path);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return false;
        ::RemoveDirectoryW(wide.c_str());
        return ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<ILibrary> LoadLibrary(const std::string& path, std::string* error) override {
        const std::wstring wide = Widen(path);
        // A library given with its folder finds its own dependencies there.
        const DWORD flags = IsAbsolute(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
        HMODULE module = ::LoadLibraryExW(wide.c_str(), nullptr, flags);
        if (module == nullptr) {
            if (error != nullptr)
                *error = "cannot load " + path + ": " + win32::ErrorText(::GetLastError());
            return nullptr;
        }
        return std::make_unique<Win32Library>(module);
    }

    void SleepMs(int ms) override {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    bool SetPrivilege(const std::string& privilege, bool enable) override {
        Handle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                token.Out()))
            return false;
        TOKEN_PRIVILEGES tp{};
        tp.PrivilegeCount = 1;
        if (!::LookupPrivilegeValueW(nullptr, Widen(privilege).c_str(), &tp.Privileges[0].Luid))
            return false;
        tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        // Succeeds with ERROR_NOT_ALL_ASSIGNED when the account lacks it.
        if (!::AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr))
            return false;
        return ::GetLastError() == ERROR_SUCCESS;
    }

private:
    static bool ShellOpen(const std::string& target) {
        if (target.empty())
            return false;
        const std::wstring wide = Widen(target);
        HINSTANCE r =
            ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(r) > 32;
    }
};

} // namespace

std::unique_ptr<IPlatform> CreateWin32Platform() {
    return std::make_unique<Win32Platform>();
}

std::unique_ptr<IPlatform> CreateSystemPlatform() {
    return CreateWin32Platform();
}
