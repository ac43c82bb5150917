// Which tags of the input go into the output.
#pragma once

extern "C" {
#include <libavutil/dict.h>
}

namespace evc {

// Copies the tags worth carrying (not container bookkeeping such as the encoder or brands);
// a key already in `to` keeps its value.
void CopyTags(const AVDictionary* from, AVDictionary** to);

} // namespace evc
