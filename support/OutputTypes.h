// The seven output types: the identity of a type is its index in the main
// window's output type list; each has its encoder arguments and extension.
#pragma once

#include <array>
#include <string_view>

// The item index of the output type list; the order is the identity of a type.
enum TOutputFileType {
    oftAMR = 0,
    oftAAC = 1,
    oftMP3 = 2,
    oftAC3 = 3,
    oftM4A = 4,
    oftOGG = 5,
    oftWAV = 6,
};
inline constexpr int OutputFileTypeCount = 7;

inline constexpr bool ValidOutputFileType(int type) {
    return type >= 0 && type < OutputFileTypeCount;
}

inline constexpr std::array<std::string_view, 7> CodecList{
    "-acodec amr_nb",  "-acodec aac -vn",    "-acodec mp3 -vn",      "-acodec ac3 -vn",
    "-acodec aac -vn", "-acodec vorbis -vn", "-acodec pcm_s16le -vn"};

inline constexpr std::array<std::string_view, 7> ExtensionList{".amr", ".aac", ".mp3", ".ac3",
                                                               ".m4a", ".ogg", ".wav"};
