// The Windows side of the test helpers: programs started with CreateProcessW, and the build
// machine's ffmpeg reached through wine.
#include "EvcTestSupport.h"

#include "encoder/System.h"
#include "support/CommandLineSplit.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace evctest {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE && h != nullptr) {
            ::CloseHandle(h);
        }
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return Handle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// wine's own calls between Windows and host paths; absent on a real Windows.
using ToUnix = char*(CDECL*)(const wchar_t*);
using ToDos = wchar_t*(CDECL*)(const char*);

template <typename F> F WineCall(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

std::string UnixPath(ToUnix toUnix, const std::string& path) {
    char* unix = toUnix(evc::PathFromUtf8(path).c_str());
    std::string result = unix != nullptr ? unix : "";
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

bool IsWindowsPath(const std::string& arg) {
    return arg.size() > 2 && arg[1] == ':' && (arg[2] == '\\' || arg[2] == '/');
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              int killAfterSeconds) {
    TempDir io;
    Handle in = InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
    Handle out =
        InheritableFile(evc::PathFromUtf8(io.File("stdout")), GENERIC_WRITE, CREATE_ALWAYS);
    Handle err =
        InheritableFile(evc::PathFromUtf8(io.File("stderr")), GENERIC_WRITE, CREATE_ALWAYS);
    std::string line = QuoteArgumentIfNeeded(program);
    for (const std::string& a : args) {
        line += ' ';
        line += QuoteArgumentIfNeeded(a);
    }
    std::wstring wideLine = evc::PathFromUtf8(line).wstring();
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi{};
    RunResult result;
    // Under a loaded wine a start now and then fails with ERROR_INTERNAL_ERROR, and the
    // next one works; a test that starts evc 504 times must not fail on that.
    for (int attempt = 1;; ++attempt) {
        if (::CreateProcessW(nullptr, wideLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &si, &pi))
            break;
        const DWORD error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
            result.err = "spawn failed: " + std::to_string(error);
            return result;
        }
        ::Sleep(200);
    }
    Handle process(pi.hProcess);
    Handle thread(pi.hThread);
    out.reset();
    err.reset();
    const DWORD wait =
        killAfterSeconds > 0 ? static_cast<DWORD>(killAfterSeconds) * 1000 : INFINITE;
    if (::WaitForSingleObject(process.get(), wait) == WAIT_TIMEOUT) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
        result.exitCode = -2;
    } else {
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        result.exitCode = static_cast<int>(code);
    }
    result.out = ReadAll(evc::PathFromUtf8(io.File("stdout")));
    result.err = ReadAll(evc::PathFromUtf8(io.File("stderr")));
    return result;
}

std::string EvcPath() {
    // Beside the tests' folder, as in the build tree: tests/ and bin/.
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return evc::Utf8FromPath(fs::path(self).parent_path().parent_path() / "bin" / "evc.exe");
}

// wine starts a host program detached and reports no exit code of it, so a script of the host's
// shell runs it and leaves the code in a file, written last.
RunResult RunBuildTool(const std::string& program, const std::vector<std::string>& args) {
    RunResult result;
    const auto toUnix = WineCall<ToUnix>("wine_get_unix_file_name");
    const auto toDos = WineCall<ToDos>("wine_get_dos_file_name");
    if (toUnix == nullptr || toDos == nullptr) {
        result.err = "the build machine's " + program + " is only reachable under wine";
        return result;
    }
    TempDir io;
    const std::string status = UnixPath(toUnix, io.File("status"));
    std::string command = ShellQuoted(program);
    for (const std::string& a : args) {
        command += ' ' + ShellQuoted(IsWindowsPath(a) ? UnixPath(toUnix, a) : a);
    }
    std::ofstream(evc::PathFromUtf8(io.File("run.sh")), std::ios::binary)
        << "PATH=/usr/local/bin:/usr/bin:/bin; export PATH\n"
        << command << " </dev/null >" << ShellQuoted(status + ".out") << " 2>"
        << ShellQuoted(status + ".err") << "\n"
        << "echo $? >" << ShellQuoted(status + ".tmp") << " && mv " << ShellQuoted(status + ".tmp")
        << ' ' << ShellQuoted(status) << "\n";
    std::unique_ptr<wchar_t, void (*)(wchar_t*)> shell(
        toDos("/bin/sh"), [](wchar_t* p) { ::HeapFree(::GetProcessHeap(), 0, p); });
    std::wstring line = L"\"" + std::wstring(shell ? shell.get() : L"") + L"\" " +
                        evc::PathFromUtf8(UnixPath(toUnix, io.File("run.sh"))).wstring();
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!shell || !::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &si, &pi)) {
        result.err = "cannot start the host shell: " + std::to_string(::GetLastError());
        return result;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    std::error_code ec;
    while (!fs::exists(evc::PathFromUtf8(io.File("status")), ec)) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.err = program + " did not finish in 10 minutes";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.exitCode = std::stoi("0" + ReadAll(evc::PathFromUtf8(io.File("status"))));
    result.out = ReadAll(evc::PathFromUtf8(io.File("status.out")));
    result.err = ReadAll(evc::PathFromUtf8(io.File("status.err")));
    return result;
}

} // namespace evctest
