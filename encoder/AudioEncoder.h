// One encoder instance: frames in the encoder's sample format in, packets out.
#pragma once

#include "encoder/FFmpeg.h"
#include "encoder/Settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace evc {

class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;
    virtual int frameSize() const = 0; // 0: any size
    virtual AVSampleFormat format() const = 0;
    virtual AVRational timeBase() const = 0;
    // Sends one frame (nullptr: end of stream) and hands every finished packet to sink.
    virtual void Encode(AVFrame* frame, const std::function<void(AVPacket*)>& sink) = 0;
    // Fills the output stream's parameters.
    virtual void DescribeStream(AVCodecParameters* par) const = 0;
};

// The instance's global headers (its stream's extradata); empty when it has none.
std::vector<std::uint8_t> StreamHeaders(const AudioEncoder& encoder);

// The encoder library's name for a type ("libmp3lame", ...), as the header line shows it.
const char* EncoderNameFor(OutputType type);

// Opens an encoder for the type with the resolved settings. sourceFormat is the decoder's sample
// format, so the conversion has the least to do; gain is the volume factor. A Vorbis bitrate
// outside libvorbis's tables falls back to quality 3 and says so in settings.notes. Throws
// EncodeError when the codec is missing or refuses the settings.
std::unique_ptr<AudioEncoder> OpenEncoder(OutputType type, ResolvedSettings& settings,
                                          bool globalHeader, AVSampleFormat sourceFormat,
                                          double gain);

} // namespace evc
