#include "support/TimeText.h"

#include <cmath>
#include <string>
#include <vector>

#include "support/CommonLib.h"
#include "support/Text.h"

namespace {

std::optional<std::int64_t> ParseTimePart(const std::string& part) {
    std::int64_t value = 0;
    if (!ReadWholeNumber(TrimControls(part), value))
        return std::nullopt;
    // Far beyond any media length; keeps the arithmetic below from overflowing.
    if (value > 1'000'000'000 || value < -1'000'000'000)
        return std::nullopt;
    return value;
}

} // namespace

std::int64_t LooseTimeTextSeconds(const TCommonLib& lib, const std::string& text) {
    const auto parts = lib.SplitText(text, ':');
    if (parts.size() < 3)
        return 0;
    auto part = [&](size_t i) -> std::int64_t {
        double v = lib.TextToNumber(parts[i]);
        if (!std::isfinite(v) || std::fabs(v) > 1e12)
            return 0;
        return static_cast<std::int64_t>(v);
    };
    try {
        return part(0) * 3600 + part(1) * 60 + part(2);
    } catch (const EConvertError&) {
        return 0;
    }
}

std::optional<std::int64_t> WholeTimeTextSeconds(const TCommonLib& lib, const std::string& text) {
    const std::vector<std::string> parts = lib.SplitText(text, ':');
    if (parts.size() != 3)
        return std::nullopt;
    auto h = ParseTimePart(parts[0]);
    auto m = ParseTimePart(parts[1]);
    auto s = ParseTimePart(parts[2]);
    if (!h || !m || !s)
        return std::nullopt;
    return *h * 3600 + *m * 60 + *s;
}

std::optional<std::int64_t> StrictTimeTextSeconds(const std::string& text) {
    const auto first = text.find(':');
    if (first == std::string::npos)
        return std::nullopt;
    const auto second = text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos)
        return std::nullopt;
    const std::string h = text.substr(0, first);
    const std::string m = text.substr(first + 1, second - first - 1);
    const std::string s = text.substr(second + 1);
    // Up to 9 hour digits keeps the sum far from overflow.
    if (!AllDigits(h) || h.size() < 2 || h.size() > 9 || !AllDigits(m) || m.size() != 2 ||
        !AllDigits(s) || s.size() != 2)
        return std::nullopt;
    const std::int64_t hours = std::stoll(h);
    const int minutes = std::stoi(m);
    const int seconds = std::stoi(s);
    if (minutes > 59 || seconds > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}
