#include "encoder/System.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace evc {

void InstallStopHandlers(void (*handler)(int)) {
    struct sigaction stop {};
    stop.sa_handler = handler;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = 0; // no SA_RESTART
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

std::string SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return std::strerror(errno);
    }
    int r = 0;
    do {
        r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    const int error = r != 0 ? errno : 0;
    ::close(fd);
    return error != 0 ? std::strerror(error) : std::string();
}

void SyncFolder(const std::string& path) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

std::size_t NameMaxOf(const std::string& folder) noexcept {
    const long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
}

} // namespace evc
