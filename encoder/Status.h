// Progress text of evc. The program reads the seconds between the second and third '='.
#pragma once

#include <cstdint>
#include <string>

namespace evc {

// "size=     123kB time=12.34 bitrate= 128.0kbits/s"
std::string FormatStatusLine(std::int64_t bytesWritten, double secondsWritten);

// Lets a status line through about every interval, and always the first one.
class StatusThrottle {
public:
    explicit StatusThrottle(std::int64_t intervalMs) : intervalMs_(intervalMs) {}
    // nowMs from a steady clock.
    bool Due(std::int64_t nowMs) {
        if (started_ && nowMs - lastMs_ < intervalMs_) {
            return false;
        }
        started_ = true;
        lastMs_ = nowMs;
        return true;
    }

private:
    std::int64_t intervalMs_;
    std::int64_t lastMs_ = 0;
    bool started_ = false;
};

} // namespace evc
