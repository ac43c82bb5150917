// The cover picture: found among the input's attached pictures, written the way each output
// type keeps one. MP3 (ID3v2 APIC) and M4A (covr) take it as a picture stream of the muxer;
// Ogg as a METADATA_BLOCK_PICTURE comment; AMR, AAC, AC3 and WAV go without.
#pragma once

#include "encoder/FFmpeg.h"
#include "encoder/Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace evc {

struct CoverArt {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    int depth = 0; // bits per pixel, 0 when unknown
    std::string description;
    std::string data; // the encoded picture as stored in the input
};

// The input's front cover, else its first attached picture; none when it has no picture.
std::optional<CoverArt> FindCover(const AVFormatContext* input);

// The MIME type of a picture codec, empty for one no tag format names.
std::string PictureMime(AVCodecID codec);

// The text of a METADATA_BLOCK_PICTURE comment: a FLAC picture block (front cover), base64.
std::string VorbisPictureComment(const CoverArt& cover);

// Before the header is written: gives `out` what it needs to carry the cover. Returns the
// index of the picture stream to pass to WriteCover, or -1 when nothing is left to write. A
// type that could keep a picture, but not one of this codec, goes without and says so in notes.
int PrepareCover(AVFormatContext* out, AVStream* audio, OutputType type, const CoverArt& cover,
                 std::vector<std::string>& notes);

// After the header: writes the picture into the stream PrepareCover made.
void WriteCover(AVFormatContext* out, int stream, const CoverArt& cover);

} // namespace evc
