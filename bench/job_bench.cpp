// One conversion job of ten 30-second files to MP3, against the same ten
// encoder runs started back to back. Prints the job's time beyond its fixed
// pauses plus encoding, and the CPU the converter itself used during the job.
//
//   job_bench [evc path] [files] [seconds]
//
// The evc path defaults to ../bin/evc beside this program. Needs the ffmpeg
// CLI for the test media. Only the encoders this program starts are waited
// for or stopped.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/OptionForm.h"
#include "engine/ConvertingForm.h"
#include "engine/CustomProc.h"
#include "engine/OptionTables.h"
#include "media/SourceFileGrid.h"
#include "shell/MainForm.h"
#include "support/CommandLineSplit.h"
#include "support/CommonLib.h"
#include "tests/fakes/CoreRig.h"
#include "tests/fakes/FakePlatform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs one command line to its end, draining its output; false on failure.
bool RunToEnd(IPlatform& platform, const std::string& cmdLine, const std::string& workDir) {
    std::string error;
    auto child = platform.Spawn(SplitCommandLine(cmdLine), workDir, &error);
    if (!child) {
        std::fprintf(stderr, "cannot start: %s\n", error.c_str());
        return false;
    }
    char buffer[4096];
    while (child->IsRunning()) {
        child->WaitReadable(100);
        while (child->Read(buffer, sizeof buffer) > 0) {
        }
    }
    return child->Exit().How == ChildExit::Exited && child->Exit().Code == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<IPlatform> real = CreatePosixPlatform();
    const std::string evc =
        argc > 1 ? argv[1] : real->ExecutableFolder() + "../bin/" + EncoderExeName;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const int length = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
    if (!fs::exists(evc)) {
        std::fprintf(stderr, "no encoder at %s\n", evc.c_str());
        return 2;
    }

    TempDir mediaDir;
    FakePlatform platform(real.get());
    platform.UseRealProcesses = true; // only our own encoders count
    QueueDispatcher dispatcher;
    RealTimePump pump(dispatcher);
    TCoreRig core(platform, pump);
    TempDir& programDir = core.Dir;
    TCommonLib& lib = core.Lib;
    fs::create_symlink(fs::absolute(evc), programDir.Path() / EncoderExeName);
    platform.ExeFolder = programDir.Folder();
    TFrmMainForm mainForm;
    TCustomProc proc(lib, core.FileFunc, core.SysFunc, mainForm);
    TfrmOption optionForm;
    TfrmConverting form(proc, dispatcher);
    proc.ConvertingForm = &form;
    proc.AttachOptionForm(optionForm);
    proc.ExitProcess = [] {};
    proc.FillOptionLists();
    mainForm.cbbOutputFiletype.SetItemIndex(oftMP3);
    proc.ApplyProfile();

    std::printf("media: %d files of %d s (ffmpeg CLI)\n", files, length);
    const std::string end = lib.SecondsToTimeText(length);
    for (int i = 0; i < files; ++i) {
        const std::string path = mediaDir.Folder() + "source" + std::to_string(i) + ".wav";
        const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" +
                                std::to_string(300 + 40 * i) +
                                ":duration=" + std::to_string(length) + " -ac 2 -ar 44100 '" +
                                path + "'";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 2;
        }
        TSourceFileRow row;
        row[sfCheck] = "True";
        row[sfFileName] = path;
        row[sfStartTime] = "00:00:00";
        row[sfEndTime] = end;
        row[sfDuration] = end;
        row[sfCutTime] = end;
        mainForm.dxTreeSourceFileInfo.Rows.push_back(row);
    }

    // Peer: the same command lines, one encoder after the other.
    mainForm.edtOutputFolder.SetText(mediaDir.Folder() + "peer");
    std::vector<double> encodeSeconds;
    for (const TSourceFileRow& row : mainForm.dxTreeSourceFileInfo.Rows) {
        const std::string cmdLine = proc.CreateConvertParameter(row[sfFileName]);
        const auto t0 = Clock::now();
        if (!RunToEnd(*real, cmdLine, programDir.Path().string()))
            return 3;
        encodeSeconds.push_back(Seconds(Clock::now() - t0));
    }
    double encodeTotal = 0;
    double expectedJob = 0; // each file: launch pause, then the longer of start pause and encoding
    for (double s : encodeSeconds) {
        encodeTotal += s;
        expectedJob += 2.0 + std::max(3.0, s);
    }

    // The job.
    mainForm.edtOutputFolder.SetText(mediaDir.Folder() + "job");
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    proc.ConvertFiles(mainForm.dxTreeSourceFileInfo);
    const double jobWall = Seconds(Clock::now() - t0);
    const double jobCpu = ProcessCpuSeconds() - cpu0;
    if (proc.DoneCount != files || !proc.FailedFiles.empty()) {
        std::fprintf(stderr, "job did not convert every file (%d done, %zu failed)\n",
                     proc.DoneCount, proc.FailedFiles.size());
        return 3;
    }

    const double pauses = files * 5.0;
    const double naive = pauses + encodeTotal;
    std::printf("encoder back to back (peer): %.3f s for %d files (%.3f s each)\n", encodeTotal,
                files, encodeTotal / files);
    std::printf("fixed pauses: %.3f s\n", pauses);
    std::printf("job wall time: %.3f s\n", jobWall);
    std::printf("job / (pauses + peer encoding): %.3f\n", jobWall / naive);
    std::printf("job beyond pauses + encoding: %+.1f ms per file (target < 100)\n",
                (jobWall - naive) * 1000.0 / files);
    std::printf("job beyond its least possible time (encoding overlaps the 3 s pause): "
                "%+.1f ms per file\n",
                (jobWall - expectedJob) * 1000.0 / files);
    std::printf("converter CPU during the job: %.3f s = %.3f %% of wall time (target < 2 %%)\n",
                jobCpu, jobCpu * 100.0 / jobWall);
    return 0;
}
