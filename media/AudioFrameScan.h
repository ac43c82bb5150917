// Exact lengths of raw audio streams whose containers carry none: the LAME/Info
// tag of an MP3 (frame count, encoder delay and padding) and a walk over the
// frame headers of an ADTS AAC stream. Both read only headers.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>

struct TSampleCount {
    std::int64_t Samples = 0;
    int SampleRate = 0;
    // Milliseconds, truncated.
    std::int64_t Milliseconds() const { return SampleRate > 0 ? Samples * 1000 / SampleRate : 0; }
};

// Samples of sound in an MP3 whose first frame is a Xing/Info frame with a
// frame count: frames x samples per frame, less the encoder's delay and
// padding when a LAME-style tag gives them. When the frame headers that follow
// run cleanly to the end (of the file, or up to a trailing tag) they count
// instead: a cut file holds fewer frames than its tag says. Empty when there
// is no such frame.
std::optional<TSampleCount> Mp3TaggedLength(std::istream& in);

// Samples in an ADTS stream, counted frame by frame. Stops at the first header
// that does not parse (trailing tags); empty when no frame parses at all.
std::optional<TSampleCount> AdtsLength(std::istream& in);
