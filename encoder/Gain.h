// Volume change applied to decoded samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace evc {

// Multiplies float samples by gain. Nothing is clipped: float encoders take levels above
// full scale, as the decoders that read their files give them back.
void ApplyGain(float* samples, std::size_t count, double gain);

// Multiplies 16-bit samples by gain, rounding and saturating.
void ApplyGain(std::int16_t* samples, std::size_t count, double gain);

} // namespace evc
