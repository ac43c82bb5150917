#include "encoder/Gain.h"

#include <algorithm>
#include <cmath>

namespace evc {

void ApplyGain(float* samples, std::size_t count, double gain) {
    const float g = static_cast<float>(gain);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] *= g;
    }
}

void ApplyGain(std::int16_t* samples, std::size_t count, double gain) {
    // Fixed point like ffmpeg's volume filter: 8 fractional bits would be too coarse for
    // small volumes, so use 16.
    const std::int64_t g = std::llround(gain * 65536.0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t v = (samples[i] * g + 32768) >> 16;
        samples[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
    }
}

} // namespace evc
