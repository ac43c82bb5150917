#include "shell/SingleInstance.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "support/Text.h"
#include "support/platform/SystemIO.h"

namespace {

constexpr const char* kHeader = "velmora-open ";
// A header line is short; more without a line end is not ours.
constexpr std::size_t kMaxHeader = 32;
// A Unix socket path holds at most 107 bytes.
constexpr std::size_t kMaxSocketPath = 100;

// Letters, digits, '.', '-' and '_' kept; any other byte as %XX.
std::string NameSafe(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// ":1" and ":1.0" are one display: the screen number is dropped.
std::string WithoutScreen(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return display;
    const size_t dot = display.find('.', colon);
    return dot == std::string::npos ? display : display.substr(0, dot);
}

} // namespace

TInstanceFacts GatherInstanceFacts(std::string& error) {
    TInstanceFacts facts;
    facts.PrivateFolder = PrivateRuntimeFolder(error);
    facts.SessionIdentity = SessionIdentity();
    facts.WaylandDisplay = EnvironmentText("WAYLAND_DISPLAY");
    facts.XDisplay = EnvironmentText("DISPLAY");
    return facts;
}

std::string InstanceServerName(const TInstanceFacts& facts) {
    // A Windows session is the desktop: a $DISPLAY set for some X server, or
    // by wine, must not split it.
    if (!facts.SessionIdentity.empty())
        return "velmora-" + NameSafe(facts.SessionIdentity);
    const std::string session =
        !facts.WaylandDisplay.empty() ? "wayland-" + NameSafe(facts.WaylandDisplay)
        : !facts.XDisplay.empty()     ? "x11-" + NameSafe(WithoutScreen(facts.XDisplay))
                                      : std::string("console");
    if (facts.PrivateFolder.empty())
        return {};
    const std::string path = facts.PrivateFolder + "instance-" + session;
    return path.size() <= kMaxSocketPath ? path : std::string();
}

std::string EncodeHandOver(const std::vector<std::string>& paths) {
    std::string body;
    for (const std::string& p : paths) {
        body += p;
        body += '\0';
    }
    return kHeader + std::to_string(body.size()) + "\n" + body;
}

THandOverReader::TStatus THandOverReader::Fail(std::string why) {
    error_ = std::move(why);
    buffer_.clear();
    paths_.clear();
    status_ = TStatus::Invalid;
    return status_;
}

THandOverReader::TStatus THandOverReader::Feed(const char* data, std::size_t size) {
    if (status_ != TStatus::NeedMore)
        return status_ == TStatus::Done && size > 0 ? Fail("bytes after the message") : status_;
    buffer_.append(data, size);
    if (!haveHeader_) {
        const size_t end = buffer_.find('\n');
        if (end == std::string::npos)
            return buffer_.size() > kMaxHeader ? Fail("no header line") : status_;
        const std::string header = buffer_.substr(0, end);
        const std::string head(kHeader);
        std::uint64_t count = 0;
        if (header.compare(0, head.size(), head) != 0 || !AllDigits(header.substr(head.size())) ||
            !ReadWholeNumber(header.substr(head.size()), count))
            return Fail("not a hand-over header");
        if (count > MaxHandOverBytes)
            return Fail("message of " + std::to_string(count) + " bytes is too long");
        haveHeader_ = true;
        bodySize_ = static_cast<std::size_t>(count);
        buffer_.erase(0, end + 1);
    }
    if (buffer_.size() > bodySize_)
        return Fail("bytes after the message");
    if (buffer_.size() < bodySize_)
        return status_;
    return ParseBody();
}

THandOverReader::TStatus THandOverReader::ParseBody() {
    if (!buffer_.empty() && buffer_.back() != '\0')
        return Fail("a path without its end");
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < buffer_.size()) {
        const size_t end = buffer_.find('\0', start);
        std::string path = buffer_.substr(start, end - start);
        start = end + 1;
        if (path.empty() || !FilePath(path).is_absolute())
            return Fail("not a full path: " + path.substr(0, 200));
        paths.push_back(std::move(path));
    }
    buffer_.clear();
    paths_ = std::move(paths);
    status_ = TStatus::Done;
    return status_;
}
