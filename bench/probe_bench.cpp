// Adding files to the source list (probe + size of each) against running the
// ffprobe CLI once per file, on the same generated files of mixed types.
//
//   probe_bench [--files N] [--keep DIR] [--folder]
//
// Prints both times and the ratio ours / ffprobe (target: at most 0.25).
// With --folder the files lie in a tree of subfolders (100 a folder) and are
// added as a dropped folder is: listed, then probed (target: 10,000 files in
// under 15 s).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/CustomProc.h"
#include "media/InitFileForm.h"
#include "media/SourceFileList.h"
#include "shell/MainForm.h"
#include "support/CommonLib.h"
#include "support/platform/Platform.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class NoPump : public IEventPump {
public:
    void ProcessMessages() override {}
    void Pause(int) override {}
};

// Counts the boxes instead of showing them; no dialog is expected here.
class CountingDialogs : public IDialogs {
public:
    int Messages = 0;
    bool MessageBox(const std::string&, const std::string&, TMsgKind) override {
        ++Messages;
        return true;
    }
    bool Question(const std::string&, const std::string&) override { return false; }
    bool Prompt(const std::string&, const std::string&, std::string&) override { return false; }
    bool OpenFiles(const std::string&, const std::string&, const std::vector<std::string>&,
                   std::vector<std::string>&) override {
        return false;
    }
    bool BrowseFolder(const std::string&, std::string&) override { return false; }
};

class NoPreview : public IPreviewHooks {
public:
    void PlaceMarkers() override {}
    void ResetTrimBar() override {}
    void StopPlay() override {}
};

struct Kind {
    const char* Ext;
    const char* Args;
};

// Lengths off whole seconds, so truncation never hides a difference.
const Kind kKinds[] = {
    {".wav", "-f lavfi -i sine=duration=7.4"},
    {".mp3", "-f lavfi -i sine=duration=7.4 -c:a libmp3lame"},
    {".ogg", "-f lavfi -i sine=duration=7.4 -c:a libvorbis"},
    {".m4a", "-f lavfi -i sine=duration=7.4 -c:a aac"},
    {".aac", "-f lavfi -i sine=duration=7.4 -c:a aac"},
    {".ac3", "-f lavfi -i sine=duration=7.4 -c:a ac3"},
    {".wma", "-f lavfi -i sine=duration=7.4 -c:a wmav2"},
    {".mp4", "-f lavfi -i testsrc=size=176x144:rate=25:duration=7.4 -f lavfi -i "
             "sine=duration=7.4 -c:v mpeg4 -c:a aac"},
    {".avi", "-f lavfi -i testsrc=size=176x144:rate=25:duration=7.4 -f lavfi -i "
             "sine=duration=7.4 -c:v mpeg4 -c:a libmp3lame"},
    {".flv", "-f lavfi -i testsrc=size=176x144:rate=25:duration=7.4 -f lavfi -i "
             "sine=duration=7.4 -c:v flv1 -c:a libmp3lame"},
    {".mpg", "-f lavfi -i testsrc=size=176x144:rate=25:duration=7.4 -f lavfi -i "
             "sine=duration=7.4 -c:v mpeg2video -c:a mp2"},
    {".wmv", "-f lavfi -i testsrc=size=176x144:rate=25:duration=7.4 -f lavfi -i "
             "sine=duration=7.4 -c:v wmv2 -c:a wmav2"},
};

// Runs a program to its end and returns what it printed; "" when it failed.
std::string RunToEnd(IPlatform& platform, const std::vector<std::string>& argv) {
    std::string error;
    auto child = platform.Spawn(argv, ".", &error);
    if (!child)
        return std::string();
    child->CloseInput();
    std::string out;
    char buf[4096];
    for (;;) {
        long n = child->Read(buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0)
            break;
        child->WaitReadable(1000);
    }
    while (child->IsRunning())
        child->WaitReadable(5);
    ChildExit e = child->Exit();
    return e.How == ChildExit::Exited && e.Code == 0 ? out : std::string();
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    int fileCount = 500;
    std::string keep;
    bool folder = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            fileCount = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep" && i + 1 < argc)
            keep = argv[++i];
        else if (a == "--folder")
            folder = true;
        else {
            std::printf("usage: probe_bench [--files N] [--keep DIR] [--folder]\n");
            return a == "--help" ? 0 : 2;
        }
    }

    auto platform = CreatePosixPlatform();
    fs::path dir = keep.empty()
                       ? fs::temp_directory_path() /
                             ("velmora-probe-bench-" + std::to_string(std::random_device{}()))
                       : fs::path(keep);
    fs::create_directories(dir);

    // One file of each kind made by ffmpeg, then copies under other names:
    // 500 distinct paths of mixed types.
    std::vector<std::string> originals;
    for (const Kind& k : kKinds) {
        std::string out = (dir / (std::string("source") + k.Ext)).string();
        if (!fs::exists(out)) {
            std::string cmd =
                std::string("ffmpeg -nostdin -v error -y ") + k.Args + " '" + out + "'";
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "ffmpeg could not make %s\n", out.c_str());
                return 1;
            }
        }
        originals.push_back(out);
    }
    std::vector<std::string> files;
    for (int i = 0; i < fileCount; ++i) {
        const std::string& src = originals[static_cast<size_t>(i) % originals.size()];
        const fs::path sub = folder ? dir / "tree" / ("d" + std::to_string(i / 100)) : dir;
        fs::create_directories(sub);
        fs::path copy = sub / ("file" + std::to_string(i) + fs::path(src).extension().string());
        if (!fs::exists(copy))
            fs::copy_file(src, copy);
        files.push_back(copy.string());
    }

    // Warm the file cache for both sides alike.
    for (const auto& f : files)
        (void)TFrmInitFileForm::ReadFileSize(f);

    NoPump pump;
    CountingDialogs dialogs;
    TAppFunc appFunc(dir.string() + "/");
    TCommonLib lib(*platform, dialogs, pump, appFunc);
    TFileFunc fileFunc;
    TSysFunc sysFunc(*platform);
    TFrmMainForm mainForm;
    TCustomProc proc(lib, fileFunc, sysFunc, mainForm);
    TFrmInitFileForm initForm(pump);
    NoPreview preview;
    TSourceFileList list(mainForm.dxTreeSourceFileInfo, lib, proc, initForm, preview);

    auto t0 = Clock::now();
    if (folder) {
        const std::vector<std::string> listed = list.ExpandFolders({(dir / "tree").string()});
        std::printf("folder listed: %zu files in %.1f ms\n", listed.size(), Ms(Clock::now() - t0));
        list.AddSourceFiles(listed);
    } else {
        list.AddSourceFiles(files);
    }
    auto ours = Clock::now() - t0;

    std::vector<std::string> peerDurations;
    auto t1 = Clock::now();
    for (const auto& f : files)
        peerDurations.push_back(RunToEnd(*platform, {"ffprobe", "-v", "error", "-show_entries",
                                                     "format=duration", "-of", "csv=p=0", f}));
    auto peer = Clock::now() - t1;

    // Same whole seconds as ffprobe's reading?
    int rows = mainForm.dxTreeSourceFileInfo.RowCount();
    int differ = 0;
    for (int r = 0; r < rows; ++r) {
        const auto& path = mainForm.dxTreeSourceFileInfo.Field(r, sfFileName);
        auto it = std::find(files.begin(), files.end(), path);
        const std::string& text = peerDurations[static_cast<size_t>(it - files.begin())];
        long peerSeconds = text.empty() ? 0 : static_cast<long>(std::atof(text.c_str()));
        if (lib.SecondsToTimeText(peerSeconds) !=
            mainForm.dxTreeSourceFileInfo.Field(r, sfDuration))
            ++differ;
    }

    double oursMs = Ms(ours);
    double peerMs = Ms(peer);
    std::printf("files: %d of %zu kinds, rows added: %d, warnings: %d, durations differing from "
                "ffprobe: %d\n",
                fileCount, originals.size(), rows, dialogs.Messages, differ);
    std::printf(folder ? "listing + AddSourceFiles: %.1f ms (%.2f ms a file)\n"
                       : "AddSourceFiles: %.1f ms (%.2f ms a file)\n",
                oursMs, oursMs / fileCount);
    std::printf("ffprobe once per file: %.1f ms (%.2f ms a file)\n", peerMs, peerMs / fileCount);
    std::printf("ratio: %.3f (target <= 0.25)\n", peerMs > 0 ? oursMs / peerMs : 0.0);

    if (keep.empty()) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return rows == fileCount ? 0 : 1;
}
