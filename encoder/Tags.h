// Which tags of the source an output carries: those that describe the recording. Where and on
// what it was made (a phone's GPS position, device keys) and what wrote it stay behind.
#pragma once

extern "C" {
#include <libavutil/dict.h>
}

#include <string_view>

namespace evc {

// True for a descriptive key (title, artist, track number, lyrics, ...) in any letter case,
// also with a sort or language suffix ("artist-sort", "title-eng", "sort_album").
bool IsDescriptiveTag(std::string_view key);

// Copies the descriptive tags of `from` into `to`, keeping what `to` already holds. A key with a
// language suffix is carried under its plain name when that name is not there.
void CopyTags(const AVDictionary* from, AVDictionary** to);

} // namespace evc
