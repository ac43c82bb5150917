// The last check before an output is kept: read it back as a player finds it.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace evc {

// Opens the written file at `path` the way a player does, recognising the container from its
// bytes and the name `shownName`, and decodes its first audio frame of `codec`. Throws
// EncodeError, naming `shownName`, when a player would find no audio in it.
void CheckDecodable(const std::string& path, const std::string& shownName, AVCodecID codec);

} // namespace evc
