#include "encoder/Options.h"

#include "encoder/Settings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

namespace evc {

namespace {

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') {
        ++first;
    }
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') {
        ++first;
    }
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && std::isfinite(value);
}

// "128", "128k" and "12.2" are kbit/s.
bool ParseKbps(std::string text, double& kbps) {
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) {
        text.pop_back();
    }
    return ParseDouble(text, kbps) && kbps > 0;
}

} // namespace

std::optional<double> ParseTimeText(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == ':') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    if (parts.size() > 3) {
        return std::nullopt;
    }
    bool negative = false;
    if (!parts.front().empty() && parts.front()[0] == '-') {
        negative = true;
        parts.front().erase(0, 1);
    }
    double total = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        const bool last = i + 1 == parts.size();
        if (p.empty()) {
            return std::nullopt;
        }
        for (char c : p) {
            if (!(std::isdigit(static_cast<unsigned char>(c)) || (last && c == '.'))) {
                return std::nullopt;
            }
        }
        double v = 0;
        if (!ParseDouble(p, v)) {
            return std::nullopt;
        }
        // Minutes and seconds below the leading field stay under 60.
        if (i > 0 && v >= 60) {
            return std::nullopt;
        }
        total = total * 60 + v;
    }
    if (total > kMaxTimeSeconds) {
        return std::nullopt;
    }
    return negative ? -total : total;
}

namespace {

// Takes the value of one option into `o`; the error text when it is refused.
std::optional<std::string> TakeOptionValue(const std::string& a, const std::string& v,
                                           EncodeOptions& o, bool& haveInput) {
    if (a == "-i") {
        if (haveInput) {
            return "only one input file can be given";
        }
        if (v.empty()) {
            return "the input file name is empty";
        }
        o.input = v;
        haveInput = true;
    } else if (a == "-acodec") {
        auto codec = CanonicalCodecName(v);
        if (!codec) {
            return "unknown audio codec '" + v + "'";
        }
        o.codec = *codec;
    } else if (a == "-ab") {
        double kbps = 0;
        if (!ParseKbps(v, kbps)) {
            return "invalid audio bitrate '" + v + "' (kbit/s expected)";
        }
        o.bitrateKbps = kbps;
    } else if (a == "-vol") {
        int vol = 0;
        if (!ParseInt(v, vol) || vol < 0) {
            return "invalid volume '" + v + "' (0 or more, 200 keeps the level)";
        }
        o.volume = vol;
    } else if (a == "-threads") {
        int threads = 0;
        if (!ParseInt(v, threads) || threads < 0 || threads > 64) {
            return "invalid thread count '" + v + "' (0 to 64, 0 takes one per core)";
        }
        o.threads = threads;
    } else if (a == "-ac") {
        int ch = 0;
        if (!ParseInt(v, ch) || ch < 1 || ch > 64) {
            return "invalid channel count '" + v + "'";
        }
        o.channels = ch;
    } else if (a == "-ar") {
        int rate = 0;
        if (!ParseInt(v, rate) || rate < 1000 || rate > 768000) {
            return "invalid sample rate '" + v + "'";
        }
        o.sampleRate = rate;
    } else if (a == "-s") {
        // Frame size of a video stream; audio outputs carry none.
        const auto x = v.find('x');
        int w = 0;
        int h = 0;
        if (x == std::string::npos || !ParseInt(v.substr(0, x), w) ||
            !ParseInt(v.substr(x + 1), h) || w <= 0 || h <= 0) {
            return "invalid frame size '" + v + "'";
        }
    } else if (a == "-b") {
        double kbps = 0;
        if (!ParseKbps(v, kbps)) {
            return "invalid video bitrate '" + v + "'";
        }
    } else if (a == "-ss") {
        auto t = ParseTimeText(v);
        if (!t || *t < 0) {
            return "invalid start time '" + v + "' (hh:mm:ss expected)";
        }
        o.startSeconds = *t;
    } else if (a == "-t") {
        auto t = ParseTimeText(v);
        if (!t) {
            return "invalid length '" + v + "' (seconds expected)";
        }
        if (*t <= 0) {
            return "the length -t must be more than 0 seconds, not '" + v + "'";
        }
        o.lengthSeconds = *t;
    }
    return std::nullopt;
}

// Input, one output of a known type and a codec that type can hold.
std::optional<std::string> CheckFiles(EncodeOptions& o, bool haveInput,
                                      const std::vector<std::string>& positional) {
    if (!haveInput) {
        return "no input file given (-i)";
    }
    if (positional.empty()) {
        return "no output file given";
    }
    if (positional.size() > 1) {
        return "more than one output file given ('" + positional[0] + "', '" + positional[1] + "')";
    }
    o.output = positional.front();
    const auto type = OutputTypeForPath(o.output);
    if (!type) {
        return "unsupported output type '" + o.output +
               "' (use .amr, .aac, .mp3, .ac3, .m4a, .ogg or .wav)";
    }
    if (o.codec && *o.codec != CodecNameFor(*type)) {
        return "codec " + *o.codec + " cannot be written to a " + TypeName(*type) + " file";
    }
    return std::nullopt;
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    EncodeOptions& o = result.options;
    std::vector<std::string> positional;
    bool haveInput = false;

    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "-help" || a == "--help" || a == "-?") {
            result.showHelp = true;
            return result;
        }
        if (a == "-y") {
            o.overwrite = true;
            continue;
        }
        if (a == "-vn") {
            continue;
        }
        if (a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
            continue;
        }
        static const char* const kWithValue[] = {"-i", "-acodec", "-ab", "-vol", "-ac",     "-ar",
                                                 "-s", "-b",      "-ss", "-t",   "-threads"};
        bool known = false;
        for (const char* k : kWithValue) {
            known = known || a == k;
        }
        if (!known) {
            return fail("unknown option '" + a + "'");
        }
        if (i + 1 >= args.size()) {
            return fail("option '" + a + "' needs a value");
        }
        if (auto error = TakeOptionValue(a, args[++i], o, haveInput)) {
            return fail(*error);
        }
    }
    if (auto error = CheckFiles(o, haveInput, positional)) {
        return fail(*error);
    }
    return result;
}

std::string UsageText() {
    return "usage: evc [-y] -i INPUT [-acodec amr_nb|aac|mp3|ac3|vorbis|pcm_s16le] [-vn]\n"
           "           [-ab KBPS] [-vol N] [-ac 1|2] [-ar HZ] [-s WxH] [-b KBPS]\n"
           "           [-ss hh:mm:ss] [-t SECONDS] [-threads N] OUTPUT\n"
           "  OUTPUT ends in .amr .aac .mp3 .ac3 .m4a .ogg or .wav\n"
           "  -y        overwrite an existing OUTPUT\n"
           "  -ab       audio bitrate in kbit/s\n"
           "  -vol      volume: 200 keeps the level, 100 halves it, 0 is silence, 500 is +8 dB\n"
           "  -ss, -t   start time and length of the part to convert\n"
           "  -threads  encoder instances at work on the file (default: one per core, at most\n"
           "            8; 1 encodes in one piece)\n"
           "  -s, -b    accepted for compatibility and ignored\n";
}

} // namespace evc
