#include "encoder/Status.h"

#include <cmath>
#include <cstdio>

namespace evc {

std::string FormatStatusLine(std::int64_t bytesWritten, double secondsWritten) {
    if (!(secondsWritten >= 0)) {
        secondsWritten = 0;
    }
    // Cut, not round, so the time never runs ahead of what was written.
    const double shown = std::floor(secondsWritten * 100.0 + 1e-6) / 100.0;
    const long long kb = static_cast<long long>(std::llround(bytesWritten / 1024.0));
    char line[128];
    if (shown <= 0) {
        std::snprintf(line, sizeof line, "size=%8lldkB time=%.2f bitrate=N/A", kb, shown);
    } else {
        const double kbits = bytesWritten * 8.0 / shown / 1000.0;
        std::snprintf(line, sizeof line, "size=%8lldkB time=%.2f bitrate=%6.1fkbits/s", kb, shown,
                      kbits);
    }
    return line;
}

} // namespace evc
