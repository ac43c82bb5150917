#include "media/AudioFrameScan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

using Byte = unsigned char;

// Sequential reader over a stream with a small window, so walking thousands of
// frame headers costs block reads, not a seek per frame.
class ByteWindow {
public:
    explicit ByteWindow(std::istream& in) : in_(in) {}

    // True when n bytes from the current position are available.
    bool Need(size_t n) {
        while (buf_.size() - pos_ < n && !eof_) {
            buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
            pos_ = 0;
            size_t old = buf_.size();
            buf_.resize(old + kBlock);
            in_.read(reinterpret_cast<char*>(buf_.data() + old), kBlock);
            auto got = static_cast<size_t>(in_.gcount());
            buf_.resize(old + got);
            if (got == 0)
                eof_ = true;
        }
        return buf_.size() - pos_ >= n;
    }
    const Byte* Data() const { return buf_.data() + pos_; }
    void Skip(size_t n) { pos_ += n; }

private:
    static constexpr size_t kBlock = 1 << 16;
    std::istream& in_;
    std::vector<Byte> buf_;
    size_t pos_ = 0;
    bool eof_ = false;
};

std::uint32_t Be32(const Byte* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// Size of one ID3v2 tag at the window's position, 0 when there is none.
size_t TagSizeAt(ByteWindow& w) {
    if (!w.Need(10))
        return 0;
    const Byte* p = w.Data();
    if (std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF)
        return 0;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80)
        return 0; // not a synchsafe size
    size_t size = (size_t{p[6]} << 21) | (size_t{p[7]} << 14) | (size_t{p[8]} << 7) | p[9];
    size += 10;
    if (p[5] & 0x10)
        size += 10; // footer
    return size;
}

// Skips every ID3v2 tag at the front; false when a tag runs past the end.
bool SkipTags(ByteWindow& w) {
    for (size_t size = TagSizeAt(w); size > 0; size = TagSizeAt(w)) {
        if (!w.Need(size))
            return false;
        w.Skip(size);
    }
    return true;
}

struct MpegHeader {
    int Version = 0; // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int Layer = 0;
    int SampleRate = 0;
    bool Mono = false;
    int SamplesPerFrame = 0;
    int SideInfo = 0;
    size_t FrameBytes = 0; // 0 for free-format streams, whose frames cannot be walked
};

std::optional<MpegHeader> ParseMpegHeader(const Byte* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    int versionBits = (p[1] >> 3) & 3;
    int layerBits = (p[1] >> 1) & 3;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    static constexpr std::array<int, 3> kRates = {44100, 48000, 32000};
    MpegHeader h;
    h.Version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.Layer = 4 - layerBits;
    h.SampleRate = kRates[static_cast<size_t>(rateIndex)] / (h.Version == 1   ? 1
                                                             : h.Version == 2 ? 2
                                                                              : 4);
    h.Mono = ((p[3] >> 6) & 3) == 3;
    if (h.Layer == 1)
        h.SamplesPerFrame = 384;
    else if (h.Layer == 2 || h.Version == 1)
        h.SamplesPerFrame = 1152;
    else
        h.SamplesPerFrame = 576;
    if (h.Version == 1)
        h.SideInfo = h.Mono ? 17 : 32;
    else
        h.SideInfo = h.Mono ? 9 : 17;
    static constexpr int kKbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    size_t bitrate = size_t{1000} *
                     static_cast<size_t>(kKbps[h.Version == 1 ? 0 : 1][h.Layer - 1][bitrateIndex]);
    size_t padding = (p[2] >> 1) & 1;
    size_t rate = static_cast<size_t>(h.SampleRate);
    if (h.Layer == 1)
        h.FrameBytes = (12 * bitrate / rate + padding) * 4;
    else if (h.Layer == 3 && h.Version != 1)
        h.FrameBytes = 72 * bitrate / rate + padding;
    else
        h.FrameBytes = 144 * bitrate / rate + padding;
    return h;
}

bool SameStream(const MpegHeader& a, const MpegHeader& b) {
    return a.Version == b.Version && a.Layer == b.Layer && a.SampleRate == b.SampleRate;
}

// Tags that may follow the last frame: ID3v1, APE, Lyrics3, an appended ID3v2.
bool TrailingTagAt(ByteWindow& w) {
    if (!w.Need(3))
        return true;
    const Byte* p = w.Data();
    if (std::memcmp(p, "TAG", 3) == 0 || std::memcmp(p, "ID3", 3) == 0)
        return true;
    return (w.Need(8) && std::memcmp(w.Data(), "APETAGEX", 8) == 0) ||
           (w.Need(6) && std::memcmp(w.Data(), "LYRICS", 6) == 0);
}

// Complete frames of the stream from the window's position to where the sound ends: the end
// of the file, a cut-off frame or a trailing tag. Empty when something else comes first (the
// stream cannot be told apart from junk without decoding).
std::optional<std::int64_t> FramesPresent(ByteWindow& w, const MpegHeader& first) {
    std::int64_t frames = 0;
    for (;;) {
        if (!w.Need(4))
            return frames;
        auto h = ParseMpegHeader(w.Data());
        if (!h || !SameStream(*h, first) || h->FrameBytes < 4)
            return TrailingTagAt(w) ? std::optional<std::int64_t>(frames) : std::nullopt;
        if (!w.Need(h->FrameBytes))
            return frames;
        ++frames;
        w.Skip(h->FrameBytes);
    }
}

} // namespace

std::optional<TSampleCount> Mp3TaggedLength(std::istream& in) {
    ByteWindow w(in);
    if (!SkipTags(w))
        return std::nullopt;
    // Some writers leave a few bytes of padding before the first frame.
    constexpr size_t kMaxLead = 4096;
    constexpr size_t kInfoSpan = 4 + 32 + 8 + 4 + 4 + 100 + 4 + 24;
    for (size_t lead = 0; lead < kMaxLead; ++lead, w.Skip(1)) {
        if (!w.Need(4))
            return std::nullopt;
        auto h = ParseMpegHeader(w.Data());
        if (!h)
            continue;
        if (h->Layer != 3 || !w.Need(kInfoSpan))
            return std::nullopt;
        const Byte* p = w.Data() + 4 + h->SideInfo;
        if (std::memcmp(p, "Xing", 4) != 0 && std::memcmp(p, "Info", 4) != 0)
            return std::nullopt;
        std::uint32_t flags = Be32(p + 4);
        if (!(flags & 1))
            return std::nullopt;
        std::int64_t frames = Be32(p + 8);
        const Byte* q = p + 12;
        if (flags & 2)
            q += 4;
        if (flags & 4)
            q += 100;
        if (flags & 8)
            q += 4;
        std::int64_t samples = frames * h->SamplesPerFrame;
        std::int64_t delay = 0;
        if (std::memcmp(q, "LAME", 4) == 0 || std::memcmp(q, "Lavf", 4) == 0 ||
            std::memcmp(q, "Lavc", 4) == 0) {
            const Byte* d = q + 21;
            delay = (std::int64_t{d[0]} << 4) | (d[1] >> 4);
            std::int64_t padding = ((std::int64_t{d[1]} & 0x0F) << 8) | d[2];
            if (delay + padding < samples)
                samples -= delay + padding;
            else
                delay = 0;
        }
        // The count is what the encoder wrote; a cut file holds fewer frames.
        if (h->FrameBytes == 0 || !w.Need(h->FrameBytes))
            return TSampleCount{samples, h->SampleRate};
        const MpegHeader first = *h;
        w.Skip(first.FrameBytes);
        auto present = FramesPresent(w, first);
        if (present && *present < frames)
            samples = std::max<std::int64_t>(0, *present * first.SamplesPerFrame - delay);
        else if (present)
            samples += (*present - frames) * first.SamplesPerFrame;
        return TSampleCount{samples, first.SampleRate};
    }
    return std::nullopt;
}

std::optional<TSampleCount> AdtsLength(std::istream& in) {
    static constexpr std::array<int, 13> kRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                   22050, 16000, 12000, 11025, 8000,  7350};
    ByteWindow w(in);
    if (!SkipTags(w))
        return std::nullopt;
    TSampleCount count;
    while (w.Need(7)) {
        const Byte* p = w.Data();
        if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0)
            break;
        int rateIndex = (p[2] >> 2) & 0x0F;
        if (rateIndex >= static_cast<int>(kRates.size()))
            break;
        size_t headerSize = (p[1] & 1) ? 7 : 9;
        size_t frameLength = (size_t{p[3]} & 3) << 11 | size_t{p[4]} << 3 | p[5] >> 5;
        if (frameLength < headerSize)
            break;
        int rate = kRates[static_cast<size_t>(rateIndex)];
        if (count.SampleRate == 0)
            count.SampleRate = rate;
        else if (rate != count.SampleRate)
            break;
        std::int64_t samples = std::int64_t{(p[6] & 3) + 1} * 1024;
        // A cut-off last frame does not decode. (Need may move the window.)
        if (!w.Need(frameLength))
            break;
        count.Samples += samples;
        w.Skip(frameLength);
    }
    if (count.Samples == 0)
        return std::nullopt;
    return count;
}
