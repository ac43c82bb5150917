// One program per user and graphical session: a second start hands its files
// to the running program over a local socket and ends. This is the part
// without a toolkit: the socket's name and the message on it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct TInstanceFacts {
    // POSIX: a folder only this user can enter, with a trailing separator.
    std::string PrivateFolder;
    // Windows: the user and the session (named pipes are machine-wide).
    std::string SessionIdentity;
    // The graphical session: $WAYLAND_DISPLAY, else $DISPLAY.
    std::string WaylandDisplay;
    std::string XDisplay;
};

// The facts of this process (environment and platform); `error` tells why
// no private folder could be had.
TInstanceFacts GatherInstanceFacts(std::string& error);

// The local server's name: a socket path in the private folder, or a pipe
// name on Windows; one per user and display. Empty when none can be made.
std::string InstanceServerName(const TInstanceFacts& facts);

// Longest message taken from a second start (a command line's worth of paths).
inline constexpr std::size_t MaxHandOverBytes = 4 * 1024 * 1024;

// The message: a header line "velmora-open N\n" with the byte count of what
// follows, then each path ended by a zero byte. No paths: only come to front.
std::string EncodeHandOver(const std::vector<std::string>& paths);

// Reads one message as its bytes arrive.
class THandOverReader {
public:
    enum class TStatus { NeedMore, Done, Invalid };

    TStatus Feed(const char* data, std::size_t size);
    TStatus Status() const { return status_; }
    // Once Done: the paths, in order.
    const std::vector<std::string>& Paths() const { return paths_; }
    // Once Invalid: why.
    const std::string& Error() const { return error_; }

private:
    TStatus Fail(std::string why);
    TStatus ParseBody();

    TStatus status_ = TStatus::NeedMore;
    std::string buffer_;
    bool haveHeader_ = false;
    std::size_t bodySize_ = 0;
    std::vector<std::string> paths_;
    std::string error_;
};
