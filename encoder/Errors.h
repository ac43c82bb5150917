// Failures that end an encode; the message is the one line evc prints on stderr.
#pragma once

#include <csignal>
#include <stdexcept>
#include <string>

namespace evc {

class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when a stop was requested (SIGTERM, SIGINT).
class EncodeCancelled : public EncodeError {
public:
    using EncodeError::EncodeError;
};

// Throws EncodeCancelled once *stop is set (stop may be null).
inline void ThrowIfStopped(const volatile std::sig_atomic_t* stop) {
    if (stop != nullptr && *stop != 0) {
        throw EncodeCancelled("stopped before the output was complete");
    }
}

} // namespace evc
