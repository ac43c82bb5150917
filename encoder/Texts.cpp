#include "encoder/Texts.h"

#include <cmath>
#include <cstdio>

namespace evc {

std::string SecondsText(double seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", seconds);
    return buf;
}

std::string ClockText(double seconds) {
    const long long ms = seconds > 0 ? std::llround(seconds * 1000) : 0;
    const long long total = ms / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", total / 3600, total / 60 % 60,
                  total % 60, ms % 1000);
    return buf;
}

std::string ChannelsText(int channels) {
    if (channels == 1) {
        return "mono";
    }
    if (channels == 2) {
        return "stereo";
    }
    return std::to_string(channels) + " channels";
}

} // namespace evc
