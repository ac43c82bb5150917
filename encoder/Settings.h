// Output types, codec limits and the "nearest valid value" rules of evc.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace evc {

enum class OutputType { Amr, Aac, Mp3, Ac3, M4a, Ogg, Wav };

// The output type for a file name by its extension (case-insensitive), or none.
std::optional<OutputType> OutputTypeForPath(std::string_view path);

// Canonical codec name ("amr_nb", "aac", "mp3", "ac3", "vorbis", "pcm_s16le") for a
// name given to -acodec, or none when evc does not know it.
std::optional<std::string> CanonicalCodecName(std::string_view name);

// The codec name an output type is written with.
std::string CodecNameFor(OutputType type);

// The libavformat muxer name for an output type.
std::string MuxerNameFor(OutputType type);

// Human name of an output type, e.g. "MP3".
std::string TypeName(OutputType type);

// What the command line asked for; unset values follow the source.
struct RequestedSettings {
    std::optional<int> sampleRate;
    std::optional<int> channels;
    std::optional<double> bitrateKbps;
};

struct ResolvedSettings {
    int sampleRate = 0;
    int channels = 0;
    int bitrate = 0; // bits per second the encoder is set to (0 for PCM)
    bool vorbisQualityMode = false;
    double amrModeKbps = 0;         // only for AMR
    int amrMode = 0;                // opencore-amrnb mode index (MR475 = 0 .. MR122 = 7)
    std::vector<std::string> notes; // one line per value that had to change
};

// Settings in force for an output type: every value is moved to the nearest one the codec
// can take, and each change is described in notes.
ResolvedSettings ResolveSettings(OutputType type, const RequestedSettings& requested,
                                 int sourceRate, int sourceChannels);

// Sample rates a type can be written at, ascending.
const std::vector<int>& SampleRatesFor(OutputType type);

// Bitrates (kbit/s) a codec takes at a sample rate, ascending; empty when any value in
// [BitrateRange] goes.
std::vector<int> BitrateListFor(OutputType type, int sampleRate);

// Inclusive kbit/s range a codec takes at a rate and channel count.
struct KbpsRange {
    double low;
    double high;
};
KbpsRange BitrateRangeFor(OutputType type, int sampleRate, int channels);

// Nearest value of a sorted list; a tie goes to the lower value.
int NearestOf(const std::vector<int>& sorted, double value);

// The AMR-NB mode for a bitrate: the highest mode not above it, the lowest mode for less.
struct AmrMode {
    int index;
    double kbps;
};
AmrMode AmrModeFor(double kbps);

// "22050" / "12.2" style text without needless decimals.
std::string FormatNumber(double value);

} // namespace evc
