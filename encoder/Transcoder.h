// The whole conversion: decode the first audio stream of the input, trim, remix, resample,
// change the volume, encode and mux into a temporary file, then move it into place.
#pragma once

#include "encoder/Options.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

namespace evc {

struct TranscodeHooks {
    // Receives each header and status line, without line end.
    std::function<void(const std::string&)> line;
    // Set (by a signal handler) to stop; the temporary file is then removed.
    const volatile std::sig_atomic_t* stop = nullptr;
    int statusIntervalMs = 500;
};

struct TranscodeResult {
    std::int64_t bytes = 0;
    double seconds = 0;
};

// Throws EncodeError (EncodeCancelled on a stop) with a one-line reason.
TranscodeResult Transcode(const EncodeOptions& options, const TranscodeHooks& hooks);

} // namespace evc
