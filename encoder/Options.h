// evc's command line: ffmpeg-style options, the output path last.
#pragma once

#include "encoder/Gain.h"

#include <optional>
#include <string>
#include <vector>

namespace evc {

struct EncodeOptions {
    std::string input;
    std::string output;
    bool overwrite = false;           // -y
    std::optional<std::string> codec; // canonical name, see CanonicalCodecName
    std::optional<double> bitrateKbps;
    std::optional<int> channels;
    std::optional<int> sampleRate;
    int volume = kUnchangedVolume;
    std::optional<double> startSeconds;
    std::optional<double> lengthSeconds;
    int threads = 0; // encoder instances working on one file; 0: one per core, at most 8
};

struct ParseResult {
    bool showHelp = false;
    std::string error; // non-empty when the line cannot be used
    EncodeOptions options;
};

// Parses the arguments after the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The longest time evc takes: its sample count at any int sample rate fits 64 bits.
constexpr double kMaxTimeSeconds = 4294967296.0;

// Reads "hh:mm:ss[.frac]", "mm:ss" or plain seconds, at most kMaxTimeSeconds either way; none
// for anything else.
std::optional<double> ParseTimeText(const std::string& text);

// Short usage text for -h.
std::string UsageText();

} // namespace evc
