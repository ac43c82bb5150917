// The real platform for Linux and other POSIX systems.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/platform/Platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ErrorText(int code) {
    char buf[256];
    return std::string(strerror_r(code, buf, sizeof buf));
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Owns both ends of a pipe until they are handed on.
struct Pipe {
    int Read = -1;
    int Write = -1;
    bool Open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        Read = fds[0];
        Write = fds[1];
        return true;
    }
    ~Pipe() {
        CloseFd(Read);
        CloseFd(Write);
    }
};

// Pointers into the strings for exec; the strings must outlive it.
std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
    std::vector<char*> v;
    v.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    return v;
}

// The signals a child must not inherit as ignored or blocked.
void DefaultSignals(sigset_t& set) {
    sigemptyset(&set);
    for (int s :
         {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGCHLD, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2})
        sigaddset(&set, s);
}

// Full path of a program name the way the shell would find it; empty when
// there is none that may be executed.
std::string FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        std::string candidate = dir + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

bool ReadSmallFile(const std::string& path, std::string& text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    text.clear();
    char buf[4096];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        text.append(buf, static_cast<size_t>(r));
    }
    ::close(fd);
    return true;
}

// State letter from /proc/PID/stat, 0 when the process is gone.
char ProcessState(pid_t pid) {
    std::string stat;
    if (!ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", stat))
        return 0;
    // The command name in parentheses may itself hold ") ".
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return 0;
    return stat[close + 2];
}

// Gone or only waiting to be reaped by its parent.
bool ProcessEnded(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    char s = ProcessState(pid);
    return s == 0 || s == 'Z' || s == 'X';
}

bool WaitEnded(pid_t pid, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (ProcessEnded(pid))
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class PosixChild : public IChildProcess {
public:
    PosixChild(pid_t pid, int out, int in) : pid_(pid), out_(out), in_(in) {}
    PosixChild(const PosixChild&) = delete;
    PosixChild& operator=(const PosixChild&) = delete;

    ~PosixChild() override {
        CloseFd(in_);
        CloseFd(out_);
        // A child outliving its object is stopped and reaped, never left a zombie.
        if (IsRunning()) {
            ::kill(pid_, SIGTERM);
            for (int i = 0; i < 100 && IsRunning(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (IsRunning()) {
                ::kill(pid_, SIGKILL);
                int status = 0;
                while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
                }
            }
        }
    }

    std::uint32_t Id() const override { return static_cast<std::uint32_t>(pid_); }

    std::size_t BytesAvailable() override {
        int n = 0;
        if (out_ < 0 || ::ioctl(out_, FIONREAD, &n) != 0 || n < 0)
            return 0;
        return static_cast<std::size_t>(n);
    }

    long Read(char* buffer, std::size_t size) override {
        if (out_ < 0)
            return -1;
        if (size == 0)
            return 0;
        for (;;) {
            ssize_t r = ::read(out_, buffer, size);
            if (r > 0)
                return static_cast<long>(r);
            if (r == 0)
                return -1;
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
        }
    }

    bool WaitReadable(int timeoutMs) override {
        if (out_ < 0)
            return true;
        struct pollfd p {};
        p.fd = out_;
        p.events = POLLIN;
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }

    bool IsRunning() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (exit_.How != ChildExit::Running)
            return false;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0)
            return true;
        if (r == pid_ && WIFEXITED(status)) {
            exit_ = {ChildExit::Exited, WEXITSTATUS(status)};
        } else if (r == pid_ && WIFSIGNALED(status)) {
            exit_ = {ChildExit::Signaled, WTERMSIG(status)};
        } else if (r == pid_) {
            return true; // stopped or continued: still alive
        } else {
            // Reaped elsewhere; how it ended is unknown, so not a success.
            exit_ = {ChildExit::Exited, -1};
        }
        return false;
    }

    ChildExit Exit() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return exit_;
    }

    void CloseInput() override { CloseFd(in_); }

private:
    pid_t pid_;
    int out_;
    int in_;
    mutable std::mutex mutex_;
    ChildExit exit_;
};

class PosixLibrary : public ILibrary {
public:
    explicit PosixLibrary(void* handle) : handle_(handle) {}
    ~PosixLibrary() override { ::dlclose(handle_); }
    PosixLibrary(const PosixLibrary&) = delete;
    PosixLibrary& operator=(const PosixLibrary&) = delete;
    void* Symbol(const std::string& name) override { return ::dlsym(handle_, name.c_str()); }

private:
    void* handle_;
};

// Keeps `systemd-inhibit ... cat` running; closing cat's input ends both, and
// so does our own end, however it comes, so the lock never outlives us.
class PosixInhibitor : public ISleepInhibitor {
public:
    explicit PosixInhibitor(std::unique_ptr<IChildProcess> child) : child_(std::move(child)) {}
    ~PosixInhibitor() override {
        child_->CloseInput();
        for (int i = 0; i < 100 && child_->IsRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    PosixInhibitor(const PosixInhibitor&) = delete;
    PosixInhibitor& operator=(const PosixInhibitor&) = delete;

private:
    std::unique_ptr<IChildProcess> child_;
};

class PosixPlatform : public IPlatform {
public:
    std::string ExecutableFolder() override {
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        if (ec)
            return "./";
        std::string folder = exe.parent_path().string();
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        return folder;
    }

    std::string RunningExecutable() override { return "/proc/self/exe"; }

    // The working-set trim and the privilege calls all have a counterpart here.
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
        Pipe in;
        Pipe out;
        if (!in.Open() || !out.Open())
            return fail("cannot create pipe: " + ErrorText(errno));

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in.Read, 0);
        posix_spawn_file_actions_adddup2(&actions, out.Write, 1);
        posix_spawn_file_actions_adddup2(&actions, out.Write, 2);
        // Nothing else of ours leaks into the child, whoever opened it.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        if (!workDir.empty())
            posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        DefaultSignals(defaults);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<char*> args = ArgvOf(argv);
        pid_t pid = -1;
        int rc = argv[0].find('/') != std::string::npos
                     ? ::posix_spawn(&pid, argv[0].c_str(), &actions, &attr, args.data(), environ)
                     : ::posix_spawnp(&pid, argv[0].c_str(), &actions, &attr, args.data(), environ);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return fail("cannot start " + argv[0] + ": " + ErrorText(rc));

        CloseFd(in.Read);
        CloseFd(out.Write);
        int flags = ::fcntl(out.Read, F_GETFL);
        ::fcntl(out.Read, F_SETFL, flags | O_NONBLOCK);
        auto child = std::make_unique<PosixChild>(pid, out.Read, in.Write);
        out.Read = -1;
        in.Write = -1;
        return child;
    }

    bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir) override {
        if (argv.empty())
            return false;
        // A relative path is taken from the working folder, as Spawn does.
        std::string name = argv[0];
        if (!workDir.empty() && !name.empty() && name[0] != '/' &&
            name.find('/') != std::string::npos)
            name = workDir + "/" + name;
        const std::string program = FindProgram(name);
        if (program.empty())
            return false;
        if (!workDir.empty() && !FolderExists(workDir))
            return false;
        // Everything the child needs is prepared here: after fork only
        // async-signal-safe calls are made.
        std::vector<char*> args = ArgvOf(argv);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        DefaultSignals(defaults);
        const char* dir = workDir.empty() ? nullptr : workDir.c_str();

        pid_t middle = ::fork();
        if (middle < 0)
            return false;
        if (middle == 0) {
            ::setsid();
            pid_t grandchild = ::fork();
            if (grandchild != 0)
                ::_exit(grandchild < 0 ? 1 : 0);
            if (dir != nullptr && ::chdir(dir) != 0)
                ::_exit(127);
            int devnull = ::open("/dev/null", O_RDONLY);
            if (devnull >= 0) {
                ::dup2(devnull, 0);
                if (devnull > 2)
                    ::close(devnull);
            }
            ::closefrom(3);
            struct sigaction sa {};
            sa.sa_handler = SIG_DFL;
            for (int s = 1; s < NSIG; ++s)
                if (sigismember(&defaults, s) == 1)
                    ::sigaction(s, &sa, nullptr);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::execv(program.c_str(), args.data());
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(middle, &status, 0) < 0) {
            if (errno != EINTR)
                return false;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::vector<ProcessEntry> ListProcesses() override {
        std::vector<ProcessEntry> list;
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr)
            return list;
        while (struct dirent* e = ::readdir(proc)) {
            const char* n = e->d_name;
            if (*n < '1' || *n > '9')
                continue;
            char* end = nullptr;
            unsigned long id = std::strtoul(n, &end, 10);
            if (*end != '\0' || id > static_cast<unsigned long>(INT_MAX))
                continue;
            const std::string base = std::string("/proc/") + n;
            // A zombie has ended; it only waits for its parent.
            char state = ProcessState(static_cast<pid_t>(id));
            if (state == 0 || state == 'Z' || state == 'X')
                continue;
            ProcessEntry entry;
            entry.Id = static_cast<std::uint32_t>(id);
            entry.ExeText = ExeName(base);
            list.push_back(std::move(entry));
        }
        ::closedir(proc);
        return list;
    }

    bool TerminateProcess(std::uint32_t id) override {
        // 0 and anything beyond pid_t would address a process group or every
        // process; never ourselves either.
        if (id == 0 || id > static_cast<std::uint32_t>(INT_MAX))
            return false;
        const pid_t pid = static_cast<pid_t>(id);
        if (pid == ::getpid())
            return false;
        if (::kill(pid, SIGTERM) != 0)
            return errno == ESRCH;
        if (WaitEnded(pid, TerminateGraceMs))
            return true;
        if (::kill(pid, SIGKILL) != 0)
            return errno == ESRCH;
        return WaitEnded(pid, TerminateForceWaitMs);
    }

    bool PowerOff() override {
        for (const char* tool : {"systemctl", "loginctl"}) {
            std::string error;
            auto child = Spawn({tool, "poweroff"}, "", &error);
            if (!child)
                continue;
            child->CloseInput();
            char buf[512];
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (child->IsRunning() && std::chrono::steady_clock::now() < until) {
                child->WaitReadable(50);
                while (child->Read(buf, sizeof buf) > 0) {
                }
            }
            if (child->IsRunning())
                return false; // stuck: the destructor stops it
            ChildExit how = child->Exit();
            return how.How == ChildExit::Exited && how.Code == 0;
        }
        return false;
    }

    std::unique_ptr<ISleepInhibitor> InhibitSleep(const std::string& why) override {
        std::string error;
        auto child = Spawn({"systemd-inhibit", "--what=sleep", "--who=Velmora", "--why=" + why,
                            "--mode=block", "cat"},
                           "", &error);
        if (!child)
            return nullptr;
        // Not waited for: the job starts at once. Without logind it fails on
        // its own and holding the ended child is harmless.
        return std::make_unique<PosixInhibitor>(std::move(child));
    }

    bool OpenFolder(const std::string& folder) override {
        return StartDetached({"xdg-open", SafeArg(folder)}, "");
    }
    bool OpenUrl(const std::string& url) override {
        return StartDetached({"xdg-open", SafeArg(url)}, "");
    }

    void TrimWorkingSet() override { ::malloc_trim(0); }

    bool CreateFolders(const std::string& path) override {
        std::error_code ec;
        fs::create_directories(path, ec);
        return fs::is_directory(path, ec);
    }
    bool FolderExists(const std::string& path) override {
        std::error_code ec;
        return !path.empty() && fs::is_directory(path, ec);
    }
    bool FileExists(const std::string& path) override {
        std::error_code ec;
        auto st = fs::status(path, ec);
        return !ec && fs::exists(st) && !fs::is_directory(st);
    }
    std::int64_t FileSize(const std::string& path) override {
        std::error_code ec;
        auto size = fs::file_size(path, ec);
        return ec ? -1 : static_cast<std::int64_t>(size);
    }
    // Removes an empty folder only; true when it is gone afterwards.
    bool RemoveFolder(const std::string& path) override {
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(path, ec)))
            return false;
        fs::remove(path, ec);
        return !fs::exists(fs::symlink_status(path, ec));
    }

    std::unique_ptr<ILibrary> LoadLibrary(const std::string& path, std::string* error) override {
        void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) {
            if (error != nullptr) {
                const char* e = ::dlerror();
                *error = e ? e : "cannot load " + path;
            }
            return nullptr;
        }
        return std::make_unique<PosixLibrary>(h);
    }

    void SleepMs(int ms) override {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    // A name starting with "-" would be read as an option.
    static std::string SafeArg(const std::string& arg) {
        return !arg.empty() && arg[0] == '-' ? "./" + arg : arg;
    }

    // File name of /proc/PID/exe, or the command name when that is hidden
    // (another user's process, a kernel thread).
    static std::string ExeName(const std::string& base) {
        char target[PATH_MAX];
        ssize_t n = ::readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            std::string path(target, static_cast<size_t>(n));
            static const std::string deleted = " (deleted)";
            struct stat st {};
            if (path.size() > deleted.size() &&
                path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0 &&
                ::stat(path.c_str(), &st) != 0)
                path.resize(path.size() - deleted.size());
            size_t slash = path.rfind('/');
            return slash == std::string::npos ? path : path.substr(slash + 1);
        }
        std::string comm;
        ReadSmallFile(base + "/comm", comm);
        while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r'))
            comm.pop_back();
        return comm;
    }
};

} // namespace

std::unique_ptr<IPlatform> CreatePosixPlatform() {
    return std::make_unique<PosixPlatform>();
}

std::unique_ptr<IPlatform> CreateSystemPlatform() {
    return CreatePosixPlatform();
}
