// What an input may be opened with: the demuxers of the source types Velmora accepts and the
// file protocol. A script or playlist named like a media file (ffconcat, HLS, image patterns)
// must not make the reader open other files or the network.
#pragma once

extern "C" {
#include <libavutil/dict.h>
}

#include <string>

namespace evc {

// .3gp .3g2 .m4v .mov .mp4 .m4a | .avi | .mpeg .mpg .vob | .asf .wmv .wma | .rm .rmvb | .flv |
// .swf | .aac | .ac3 | .mp2 .mp3 | .ogg | .tta | .wav | .amr
inline constexpr char kInputDemuxers[] =
    "mov,avi,mpeg,mpegts,asf,rm,flv,swf,aac,ac3,eac3,mp3,ogg,tta,wav,amr";

// Adds the limits to the options given to avformat_open_input.
inline void LimitInputOpening(AVDictionary** options) {
    av_dict_set(options, "format_whitelist", kInputDemuxers, 0);
    av_dict_set(options, "protocol_whitelist", "file", 0);
}

// The URL for a local path: the explicit protocol keeps "a:b.mp3" from naming a scheme.
inline std::string FileUrl(const std::string& path) {
    return "file:" + path;
}

} // namespace evc
