// Runs a check as an unprivileged user: root writes everywhere, so under
// root the check runs in a child that drops to nobody.
#pragma once

#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// The text `f` produced, as the unprivileged user saw it.
inline std::string AsUnprivilegedUser(const std::function<std::string()>& f) {
    if (::geteuid() != 0)
        return f();
    int fds[2];
    if (::pipe(fds) != 0)
        return "(no pipe)";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            out = "(cannot drop privileges)";
        else
            out = f();
        ssize_t w = ::write(fds[1], out.data(), out.size());
        (void)w;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}
