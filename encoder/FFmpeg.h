// Owning handles for the FFmpeg objects evc uses, and the stop hook of their I/O.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <csignal>
#include <memory>
#include <string>

namespace evc {

struct InputFormatCloser {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatCloser>;

struct OutputFormatCloser {
    void operator()(AVFormatContext* ctx) const {
        if (ctx->pb != nullptr && !(ctx->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&ctx->pb);
        }
        avformat_free_context(ctx);
    }
};
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatCloser>;

struct CodecContextFree {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFree>;

struct DictFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

// An AVChannelLayout that is always uninitialised on destruction.
class ChannelLayout {
public:
    ChannelLayout() = default;
    explicit ChannelLayout(int channels) { av_channel_layout_default(&layout_, channels); }
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    ~ChannelLayout() { av_channel_layout_uninit(&layout_); }
    AVChannelLayout* get() { return &layout_; }
    const AVChannelLayout* get() const { return &layout_; }

private:
    AVChannelLayout layout_{};
};

// Makes blocking reads and writes of ctx return AVERROR_EXIT once *stop is set.
inline void InterruptOnStop(AVFormatContext* ctx, const volatile std::sig_atomic_t* stop) {
    ctx->interrupt_callback.callback = [](void* opaque) -> int {
        const auto* flag = static_cast<const volatile std::sig_atomic_t*>(opaque);
        return flag != nullptr && *flag != 0 ? 1 : 0;
    };
    ctx->interrupt_callback.opaque = const_cast<std::sig_atomic_t*>(stop);
}

// Text of an FFmpeg error code.
inline std::string ErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

} // namespace evc
