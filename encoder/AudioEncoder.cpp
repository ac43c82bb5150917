#include "encoder/AudioEncoder.h"

#include "encoder/Errors.h"
#include "encoder/Texts.h"

extern "C" {
#include <opencore-amrnb/interf_enc.h>
}

#include <algorithm>
#include <string>
#include <utility>

namespace evc {

namespace {

class LavcEncoder : public AudioEncoder {
public:
    explicit LavcEncoder(CodecContextPtr ctx) : ctx_(std::move(ctx)), pkt_(av_packet_alloc()) {
        if (!pkt_) {
            throw EncodeError("out of memory");
        }
    }
    int frameSize() const override {
        return (ctx_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0
                                                                              : ctx_->frame_size;
    }
    AVSampleFormat format() const override { return ctx_->sample_fmt; }
    AVRational timeBase() const override { return ctx_->time_base; }
    void DescribeStream(AVCodecParameters* par) const override {
        const int r = avcodec_parameters_from_context(par, ctx_.get());
        if (r < 0) {
            throw EncodeError("cannot set up the output stream: " + ErrorText(r));
        }
    }

    void Encode(AVFrame* frame, const std::function<void(AVPacket*)>& sink) override {
        int r = avcodec_send_frame(ctx_.get(), frame);
        if (r < 0) {
            throw EncodeError(std::string("the ") + ctx_->codec->name +
                              " encoder failed: " + ErrorText(r));
        }
        for (;;) {
            r = avcodec_receive_packet(ctx_.get(), pkt_.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
                return;
            }
            if (r < 0) {
                throw EncodeError(std::string("the ") + ctx_->codec->name +
                                  " encoder failed: " + ErrorText(r));
            }
            sink(pkt_.get());
            av_packet_unref(pkt_.get());
        }
    }

private:
    CodecContextPtr ctx_;
    PacketPtr pkt_;
};

// AMR-NB through opencore: 160 samples of 8000 Hz mono per 20 ms frame.
class AmrEncoder : public AudioEncoder {
public:
    static constexpr int kFrame = 160;

    AmrEncoder(int mode, int bitrate) : mode_(mode), bitrate_(bitrate), pkt_(av_packet_alloc()) {
        state_ = Encoder_Interface_init(0);
        if (state_ == nullptr || !pkt_) {
            throw EncodeError("cannot start the AMR-NB encoder");
        }
    }
    AmrEncoder(const AmrEncoder&) = delete;
    AmrEncoder& operator=(const AmrEncoder&) = delete;
    ~AmrEncoder() override { Encoder_Interface_exit(state_); }

    int frameSize() const override { return kFrame; }
    AVSampleFormat format() const override { return AV_SAMPLE_FMT_S16; }
    AVRational timeBase() const override { return {1, 8000}; }
    void DescribeStream(AVCodecParameters* par) const override {
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AMR_NB;
        par->sample_rate = 8000;
        av_channel_layout_default(&par->ch_layout, 1);
        par->bit_rate = bitrate_;
        par->frame_size = kFrame;
    }

    void Encode(AVFrame* frame, const std::function<void(AVPacket*)>& sink) override {
        if (frame == nullptr) {
            return;
        }
        short speech[kFrame] = {};
        const int n = std::min(frame->nb_samples, kFrame);
        std::copy_n(reinterpret_cast<const short*>(frame->data[0]), n, speech);
        unsigned char out[64];
        const int size = Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), speech, out, 0);
        if (size <= 0) {
            throw EncodeError("the AMR-NB encoder failed");
        }
        if (av_new_packet(pkt_.get(), size) < 0) {
            throw EncodeError("out of memory");
        }
        std::copy_n(out, size, pkt_->data);
        pkt_->pts = pkt_->dts = frame->pts;
        pkt_->duration = kFrame;
        sink(pkt_.get());
        av_packet_unref(pkt_.get());
    }

private:
    void* state_ = nullptr;
    int mode_;
    int bitrate_;
    PacketPtr pkt_;
};

// The encoder's sample format closest to what the decoder gives, so the resampler has the
// least to do: the same type (planar or packed), else float planar, else the first offered.
// A gain above 1 takes float wherever the encoder offers it: 16-bit samples would clip.
AVSampleFormat EncoderFormat(const AVCodec* codec, AVSampleFormat source, double gain) {
    const AVSampleFormat* formats = codec->sample_fmts;
    if (formats == nullptr) {
        return AV_SAMPLE_FMT_S16;
    }
    AVSampleFormat packed = av_get_packed_sample_fmt(source);
    if (gain > 1.0) {
        packed = AV_SAMPLE_FMT_FLT;
    }
    AVSampleFormat best = formats[0];
    bool haveFloat = false;
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
        // Volume is applied to 16-bit and float samples only.
        if ((packed == AV_SAMPLE_FMT_S16 || packed == AV_SAMPLE_FMT_FLT) &&
            av_get_packed_sample_fmt(*f) == packed) {
            return *f;
        }
        if (*f == AV_SAMPLE_FMT_FLTP && !haveFloat) {
            best = *f;
            haveFloat = true;
        }
    }
    return best;
}

CodecContextPtr OpenLavcEncoder(OutputType type, ResolvedSettings& settings, bool globalHeader,
                                AVSampleFormat sourceFormat, double gain) {
    const char* name = EncoderNameFor(type);
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) {
        throw EncodeError(std::string("the ") + name + " encoder is not available");
    }
    auto attempt = [&](bool qualityMode) -> std::pair<CodecContextPtr, int> {
        CodecContextPtr ctx(avcodec_alloc_context3(codec));
        if (!ctx) {
            throw EncodeError("out of memory");
        }
        ctx->sample_fmt = EncoderFormat(codec, sourceFormat, gain);
        ctx->sample_rate = settings.sampleRate;
        av_channel_layout_default(&ctx->ch_layout, settings.channels);
        ctx->time_base = {1, settings.sampleRate};
        ctx->thread_count = 1;
        if (qualityMode) {
            ctx->flags |= AV_CODEC_FLAG_QSCALE;
            ctx->global_quality = 3 * FF_QP2LAMBDA;
        } else if (settings.bitrate > 0) {
            ctx->bit_rate = settings.bitrate;
        }
        if (globalHeader) {
            ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        const int r = avcodec_open2(ctx.get(), codec, nullptr);
        return {std::move(ctx), r};
    };
    auto [ctx, r] = attempt(false);
    if (r < 0 && type == OutputType::Ogg) {
        // Outside libvorbis's bitrate tables a quality setting still gives a valid file.
        auto [qctx, qr] = attempt(true);
        if (qr >= 0) {
            settings.vorbisQualityMode = true;
            settings.notes.push_back("Vorbis cannot keep " +
                                     FormatNumber(settings.bitrate / 1000.0) + " kbit/s at " +
                                     FormatNumber(settings.sampleRate) + " Hz, using quality 3");
            return std::move(qctx);
        }
    }
    if (r < 0) {
        throw EncodeError(std::string("cannot open the ") + name + " encoder at " +
                          std::to_string(settings.sampleRate) + " Hz " +
                          ChannelsText(settings.channels) + ": " + ErrorText(r));
    }
    return std::move(ctx);
}

} // namespace

std::vector<std::uint8_t> StreamHeaders(const AudioEncoder& encoder) {
    struct Free {
        void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
    };
    const std::unique_ptr<AVCodecParameters, Free> par(avcodec_parameters_alloc());
    if (!par) {
        throw EncodeError("out of memory");
    }
    encoder.DescribeStream(par.get());
    return {par->extradata, par->extradata + par->extradata_size};
}

const char* EncoderNameFor(OutputType type) {
    switch (type) {
    case OutputType::Aac:
    case OutputType::M4a:
        return "aac";
    case OutputType::Mp3:
        return "libmp3lame";
    case OutputType::Ac3:
        return "ac3";
    case OutputType::Ogg:
        return "libvorbis";
    case OutputType::Wav:
        return "pcm_s16le";
    case OutputType::Amr:
        return "libopencore-amrnb";
    }
    return "";
}

std::unique_ptr<AudioEncoder> OpenEncoder(OutputType type, ResolvedSettings& settings,
                                          bool globalHeader, AVSampleFormat sourceFormat,
                                          double gain) {
    if (type == OutputType::Amr) {
        return std::make_unique<AmrEncoder>(settings.amrMode, settings.bitrate);
    }
    return std::make_unique<LavcEncoder>(
        OpenLavcEncoder(type, settings, globalHeader, sourceFormat, gain));
}

} // namespace evc
