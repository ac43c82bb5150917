// A child process for the platform and process tests. Options, in order:
//   --ignore-term     ignore SIGTERM
//   --print TEXT      write TEXT to stdout
//   --print-err TEXT  write TEXT to stderr
//   --pwd             write the working folder
//   --fds             write the open descriptors, one a line
//   --signals         write "default" or "changed" for SIGTERM and SIGPIPE
//   --wait-eof        read stdin until it closes, then write "eof"
//   --sleep SECONDS   sleep (the default end is 30 s, so nothing lingers)
//   --exit CODE       exit with CODE
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <unistd.h>

static void Write(int fd, const std::string& s) {
    const char* p = s.data();
    size_t n = s.size();
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w <= 0)
            return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}

static void SleepSeconds(double s) {
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(s);
    ts.tv_nsec = static_cast<long>((s - static_cast<double>(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0) {
    }
}

int main(int argc, char** argv) {
    int code = 0;
    bool slept = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--ignore-term") {
            signal(SIGTERM, SIG_IGN);
        } else if (a == "--print" && i + 1 < argc) {
            Write(1, argv[++i]);
        } else if (a == "--print-err" && i + 1 < argc) {
            Write(2, argv[++i]);
        } else if (a == "--pwd") {
            char buf[4096];
            if (getcwd(buf, sizeof buf) != nullptr)
                Write(1, std::string(buf) + "\n");
        } else if (a == "--fds") {
            DIR* d = opendir("/proc/self/fd");
            int own = d ? dirfd(d) : -1;
            while (struct dirent* e = d ? readdir(d) : nullptr) {
                if (e->d_name[0] == '.' || atoi(e->d_name) == own)
                    continue;
                Write(1, std::string(e->d_name) + "\n");
            }
            if (d)
                closedir(d);
        } else if (a == "--signals") {
            for (int s : {SIGTERM, SIGPIPE}) {
                struct sigaction sa;
                sigaction(s, nullptr, &sa);
                sigset_t mask;
                sigprocmask(SIG_SETMASK, nullptr, &mask);
                bool dflt = sa.sa_handler == SIG_DFL && !sigismember(&mask, s);
                Write(1, dflt ? "default\n" : "changed\n");
            }
        } else if (a == "--wait-eof") {
            char buf[256];
            while (read(0, buf, sizeof buf) > 0) {
            }
            Write(1, "eof\n");
        } else if (a == "--sleep" && i + 1 < argc) {
            SleepSeconds(atof(argv[++i]));
            slept = true;
        } else if (a == "--exit" && i + 1 < argc) {
            code = atoi(argv[++i]);
            slept = true;
        }
    }
    if (!slept)
        SleepSeconds(30);
    return code;
}
