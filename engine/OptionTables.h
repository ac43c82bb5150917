// The fixed catalogue of what the encoder can be asked for: output types,
// option lists with their default index, and the five presets of every type.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "support/OutputTypes.h"

// Presets come first in the main window's profile list, user profiles after.
inline constexpr int PresetCount = 5;
inline constexpr int UserProfileOffset = 5;
inline constexpr int DefaultPresetIndex = 2;

// Lists that fill a selection list: the item texts, then the default index.
using TConstantList = std::span<const std::string_view>;

inline constexpr std::array<std::string_view, 8> OutputFileTypeList{"AMR Audio Files (*.amr)",
                                                                    "AAC Audio Files (*.aac)",
                                                                    "MP3 Audio Files (*.mp3)",
                                                                    "AC3 Audio Files (*.ac3)",
                                                                    "M4A MPEG4 Audio Files (*.m4a)",
                                                                    "OGG Audio Files (*.ogg)",
                                                                    "WAV Audio Files",
                                                                    "0"};

inline constexpr std::array<std::string_view, 10> AudioBitrateList{"16",  "32",  "48",  "64",  "80",
                                                                   "128", "160", "192", "224", "2"};

inline constexpr std::array<std::string_view, 5> AudioSampleList{"22050", "32000", "44100", "48000",
                                                                 "2"};

inline constexpr std::array<std::string_view, 3> AudioChannelsList{"1 channel, Mono",
                                                                   "2 channels, Stereo", "1"};

inline constexpr std::array<std::string_view, 22> AudioVolumeGainList{
    "0",   "25",  "50",  "75",  "100", "125", "150", "175", "200", "225", "250",
    "275", "300", "325", "350", "375", "400", "425", "450", "475", "500", "8"};

inline constexpr std::array<std::string_view, 6> VideoSizeList{"352x288", "176x144", "128x96",
                                                               "320x240", "160x120", "1"};

inline constexpr std::array<std::string_view, 6> VideoBitrateList{"40",  "80",  "128",
                                                                  "256", "512", "2"};

inline constexpr std::array<std::string_view, 3> FramerateList{"11", "15", "1"};

inline constexpr std::array<std::string_view, 3> AspectratioList{"4:3", "16:9", "0"};

inline constexpr std::array<std::string_view, PresetCount> PresetNameList{
    "最差效果", "可接受的效果", "标准效果", "稍高于标准的品质", "最好效果"};

// Profile string that changes nothing.
inline constexpr std::string_view NoneProfile = "none|none|none|none|none|none";

using TPresetTable = std::array<std::string_view, PresetCount>;

inline constexpr TPresetTable AmrMp3M4aPresets{"1|0|0|2|0|0", "1|0|1|4|1|1", "1|1|2|5|1|2",
                                               "1|1|3|7|1|2", "1|1|4|8|1|3"};
inline constexpr TPresetTable AacAc3Presets{"1|0|0|2|0|0", "1|0|1|4|0|0", "1|1|2|5|0|0",
                                            "1|1|3|7|0|0", "1|1|4|8|0|0"};
inline constexpr TPresetTable OggPresets{"none|none|none|2|0|0", "none|none|none|4|0|0",
                                         "none|none|none|5|0|0", "none|none|none|7|0|0",
                                         "none|none|none|8|0|0"};
inline constexpr TPresetTable WavPresets{"none|none|none|2|0|0", "none|none|none|4|1|1",
                                         "none|none|none|5|1|2", "none|none|none|7|1|2",
                                         "none|none|none|8|1|3"};

// The preset table of an output type, indexed by TOutputFileType.
inline constexpr std::array<const TPresetTable*, OutputFileTypeCount> PresetTables{
    &AmrMp3M4aPresets, &AacAc3Presets, &AmrMp3M4aPresets, &AacAc3Presets,
    &AmrMp3M4aPresets, &OggPresets,    &WavPresets};
