#include "support/platform/SystemIO.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/platform/Win32Text.h"

// After windows.h, which they need.
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

namespace {

using win32::ErrnoText;
using win32::ErrorText;
using win32::Handle;
using win32::Widen;

// How long a replace waits for readers to close the file: a bound in time, not
// in tries, so a loaded machine gets the same grace as an idle one.
constexpr ULONGLONG ReplaceWaitMs = 2000;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t pos = path.find_last_of(L"\\/");
    if (pos == std::wstring::npos)
        return L".";
    // "C:\name" and "\name" keep their root.
    if (pos == 0 || (pos == 2 && path[1] == L':'))
        return path.substr(0, pos + 1);
    return path.substr(0, pos);
}

std::wstring NameOf(const std::wstring& path) {
    const size_t pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

bool WriteAll(HANDLE file, const char* p, size_t n) {
    while (n > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, p, chunk, &written, nullptr) || written == 0)
            return false;
        p += written;
        n -= written;
    }
    return true;
}

// What a symbolic link or junction finally points at; the path itself otherwise.
std::wstring FinalPath(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    Handle file(::CreateFileW(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n =
        ::GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()),
                                        0);
    }
    if (n == 0 || n >= final.size())
        return path;
    final.resize(n);
    return final;
}

} // namespace

ReadFileResult ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
    data.clear();
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = ErrnoText(EISDIR);
        return ReadFileResult::Failed;
    }
    // Others may go on reading, writing or replacing the file meanwhile.
    Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            return ReadFileResult::Missing;
        error = ErrorText(e);
        return ReadFileResult::Failed;
    }
    // A pipe, console or device could block the caller.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        error = ErrnoText(EINVAL);
        return ReadFileResult::Failed;
    }
    std::vector<char> buf(65536);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) {
            error = ErrorText(::GetLastError());
            data.clear();
            return ReadFileResult::Failed;
        }
        if (got == 0)
            break;
        data.append(buf.data(), got);
    }
    return ReadFileResult::Ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error) {
    const std::wstring target = FinalPath(Widen(path));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = ErrnoText(EISDIR);
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            error = ErrnoText(EACCES);
            return false;
        }
    }

    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const std::wstring folder = FolderOf(target);
    std::wstring tmp;
    Handle file;
    DWORD lastError = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        tmp = folder + (IsSeparator(folder.back()) ? L"" : L"\\") + L"." + NameOf(target) +
              L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(counter.fetch_add(1)) + L"-" + std::to_wstring(rd() % 100000);
        file = Handle(::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        lastError = file ? ERROR_SUCCESS : ::GetLastError();
        if (!file && lastError != ERROR_FILE_EXISTS && lastError != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!file) {
        error = ErrorText(lastError);
        return false;
    }

    auto fail = [&](DWORD e) {
        file.Reset();
        ::DeleteFileW(tmp.c_str());
        error = ErrorText(e);
        return false;
    };
    if (!WriteAll(file.Get(), data.data(), data.size()))
        return fail(::GetLastError());
    if (!::FlushFileBuffers(file.Get()))
        return fail(::GetLastError());
    if (!file.Close())
        return fail(::GetLastError());
    // Hidden or system files stay so.
    if (exists)
        ::SetFileAttributesW(
            tmp.c_str(),
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    // A reader that has the file open blocks the replace until it closes it;
    // readers here hold it only for one read, so wait a moment for that.
    const ULONGLONG giveUp = ::GetTickCount64() + ReplaceWaitMs;
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(tmp.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD e = ::GetLastError();
        if ((e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) ||
            ::GetTickCount64() >= giveUp)
            return fail(e);
        ::Sleep(attempt < 10 ? 0 : 1);
    }
}

bool AppendToFile(const std::string& path, const std::string& data) noexcept {
    try {
        // Append-only access: every write lands at the end, whoever else writes.
        Handle file(::CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, ShareAll,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || ::GetFileType(file.Get()) != FILE_TYPE_DISK)
            return false;
        // Writers, in this process or another, take turns on one byte far past
        // any end: not every file system (nor wine) appends atomically.
        OVERLAPPED turn{};
        turn.Offset = 0xFFFFFFFE;
        turn.OffsetHigh = 0x7FFFFFFF;
        const bool locked = ::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != 0;
        const bool written = WriteAll(file.Get(), data.data(), data.size());
        if (locked)
            ::UnlockFileEx(file.Get(), 0, 1, 0, &turn);
        return file.Close() && written;
    } catch (...) {
        return false;
    }
}

bool EnsureFolder(const std::string& path, std::string& error) {
    std::wstring p = Widen(path);
    while (p.size() > 1 && IsSeparator(p.back()) && !(p.size() == 3 && p[1] == L':'))
        p.pop_back();
    if (::CreateDirectoryW(p.c_str(), nullptr))
        return true;
    const DWORD e = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return true;
        error = ErrnoText(ENOTDIR);
        return false;
    }
    error = ErrorText(e);
    return false;
}

void LocalDateTimeText(std::string& date, std::string& time) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char d[32];
    char t[32];
    std::snprintf(d, sizeof d, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    std::snprintf(t, sizeof t, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    date = d;
    time = t;
}

bool FolderTakesNewFiles(const std::string& folder) noexcept {
    try {
        std::wstring dir = Widen(folder);
        if (dir.empty() || !IsSeparator(dir.back()))
            dir += L'\\';
        std::random_device seed;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::wstring probe = dir + L".velmora-probe-" + std::to_wstring(seed());
            // Removed by the system when the handle closes.
            HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                ::CloseHandle(h);
                return true;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS)
                return false;
        }
        return false;
    } catch (...) {
        return false;
    }
}

std::string EnvironmentText(const char* name) {
    const std::wstring wide = Widen(name);
    const DWORD size = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), value.data(), size);
    value.resize(n < size ? n : 0);
    return win32::Narrow(value);
}

std::string HomeFolder() {
    const std::string profile = EnvironmentText("USERPROFILE");
    return profile.empty() ? EnvironmentText("HOME") : profile;
}

namespace {

std::wstring LongPath(const std::wstring& path) {
    const DWORD size = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0)
        return path;
    std::wstring buffer(size, L'\0');
    const DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), size);
    if (n == 0 || n >= size)
        return path;
    buffer.resize(n);
    return buffer;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    // The system allocates the text even when it fails.
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
    const std::unique_ptr<wchar_t, decltype(&::CoTaskMemFree)> owned(path, &::CoTaskMemFree);
    if (FAILED(result) || !path)
        return {};
    return win32::Narrow(LongPath(path));
}

} // namespace

TKnownFolders KnownFolders() {
    TKnownFolders known;
    for (REFKNOWNFOLDERID id :
         {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_UserProgramFiles}) {
        std::string folder = KnownFolder(id);
        if (!folder.empty())
            known.ProgramFiles.push_back(std::move(folder));
    }
    known.AppData = KnownFolder(FOLDERID_RoamingAppData);
    known.LocalAppData = KnownFolder(FOLDERID_LocalAppData);
    return known;
}

std::string LongPathText(const std::string& path) {
    return win32::Narrow(LongPath(Widen(path)));
}

bool EnsureFolderTree(const std::string& path) noexcept {
    try {
        const std::filesystem::path folder = FilePath(path);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        return std::filesystem::is_directory(folder, ec);
    } catch (...) {
        return false;
    }
}

std::filesystem::path FilePath(const std::string& name) {
    return std::filesystem::path(Widen(name));
}

std::string PathText(const std::filesystem::path& path) {
    return win32::Narrow(path.native());
}

std::string PrivateRuntimeFolder(std::string& error) {
    error.clear();
    return {};
}

namespace {
// Text the system allocated with LocalAlloc.
struct LocalText {
    void operator()(wchar_t* text) const { ::LocalFree(text); }
};
} // namespace

std::string SessionIdentity() {
    // The user's SID: a name can be given again to another account.
    std::string user;
    win32::Handle token;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Out())) {
        DWORD size = 0;
        ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        wchar_t* text = nullptr;
        if (size > 0 && ::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) &&
            ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                     &text)) {
            const std::unique_ptr<wchar_t, LocalText> sid(text);
            user = win32::Narrow(sid.get(), ::wcslen(sid.get()));
        }
    }
    if (user.empty()) {
        wchar_t name[257] = {};
        DWORD size = 257;
        user = ::GetUserNameW(name, &size) && size > 0 ? win32::Narrow(name, size - 1) : "user";
    }
    DWORD session = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session))
        session = 0;
    return user + "-" + std::to_string(session);
}
