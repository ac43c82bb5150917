// A small child process for the runner tests: prints what a mode asks for,
// in single writes, so a test knows exactly what reaches the pipe.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            std::_Exit(90);
        done += static_cast<std::size_t>(n);
    }
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Byte i of a pattern run: printable and different along the run, so a test
// can tell which part of the output it was given.
std::string Pattern(std::size_t count) {
    std::string s(count, ' ');
    for (std::size_t i = 0; i < count; ++i)
        s[i] = static_cast<char>('A' + (i * 7 + i / 26) % 26);
    return s;
}

} // namespace

// Modes:
//   bytes N MS     N pattern bytes in one write, then sleep MS, exit 0
//   sayexit TEXT   TEXT, exit at once
//   zero           "abc\0def", then sleep 300 ms
//   silent MS      nothing, sleep MS
//   code N         "bye", exit with N
//   signal         "bye", then SIGTERM to itself
//   pieces MS TAIL T..  each text in its own write, MS apart, then sleep TAIL
//   cwd            the working folder
//   stdin          "fifo" when standard input is a pipe
//   stderr TEXT    TEXT on standard error
//   args ...       the arguments joined by '|'
int main(int argc, char** argv) {
    if (argc < 2)
        return 64;
    const std::string mode = argv[1];
    if (mode == "bytes" && argc == 4) {
        WriteAll(1, Pattern(std::strtoul(argv[2], nullptr, 10)));
        Sleep(std::atoi(argv[3]));
        return 0;
    }
    if (mode == "sayexit" && argc == 3) {
        WriteAll(1, argv[2]);
        return 0;
    }
    if (mode == "zero") {
        WriteAll(1, std::string("abc\0def", 7));
        Sleep(300);
        return 0;
    }
    if (mode == "silent" && argc == 3) {
        Sleep(std::atoi(argv[2]));
        return 0;
    }
    if (mode == "code" && argc == 3) {
        WriteAll(1, "bye");
        return std::atoi(argv[2]);
    }
    if (mode == "signal") {
        WriteAll(1, "bye");
        std::signal(SIGTERM, SIG_DFL);
        ::raise(SIGTERM);
        Sleep(5000);
        return 0;
    }
    if (mode == "pieces" && argc >= 5) {
        const int gap = std::atoi(argv[2]);
        for (int i = 4; i < argc; ++i) {
            if (i > 4)
                Sleep(gap);
            WriteAll(1, argv[i]);
        }
        Sleep(std::atoi(argv[3]));
        return 0;
    }
    if (mode == "cwd") {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer) == nullptr)
            return 91;
        WriteAll(1, buffer);
        return 0;
    }
    if (mode == "stdin") {
        struct stat st {};
        if (::fstat(0, &st) == 0 && S_ISFIFO(st.st_mode))
            WriteAll(1, "fifo");
        else
            WriteAll(1, "other");
        return 0;
    }
    if (mode == "stderr" && argc == 3) {
        WriteAll(2, argv[2]);
        return 0;
    }
    if (mode == "args") {
        std::string all;
        for (int i = 2; i < argc; ++i)
            all += (i > 2 ? "|" : "") + std::string(argv[i]);
        WriteAll(1, all);
        return 0;
    }
    return 64;
}
