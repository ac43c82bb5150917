// The input: its first decodable audio stream, opened with the input rules, and the length its
// container promises.
#pragma once

#include "encoder/FFmpeg.h"

#include <csignal>
#include <optional>
#include <string>

namespace evc {

struct InputAudio {
    InputFormatPtr format;
    CodecContextPtr decoder;
    int streamIndex = -1;

    AVStream* stream() const { return format->streams[streamIndex]; }
};

// Opens path and the decoder of its first audio stream that has one; every other stream is
// discarded. Throws EncodeError with the reason, EncodeCancelled once *stop is set.
InputAudio OpenInput(const std::string& path, const volatile std::sig_atomic_t* stop);

// True for containers whose seeking lands on a known sample; others (MP3, ADTS, MPEG streams,
// ...) may guess from the byte position.
bool SeeksExactly(const AVFormatContext* fmt);

// The length the container or its header promises, where one does: so ending clearly short of
// it means a cut or damaged file. Lengths that libavformat estimated from the bitrate or the
// file size promise nothing.
std::optional<double> StatedSeconds(const AVFormatContext* fmt, const AVStream* st,
                                    const std::string& path);

} // namespace evc
