// Shared pieces of the media tests: test media made with the ffmpeg CLI, a
// graph that loads only listed files, a recording stand-in for the preview hooks, and the
// objects a source list needs, wired to fakes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CustomProc.h"
#include "fakes/CoreRig.h"
#include "fakes/FakeGraph.h"
#include "media/InitFileForm.h"
#include "media/MediaGraph.h"
#include "media/SourceFileList.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"
#include "support/platform/Platform.h"

namespace media_test {

// Runs ffmpeg quietly; true when it made the file.
inline bool Ffmpeg(const std::string& args, const std::string& out) {
    std::string cmd = "ffmpeg -nostdin -v error -y " + args + " '" + out + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0 && std::filesystem::exists(out);
}

// Makes `out` with ffmpeg, or links it to the copy an earlier test process
// made with the same arguments: CTest runs every test in its own process, and
// making the media each time would cost more than the tests.
inline bool CachedFfmpeg(const std::string& args, const std::string& out) {
    namespace fs = std::filesystem;
    fs::path cache = fs::path(VELMORA_TEST_BIN_DIR) / "media-cache";
    std::error_code ec;
    fs::create_directories(cache, ec);
    std::string key = std::to_string(std::hash<std::string>{}(args));
    fs::path cached = cache / (key + fs::path(out).extension().string());
    if (!fs::exists(cached)) {
        // Made under a unique name and renamed, so parallel tests never see
        // half a file.
        fs::path tmp = cache / (key + ".part" + std::to_string(std::random_device{}()) +
                                fs::path(out).extension().string());
        if (!Ffmpeg(args, tmp.string()))
            return false;
        fs::rename(tmp, cached, ec);
        if (ec)
            return false;
    }
    fs::create_symlink(cached, out, ec);
    return !ec && fs::exists(out);
}

inline std::string Tone(double seconds, int rate = 44100) {
    return "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(rate) +
           ":duration=" + std::to_string(seconds);
}

inline std::string Video(double seconds) {
    return "-f lavfi -i testsrc=size=176x144:rate=25:duration=" + std::to_string(seconds);
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A graph that loads only the paths it is given, with their lengths.
inline FakeGraph ListedGraph(std::map<std::string, std::int64_t> durations = {}) {
    FakeGraph graph;
    graph.Durations = std::move(durations);
    graph.RenderUnlisted = false;
    return graph;
}

class RecordingPreview : public IPreviewHooks {
public:
    std::vector<std::string> Calls;
    void PlaceMarkers() override { Calls.push_back("PlaceMarkers"); }
    void ResetTrimBar() override { Calls.push_back("ResetTrimBar"); }
    void StopPlay() override { Calls.push_back("StopPlay"); }
};

// Everything a source list needs, with a temporary program folder. Files named
// in `Durations` exist on disk (made by AddFile) and probe with that length
// unless `RealProbe` is set.
struct ListRig {
    TempDir Media;
    FakeEventPump Pump;
    std::unique_ptr<IPlatform> Platform = CreatePosixPlatform();
    TCoreRig Core{*Platform, Pump};
    TempDir& App = Core.Dir;
    ScriptedDialogs& Dialogs = Core.Dialogs;
    TCommonLib& Lib = Core.Lib;
    TFileFunc& FileFunc = Core.FileFunc;
    TSysFunc& SysFunc = Core.SysFunc;
    TFrmMainForm MainForm;
    TCustomProc Proc{Lib, FileFunc, SysFunc, MainForm};
    TFrmInitFileForm InitForm{Pump};
    RecordingPreview Preview;
    TSourceFileGrid& Grid = MainForm.dxTreeSourceFileInfo;
    std::map<std::string, std::int64_t> Durations;
    int GraphsMade = 0;
    bool RealProbe = false;
    TSourceFileList List{Grid, Lib, Proc, InitForm, Preview, [this] {
                             ++GraphsMade;
                             if (RealProbe)
                                 return CreateProbeGraph();
                             return std::unique_ptr<IMediaGraph>(
                                 std::make_unique<FakeGraph>(ListedGraph(Durations)));
                         }};

    ListRig() {
        std::string home = Media.Folder();
        Proc.DefaultHome = [home] { return home; };
    }

    // Creates a file of `bytes` bytes under the media folder; returns its path.
    std::string AddFile(const std::string& name, std::int64_t ms, size_t bytes = 1000) {
        std::string path = Media.Folder() + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteText(path, std::string(bytes, 'x'));
        Durations[path] = ms;
        return path;
    }

    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& row : Grid.Rows)
            out.push_back(row[sfFileName]);
        return out;
    }
    std::vector<int> SelectedRows() const {
        std::vector<int> out;
        for (int r = 0; r < Grid.RowCount(); ++r)
            if (Grid.IsSelected(r))
                out.push_back(r);
        return out;
    }
};

} // namespace media_test
