#include "encoder/Settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace evc {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

const std::vector<int> kAmrRates = {8000};
const std::vector<int> kAacRates = {7350,  8000,  11025, 12000, 16000, 22050, 24000,
                                    32000, 44100, 48000, 64000, 88200, 96000};
const std::vector<int> kMp3Rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const std::vector<int> kAc3Rates = {32000, 44100, 48000};
const std::vector<int> kVorbisRates = {8000,  11025, 16000, 22050, 24000,
                                       32000, 44100, 48000, 88200, 96000};
const std::vector<int> kWavRates = {8000,  11025, 12000, 16000, 22050, 24000,  32000,
                                    44100, 48000, 64000, 88200, 96000, 176400, 192000};

const std::vector<int> kMp3Mpeg1 = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const std::vector<int> kMp3Mpeg2 = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const std::vector<int> kMp3Mpeg25 = {8, 16, 24, 32, 40, 48, 56, 64};
const std::vector<int> kAc3Bitrates = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                       192, 224, 256, 320, 384, 448, 512, 576, 640};

struct AmrModeEntry {
    int index;
    double kbps;
};
constexpr std::array<AmrModeEntry, 8> kAmrModes = {
    {{0, 4.75}, {1, 5.15}, {2, 5.9}, {3, 6.7}, {4, 7.4}, {5, 7.95}, {6, 10.2}, {7, 12.2}}};

std::string ChannelText(int channels) {
    if (channels == 1) {
        return "mono";
    }
    if (channels == 2) {
        return "stereo";
    }
    return std::to_string(channels) + " channels";
}

} // namespace

std::optional<OutputType> OutputTypeForPath(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return std::nullopt;
    }
    const std::string ext = Lower(name.substr(dot));
    if (ext == ".amr") {
        return OutputType::Amr;
    }
    if (ext == ".aac") {
        return OutputType::Aac;
    }
    if (ext == ".mp3") {
        return OutputType::Mp3;
    }
    if (ext == ".ac3") {
        return OutputType::Ac3;
    }
    if (ext == ".m4a") {
        return OutputType::M4a;
    }
    if (ext == ".ogg") {
        return OutputType::Ogg;
    }
    if (ext == ".wav") {
        return OutputType::Wav;
    }
    return std::nullopt;
}

std::optional<std::string> CanonicalCodecName(std::string_view name) {
    const std::string n = Lower(name);
    if (n == "amr_nb" || n == "libopencore_amrnb") {
        return "amr_nb";
    }
    if (n == "aac") {
        return "aac";
    }
    if (n == "mp3" || n == "libmp3lame") {
        return "mp3";
    }
    if (n == "ac3") {
        return "ac3";
    }
    if (n == "vorbis" || n == "libvorbis") {
        return "vorbis";
    }
    if (n == "pcm_s16le") {
        return "pcm_s16le";
    }
    return std::nullopt;
}

std::string CodecNameFor(OutputType type) {
    switch (type) {
    case OutputType::Amr:
        return "amr_nb";
    case OutputType::Aac:
    case OutputType::M4a:
        return "aac";
    case OutputType::Mp3:
        return "mp3";
    case OutputType::Ac3:
        return "ac3";
    case OutputType::Ogg:
        return "vorbis";
    case OutputType::Wav:
        return "pcm_s16le";
    }
    return {};
}

std::string MuxerNameFor(OutputType type) {
    switch (type) {
    case OutputType::Amr:
        return "amr";
    case OutputType::Aac:
        return "adts";
    case OutputType::Mp3:
        return "mp3";
    case OutputType::Ac3:
        return "ac3";
    case OutputType::M4a:
        return "ipod";
    case OutputType::Ogg:
        return "ogg";
    case OutputType::Wav:
        return "wav";
    }
    return {};
}

std::string TypeName(OutputType type) {
    switch (type) {
    case OutputType::Amr:
        return "AMR";
    case OutputType::Aac:
        return "AAC";
    case OutputType::Mp3:
        return "MP3";
    case OutputType::Ac3:
        return "AC-3";
    case OutputType::M4a:
        return "M4A";
    case OutputType::Ogg:
        return "Vorbis";
    case OutputType::Wav:
        return "WAV";
    }
    return {};
}

const std::vector<int>& SampleRatesFor(OutputType type) {
    switch (type) {
    case OutputType::Amr:
        return kAmrRates;
    case OutputType::Aac:
    case OutputType::M4a:
        return kAacRates;
    case OutputType::Mp3:
        return kMp3Rates;
    case OutputType::Ac3:
        return kAc3Rates;
    case OutputType::Ogg:
        return kVorbisRates;
    case OutputType::Wav:
        return kWavRates;
    }
    return kWavRates;
}

std::vector<int> BitrateListFor(OutputType type, int sampleRate) {
    if (type == OutputType::Mp3) {
        if (sampleRate >= 32000) {
            return kMp3Mpeg1;
        }
        if (sampleRate >= 16000) {
            return kMp3Mpeg2;
        }
        return kMp3Mpeg25;
    }
    if (type == OutputType::Ac3) {
        return kAc3Bitrates;
    }
    return {};
}

KbpsRange BitrateRangeFor(OutputType type, int sampleRate, int channels) {
    switch (type) {
    case OutputType::Aac:
    case OutputType::M4a:
        // The native encoder holds at most 6144 bits per frame of 1024 samples and channel.
        return {8.0, std::floor(6144.0 * sampleRate / 1024.0 * channels / 1000.0)};
    case OutputType::Ogg:
        // libvorbis refuses an average bitrate outside what its tuning tables cover.
        if (sampleRate < 32000) {
            return channels == 1 ? KbpsRange{16, 90} : KbpsRange{30, 180};
        }
        if (sampleRate < 44100) {
            return channels == 1 ? KbpsRange{30, 190} : KbpsRange{36, 380};
        }
        return channels == 1 ? KbpsRange{32, 240} : KbpsRange{45, 500};
    default:
        return {0, 1e9};
    }
}

int NearestOf(const std::vector<int>& sorted, double value) {
    int best = sorted.front();
    for (int v : sorted) {
        if (std::abs(v - value) < std::abs(best - value)) {
            best = v;
        }
    }
    return best;
}

AmrMode AmrModeFor(double kbps) {
    AmrMode mode{kAmrModes.front().index, kAmrModes.front().kbps};
    for (const auto& m : kAmrModes) {
        if (m.kbps <= kbps + 1e-9) {
            mode = {m.index, m.kbps};
        }
    }
    return mode;
}

std::string FormatNumber(double value) {
    char buf[64];
    if (std::fabs(value - std::round(value)) < 1e-9) {
        std::snprintf(buf, sizeof buf, "%.0f", value);
    } else {
        std::snprintf(buf, sizeof buf, "%.2f", value);
        std::string s(buf);
        while (!s.empty() && s.back() == '0') {
            s.pop_back();
        }
        return s;
    }
    return buf;
}

ResolvedSettings ResolveSettings(OutputType type, const RequestedSettings& requested,
                                 int sourceRate, int sourceChannels) {
    ResolvedSettings out;
    const std::string name = TypeName(type);

    // Sample rate.
    const auto& rates = SampleRatesFor(type);
    const double wantRate =
        requested.sampleRate ? *requested.sampleRate : (sourceRate > 0 ? sourceRate : 44100);
    out.sampleRate = NearestOf(rates, wantRate);
    if (requested.sampleRate && out.sampleRate != *requested.sampleRate) {
        out.notes.push_back(name + " cannot be written at " + FormatNumber(*requested.sampleRate) +
                            " Hz, using " + FormatNumber(out.sampleRate) + " Hz");
    }

    // Channels.
    const int maxChannels = type == OutputType::Amr ? 1 : 2;
    const int wantChannels =
        requested.channels ? *requested.channels : (sourceChannels > 0 ? sourceChannels : 2);
    out.channels = std::clamp(wantChannels, 1, maxChannels);
    if (requested.channels && out.channels != *requested.channels) {
        out.notes.push_back(name + " cannot be written with " + ChannelText(*requested.channels) +
                            ", using " + ChannelText(out.channels));
    }

    // Bitrate.
    const double wantKbps = requested.bitrateKbps ? *requested.bitrateKbps : 128.0;
    const std::string rateText =
        " at " + FormatNumber(out.sampleRate) + " Hz " + ChannelText(out.channels);
    switch (type) {
    case OutputType::Wav:
        out.bitrate = 0;
        break;
    case OutputType::Amr: {
        const AmrMode mode = AmrModeFor(wantKbps);
        out.amrMode = mode.index;
        out.amrModeKbps = mode.kbps;
        out.bitrate = static_cast<int>(std::lround(mode.kbps * 1000));
        if (requested.bitrateKbps && std::fabs(mode.kbps - wantKbps) > 1e-9) {
            out.notes.push_back("AMR-NB has no " + FormatNumber(wantKbps) + " kbit/s mode, using " +
                                FormatNumber(mode.kbps) + " kbit/s");
        }
        break;
    }
    case OutputType::Mp3:
    case OutputType::Ac3: {
        const int kbps = NearestOf(BitrateListFor(type, out.sampleRate), wantKbps);
        out.bitrate = kbps * 1000;
        if (requested.bitrateKbps && std::fabs(kbps - wantKbps) > 1e-9) {
            out.notes.push_back(name + " cannot take " + FormatNumber(wantKbps) + " kbit/s" +
                                rateText + ", using " + FormatNumber(kbps) + " kbit/s");
        }
        break;
    }
    case OutputType::Aac:
    case OutputType::M4a:
    case OutputType::Ogg: {
        const KbpsRange range = BitrateRangeFor(type, out.sampleRate, out.channels);
        const double kbps = std::clamp(wantKbps, range.low, range.high);
        out.bitrate = static_cast<int>(std::lround(kbps * 1000));
        if (requested.bitrateKbps && std::fabs(kbps - wantKbps) > 1e-9) {
            out.notes.push_back(name + " cannot take " + FormatNumber(wantKbps) + " kbit/s" +
                                rateText + ", using " + FormatNumber(kbps) + " kbit/s");
        }
        break;
    }
    }
    return out;
}

} // namespace evc
