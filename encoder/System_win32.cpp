#include "encoder/System.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <memory>

namespace evc {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const noexcept {
        if (h != INVALID_HANDLE_VALUE && h != nullptr) {
            ::CloseHandle(h);
        }
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", n);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L'.' || message.back() == L' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : Utf8FromPath(message);
}

void (*g_stopHandler)(int) = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_stopHandler(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        g_stopHandler(SIGTERM);
        // The process ends when this returns; the main thread removes the temporary file and
        // exits meanwhile.
        ::Sleep(4000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    std::unique_ptr<wchar_t*, decltype(&::LocalFree)> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
    for (int i = 1; wide && i < count; ++i) {
        args.push_back(Utf8FromPath(std::filesystem::path(wide.get()[i])));
    }
    return args;
}

void UseBinaryStandardStreams() noexcept {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void InstallStopHandlers(void (*handler)(int)) {
    g_stopHandler = handler;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    // The program's stop has no signal to send on Windows; the platform's TerminateProcess
    // (support/platform/Win32Platform.cpp, same name) sets this event before it forces the end,
    // so the run can remove its temporary file as SIGTERM lets it elsewhere. The event and its
    // wait last as long as the process.
    const std::wstring name = L"Local\\velmora-stop-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    HANDLE wait = nullptr;
    if (stop != nullptr) {
        ::RegisterWaitForSingleObject(
            &wait, stop, [](void*, BOOLEAN) { g_stopHandler(SIGTERM); }, nullptr, INFINITE,
            WT_EXECUTEONLYONCE);
    }
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

int CreateNewFile(const std::string& path, std::string& reason) {
    Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE) {
        return 0;
    }
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
        return EEXIST;
    }
    reason = ErrorText(code);
    return code == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
}

std::string SyncFile(const std::string& path) {
    // FlushFileBuffers needs a handle that may write.
    Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return ErrorText(::GetLastError());
    }
    if (!::FlushFileBuffers(file.get())) {
        return ErrorText(::GetLastError());
    }
    return {};
}

std::string MoveIntoPlace(const std::string& from, const std::string& to) {
    if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    return ErrorText(::GetLastError());
}

void SyncFolder(const std::string&) noexcept {
    // MOVEFILE_WRITE_THROUGH has already made the new name durable.
}

bool SameFile(const std::string& a, const std::string& b) noexcept {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        try {
            Handle file(::CreateFileW(Wide(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            return file.get() != INVALID_HANDLE_VALUE &&
                   ::GetFileInformationByHandle(file.get(), &info);
        } catch (...) {
            return false;
        }
    };
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return identity(a, ia) && identity(b, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::size_t NameMaxOf(const std::string& folder) noexcept {
    try {
        std::wstring path = std::filesystem::absolute(PathFromUtf8(folder)).root_path().wstring();
        DWORD maxComponent = 0;
        if (::GetVolumeInformationW(path.c_str(), nullptr, 0, nullptr, &maxComponent, nullptr,
                                    nullptr, 0) &&
            maxComponent > 0) {
            return maxComponent;
        }
    } catch (...) {
    }
    return 255;
}

} // namespace evc
