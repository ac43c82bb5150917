// Vorbis packets of separate encoder instances joined into one stream. A Vorbis block overlaps the
// one before it, with window slopes chosen by the sizes of both, so one instance's packets may
// follow another's only where both cut the audio into the same blocks on both sides of the join:
// the same start, size and window flags. Apart from that overlap a packet depends on no other.
#pragma once

#include "encoder/FFmpeg.h"

extern "C" {
#include <libavcodec/vorbis_parser.h>
}

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace evc {

struct VorbisBlock {
    PacketPtr packet; // pts and duration in samples, as the encoder gave them
    int shape = 0;    // what the packet alone tells of its block: its size and window flags
};

// Reads the shape of packets from the instance's headers (its stream's extradata).
class VorbisShapes {
public:
    // Throws EncodeError when the headers are not Vorbis headers.
    explicit VorbisShapes(const std::vector<std::uint8_t>& headers);
    int Of(const AVPacket* packet);

private:
    struct Free {
        void operator()(AVVorbisParseContext* c) const { av_vorbis_parse_free(&c); }
    };
    std::unique_ptr<AVVorbisParseContext, Free> parser_;
};

// The first place where after's packets go on as before's would: indexes i >= 1 into before and
// j >= 1 into after such that before[i - 1] and after[j - 1], and before[i] and after[j], are the
// same blocks, so before[0, i) followed by after[j, end) is one sequence of blocks. None when the
// two never line up.
std::optional<std::pair<std::size_t, std::size_t>>
FindVorbisJoin(const std::vector<VorbisBlock>& before, const std::vector<VorbisBlock>& after);

// How many samples later after's instance would have had to start to cut the audio on before's
// grid: the distance of their long blocks, modulo a long block's step. None without long blocks
// on both sides.
std::optional<std::int64_t> VorbisGridShift(const std::vector<VorbisBlock>& before,
                                            const std::vector<VorbisBlock>& after);

} // namespace evc
