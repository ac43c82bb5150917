// Test media made with the ffmpeg command line, once per test program.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/Fakes.h"

class MediaFiles {
public:
    static MediaFiles& Get() {
        static MediaFiles files;
        return files;
    }
    std::string Wav() const { return dir_.Folder() + "tone 5s.wav"; }
    std::string Video() const { return dir_.Folder() + "clip 5s.mp4"; }
    std::string TextAsMp4() const { return dir_.Folder() + "notes.mp4"; }
    std::string Missing() const { return dir_.Folder() + "missing.wav"; }
    // The tone under a GBK name, which is no valid UTF-8.
    std::string GbkNamedWav() const { return dir_.Folder() + "\xb2\xe2\xca\xd4.wav"; }
    bool Ok() const { return ok_; }

private:
    MediaFiles() {
        ok_ = Run("-f lavfi -i sine=frequency=440:duration=5 -ar 44100 -ac 2 \"" + Wav() + "\"") &&
              Run("-f lavfi -i testsrc=size=320x180:rate=25:duration=5 -f lavfi -i "
                  "sine=frequency=660:duration=5 -c:v mpeg4 -q:v 5 -c:a aac -shortest \"" +
                  Video() + "\"");
        std::ofstream(TextAsMp4()) << "This is a text file, not a video.\n";
        std::error_code ec;
        ok_ = ok_ && std::filesystem::copy_file(Wav(), GbkNamedWav(), ec);
    }
    static bool Run(const std::string& args) {
        return std::system(("ffmpeg -nostdin -loglevel error -y " + args).c_str()) == 0;
    }
    TempDir dir_;
    bool ok_ = false;
};
