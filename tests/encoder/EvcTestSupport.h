// Helpers for the encoder tests: running programs, making media, reading results back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fakes/Fakes.h"

namespace evctest {

struct RunResult {
    int exitCode = -1; // exit status, or 128 + signal
    std::string out;   // stdout
    std::string err;   // stderr
};

// The whole content of a file; empty when it cannot be read.
std::string ReadAll(const std::filesystem::path& path);

// Runs a program (looked up in PATH when it has no slash) and waits for it. With
// killAfterSeconds, a program still running then is killed (exit code -2), so a hang fails the
// test instead of stalling the suite.
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              int killAfterSeconds = 0);

// Runs a program of the build machine (the ffmpeg CLI): directly on POSIX, through the host's
// shell under wine. No time limit.
RunResult RunBuildTool(const std::string& program, const std::vector<std::string>& args);

// Path of the evc under test.
std::string EvcPath();

// Runs evc with the arguments (and -threads $EVC_TEST_THREADS when that is set).
RunResult RunEvc(const std::vector<std::string>& args);

// Crafting damaged and unusual inputs from good ones.
// Copies the first `bytes` bytes of a file.
void CopyHead(const std::string& from, const std::string& to, std::uintmax_t bytes);
// Offset of the first occurrence of `bytes` in the file; npos when absent.
std::size_t FindInFile(const std::string& path, const std::string& bytes);
// Overwrites four bytes at `offset` with a little-endian value.
void PatchLe32(const std::string& path, std::size_t offset, std::uint32_t value);

// Makes a media file with the ffmpeg CLI; fails the test when ffmpeg does.
void MakeMedia(const std::vector<std::string>& ffmpegArgs, const std::string& output);

// A fresh folder that is removed with everything in it.
class TempDir : public ::TempDir {
public:
    // The UTF-8 path of a file in the folder; the name is UTF-8 too.
    std::string File(const std::string& name) const;
    const std::filesystem::path& path() const { return Path(); }
    // Names of every entry (UTF-8), hidden ones included.
    std::vector<std::string> Entries() const;
};

struct AudioInfo {
    bool ok = false;
    std::string error;
    std::string format; // demuxer name
    std::string codec;  // codec id name, e.g. "mp3"
    int sampleRate = 0;
    int channels = 0;
    std::int64_t samples = 0; // decoded sample frames
    double rms = 0;           // over all samples, full scale 1.0
    double peak = 0;
    std::map<std::string, std::string> tags; // file and audio stream tags, keys lower case
    std::vector<float> firstChannel;         // decoded samples of channel 0, when asked
    double Seconds() const { return sampleRate > 0 ? double(samples) / sampleRate : 0; }
};

// Decodes the first audio stream of a file with libavformat/libavcodec.
AudioInfo ReadAudio(const std::string& path, bool keepSamples = false);

// The seconds the program takes from an encoder chunk (text between the 2nd and 3rd '=',
// up to its first '.'), or -1 when the chunk gives none.
long long ProgramSeconds(const std::string& chunk);

// Lines of a text, without line ends.
std::vector<std::string> Lines(const std::string& text);

} // namespace evctest
