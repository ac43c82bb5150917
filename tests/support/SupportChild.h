// Runs copies of the test child program under names unique to one test.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fakes/Fakes.h"
#include "support/platform/Platform.h"

class ChildCopies {
public:
    ChildCopies() {
        std::random_device rd;
        prefix_ = "vlm" + std::to_string(rd() % 1000000) + "x";
    }
    // A copy of the child program named `prefix + suffix`; returns its path.
    std::string Copy(const std::string& suffix) {
        std::filesystem::path p = dir_.Path() / (prefix_ + suffix);
        std::filesystem::copy_file(VELMORA_SUPPORT_CHILD, p,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(p, std::filesystem::perms::owner_all);
        return p.string();
    }
    std::string Name(const std::string& suffix) const { return prefix_ + suffix; }
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
    std::string prefix_;
};

// Reads everything the child writes until the pipe closes (or 10 s pass).
inline std::string ReadToEnd(IChildProcess& c) {
    std::string text;
    char buf[512];
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        c.WaitReadable(100);
        long n = c.Read(buf, sizeof buf);
        if (n < 0)
            break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// Reads until the child has written `text` (or 10 s pass or the pipe closes).
inline bool WaitForOutput(IChildProcess& c, const std::string& text) {
    std::string got;
    char buf[64];
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
        c.WaitReadable(100);
        long n = c.Read(buf, sizeof buf);
        if (n < 0)
            return false;
        got.append(buf, static_cast<size_t>(n));
    }
    return got.find(text) != std::string::npos;
}

// Polls until the child has ended (and is reaped), at most 10 s.
inline bool WaitExit(IChildProcess& c) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (c.IsRunning()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Ids of this process's children, zombies included.
inline std::vector<std::uint32_t> OwnChildren() {
    std::vector<std::uint32_t> ids;
    std::error_code ec;
    for (auto& t : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(t.path() / "children");
        std::uint32_t id;
        while (in >> id)
            ids.push_back(id);
    }
    return ids;
}
