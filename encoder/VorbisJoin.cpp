#include "encoder/VorbisJoin.h"

#include "encoder/Errors.h"

#include <algorithm>

namespace evc {

VorbisShapes::VorbisShapes(const std::vector<std::uint8_t>& headers)
    : parser_(av_vorbis_parse_init(headers.data(), static_cast<int>(headers.size()))) {
    if (!parser_) {
        throw EncodeError("the Vorbis encoder gave headers evc cannot read");
    }
}

int VorbisShapes::Of(const AVPacket* packet) {
    // From a known start the length the parser gives tells the block's size and, for a long block,
    // the previous one's window flag, read from the packet itself.
    av_vorbis_parse_reset(parser_.get());
    return av_vorbis_parse_frame(parser_.get(), packet->data, packet->size);
}

namespace {

bool SameBlock(const VorbisBlock& a, const VorbisBlock& b) {
    return a.packet->pts == b.packet->pts && a.packet->duration == b.packet->duration &&
           a.shape == b.shape;
}

} // namespace

std::optional<std::pair<std::size_t, std::size_t>>
FindVorbisJoin(const std::vector<VorbisBlock>& before, const std::vector<VorbisBlock>& after) {
    std::size_t j = 1;
    for (std::size_t i = 1; i < before.size(); ++i) {
        const std::int64_t pts = before[i].packet->pts;
        while (j < after.size() && after[j].packet->pts < pts) {
            ++j;
        }
        if (j == after.size()) {
            break;
        }
        if (SameBlock(before[i], after[j]) && SameBlock(before[i - 1], after[j - 1])) {
            return std::pair{i, j};
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> VorbisGridShift(const std::vector<VorbisBlock>& before,
                                            const std::vector<VorbisBlock>& after) {
    // Long blocks between long ones advance by the longest duration there is.
    std::int64_t step = 0;
    for (const auto* blocks : {&before, &after}) {
        for (const auto& b : *blocks) {
            step = std::max(step, b.packet->duration);
        }
    }
    const auto longBlock = [step](const VorbisBlock& b) { return b.packet->duration == step; };
    const auto a = std::find_if(before.rbegin(), before.rend(), longBlock);
    const auto b = std::find_if(after.begin(), after.end(), longBlock);
    if (step <= 0 || a == before.rend() || b == after.end()) {
        return std::nullopt;
    }
    return ((a->packet->pts - b->packet->pts) % step + step) % step;
}

} // namespace evc
