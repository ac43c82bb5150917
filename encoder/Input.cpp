#include "encoder/Input.h"

#include "encoder/Errors.h"
#include "encoder/InputFormats.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace evc {

namespace {

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

} // namespace

InputAudio OpenInput(const std::string& path, const volatile std::sig_atomic_t* stop) {
    InputAudio in;
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        throw EncodeError("out of memory");
    }
    InterruptOnStop(raw, stop);
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

bool SeeksExactly(const AVFormatContext* fmt) {
    const std::string name = fmt->iformat->name;
    return name == "wav" || name == "w64" || name == "aiff" || name == "ogg" || name == "flac" ||
           name == "avi" || name.rfind("mov,", 0) == 0 || name.rfind("matroska", 0) == 0;
}

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

} // namespace evc
