// Reading time texts (hh:mm:ss) into seconds. The three readers follow three
// different rules on purpose: the trim bar reads loosely, the command line
// reads whole numbers, and a typed cell must be in the exact form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TCommonLib;

// At least three parts split at ':', each read with TextToNumber and cut to
// a whole number; 0 when the text does not give a time.
std::int64_t LooseTimeTextSeconds(const TCommonLib& lib, const std::string& text);

// Exactly three parts split at ':', each a whole number (blanks around it
// allowed, far beyond any media length refused); nothing otherwise.
std::optional<std::int64_t> WholeTimeTextSeconds(const TCommonLib& lib, const std::string& text);

// Exactly hh:mm:ss with 2 to 9 hour digits and minutes and seconds of two
// digits below 60; nothing otherwise.
std::optional<std::int64_t> StrictTimeTextSeconds(const std::string& text);
