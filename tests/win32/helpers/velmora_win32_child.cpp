// A child process for the Windows platform tests. Options, in order:
//   --print TEXT      write TEXT (UTF-8) to stdout
//   --print-err TEXT  write TEXT (UTF-8) to stderr
//   --args            write every argument after it, one a line, and stop
//   --pwd             write the working folder
//   --echo            copy stdin to stdout until it closes, then write "eof"
//   --sleep SECONDS   sleep (the default end is 30 s, so nothing lingers)
//   --exit CODE       exit with CODE
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, size_t size) {
    if (size == 0)
        return {};
    int n =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8(const std::wstring& text) {
    return Utf8(text.data(), text.size());
}

void Write(DWORD which, const std::string& s) {
    HANDLE h = GetStdHandle(which);
    const char* p = s.data();
    DWORD left = static_cast<DWORD>(s.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(h, p, left, &written, nullptr) || written == 0)
            return;
        p += written;
        left -= written;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int code = 0;
    bool slept = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--print" && i + 1 < argc) {
            Write(STD_OUTPUT_HANDLE, Utf8(argv[++i]));
        } else if (a == L"--print-err" && i + 1 < argc) {
            Write(STD_ERROR_HANDLE, Utf8(argv[++i]));
        } else if (a == L"--args") {
            for (++i; i < argc; ++i)
                Write(STD_OUTPUT_HANDLE, Utf8(argv[i]) + "\n");
            return 0;
        } else if (a == L"--pwd") {
            wchar_t buf[4096];
            DWORD n = GetCurrentDirectoryW(4096, buf);
            Write(STD_OUTPUT_HANDLE, Utf8(buf, n) + "\n");
        } else if (a == L"--echo") {
            char buf[256];
            DWORD got = 0;
            while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &got, nullptr) &&
                   got > 0)
                Write(STD_OUTPUT_HANDLE, std::string(buf, got));
            Write(STD_OUTPUT_HANDLE, "eof\n");
        } else if (a == L"--sleep" && i + 1 < argc) {
            Sleep(static_cast<DWORD>(_wtof(argv[++i]) * 1000));
            slept = true;
        } else if (a == L"--exit" && i + 1 < argc) {
            code = _wtoi(argv[++i]);
            slept = true;
        }
    }
    if (!slept)
        Sleep(30000);
    return code;
}
