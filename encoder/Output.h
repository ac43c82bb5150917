// The output file: the muxer of the output type with the encoder's stream and the input's tags,
// written to a temporary file that is moved into place only when complete.
#pragma once

#include "encoder/AudioEncoder.h"
#include "encoder/CoverArt.h"
#include "encoder/Input.h"
#include "encoder/Settings.h"
#include "encoder/TempOutput.h"

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace evc {

class OutputFile {
public:
    // Sets up the muxer; throws EncodeError when it is not available.
    OutputFile(OutputType type, std::string path, const volatile std::sig_atomic_t* stop);

    // Whether encoders must put their headers in the stream parameters.
    bool wantsGlobalHeader() const;

    // Adds the encoder's stream, the input's tags and its cover, reserves the temporary file
    // (removing stale ones of earlier runs in the folder) and writes the header.
    void Start(const AudioEncoder& encoder, const InputAudio& in);

    // What Start had to leave out, one line each.
    const std::vector<std::string>& notes() const { return notes_; }

    // Writes one packet whose times are in timeBase. Throws EncodeCancelled when a stop ended the
    // write, EncodeError when it failed.
    void Write(AVPacket* pkt, AVRational timeBase);

    // Bytes written so far.
    std::int64_t bytes() const;

    // Writes the trailer, closes the file and moves it into place; returns its size. A file in
    // which a player would find no audio is a failure and is not kept.
    std::int64_t Finish(bool overwrite);

private:
    OutputType type_;
    std::string path_;
    const volatile std::sig_atomic_t* stop_;
    // Declared first so the file is closed before it is removed (Windows cannot remove an open
    // file).
    std::optional<TempOutput> temp_;
    OutputFormatPtr out_;
    AVStream* stream_ = nullptr;
    std::vector<std::string> notes_;
};

} // namespace evc
