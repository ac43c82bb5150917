// Volume change applied to decoded samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace evc {

// -vol on the scale of the program's volume list, whose default 200 must keep the level:
// the gain is N/200, so 0 is silence and 500 is +8 dB.
inline constexpr int kUnchangedVolume = 200;

// Linear gain for a -vol value.
constexpr double GainForVolume(int volume) {
    return static_cast<double>(volume) / kUnchangedVolume;
}

// Multiplies float samples by gain. Nothing is clipped: float encoders take levels above
// full scale, as the decoders that read their files give them back.
void ApplyGain(float* samples, std::size_t count, double gain);

// Multiplies 16-bit samples by gain, rounding and saturating.
void ApplyGain(std::int16_t* samples, std::size_t count, double gain);

} // namespace evc
