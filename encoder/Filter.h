// The filter stage: decoded frames to the encoder's rate, channel layout and sample format, at
// the requested volume.
#pragma once

#include "encoder/FFmpeg.h"

#include <cstdint>
#include <functional>

namespace evc {

class Filter {
public:
    // Receives each converted frame; it may change the frame's samples but not keep it.
    using Sink = std::function<void(AVFrame*)>;

    // done tells when the receiver wants no more samples.
    Filter(int rate, int channels, AVSampleFormat format, double gain, Sink sink,
           std::function<bool()> done);

    // Converts the frame's samples from skip on. A change of format, rate or layout mid-stream
    // drains what the previous conversion held back first.
    void Push(const AVFrame* frame, int skip);

    // Hands out what the resampler still holds back.
    void Flush();

private:
    void SetUp(const AVFrame* frame);
    void Convert(const uint8_t* const* data, int count);
    void Deliver(AVFrame* frame);

    int rate_;
    int channels_;
    AVSampleFormat format_;
    double gain_;
    Sink sink_;
    std::function<bool()> done_;

    SwrPtr swr_;
    int swrInFormat_ = -1;
    int swrInRate_ = 0;
    ChannelLayout swrInLayout_;
    std::int64_t swrInSamples_ = 0; // given to the current resampler
    std::int64_t swrOutSamples_ = 0;
    FramePtr converted_;
};

} // namespace evc
