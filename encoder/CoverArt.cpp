#include "encoder/CoverArt.h"

#include "encoder/Errors.h"

extern "C" {
#include <libavutil/base64.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdint>
#include <limits>

namespace evc {

namespace {

// The ID3 and FLAC picture type of a front cover, and the name libavformat gives it.
constexpr std::uint32_t kFrontCoverType = 3;
constexpr char kFrontCoverName[] = "Cover (front)";

bool IsFrontCover(const AVStream* st) {
    const AVDictionaryEntry* e = av_dict_get(st->metadata, "comment", nullptr, 0);
    return e != nullptr && av_strcasecmp(e->value, kFrontCoverName) == 0;
}

// The picture codecs each muxer names: ID3v2's MIME table, MP4's covr types.
bool TakesPicture(OutputType type, AVCodecID codec) {
    switch (type) {
    case OutputType::Mp3:
        return codec == AV_CODEC_ID_MJPEG || codec == AV_CODEC_ID_PNG || codec == AV_CODEC_ID_GIF ||
               codec == AV_CODEC_ID_BMP;
    case OutputType::M4a:
        return codec == AV_CODEC_ID_MJPEG || codec == AV_CODEC_ID_PNG || codec == AV_CODEC_ID_BMP;
    case OutputType::Ogg:
        return !PictureMime(codec).empty();
    default:
        return false;
    }
}

void PutBe32(std::string& out, std::uint64_t value) {
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        throw EncodeError("the cover picture is too large for an Ogg comment");
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

} // namespace

std::optional<CoverArt> FindCover(const AVFormatContext* input) {
    const AVStream* chosen = nullptr;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 || st->attached_pic.size <= 0) {
            continue;
        }
        if (chosen == nullptr || (IsFrontCover(st) && !IsFrontCover(chosen))) {
            chosen = st;
        }
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    CoverArt cover;
    cover.codec = chosen->codecpar->codec_id;
    cover.width = std::max(0, chosen->codecpar->width);
    cover.height = std::max(0, chosen->codecpar->height);
    if (const AVPixFmtDescriptor* d =
            av_pix_fmt_desc_get(static_cast<AVPixelFormat>(chosen->codecpar->format))) {
        cover.depth = d->nb_components * d->comp[0].depth;
    }
    if (const AVDictionaryEntry* e = av_dict_get(chosen->metadata, "title", nullptr, 0)) {
        cover.description = e->value;
    }
    cover.data.assign(reinterpret_cast<const char*>(chosen->attached_pic.data),
                      static_cast<std::size_t>(chosen->attached_pic.size));
    return cover;
}

std::string PictureMime(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "image/jpeg";
    case AV_CODEC_ID_PNG:
        return "image/png";
    case AV_CODEC_ID_GIF:
        return "image/gif";
    case AV_CODEC_ID_BMP:
        return "image/bmp";
    case AV_CODEC_ID_TIFF:
        return "image/tiff";
    case AV_CODEC_ID_WEBP:
        return "image/webp";
    default:
        return "";
    }
}

std::string VorbisPictureComment(const CoverArt& cover) {
    const std::string mime = PictureMime(cover.codec);
    std::string block;
    PutBe32(block, kFrontCoverType);
    PutBe32(block, mime.size());
    block += mime;
    PutBe32(block, cover.description.size());
    block += cover.description;
    PutBe32(block, static_cast<std::uint64_t>(cover.width));
    PutBe32(block, static_cast<std::uint64_t>(cover.height));
    PutBe32(block, static_cast<std::uint64_t>(cover.depth));
    PutBe32(block, 0); // colours: only indexed pictures count them
    PutBe32(block, cover.data.size());
    block += cover.data;
    if (block.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4 * 3 - 4)) {
        throw EncodeError("the cover picture is too large for an Ogg comment");
    }
    std::string text(AV_BASE64_SIZE(block.size()), '\0');
    if (av_base64_encode(text.data(), static_cast<int>(text.size()),
                         reinterpret_cast<const std::uint8_t*>(block.data()),
                         static_cast<int>(block.size())) == nullptr) {
        throw EncodeError("out of memory");
    }
    text.resize(text.find('\0'));
    return text;
}

int PrepareCover(AVFormatContext* out, AVStream* audio, OutputType type, const CoverArt& cover,
                 std::vector<std::string>& notes) {
    if (type != OutputType::Mp3 && type != OutputType::M4a && type != OutputType::Ogg) {
        return -1;
    }
    if (!TakesPicture(type, cover.codec)) {
        const AVCodecDescriptor* d = avcodec_descriptor_get(cover.codec);
        notes.push_back(std::string("the cover picture (") + (d != nullptr ? d->name : "unknown") +
                        ") cannot go into " + TypeName(type) + ", left out");
        return -1;
    }
    if (type == OutputType::Ogg) {
        // The Ogg muxer writes the audio stream's tags as the Vorbis comments.
        if (av_dict_set(&audio->metadata, "METADATA_BLOCK_PICTURE",
                        VorbisPictureComment(cover).c_str(), 0) < 0) {
            throw EncodeError("out of memory");
        }
        return -1;
    }
    if (cover.width <= 0 || cover.height <= 0) {
        // Muxers refuse a picture stream without a size; an FFmpeg without the picture's
        // decoder cannot tell it.
        notes.push_back("the size of the cover picture is unknown, left out of " + TypeName(type));
        return -1;
    }
    AVStream* st = avformat_new_stream(out, nullptr);
    if (st == nullptr) {
        throw EncodeError("out of memory");
    }
    st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    st->codecpar->codec_id = cover.codec;
    st->codecpar->width = cover.width;
    st->codecpar->height = cover.height;
    st->disposition = AV_DISPOSITION_ATTACHED_PIC;
    st->time_base = {1, 90000};
    // The ID3v2 writer takes the APIC type from "comment" and its description from "title".
    av_dict_set(&st->metadata, "comment", kFrontCoverName, 0);
    if (!cover.description.empty()) {
        av_dict_set(&st->metadata, "title", cover.description.c_str(), 0);
    }
    return st->index;
}

void WriteCover(AVFormatContext* out, int stream, const CoverArt& cover) {
    if (stream < 0) {
        return;
    }
    PacketPtr pkt(av_packet_alloc());
    if (!pkt || av_new_packet(pkt.get(), static_cast<int>(cover.data.size())) < 0) {
        throw EncodeError("out of memory");
    }
    std::copy(cover.data.begin(), cover.data.end(), pkt->data);
    pkt->stream_index = stream;
    pkt->pts = pkt->dts = 0;
    pkt->flags |= AV_PKT_FLAG_KEY;
    const int r = av_write_frame(out, pkt.get());
    if (r < 0) {
        throw EncodeError("cannot write the cover picture: " + ErrorText(r));
    }
}

} // namespace evc
