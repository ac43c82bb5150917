#include "encoder/Filter.h"

#include "encoder/Errors.h"
#include "encoder/Gain.h"
#include "encoder/Texts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace evc {

Filter::Filter(int rate, int channels, AVSampleFormat format, double gain, Sink sink,
               std::function<bool()> done)
    : rate_(rate), channels_(channels), format_(format), gain_(gain), sink_(std::move(sink)),
      done_(std::move(done)) {}

void Filter::Push(const AVFrame* frame, int skip) {
    SetUp(frame);
    const uint8_t* planes[AV_NUM_DATA_POINTERS * 8] = {};
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const int bps = av_get_bytes_per_sample(fmt);
    const int channels = frame->ch_layout.nb_channels;
    if (av_sample_fmt_is_planar(fmt)) {
        if (channels > static_cast<int>(std::size(planes))) {
            throw EncodeError("too many channels in the input");
        }
        for (int c = 0; c < channels; ++c) {
            planes[c] = frame->extended_data[c] + static_cast<std::ptrdiff_t>(skip) * bps;
        }
    } else {
        planes[0] = frame->extended_data[0] + static_cast<std::ptrdiff_t>(skip) * bps * channels;
    }
    Convert(planes, frame->nb_samples - skip);
}

void Filter::SetUp(const AVFrame* frame) {
    ChannelLayout inLayout;
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        av_channel_layout_check(&frame->ch_layout) == 0) {
        // WAV without a channel mask: take the usual layout for that many channels.
        av_channel_layout_default(inLayout.get(), frame->ch_layout.nb_channels);
    } else if (av_channel_layout_copy(inLayout.get(), &frame->ch_layout) < 0) {
        throw EncodeError("out of memory");
    }
    if (swr_ && swrInFormat_ == frame->format && swrInRate_ == frame->sample_rate &&
        av_channel_layout_compare(swrInLayout_.get(), inLayout.get()) == 0) {
        return;
    }
    if (swr_) {
        // The stream changed its format mid-way: drain the old converter first.
        Flush();
    }
    ChannelLayout outLayout(channels_);
    SwrContext* raw = nullptr;
    int r = swr_alloc_set_opts2(&raw, outLayout.get(), format_, rate_, inLayout.get(),
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr);
    swr_.reset(raw);
    if (r >= 0) {
        r = swr_init(raw);
    }
    if (r < 0) {
        throw EncodeError("cannot convert " + std::to_string(frame->sample_rate) + " Hz " +
                          ChannelsText(frame->ch_layout.nb_channels) + " audio: " + ErrorText(r));
    }
    swrInFormat_ = frame->format;
    swrInRate_ = frame->sample_rate;
    av_channel_layout_uninit(swrInLayout_.get());
    av_channel_layout_copy(swrInLayout_.get(), inLayout.get());
    swrInSamples_ = 0;
    swrOutSamples_ = 0;
}

void Filter::Convert(const uint8_t* const* data, int count) {
    // A few samples may give no output yet, but the resampler must still take them: the flush
    // at the end hands them out.
    const int capacity = std::max(1, swr_get_out_samples(swr_.get(), count));
    if (!converted_ || converted_->nb_samples < capacity) {
        converted_.reset(av_frame_alloc());
        if (!converted_) {
            throw EncodeError("out of memory");
        }
        converted_->format = format_;
        converted_->sample_rate = rate_;
        av_channel_layout_default(&converted_->ch_layout, channels_);
        converted_->nb_samples = std::max(capacity, 4096);
        if (av_frame_get_buffer(converted_.get(), 0) < 0) {
            throw EncodeError("out of memory");
        }
    } else if (av_frame_make_writable(converted_.get()) < 0) {
        throw EncodeError("out of memory");
    }
    const int allocated = converted_->nb_samples;
    const int n = swr_convert(swr_.get(), converted_->data, allocated,
                              const_cast<const uint8_t**>(data), count);
    if (n < 0) {
        throw EncodeError("sample conversion failed: " + ErrorText(n));
    }
    swrInSamples_ += count;
    swrOutSamples_ += n;
    if (n == 0) {
        return;
    }
    converted_->nb_samples = n;
    Deliver(converted_.get());
    converted_->nb_samples = allocated;
}

void Filter::Flush() {
    if (!swr_) {
        return;
    }
    // A resampler gives nothing for less input than its filter spans: silence after the input
    // carries it through, and only the input's own length is kept.
    std::int64_t filterSize = 32;
    av_opt_get_int(swr_.get(), "filter_size", 0, &filterSize);
    const double inPerOut = static_cast<double>(swrInRate_) / rate_;
    const auto span = static_cast<std::int64_t>(
                          std::ceil(static_cast<double>(filterSize) * std::max(1.0, inPerOut))) *
                      2;
    std::optional<std::int64_t> keep;
    if (swrInSamples_ < span) {
        keep = av_rescale_rnd(swrInSamples_, rate_, swrInRate_, AV_ROUND_UP) - swrOutSamples_;
        if (swr_inject_silence(swr_.get(), static_cast<int>(span)) < 0) {
            throw EncodeError("out of memory");
        }
    }
    while (!done_() && converted_ && keep.value_or(1) > 0) {
        if (av_frame_make_writable(converted_.get()) < 0) {
            throw EncodeError("out of memory");
        }
        const int allocated = converted_->nb_samples;
        int n = swr_convert(swr_.get(), converted_->data, allocated, nullptr, 0);
        if (n <= 0) {
            return;
        }
        if (keep) {
            n = static_cast<int>(std::min<std::int64_t>(n, *keep));
            *keep -= n;
        }
        converted_->nb_samples = n;
        Deliver(converted_.get());
        converted_->nb_samples = allocated;
    }
}

void Filter::Deliver(AVFrame* frame) {
    if (gain_ != 1.0) {
        const auto count = static_cast<std::size_t>(frame->nb_samples);
        switch (frame->format) {
        case AV_SAMPLE_FMT_FLTP:
            for (int c = 0; c < channels_; ++c) {
                ApplyGain(reinterpret_cast<float*>(frame->extended_data[c]), count, gain_);
            }
            break;
        case AV_SAMPLE_FMT_FLT:
            ApplyGain(reinterpret_cast<float*>(frame->data[0]), count * channels_, gain_);
            break;
        case AV_SAMPLE_FMT_S16:
            ApplyGain(reinterpret_cast<std::int16_t*>(frame->data[0]), count * channels_, gain_);
            break;
        case AV_SAMPLE_FMT_S16P:
            for (int c = 0; c < channels_; ++c) {
                ApplyGain(reinterpret_cast<std::int16_t*>(frame->extended_data[c]), count, gain_);
            }
            break;
        default:
            throw EncodeError("volume change is not available for this sample format");
        }
    }
    sink_(frame);
}

} // namespace evc
