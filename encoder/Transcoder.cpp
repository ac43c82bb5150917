#include "encoder/Transcoder.h"

#include "encoder/Errors.h"
#include "encoder/FFmpeg.h"
#include "encoder/Gain.h"
#include "encoder/InputFormats.h"
#include "encoder/Settings.h"
#include "encoder/Status.h"
#include "encoder/System.h"
#include "encoder/TempOutput.h"

extern "C" {
#include <opencore-amrnb/interf_enc.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace evc {

namespace {

// Decode errors in a row after which the input counts as corrupt.
constexpr int kMaxConsecutiveDecodeErrors = 64;
// Temporary files of a killed evc older than this are removed by the next run in the folder.
constexpr std::chrono::hours kStaleTempAge{1};
// Decoding starts this much before -ss, so decoders that need history have it.
constexpr double kSeekPrerollSeconds = 0.5;

int InterruptCallback(void* opaque) {
    const auto* stop = static_cast<const volatile std::sig_atomic_t*>(opaque);
    return stop != nullptr && *stop != 0 ? 1 : 0;
}

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", s);
    return buf;
}

std::string ClockText(double s) {
    const long long ms = s > 0 ? std::llround(s * 1000) : 0;
    const long long total = ms / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", total / 3600, total / 60 % 60,
                  total % 60, ms % 1000);
    return buf;
}

std::string ChannelsText(int channels) {
    if (channels == 1) {
        return "mono";
    }
    if (channels == 2) {
        return "stereo";
    }
    return std::to_string(channels) + " channels";
}

// Tags worth carrying; container bookkeeping stays behind.
bool IsTechnicalKey(const char* key) {
    static const char* const kSkip[] = {
        "encoder",   "major_brand",   "minor_version", "compatible_brands", "handler_name",
        "vendor_id", "creation_time", "duration",      "encoded_by",        "timecode"};
    for (const char* s : kSkip) {
        if (av_strcasecmp(key, s) == 0) {
            return true;
        }
    }
    return false;
}

void CopyTags(const AVDictionary* from, AVDictionary** to) {
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(from, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (!IsTechnicalKey(e->key)) {
            av_dict_set(to, e->key, e->value, AV_DICT_DONT_OVERWRITE);
        }
    }
}

// Everything that turns frames of the encoder's format into packets.
class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;
    virtual int frameSize() const = 0; // 0: any size
    virtual AVSampleFormat format() const = 0;
    virtual AVRational timeBase() const = 0;
    // Sends one frame (nullptr: end of stream) and hands every finished packet to sink.
    virtual void Encode(AVFrame* frame, const std::function<void(AVPacket*)>& sink) = 0;
};

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
    AVCodecContext* context() const { return ctx_.get(); }

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

    explicit AmrEncoder(int mode) : mode_(mode), pkt_(av_packet_alloc()) {
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
    PacketPtr pkt_;
};

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

struct InputAudio {
    InputFormatPtr format;
    CodecContextPtr decoder;
    int streamIndex = -1;
};

InputAudio OpenInput(const std::string& path, const volatile std::sig_atomic_t* stop) {
    InputAudio in;
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        throw EncodeError("out of memory");
    }
    raw->interrupt_callback.callback = InterruptCallback;
    raw->interrupt_callback.opaque = const_cast<std::sig_atomic_t*>(stop);
    AVDictionary* rawOpts = nullptr;
    LimitInputOpening(&rawOpts);
    int r = avformat_open_input(&raw, FileUrl(path).c_str(), nullptr, &rawOpts);
    av_dict_free(&rawOpts);
    if (r < 0) {
        if (r == AVERROR_EXIT || (stop != nullptr && *stop != 0)) {
            throw EncodeCancelled("stopped");
        }
        if (r == AVERROR_INVALIDDATA || r == AVERROR(EINVAL)) {
            throw EncodeError("cannot read input '" + path +
                              "': not an audio or video file evc can read");
        }
        if (r == AVERROR_EOF) {
            throw EncodeError("'" + path + "' ends inside its header (truncated or damaged file)");
        }
        throw EncodeError("cannot open input '" + path + "': " + ErrorText(r));
    }
    in.format.reset(raw);
    r = avformat_find_stream_info(raw, nullptr);
    if (r < 0) {
        if (r == AVERROR_EXIT) {
            throw EncodeCancelled("stopped");
        }
        throw EncodeError("cannot read input '" + path + "': " + ErrorText(r));
    }
    bool sawAudio = false;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        AVStream* st = raw->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            continue;
        }
        sawAudio = true;
        if (in.streamIndex >= 0 || st->codecpar->sample_rate <= 0 ||
            st->codecpar->ch_layout.nb_channels <= 0) {
            continue;
        }
        const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
        if (dec == nullptr) {
            continue;
        }
        CodecContextPtr ctx(avcodec_alloc_context3(dec));
        if (!ctx || avcodec_parameters_to_context(ctx.get(), st->codecpar) < 0) {
            continue;
        }
        ctx->pkt_timebase = st->time_base;
        ctx->thread_count = 1;
        if (avcodec_open2(ctx.get(), dec, nullptr) < 0) {
            continue;
        }
        in.decoder = std::move(ctx);
        in.streamIndex = static_cast<int>(i);
    }
    if (in.streamIndex < 0) {
        throw EncodeError(sawAudio ? "no decodable audio stream in '" + path + "'"
                                   : "'" + path + "' has no audio stream");
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        if (static_cast<int>(i) != in.streamIndex) {
            raw->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    return in;
}

// Containers whose seeking lands on a known sample; others (MP3, ADTS, MPEG streams, ...)
// may guess from the byte position, so those are decoded from the start instead.
bool SeeksExactly(const AVFormatContext* fmt) {
    const std::string name = fmt->iformat->name;
    return name == "wav" || name == "w64" || name == "aiff" || name == "ogg" || name == "flac" ||
           name == "avi" || name.rfind("mov,", 0) == 0 || name.rfind("matroska", 0) == 0;
}

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Bytes of sample data a WAV header states. None where it states no usable length: 0, and from
// 2 GiB - 4 KiB up, what pipe and recorder writers put in for "unknown"; a data chunk reaching
// past the RIFF chunk that holds it; an RF64 size of 0 or all ones.
std::optional<std::uint64_t> WavStatedDataBytes(const std::string& path) {
    constexpr std::uint32_t kUnknownFrom = 0x7FFFF000;
    std::ifstream in(path, std::ios::binary);
    unsigned char head[12];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0;
    if (!rf64 && std::memcmp(head, "RIFF", 4) != 0) {
        return std::nullopt;
    }
    const std::uint64_t riffEnd = 8 + std::uint64_t{Le32(head + 4)};
    std::uint64_t ds64Data = 0;
    std::uint64_t pos = sizeof head;
    for (int chunk = 0; chunk < 1000; ++chunk) {
        unsigned char ch[8];
        if (!in.seekg(static_cast<std::streamoff>(pos)) ||
            !in.read(reinterpret_cast<char*>(ch), sizeof ch)) {
            return std::nullopt;
        }
        const std::uint32_t size = Le32(ch + 4);
        if (std::memcmp(ch, "data", 4) == 0) {
            if (rf64) {
                if (ds64Data == 0 || ds64Data == ~std::uint64_t{0}) {
                    return std::nullopt;
                }
                return ds64Data;
            }
            if (size == 0 || size >= kUnknownFrom || pos + 8 + size > riffEnd) {
                return std::nullopt;
            }
            return size;
        }
        if (std::memcmp(ch, "ds64", 4) == 0 && size >= 16) {
            unsigned char d[16];
            if (!in.read(reinterpret_cast<char*>(d), sizeof d)) {
                return std::nullopt;
            }
            ds64Data = std::uint64_t{Le32(d + 8)} | std::uint64_t{Le32(d + 12)} << 32;
        }
        pos += 8 + std::uint64_t{size} + (size & 1);
    }
    return std::nullopt;
}

// The length the container or its header promises, where one does: so ending clearly short of
// it means a cut or damaged file. Lengths that libavformat estimated from the bitrate or the
// file size promise nothing.
std::optional<double> StatedSeconds(const AVFormatContext* fmt, const AVStream* st,
                                    const std::string& path) {
    const std::string name = fmt->iformat->name;
    if (name == "wav") {
        const auto bytes = WavStatedDataBytes(path);
        if (!bytes || st->codecpar->bit_rate <= 0) {
            return std::nullopt;
        }
        return static_cast<double>(*bytes) * 8 / static_cast<double>(st->codecpar->bit_rate);
    }
    // MP4 family: the track header; MP3: the Xing/Info frame count; Ogg: the last page's
    // position.
    const bool states = name.rfind("mov,", 0) == 0 || name == "mp3" || name == "ogg";
    if (!states || fmt->duration_estimation_method != AVFMT_DURATION_FROM_STREAM ||
        st->duration == AV_NOPTS_VALUE || st->duration <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(st->duration) * av_q2d(st->time_base);
}

class Pipeline {
public:
    Pipeline(const EncodeOptions& options, const TranscodeHooks& hooks)
        : options_(options), hooks_(hooks), status_(hooks.statusIntervalMs) {}

    TranscodeResult Run();

private:
    void Line(const std::string& text) {
        if (hooks_.line) {
            hooks_.line(text);
        }
    }
    void CheckStop() {
        if (hooks_.stop != nullptr && *hooks_.stop != 0) {
            throw EncodeCancelled("stopped before the output was complete");
        }
    }
    void Preflight();
    void OpenOutput();
    void PrintHeader();
    void DecodeAll();
    bool SeekNearStart();
    void ReceiveFrames(AVFrame* frame, int& errorsInRow);
    void RestartFromBeginning();
    void CheckDecodedLength(bool reachedEnd, bool sought);
    void HandleFrame(AVFrame* frame);
    void SetUpResampler(const AVFrame* frame);
    void Convert(const uint8_t* const* data, int count);
    void Emit(AVFrame* converted);
    void SendToEncoder(AVFrame* frame);
    void WritePacket(AVPacket* pkt);
    void FlushResampler();
    void FlushAll();
    void MaybeStatus(bool force);
    double SecondsWritten() const {
        return static_cast<double>(samplesSent_) / settings_.sampleRate;
    }
    bool LimitReached() const { return samplesSent_ >= maxSamples_; }

    const EncodeOptions& options_;
    const TranscodeHooks& hooks_;
    OutputType type_ = OutputType::Wav;
    InputAudio in_;
    ResolvedSettings settings_;
    std::unique_ptr<AudioEncoder> encoder_;
    std::optional<TempOutput> temp_;
    OutputFormatPtr out_;
    AVStream* outStream_ = nullptr;
    double gain_ = 1.0;

    SwrPtr swr_;
    int swrInFormat_ = -1;
    int swrInRate_ = 0;
    ChannelLayout swrInLayout_;
    FramePtr converted_;
    FramePtr encFrame_;
    FifoPtr fifo_;

    std::int64_t startSample_ = 0; // at the input rate
    std::int64_t maxSamples_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t samplesSent_ = 0;
    std::int64_t inputSamplesUsed_ = 0;
    std::optional<std::int64_t> nextPos_; // input position of the next decoded sample
    double decodedEndSeconds_ = 0;
    bool anyFrame_ = false;
    bool overshot_ = false; // a seek landed after the start
    StatusThrottle status_;
};

void Pipeline::Preflight() {
    const auto type = OutputTypeForPath(options_.output);
    if (!type) {
        throw EncodeError("unsupported output type '" + options_.output + "'");
    }
    type_ = *type;
    std::error_code ec;
    const auto inStatus = fs::status(PathFromUtf8(options_.input), ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        throw EncodeError("cannot open input '" + options_.input + "': " + ec.message());
    }
    if (!fs::exists(inStatus)) {
        throw EncodeError("input file '" + options_.input + "' not found");
    }
    if (fs::is_directory(inStatus)) {
        throw EncodeError("input '" + options_.input + "' is a folder, not a file");
    }
    if (!fs::is_regular_file(inStatus)) {
        // Opening a pipe waits for a writer that may never come.
        throw EncodeError("input '" + options_.input +
                          "' is not a regular file (a pipe, device or socket)");
    }
    const auto outStatus = fs::symlink_status(PathFromUtf8(options_.output), ec);
    if (fs::exists(outStatus)) {
        if (SameFile(options_.input, options_.output)) {
            throw EncodeError("the output file '" + options_.output + "' is the input file");
        }
        if (fs::is_directory(outStatus)) {
            throw EncodeError("the output '" + options_.output + "' is a folder");
        }
        if (!options_.overwrite) {
            throw EncodeError("output file '" + options_.output +
                              "' already exists (use -y to overwrite)");
        }
    }
    const fs::path dir = PathFromUtf8(options_.output).parent_path();
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        throw EncodeError("output folder '" + Utf8FromPath(dir) + "' does not exist");
    }
}

void Pipeline::OpenOutput() {
    const std::string muxer = MuxerNameFor(type_);
    AVFormatContext* raw = nullptr;
    int r = avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), nullptr);
    if (r < 0 || raw == nullptr) {
        throw EncodeError("the " + muxer + " muxer is not available");
    }
    out_.reset(raw);
    const bool globalHeader = (raw->oformat->flags & AVFMT_GLOBALHEADER) != 0;

    if (type_ == OutputType::Amr) {
        encoder_ = std::make_unique<AmrEncoder>(settings_.amrMode);
    } else {
        encoder_ = std::make_unique<LavcEncoder>(
            OpenLavcEncoder(type_, settings_, globalHeader, in_.decoder->sample_fmt, gain_));
    }

    outStream_ = avformat_new_stream(raw, nullptr);
    if (outStream_ == nullptr) {
        throw EncodeError("out of memory");
    }
    if (auto* lavc = dynamic_cast<LavcEncoder*>(encoder_.get())) {
        r = avcodec_parameters_from_context(outStream_->codecpar, lavc->context());
        if (r < 0) {
            throw EncodeError("cannot set up the output stream: " + ErrorText(r));
        }
    } else {
        AVCodecParameters* par = outStream_->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AMR_NB;
        par->sample_rate = 8000;
        av_channel_layout_default(&par->ch_layout, 1);
        par->bit_rate = settings_.bitrate;
        par->frame_size = AmrEncoder::kFrame;
    }
    outStream_->time_base = encoder_->timeBase();

    // Tags: the file's own, then the audio stream's (Ogg and some others keep them there).
    const AVFormatContext* inFmt = in_.format.get();
    CopyTags(inFmt->metadata, &raw->metadata);
    CopyTags(inFmt->streams[in_.streamIndex]->metadata, &raw->metadata);
    if (type_ == OutputType::Ogg) {
        CopyTags(raw->metadata, &outStream_->metadata);
    }

    const fs::path folder = PathFromUtf8(options_.output).parent_path();
    RemoveStaleTempOutputs(folder.empty() ? "." : Utf8FromPath(folder), kStaleTempAge);
    temp_.emplace(options_.output);
    raw->interrupt_callback.callback = InterruptCallback;
    raw->interrupt_callback.opaque = const_cast<std::sig_atomic_t*>(hooks_.stop);
    r = avio_open2(&raw->pb, FileUrl(temp_->path()).c_str(), AVIO_FLAG_WRITE,
                   &raw->interrupt_callback, nullptr);
    if (r < 0) {
        throw EncodeError("cannot write '" + options_.output + "': " + ErrorText(r));
    }
    AVDictionary* opts = nullptr;
    if (type_ == OutputType::Aac) {
        // ADTS has no tag block of its own; an ID3v2 header in front is what players read.
        av_dict_set(&opts, "write_id3v2", "1", 0);
    }
    r = avformat_write_header(raw, &opts);
    av_dict_free(&opts);
    if (r < 0) {
        throw EncodeError("cannot write the " + TypeName(type_) + " header: " + ErrorText(r));
    }
}

void Pipeline::PrintHeader() {
    const AVFormatContext* fmt = in_.format.get();
    const AVCodecContext* dec = in_.decoder.get();
    std::string input = "Input: '" + options_.input + "', " + fmt->iformat->name;
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        input += ", duration " + ClockText(fmt->duration / static_cast<double>(AV_TIME_BASE));
    }
    Line(input);
    Line("Stream #" + std::to_string(in_.streamIndex) + ": audio, " + dec->codec->name + ", " +
         std::to_string(dec->sample_rate) + " Hz, " + ChannelsText(dec->ch_layout.nb_channels));
    std::string settings = "Output: '" + options_.output + "', " + TypeName(type_) + " (" +
                           EncoderNameFor(type_) + "), ";
    if (type_ == OutputType::Amr) {
        settings += FormatNumber(settings_.amrModeKbps) + " kbit/s, ";
    } else if (type_ == OutputType::Wav) {
        settings += "16-bit PCM, ";
    } else if (settings_.vorbisQualityMode) {
        settings += "quality 3, ";
    } else {
        settings += FormatNumber(settings_.bitrate / 1000.0) + " kbit/s, ";
    }
    settings += std::to_string(settings_.sampleRate) + " Hz, " + ChannelsText(settings_.channels);
    Line(settings);
    char vol[64];
    std::snprintf(vol, sizeof vol, "Volume: %d (x%.3f)", options_.volume, gain_);
    Line(vol);
    if (options_.startSeconds || options_.lengthSeconds) {
        std::string trim = "Trim: from " + ClockText(options_.startSeconds.value_or(0));
        trim += options_.lengthSeconds ? ", " + FormatNumber(*options_.lengthSeconds) + " s"
                                       : ", to the end";
        Line(trim);
    }
    for (const auto& note : settings_.notes) {
        Line("Note: " + note);
    }
}

void Pipeline::SetUpResampler(const AVFrame* frame) {
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
        FlushResampler();
    }
    ChannelLayout outLayout(settings_.channels);
    SwrContext* raw = nullptr;
    int r = swr_alloc_set_opts2(&raw, outLayout.get(), encoder_->format(), settings_.sampleRate,
                                inLayout.get(), static_cast<AVSampleFormat>(frame->format),
                                frame->sample_rate, 0, nullptr);
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
}

void Pipeline::Convert(const uint8_t* const* data, int count) {
    const int capacity = swr_get_out_samples(swr_.get(), count);
    if (capacity <= 0) {
        return;
    }
    if (!converted_ || converted_->nb_samples < capacity) {
        converted_.reset(av_frame_alloc());
        if (!converted_) {
            throw EncodeError("out of memory");
        }
        converted_->format = encoder_->format();
        converted_->sample_rate = settings_.sampleRate;
        av_channel_layout_default(&converted_->ch_layout, settings_.channels);
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
    if (n == 0) {
        return;
    }
    converted_->nb_samples = n;
    Emit(converted_.get());
    converted_->nb_samples = allocated;
}

void Pipeline::Emit(AVFrame* frame) {
    const int frameSize = encoder_->frameSize();
    if (frameSize == 0) {
        SendToEncoder(frame);
        return;
    }
    if (!fifo_) {
        fifo_.reset(av_audio_fifo_alloc(encoder_->format(), settings_.channels, frameSize * 4));
        encFrame_.reset(av_frame_alloc());
        if (!fifo_ || !encFrame_) {
            throw EncodeError("out of memory");
        }
    }
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(frame->data), frame->nb_samples) <
        frame->nb_samples) {
        throw EncodeError("out of memory");
    }
    while (!LimitReached() && av_audio_fifo_size(fifo_.get()) >= frameSize) {
        AVFrame* f = encFrame_.get();
        if (f->buf[0] == nullptr) {
            f->format = encoder_->format();
            f->sample_rate = settings_.sampleRate;
            av_channel_layout_default(&f->ch_layout, settings_.channels);
            f->nb_samples = frameSize;
            if (av_frame_get_buffer(f, 0) < 0) {
                throw EncodeError("out of memory");
            }
        } else if (av_frame_make_writable(f) < 0) {
            throw EncodeError("out of memory");
        }
        f->nb_samples =
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), frameSize);
        SendToEncoder(f);
        f->nb_samples = frameSize;
    }
}

void Pipeline::SendToEncoder(AVFrame* frame) {
    const std::int64_t room = maxSamples_ - samplesSent_;
    if (room <= 0) {
        return;
    }
    const int keep = frame->nb_samples;
    if (frame->nb_samples > room) {
        frame->nb_samples = static_cast<int>(room);
    }
    if (gain_ != 1.0) {
        const int channels = settings_.channels;
        switch (frame->format) {
        case AV_SAMPLE_FMT_FLTP:
            for (int c = 0; c < channels; ++c) {
                ApplyGain(reinterpret_cast<float*>(frame->extended_data[c]),
                          static_cast<std::size_t>(frame->nb_samples), gain_);
            }
            break;
        case AV_SAMPLE_FMT_FLT:
            ApplyGain(reinterpret_cast<float*>(frame->data[0]),
                      static_cast<std::size_t>(frame->nb_samples) * channels, gain_);
            break;
        case AV_SAMPLE_FMT_S16:
            ApplyGain(reinterpret_cast<std::int16_t*>(frame->data[0]),
                      static_cast<std::size_t>(frame->nb_samples) * channels, gain_);
            break;
        case AV_SAMPLE_FMT_S16P:
            for (int c = 0; c < channels; ++c) {
                ApplyGain(reinterpret_cast<std::int16_t*>(frame->extended_data[c]),
                          static_cast<std::size_t>(frame->nb_samples), gain_);
            }
            break;
        default:
            throw EncodeError("volume change is not available for this sample format");
        }
    }
    frame->pts = samplesSent_;
    samplesSent_ += frame->nb_samples;
    encoder_->Encode(frame, [this](AVPacket* p) { WritePacket(p); });
    frame->nb_samples = keep;
    MaybeStatus(false);
}

void Pipeline::WritePacket(AVPacket* pkt) {
    pkt->stream_index = 0;
    av_packet_rescale_ts(pkt, encoder_->timeBase(), outStream_->time_base);
    const int r = av_write_frame(out_.get(), pkt);
    if (r < 0) {
        if (r == AVERROR_EXIT) {
            throw EncodeCancelled("stopped before the output was complete");
        }
        throw EncodeError("cannot write '" + options_.output + "': " + ErrorText(r));
    }
    if (out_->pb->error < 0) {
        throw EncodeError("cannot write '" + options_.output + "': " + ErrorText(out_->pb->error));
    }
}

void Pipeline::MaybeStatus(bool force) {
    if (force || status_.Due(NowMs())) {
        Line(FormatStatusLine(avio_tell(out_->pb), SecondsWritten()));
    }
}

void Pipeline::HandleFrame(AVFrame* frame) {
    CheckStop();
    const int rate = frame->sample_rate;
    const int n = frame->nb_samples;
    if (rate <= 0 || n <= 0) {
        return;
    }
    const AVStream* st = in_.format->streams[in_.streamIndex];
    if (overshot_) {
        return;
    }
    const std::int64_t startSample =
        options_.startSeconds ? std::llround(*options_.startSeconds * rate) : 0;
    if (!nextPos_) {
        // First frame after a seek: place it by its timestamp.
        const std::int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) {
            throw EncodeError("cannot find the start time in '" + options_.input + "'");
        }
        const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        nextPos_ = av_rescale_q_rnd(ts - origin, st->time_base, AVRational{1, rate},
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF));
        if (*nextPos_ > startSample) {
            overshot_ = true;
            nextPos_.reset();
            return;
        }
    }
    const std::int64_t pos = *nextPos_;
    *nextPos_ += n;
    anyFrame_ = true;
    decodedEndSeconds_ = static_cast<double>(*nextPos_) / rate;

    if (pos + n <= startSample) {
        return;
    }
    const int skip = pos < startSample ? static_cast<int>(startSample - pos) : 0;
    SetUpResampler(frame);
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
    inputSamplesUsed_ += n - skip;
    Convert(planes, n - skip);
}

void Pipeline::FlushResampler() {
    // A call without input hands out what the resampler still holds back.
    while (!LimitReached() && converted_) {
        if (av_frame_make_writable(converted_.get()) < 0) {
            throw EncodeError("out of memory");
        }
        const int allocated = converted_->nb_samples;
        const int n = swr_convert(swr_.get(), converted_->data, allocated, nullptr, 0);
        if (n <= 0) {
            return;
        }
        converted_->nb_samples = n;
        Emit(converted_.get());
        converted_->nb_samples = allocated;
    }
}

// Seeks a little before the start where the container lands on a known
// sample; true when it did.
bool Pipeline::SeekNearStart() {
    AVFormatContext* fmt = in_.format.get();
    AVStream* st = fmt->streams[in_.streamIndex];
    if (!options_.startSeconds || *options_.startSeconds <= kSeekPrerollSeconds ||
        !SeeksExactly(fmt)) {
        return false;
    }
    const double target = *options_.startSeconds - kSeekPrerollSeconds;
    const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const std::int64_t ts = origin + av_rescale_q(static_cast<std::int64_t>(target * AV_TIME_BASE),
                                                  AV_TIME_BASE_Q, st->time_base);
    if (av_seek_frame(fmt, in_.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        return false;
    }
    avcodec_flush_buffers(in_.decoder.get());
    nextPos_.reset();
    return true;
}

void Pipeline::ReceiveFrames(AVFrame* frame, int& errorsInRow) {
    for (;;) {
        const int r = avcodec_receive_frame(in_.decoder.get(), frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            return;
        }
        if (r < 0) {
            if (++errorsInRow > kMaxConsecutiveDecodeErrors) {
                throw EncodeError("the audio in '" + options_.input + "' is corrupt at " +
                                  Seconds(decodedEndSeconds_) + " s: " + ErrorText(r));
            }
            continue;
        }
        errorsInRow = 0;
        HandleFrame(frame);
        av_frame_unref(frame);
        if (LimitReached()) {
            return;
        }
    }
}

// Landed past the start: decode from the beginning and count samples instead.
void Pipeline::RestartFromBeginning() {
    AVFormatContext* fmt = in_.format.get();
    AVStream* st = fmt->streams[in_.streamIndex];
    const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (av_seek_frame(fmt, in_.streamIndex, origin, AVSEEK_FLAG_BACKWARD) < 0) {
        throw EncodeError("cannot find the start time in '" + options_.input + "'");
    }
    avcodec_flush_buffers(in_.decoder.get());
    overshot_ = false;
    nextPos_ = 0;
}

void Pipeline::CheckDecodedLength(bool reachedEnd, bool sought) {
    if (!anyFrame_ && sought) {
        throw EncodeError("the start time " + ClockText(*options_.startSeconds) +
                          " is past the end of '" + options_.input + "'");
    }
    if (!anyFrame_) {
        throw EncodeError("no audio could be decoded from '" + options_.input + "'");
    }
    if (inputSamplesUsed_ == 0) {
        throw EncodeError("the start time " + ClockText(options_.startSeconds.value_or(0)) +
                          " is past the end of '" + options_.input + "' (" +
                          Seconds(decodedEndSeconds_) + " s)");
    }
    // A short read at the end (a WAV of unknown size) is the end; only falling clearly short
    // of a stated length is damage.
    AVFormatContext* fmt = in_.format.get();
    const auto stated = reachedEnd && !LimitReached()
                            ? StatedSeconds(fmt, fmt->streams[in_.streamIndex], options_.input)
                            : std::optional<double>();
    if (stated) {
        const double declared = *stated;
        if (declared - decodedEndSeconds_ > std::max(0.5, declared * 0.01)) {
            throw EncodeError("'" + options_.input + "' ends at " + Seconds(decodedEndSeconds_) +
                              " s of " + Seconds(declared) + " s (truncated or damaged file)");
        }
    }
}

void Pipeline::DecodeAll() {
    AVFormatContext* fmt = in_.format.get();
    AVCodecContext* dec = in_.decoder.get();
    nextPos_ = 0;
    bool sought = SeekNearStart();

    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!pkt || !frame) {
        throw EncodeError("out of memory");
    }
    int errorsInRow = 0;
    bool reachedEnd = false;
    while (!LimitReached()) {
        CheckStop();
        const int r = av_read_frame(fmt, pkt.get());
        if (r == AVERROR_EOF) {
            reachedEnd = true;
            break;
        }
        if (r == AVERROR_EXIT) {
            throw EncodeCancelled("stopped before the output was complete");
        }
        if (r == AVERROR(EAGAIN)) {
            continue;
        }
        if (r < 0) {
            throw EncodeError("cannot read '" + options_.input + "' at " +
                              Seconds(decodedEndSeconds_) + " s: " + ErrorText(r) +
                              " (damaged or truncated file?)");
        }
        if (pkt->stream_index != in_.streamIndex) {
            av_packet_unref(pkt.get());
            continue;
        }
        const int s = avcodec_send_packet(dec, pkt.get());
        av_packet_unref(pkt.get());
        if (s < 0 && s != AVERROR(EAGAIN)) {
            if (++errorsInRow > kMaxConsecutiveDecodeErrors) {
                throw EncodeError("the audio in '" + options_.input + "' is corrupt at " +
                                  Seconds(decodedEndSeconds_) + " s: " + ErrorText(s));
            }
            continue;
        }
        ReceiveFrames(frame.get(), errorsInRow);
        if (overshot_) {
            RestartFromBeginning();
            sought = false;
        }
    }
    if (!LimitReached()) {
        avcodec_send_packet(dec, nullptr);
        ReceiveFrames(frame.get(), errorsInRow);
    }
    CheckDecodedLength(reachedEnd, sought);
}

void Pipeline::FlushAll() {
    if (swr_) {
        FlushResampler();
    }
    if (fifo_ && !LimitReached()) {
        const int left = av_audio_fifo_size(fifo_.get());
        if (left > 0) {
            AVFrame* f = encFrame_.get();
            if (f->buf[0] == nullptr) {
                f->format = encoder_->format();
                f->sample_rate = settings_.sampleRate;
                av_channel_layout_default(&f->ch_layout, settings_.channels);
                f->nb_samples = encoder_->frameSize();
                if (av_frame_get_buffer(f, 0) < 0) {
                    throw EncodeError("out of memory");
                }
            } else if (av_frame_make_writable(f) < 0) {
                throw EncodeError("out of memory");
            }
            f->nb_samples =
                av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), left);
            SendToEncoder(f);
        }
    }
    encoder_->Encode(nullptr, [this](AVPacket* p) { WritePacket(p); });
}

TranscodeResult Pipeline::Run() {
    Preflight();
    CheckStop();
    in_ = OpenInput(options_.input, hooks_.stop);
    CheckStop();
    RequestedSettings req;
    req.sampleRate = options_.sampleRate;
    req.channels = options_.channels;
    req.bitrateKbps = options_.bitrateKbps;
    settings_ =
        ResolveSettings(type_, req, in_.decoder->sample_rate, in_.decoder->ch_layout.nb_channels);
    gain_ = GainForVolume(options_.volume);
    if (options_.lengthSeconds) {
        maxSamples_ =
            std::max<std::int64_t>(1, std::llround(*options_.lengthSeconds * settings_.sampleRate));
    }
    OpenOutput();
    PrintHeader();
    MaybeStatus(true);
    status_.Due(NowMs());

    DecodeAll();
    FlushAll();
    CheckStop();

    int r = av_write_trailer(out_.get());
    if (r < 0) {
        throw EncodeError("cannot finish '" + options_.output + "': " + ErrorText(r));
    }
    avio_flush(out_->pb);
    if (out_->pb->error < 0) {
        throw EncodeError("cannot write '" + options_.output + "': " + ErrorText(out_->pb->error));
    }
    const std::int64_t bytes = avio_tell(out_->pb);
    r = avio_closep(&out_->pb);
    if (r < 0) {
        throw EncodeError("cannot write '" + options_.output + "': " + ErrorText(r));
    }
    CheckStop();
    temp_->Commit(options_.overwrite);
    TranscodeResult result;
    result.bytes = bytes;
    result.seconds = SecondsWritten();
    Line(FormatStatusLine(bytes, result.seconds));
    return result;
}

} // namespace

TranscodeResult Transcode(const EncodeOptions& options, const TranscodeHooks& hooks) {
    Pipeline pipeline(options, hooks);
    return pipeline.Run();
}

} // namespace evc
