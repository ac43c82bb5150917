#include "support/platform/SystemIO.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ErrorText(int code) {
    char buf[256];
    // GNU strerror_r returns the text, which may or may not live in buf.
    return std::string(strerror_r(code, buf, sizeof buf));
}

// Closes the descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    int Get() const { return fd_; }
    // Closes now and reports the result, for writes whose close must be checked.
    int Close() {
        int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }
    void Reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    auto pos = path.find_last_of('/');
    if (pos == std::string::npos)
        return ".";
    if (pos == 0)
        return "/";
    return path.substr(0, pos);
}

std::string NameOf(const std::string& path) {
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

} // namespace

ReadFileResult ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
    data.clear();
    // O_NONBLOCK so that a pipe given as a file name cannot hang the caller.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            return ReadFileResult::Missing;
        error = ErrorText(e);
        return ReadFileResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = ErrorText(errno);
        return ReadFileResult::Failed;
    }
    if (S_ISDIR(st.st_mode)) {
        error = ErrorText(EISDIR);
        return ReadFileResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        error = ErrorText(EINVAL);
        return ReadFileResult::Failed;
    }
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd.Get(), buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            error = ErrorText(errno);
            data.clear();
            return ReadFileResult::Failed;
        }
        if (r == 0)
            break;
        data.append(buf, static_cast<size_t>(r));
    }
    return ReadFileResult::Ok;
}

namespace {

// Writes over the file from its start, then cuts it to the new length, so a
// failure part-way leaves the old tail rather than an empty file.
bool RewriteInPlace(const std::string& path, const std::string& data, std::string& error) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0 || !WriteAll(fd.Get(), data.data(), data.size()) ||
        ::ftruncate(fd.Get(), static_cast<off_t>(data.size())) != 0 || ::fsync(fd.Get()) != 0) {
        error = ErrorText(errno);
        return false;
    }
    if (fd.Close() != 0) {
        error = ErrorText(errno);
        return false;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error) {
    // Replace what a symbolic link points at, not the link itself.
    std::string target = path;
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            target = resolved;
    }

    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            error = ErrorText(EISDIR);
            return false;
        }
        // Read-only means no write bit at all, so it holds for root too.
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            error = ErrorText(EACCES);
            return false;
        }
    }

    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const std::string folder = FolderOf(target);
    std::string tmp;
    Fd fd;
    for (int attempt = 0; attempt < 16 && fd.Get() < 0; ++attempt) {
        tmp = folder + "/." + NameOf(target) + ".tmp" + std::to_string(::getpid()) + "-" +
              std::to_string(counter.fetch_add(1)) + "-" + std::to_string(rd() % 100000);
        fd = Fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
        if (fd.Get() < 0 && errno != EEXIST)
            break;
    }
    if (fd.Get() < 0) {
        const int e = errno;
        // A folder the user may not write holding a file the user may (a
        // shared install): rewriting in place is the only way to save.
        if (exists && (e == EACCES || e == EPERM))
            return RewriteInPlace(target, data, error);
        error = ErrorText(e);
        return false;
    }

    auto fail = [&](int e) {
        fd.Reset();
        ::unlink(tmp.c_str());
        error = ErrorText(e);
        return false;
    };
    if (exists) {
        (void)::fchmod(fd.Get(), st.st_mode & 07777);
        if (::geteuid() == 0)
            (void)::fchown(fd.Get(), st.st_uid, st.st_gid);
    }
    if (!WriteAll(fd.Get(), data.data(), data.size()))
        return fail(errno);
    if (::fsync(fd.Get()) != 0)
        return fail(errno);
    if (fd.Close() != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        error = ErrorText(e);
        return false;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        error = ErrorText(e);
        return false;
    }
    // Make the rename itself durable; a failure here does not undo the save.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        (void)::fsync(dir.Get());
    return true;
}

bool AppendToFile(const std::string& path, const std::string& data) noexcept {
    Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                 0666));
    if (fd.Get() < 0)
        return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (!WriteAll(fd.Get(), data.data(), data.size()))
        return false;
    return fd.Close() == 0;
}

bool EnsureFolder(const std::string& path, std::string& error) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (::mkdir(p.c_str(), 0777) == 0)
        return true;
    int e = errno;
    struct stat st {};
    if (e == EEXIST && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    error = ErrorText(e == EEXIST ? ENOTDIR : e);
    return false;
}

void LocalDateTimeText(std::string& date, std::string& time) {
    std::time_t now = std::time(nullptr);
    struct tm tmv {};
    ::localtime_r(&now, &tmv);
    char d[32];
    char t[32];
    std::strftime(d, sizeof d, "%Y-%m-%d", &tmv);
    std::strftime(t, sizeof t, "%H:%M:%S", &tmv);
    date = d;
    time = t;
}

bool FolderTakesNewFiles(const std::string& folder) noexcept {
    try {
        std::string pattern = folder;
        if (pattern.empty() || pattern.back() != '/')
            pattern += '/';
        pattern += ".velmora-probe-XXXXXX";
        Fd fd(::mkostemp(pattern.data(), O_CLOEXEC));
        if (fd.Get() < 0)
            return false;
        ::unlink(pattern.c_str());
        return true;
    } catch (...) {
        return false;
    }
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvironmentText("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buf(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

TKnownFolders KnownFolders() {
    return {};
}

std::string LongPathText(const std::string& path) {
    return path;
}

bool EnsureFolderTree(const std::string& path) noexcept {
    try {
        // Private to the user, as the XDG folders should be.
        for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
            const std::string part = path.substr(0, at);
            struct stat st {};
            if (!part.empty() && ::stat(part.c_str(), &st) != 0 &&
                ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
            if (at == std::string::npos)
                break;
        }
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    } catch (...) {
        return false;
    }
}

std::filesystem::path FilePath(const std::string& name) {
    return std::filesystem::path(name);
}

std::string PathText(const std::filesystem::path& path) {
    return path.string();
}

std::string PrivateRuntimeFolder(std::string& error) {
    const std::string runtime = EnvironmentText("XDG_RUNTIME_DIR");
    const std::string folder = !runtime.empty() && runtime.front() == '/'
                                   ? runtime + (runtime.back() == '/' ? "" : "/") + "velmora"
                                   : "/tmp/velmora-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return {};
    }
    // Whatever was there before must be ours alone: a link or a folder others
    // can enter would let them reach the socket or put their own in its place.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        error = folder + ": " + std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        error = folder + ": not a folder of this user closed to others";
        return {};
    }
    return folder + "/";
}

std::string SessionIdentity() {
    return {};
}
