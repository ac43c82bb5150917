// The probing media graph: opens a file with libavformat, makes sure it holds
// an audio stream that really decodes, and reports its duration. Nothing is
// played; run, pause, stop and seeking have nothing to act on.
#include "media/MediaGraph.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "encoder/InputFormats.h"
#include "media/AudioFrameScan.h"
#include "support/platform/SystemIO.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
}

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct CodecCloser {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct PacketFree {
    void operator()(AVPacket* pkt) const { av_packet_free(&pkt); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct DictFree {
    void operator()(AVDictionary* dict) const { av_dict_free(&dict); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// Render results besides 0.
constexpr int kNotActive = 1;
constexpr int kNoAudio = AVERROR_STREAM_NOT_FOUND;
constexpr int kNotDecodable = AVERROR_INVALIDDATA;

// How much of a file the decode check may read before giving up: enough for
// containers that interleave a lot of video before the first sound.
constexpr int kMaxPacketsRead = 2000;
constexpr int kMaxAudioPackets = 64;

// A bad file makes libav* print to stderr; the result code says enough.
void QuietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

bool AudioParamsComplete(const AVCodecParameters* par) {
    return par->codec_id != AV_CODEC_ID_NONE && par->sample_rate > 0 &&
           par->ch_layout.nb_channels > 0;
}

int FindAudioStream(AVFormatContext* ctx) {
    return av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
}

// Milliseconds, truncated; 0 when unknown.
std::int64_t StreamDurationMs(const AVStream* st) {
    if (st->duration == AV_NOPTS_VALUE || st->duration <= 0 || st->time_base.num <= 0 ||
        st->time_base.den <= 0)
        return 0;
    return av_rescale_rnd(st->duration, std::int64_t{st->time_base.num} * 1000, st->time_base.den,
                          AV_ROUND_DOWN);
}

std::int64_t FormatDurationMs(const AVFormatContext* ctx) {
    if (ctx->duration == AV_NOPTS_VALUE || ctx->duration <= 0)
        return 0;
    return ctx->duration / (AV_TIME_BASE / 1000);
}

// Raw MP3 and ADTS streams have no length field; estimating from the bitrate
// is off by the encoder's padding (MP3) or plainly wrong for VBR (AAC).
std::optional<TSampleCount> RawStreamLength(const AVFormatContext* ctx, const std::string& path) {
    const char* name = ctx->iformat->name;
    bool mp3 = std::strcmp(name, "mp3") == 0;
    bool adts = std::strcmp(name, "aac") == 0;
    if (!mp3 && !adts)
        return std::nullopt;
    std::ifstream in(FilePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return mp3 ? Mp3TaggedLength(in) : AdtsLength(in);
}

// True when at least one audio frame with samples comes out of the decoder.
bool DecodesAudio(AVFormatContext* ctx, int streamIndex) {
    const AVStream* st = ctx->streams[streamIndex];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (codec == nullptr)
        return false;
    CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0)
        return false;
    dec->pkt_timebase = st->time_base;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return false;

    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!pkt || !frame)
        return false;

    auto gotFrame = [&]() {
        for (;;) {
            int r = avcodec_receive_frame(dec.get(), frame.get());
            if (r < 0)
                return false;
            bool hasSamples = frame->nb_samples > 0;
            av_frame_unref(frame.get());
            if (hasSamples)
                return true;
        }
    };

    int audioPackets = 0;
    for (int read = 0; read < kMaxPacketsRead && audioPackets < kMaxAudioPackets; ++read) {
        int r = av_read_frame(ctx, pkt.get());
        if (r < 0)
            break;
        if (pkt->stream_index == streamIndex) {
            ++audioPackets;
            // A damaged packet does not condemn the file; the next may decode.
            if (avcodec_send_packet(dec.get(), pkt.get()) >= 0 && gotFrame()) {
                av_packet_unref(pkt.get());
                return true;
            }
        }
        av_packet_unref(pkt.get());
    }
    // Short files: what the decoder still holds.
    if (avcodec_send_packet(dec.get(), nullptr) >= 0 && gotFrame())
        return true;
    return false;
}

// Reads the rest of the file; only for containers that state no length.
std::int64_t LastPacketEndMs(AVFormatContext* ctx, int streamIndex) {
    const AVStream* st = ctx->streams[streamIndex];
    PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        return 0;
    std::int64_t first = AV_NOPTS_VALUE;
    std::int64_t end = AV_NOPTS_VALUE;
    while (av_read_frame(ctx, pkt.get()) >= 0) {
        if (pkt->stream_index == streamIndex && pkt->pts != AV_NOPTS_VALUE) {
            if (first == AV_NOPTS_VALUE || pkt->pts < first)
                first = pkt->pts;
            std::int64_t e = pkt->pts + std::max<std::int64_t>(pkt->duration, 0);
            if (end == AV_NOPTS_VALUE || e > end)
                end = e;
        }
        av_packet_unref(pkt.get());
    }
    if (end == AV_NOPTS_VALUE)
        return 0;
    std::int64_t start = st->start_time != AV_NOPTS_VALUE ? std::min(st->start_time, first) : first;
    if (end <= start || st->time_base.den <= 0)
        return 0;
    return av_rescale_rnd(end - start, std::int64_t{st->time_base.num} * 1000, st->time_base.den,
                          AV_ROUND_DOWN);
}

class ProbeGraph final : public IMediaGraph {
public:
    ProbeGraph() { QuietLibraryLog(); }

    void Activate() override { active_ = true; }
    void Deactivate() override { active_ = false; }
    bool Active() const override { return active_; }
    void Clear() override {
        Stop();
        durationMs_ = 0;
    }

    int RenderFile(const std::string& path) override {
        durationMs_ = 0;
        if (!active_)
            return kNotActive;
        std::int64_t ms = 0;
        int r = Probe(path, ms);
        if (r == 0)
            durationMs_ = ms;
        return r;
    }

    void Run() override {}
    void Pause() override {}
    void Stop() override {}
    std::int64_t DurationMs() override { return durationMs_; }
    std::int64_t CurrentPosition() override { return 0; }
    void SeekTo(std::int64_t) override {}

private:
    static int Probe(const std::string& path, std::int64_t& ms) {
        // A pipe or device named like a media file would block the probe
        // for good; folders cannot be media either.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(FilePath(path), ec))
            return AVERROR(ENOENT);
        // Local files of the accepted types only, as the encoder opens them:
        // a playlist or concat script disguised as media must not make the
        // probe read other files or the network.
        AVDictionary* rawOpts = nullptr;
        evc::LimitInputOpening(&rawOpts);
        AVFormatContext* raw = nullptr;
        int r = avformat_open_input(&raw, evc::FileUrl(path).c_str(), nullptr, &rawOpts);
        std::unique_ptr<AVDictionary, DictFree> opts(rawOpts);
        if (r < 0)
            return r;
        FormatPtr ctx(raw);

        // Most containers describe their streams and length in the header;
        // the costly stream analysis only runs where they do not.
        int audio = FindAudioStream(ctx.get());
        bool analysed = false;
        auto analyse = [&]() {
            if (analysed)
                return true;
            analysed = true;
            if (avformat_find_stream_info(ctx.get(), nullptr) < 0)
                return false;
            audio = FindAudioStream(ctx.get());
            return true;
        };
        if ((ctx->ctx_flags & AVFMTCTX_NOHEADER) || audio < 0 ||
            !AudioParamsComplete(ctx->streams[audio]->codecpar)) {
            if (!analyse())
                return kNotDecodable;
        }
        if (audio < 0)
            return kNoAudio;

        std::int64_t length = 0;
        if (auto exact = RawStreamLength(ctx.get(), path)) {
            length = exact->Milliseconds();
        } else {
            length = StreamDurationMs(ctx->streams[audio]);
            if (length <= 0)
                length = FormatDurationMs(ctx.get());
            if (length <= 0 && !analysed) {
                if (!analyse())
                    return kNotDecodable;
                if (audio < 0)
                    return kNoAudio;
                length = StreamDurationMs(ctx->streams[audio]);
                if (length <= 0)
                    length = FormatDurationMs(ctx.get());
            }
            // Lengths read from packet stamps (MPEG PS/TS) come out short for
            // a single stream; a little too long never cuts sound off.
            if (analysed && ctx->duration_estimation_method == AVFMT_DURATION_FROM_PTS)
                length = std::max(length, FormatDurationMs(ctx.get()));
        }

        // Raw PCM decodes by definition; reading packets would only start the
        // library's costly check for other codecs hidden in the samples.
        const AVCodecParameters* par = ctx->streams[audio]->codecpar;
        bool pcm =
            par->codec_id >= AV_CODEC_ID_PCM_S16LE && par->codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
        if (!(pcm && length > 0) && !DecodesAudio(ctx.get(), audio))
            return kNotDecodable;
        // Containers without any length (SWF): the end of the last packet.
        if (length <= 0)
            length = LastPacketEndMs(ctx.get(), audio);
        ms = length > 0 ? length : 0;
        return 0;
    }

    bool active_ = false;
    std::int64_t durationMs_ = 0;
};

} // namespace

std::unique_ptr<IMediaGraph> CreateProbeGraph() {
    return std::make_unique<ProbeGraph>();
}
