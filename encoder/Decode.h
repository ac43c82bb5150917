// Reading and decoding the input from the start time on, with the checks for damage: a run of
// decode errors, a read error, or audio that ends clearly short of the length its container
// states.
#pragma once

#include "encoder/Input.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace evc {

class Decoder {
public:
    // Receives each decoded frame and how many of its first samples lie before the start.
    using Sink = std::function<void(const AVFrame*, int skip)>;

    // startSeconds: where the output begins (none: at the start). done tells when the receiver
    // wants no more samples.
    Decoder(InputAudio& in, std::string path, std::optional<double> startSeconds,
            const volatile std::sig_atomic_t* stop, Sink sink, std::function<bool()> done);

    // Decodes to the end of the input or until done(); throws EncodeError on damage, a start
    // past the end or no decodable audio, EncodeCancelled on a stop.
    void Run();

private:
    bool SeekNearStart();
    void ReceiveFrames(AVFrame* frame, int& errorsInRow);
    void RestartFromBeginning();
    void HandleFrame(AVFrame* frame);
    void CheckDecodedLength(bool reachedEnd, bool sought);

    InputAudio& in_;
    std::string path_;
    std::optional<double> startSeconds_;
    const volatile std::sig_atomic_t* stop_;
    Sink sink_;
    std::function<bool()> done_;

    std::int64_t inputSamplesUsed_ = 0;
    std::optional<std::int64_t> nextPos_; // input position of the next decoded sample
    double decodedEndSeconds_ = 0;
    bool anyFrame_ = false;
    bool overshot_ = false; // a seek landed after the start
};

} // namespace evc
