// MP3 frames of separate encoder instances joined into one stream. An MP3 frame's main data may
// begin in the frames before it (the bit reservoir), so frames cannot simply be concatenated:
// each instance's frames are unpacked into self-contained ones (header, side info and the frame's
// own main data) and packed again into one reservoir that runs on across the joins.
#pragma once

#include "encoder/FFmpeg.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace evc {

// What a frame's last granule tells the next frame: its window per channel.
using Mp3Windows = std::array<std::uint8_t, 2>;

struct Mp3FrameInfo {
    int frameBytes = 0; // whole frame with the header
    int sideEnd = 0;    // offset of the main data: header, CRC, side info
    int mainDataBegin = 0;
    int mainDataBytes = 0;
    int maxBack = 0; // how far main data may begin before its frame
    Mp3Windows lastWindows{};
};

// Reads a frame's header and side info; none when data is not an MPEG-1/2/2.5 layer III frame.
std::optional<Mp3FrameInfo> ParseMp3Frame(const std::uint8_t* data, int size);

// Turns one encoder instance's frames, in order, into self-contained frames: the same header
// and side info followed by exactly the frame's main data. Keeps the windows of the previous
// frame so a join can check that the next one continues them.
class Mp3Unpacker {
public:
    struct Frame {
        PacketPtr packet;      // times and side data of the encoder's packet, data unpacked
        Mp3Windows previous{}; // the windows the frame before it ended with
        int mainDataBegin = 0; // the reservoir the encoder had for it
    };
    Frame Unpack(const AVPacket* packet);

private:
    std::vector<std::uint8_t> payload_;
    Mp3Windows last_{};
};

// Packs self-contained frames into one stream, placing main data where the encoder had it as far
// as the reservoir allows, else as early as it allows; a frame whose data still does not fit is
// written at the next higher bitrate. Complete frames go to write in order.
class Mp3Packer {
public:
    explicit Mp3Packer(std::function<void(AVPacket*)> write) : write_(std::move(write)) {}

    // Whether the frame can follow the last one added with its main data where its encoder put it,
    // and with windows that continue the last one's.
    bool Continues(const Mp3Unpacker::Frame& frame) const;

    void Add(const Mp3Unpacker::Frame& frame);
    // Writes what is still held back.
    void Finish();

private:
    struct Pending {
        PacketPtr packet;
        std::int64_t payloadStart = 0;
        int sideEnd = 0;
    };
    void EmitReady(std::int64_t earliestNext);

    std::function<void(AVPacket*)> write_;
    std::deque<Pending> pending_;
    std::int64_t payloadTotal_ = 0; // payload bytes of every frame added
    std::int64_t cursor_ = 0;       // end of the main data placed so far
    int maxBack_ = 511;
    bool any_ = false;
    Mp3Windows last_{};
};

} // namespace evc
