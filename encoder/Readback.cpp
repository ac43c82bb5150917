#include "encoder/Readback.h"

#include "encoder/Errors.h"
#include "encoder/FFmpeg.h"
#include "encoder/InputFormats.h"

namespace evc {

namespace {

struct AvioClose {
    void operator()(AVIOContext* pb) const { avio_closep(&pb); }
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioClose>;

// Packets read before giving up on a first frame: encoders that start with silence or a
// header still give one within a few.
constexpr int kPacketsToTry = 64;

// Empty when a frame of the codec decodes; what went wrong otherwise.
std::string FirstFrameProblem(const std::string& path, const std::string& shownName,
                              AVCodecID codec) {
    AVIOContext* rawPb = nullptr;
    int r = avio_open2(&rawPb, FileUrl(path).c_str(), AVIO_FLAG_READ, nullptr, nullptr);
    if (r < 0) {
        return "cannot read it back: " + ErrorText(r);
    }
    AvioPtr pb(rawPb);
    // The name, not the temporary one, decides between close guesses as it will for a player.
    const AVInputFormat* fmt = nullptr;
    if (av_probe_input_buffer2(pb.get(), &fmt, shownName.c_str(), nullptr, 0, 0) < 0 ||
        fmt == nullptr) {
        return "no reader recognises it";
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        throw EncodeError("out of memory");
    }
    raw->pb = pb.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&raw, shownName.c_str(), fmt, nullptr) < 0) {
        return "no reader recognises it";
    }
    InputFormatPtr in(raw);
    int index = -1;
    for (unsigned i = 0; i < raw->nb_streams && index < 0; ++i) {
        if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
            raw->streams[i]->codecpar->codec_id == codec) {
            index = static_cast<int>(i);
        }
    }
    const AVCodec* decoder = avcodec_find_decoder(codec);
    if (index < 0 || decoder == nullptr) {
        return "it holds no audio stream";
    }
    CodecContextPtr dec(avcodec_alloc_context3(decoder));
    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!dec || !pkt || !frame) {
        throw EncodeError("out of memory");
    }
    if (avcodec_parameters_to_context(dec.get(), raw->streams[index]->codecpar) < 0 ||
        avcodec_open2(dec.get(), decoder, nullptr) < 0) {
        return "its audio cannot be decoded";
    }
    bool ended = false;
    for (int packets = 0; packets < kPacketsToTry && !ended;) {
        r = av_read_frame(raw, pkt.get());
        if (r < 0) {
            ended = true;
            avcodec_send_packet(dec.get(), nullptr);
        } else if (pkt->stream_index != index) {
            av_packet_unref(pkt.get());
            continue;
        } else {
            ++packets;
            avcodec_send_packet(dec.get(), pkt.get());
            av_packet_unref(pkt.get());
        }
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            if (frame->nb_samples > 0) {
                return "";
            }
            av_frame_unref(frame.get());
        }
    }
    return "no audio frame decodes";
}

} // namespace

void CheckDecodable(const std::string& path, const std::string& shownName, AVCodecID codec) {
    const std::string problem = FirstFrameProblem(path, shownName, codec);
    if (!problem.empty()) {
        throw EncodeError("'" + shownName + "' would not play: " + problem +
                          "; nothing was written");
    }
}

} // namespace evc
