// Text, number, size and time helpers of TCommonLib and TStrFunc.
#include <charconv>
#include <clocale>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/CommonLib.h"
#include "support/Text.h"

namespace {

std::string LocaleDecimalSeparator() {
    const std::lconv* lc = std::localeconv();
    if (lc != nullptr && lc->decimal_point != nullptr && lc->decimal_point[0] != '\0')
        return lc->decimal_point;
    return ".";
}

} // namespace

std::vector<std::string> TCommonLib::SplitText(const std::string& text, char delimiter) const {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(delimiter, start);
        if (pos == std::string::npos)
            break;
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

void SplitToList(const std::string& text, char separator, std::vector<std::string>& list) {
    list.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t pos = text.find(separator, start);
        if (pos == std::string::npos)
            pos = text.size();
        if (pos > start)
            list.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string TStrFunc::TextAfterLast(const std::string& text, char delimiter) const {
    size_t pos = text.rfind(delimiter);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

double TCommonLib::TextToNumber(const std::string& text) const {
    const std::string trimmed = TrimControls(text);
    std::string kept;
    bool point = false;
    bool plus = false;
    bool minus = false;
    for (char c : trimmed) {
        if (c >= '0' && c <= '9') {
            kept += c;
        } else if (c == '.' && !point) {
            point = true;
            kept += c;
        } else if (c == '+' && !plus) {
            plus = true;
            kept += c;
        } else if (c == '-' && !minus) {
            minus = true;
            kept += c;
        }
    }
    if (kept.size() < 2) {
        if (kept.empty() || kept == "+" || kept == "-")
            return 0.0;
        if (kept[0] >= '0' && kept[0] <= '9')
            return kept[0] - '0';
        throw EConvertError("'" + kept + "' is not a valid floating point value");
    }
    // Only the first kept character may be a sign; later signs are dropped.
    std::string number(1, kept[0]);
    for (size_t i = 1; i < kept.size(); ++i)
        if (kept[i] != '+' && kept[i] != '-')
            number += kept[i];

    bool negative = false;
    size_t from = 0;
    if (number[0] == '+' || number[0] == '-') {
        negative = number[0] == '-';
        from = 1;
    }
    // Only digits and one point remain; from_chars reads them whatever the locale.
    const char* first = number.data() + from;
    const char* last = number.data() + number.size();
    double value = 0.0;
    auto res = std::from_chars(first, last, value, std::chars_format::fixed);
    if (first == last || res.ec != std::errc() || res.ptr != last)
        throw EConvertError("'" + number + "' is not a valid floating point value");
    return negative ? -value : value;
}

std::string TCommonLib::SizeToText(std::int64_t bytes) const {
    if (bytes < 0)
        bytes = 0;
    std::int64_t divisor = 1;
    const char* unit = " B";
    if (bytes >= (std::int64_t{1} << 30)) {
        divisor = std::int64_t{1} << 30;
        unit = " GB";
    } else if (bytes >= (std::int64_t{1} << 20)) {
        divisor = std::int64_t{1} << 20;
        unit = " MB";
    } else if (bytes >= 1024) {
        divisor = 1024;
        unit = " KB";
    }
    // Hundredths cut towards zero, in integers so no rounding creeps in.
    const std::int64_t whole = bytes / divisor;
    const std::int64_t cents = (bytes % divisor) * 100 / divisor;
    std::string text = std::to_string(whole);
    if (cents != 0) {
        text += DecimalSeparator.empty() ? LocaleDecimalSeparator() : DecimalSeparator;
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return text + unit;
}

std::string TCommonLib::PadNumber(std::int64_t width, std::int64_t divisor,
                                  std::int64_t value) const {
    if (divisor == 0)
        throw std::invalid_argument("PadNumber: divisor is 0");
    std::int64_t q;
    if (divisor == -1)
        q = value == std::numeric_limits<std::int64_t>::min() ? value : -value;
    else
        q = value / divisor;
    std::string digits = std::to_string(q);
    if (width > static_cast<std::int64_t>(digits.size()))
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return digits;
}

std::string TCommonLib::SecondsToTimeText(std::int64_t seconds) const {
    // Whole seconds only, so hours, minutes and seconds follow from the
    // seconds directly; counting in milliseconds would overflow for huge values.
    if (seconds < 0)
        seconds = 0;
    std::string text;
    if (seconds < 3600) {
        text = "00:";
    } else {
        text = PadNumber(2, 1, seconds / 3600) + ":";
        seconds %= 3600;
    }
    if (seconds < 60) {
        text += "00:";
    } else {
        text += PadNumber(2, 60, seconds) + ":";
        seconds %= 60;
    }
    if (seconds < 1)
        text += "00";
    else
        text += PadNumber(2, 1, seconds);
    return text;
}
