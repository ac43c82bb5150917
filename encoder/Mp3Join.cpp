#include "encoder/Mp3Join.h"

#include "encoder/Errors.h"

#include <algorithm>
#include <cstring>

namespace evc {

namespace {

constexpr int kKbpsMpeg1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kKbpsLsf[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRates[3] = {44100, 48000, 32000};

class BitReader {
public:
    BitReader(const std::uint8_t* data, int size) : data_(data), size_(size) {}
    unsigned Read(int bits) {
        unsigned v = 0;
        for (int i = 0; i < bits; ++i, ++pos_) {
            const int byte = pos_ / 8;
            const unsigned bit = byte < size_ ? (data_[byte] >> (7 - pos_ % 8)) & 1U : 0U;
            v = v << 1 | bit;
        }
        return v;
    }

private:
    const std::uint8_t* data_;
    int size_;
    int pos_ = 0;
};

bool IsLsf(const std::uint8_t* header) {
    return ((header[1] >> 3) & 3) != 3;
}

int FrameBytesFor(const std::uint8_t* header) {
    const int version = (header[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int rateIndex = (header[2] >> 2) & 3;
    const int kbps = (IsLsf(header) ? kKbpsLsf : kKbpsMpeg1)[header[2] >> 4];
    const int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    return (IsLsf(header) ? 72000 : 144000) * kbps / rate + ((header[2] >> 1) & 1);
}

// CRC-16 of layer III: over the header's last two bytes and the side info.
void UpdateCrc(std::uint8_t* frame, int sideEnd) {
    if ((frame[1] & 1) != 0) {
        return;
    }
    unsigned crc = 0xFFFF;
    auto feed = [&crc](std::uint8_t byte) {
        for (int i = 7; i >= 0; --i) {
            const unsigned bit = (byte >> i) & 1U;
            const bool top = (crc & 0x8000U) != 0;
            crc = (crc << 1) & 0xFFFFU;
            if (top != (bit != 0)) {
                crc ^= 0x8005U;
            }
        }
    };
    feed(frame[2]);
    feed(frame[3]);
    for (int i = 6; i < sideEnd; ++i) {
        feed(frame[i]);
    }
    frame[4] = static_cast<std::uint8_t>(crc >> 8);
    frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
}

PacketPtr NewPacket(int size, const AVPacket* props) {
    PacketPtr p(av_packet_alloc());
    if (!p || av_new_packet(p.get(), size) < 0 || av_packet_copy_props(p.get(), props) < 0) {
        throw EncodeError("out of memory");
    }
    return p;
}

} // namespace

std::optional<Mp3FrameInfo> ParseMp3Frame(const std::uint8_t* data, int size) {
    if (size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0 || ((data[1] >> 3) & 3) == 1 ||
        ((data[1] >> 1) & 3) != 1 || (data[2] >> 4) == 0 || (data[2] >> 4) == 15 ||
        ((data[2] >> 2) & 3) == 3) {
        return std::nullopt;
    }
    const bool lsf = IsLsf(data);
    const int channels = (data[3] >> 6) == 3 ? 1 : 2;
    Mp3FrameInfo info;
    info.frameBytes = FrameBytesFor(data);
    const int sideStart = (data[1] & 1) == 0 ? 6 : 4;
    info.sideEnd = sideStart + (lsf ? (channels == 1 ? 9 : 17) : (channels == 1 ? 17 : 32));
    if (info.sideEnd > size) {
        return std::nullopt;
    }
    info.maxBack = lsf ? 255 : 511;
    BitReader side(data + sideStart, info.sideEnd - sideStart);
    info.mainDataBegin = static_cast<int>(side.Read(lsf ? 8 : 9));
    side.Read(lsf ? channels : (channels == 1 ? 5 : 3));
    if (!lsf) {
        side.Read(4 * channels);
    }
    const int granules = lsf ? 1 : 2;
    long bits = 0;
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            bits += side.Read(12);
            side.Read(9 + 8 + (lsf ? 9 : 4));
            std::uint8_t window = 0;
            if (side.Read(1) != 0) {
                const unsigned type = side.Read(2);
                const unsigned mixed = side.Read(1);
                side.Read(10 + 9);
                window = static_cast<std::uint8_t>(8U | mixed << 2 | type);
            } else {
                side.Read(15 + 4 + 3);
            }
            side.Read(lsf ? 2 : 3);
            if (gr == granules - 1) {
                info.lastWindows[static_cast<std::size_t>(ch)] = window;
            }
        }
    }
    info.mainDataBytes = static_cast<int>((bits + 7) / 8);
    return info;
}

Mp3Unpacker::Frame Mp3Unpacker::Unpack(const AVPacket* packet) {
    const auto info = ParseMp3Frame(packet->data, packet->size);
    if (!info || info->frameBytes != packet->size) {
        throw EncodeError("the MP3 encoder gave a frame evc cannot read");
    }
    // Main data reaches back at most 511 bytes: the rest of the history can go.
    if (payload_.size() > 65536) {
        payload_.erase(payload_.begin(), payload_.end() - 4096);
    }
    const auto start = static_cast<std::int64_t>(payload_.size());
    payload_.insert(payload_.end(), packet->data + info->sideEnd, packet->data + packet->size);
    const std::int64_t begin = start - info->mainDataBegin;
    if (begin < 0 || begin + info->mainDataBytes > static_cast<std::int64_t>(payload_.size())) {
        throw EncodeError("the MP3 encoder gave a frame evc cannot read");
    }
    Frame frame;
    frame.packet = NewPacket(info->sideEnd + info->mainDataBytes, packet);
    std::memcpy(frame.packet->data, packet->data, static_cast<std::size_t>(info->sideEnd));
    std::memcpy(frame.packet->data + info->sideEnd, payload_.data() + begin,
                static_cast<std::size_t>(info->mainDataBytes));
    frame.previous = last_;
    frame.mainDataBegin = info->mainDataBegin;
    last_ = info->lastWindows;
    return frame;
}

bool Mp3Packer::Continues(const Mp3Unpacker::Frame& frame) const {
    if (!any_) {
        return true;
    }
    const std::int64_t room = std::min<std::int64_t>(maxBack_, payloadTotal_ - cursor_);
    return frame.previous == last_ && room >= frame.mainDataBegin;
}

void Mp3Packer::Add(const Mp3Unpacker::Frame& frame) {
    const AVPacket* in = frame.packet.get();
    const auto info = ParseMp3Frame(in->data, in->size);
    if (!info || info->sideEnd + info->mainDataBytes != in->size) {
        throw EncodeError("the MP3 encoder gave a frame evc cannot read");
    }
    maxBack_ = info->maxBack;
    const std::int64_t start = payloadTotal_;
    const std::int64_t at = std::max(cursor_, start - frame.mainDataBegin);
    std::uint8_t header[64];
    std::memcpy(header, in->data, static_cast<std::size_t>(info->sideEnd));
    int bytes = FrameBytesFor(header);
    // Data that no longer fits where it was meant to goes into a larger frame.
    while (at + info->mainDataBytes > start + bytes - info->sideEnd) {
        const int index = header[2] >> 4;
        if (index >= 14) {
            throw EncodeError("cannot join the MP3 pieces: a frame's data does not fit");
        }
        header[2] = static_cast<std::uint8_t>((header[2] & 0x0F) | (index + 1) << 4);
        bytes = FrameBytesFor(header);
    }
    const auto begin = static_cast<unsigned>(start - at);
    const int sideStart = (header[1] & 1) == 0 ? 6 : 4;
    if (IsLsf(header)) {
        header[sideStart] = static_cast<std::uint8_t>(begin);
    } else {
        header[sideStart] = static_cast<std::uint8_t>(begin >> 1);
        header[sideStart + 1] =
            static_cast<std::uint8_t>((header[sideStart + 1] & 0x7F) | (begin & 1) << 7);
    }
    UpdateCrc(header, info->sideEnd);

    Pending out;
    out.packet = NewPacket(bytes, in);
    std::memset(out.packet->data, 0, static_cast<std::size_t>(bytes));
    std::memcpy(out.packet->data, header, static_cast<std::size_t>(info->sideEnd));
    out.payloadStart = start;
    out.sideEnd = info->sideEnd;
    pending_.push_back(std::move(out));

    const std::uint8_t* data = in->data + info->sideEnd;
    const std::int64_t end = at + info->mainDataBytes;
    for (Pending& p : pending_) {
        const std::int64_t pStart = p.payloadStart;
        const std::int64_t pEnd = pStart + (p.packet->size - p.sideEnd);
        const std::int64_t from = std::max(pStart, at);
        const std::int64_t to = std::min(pEnd, end);
        if (from < to) {
            std::memcpy(p.packet->data + p.sideEnd + (from - pStart), data + (from - at),
                        static_cast<std::size_t>(to - from));
        }
    }
    cursor_ = end;
    payloadTotal_ += bytes - info->sideEnd;
    last_ = info->lastWindows;
    any_ = true;
    EmitReady(std::max(cursor_, payloadTotal_ - maxBack_));
}

void Mp3Packer::EmitReady(std::int64_t earliestNext) {
    while (!pending_.empty()) {
        Pending& p = pending_.front();
        if (p.payloadStart + (p.packet->size - p.sideEnd) > earliestNext) {
            return;
        }
        write_(p.packet.get());
        pending_.pop_front();
    }
}

void Mp3Packer::Finish() {
    EmitReady(payloadTotal_);
}

} // namespace evc
