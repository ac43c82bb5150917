// Wording shared by evc's header lines and messages: times and channel counts.
#pragma once

#include <string>

namespace evc {

// "12.34": seconds with two decimals.
std::string SecondsText(double seconds);

// "hh:mm:ss.mmm", rounded to the millisecond; negative times read as 0.
std::string ClockText(double seconds);

// "mono", "stereo", else "N channels".
std::string ChannelsText(int channels);

} // namespace evc
