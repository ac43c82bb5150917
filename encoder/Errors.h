// Failures that end an encode; the message is the one line evc prints on stderr.
#pragma once

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

} // namespace evc
