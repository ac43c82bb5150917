// The conversion job: every checked row of the list, one after another, each
// through a runner thread and the converting dialog.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/AdvanceSystem.h"
#include "engine/ConvertingForm.h"
#include "engine/CustomProc.h"
#include "media/SourceFileGrid.h"

namespace {

// Waits of the job, in milliseconds.
constexpr int LaunchPauseMs = 2000;
constexpr int StartPauseMs = 3000;
constexpr int EncoderPollMs = 100;

std::string DescribeFailure(const TAdvanceSystem& runner) {
    const ChildExit exit = runner.ExitStatus();
    switch (exit.How) {
    case ChildExit::NotStarted:
        return "could not start: " + runner.StartError();
    case ChildExit::Exited:
        return exit.Code == 0 ? std::string() : "exit code " + std::to_string(exit.Code);
    case ChildExit::Signaled:
        return "killed by signal " + std::to_string(exit.Code);
    case ChildExit::Running:
        break;
    }
    return "did not end";
}

} // namespace

void TCustomProc::ConvertFiles(TSourceFileGrid& list) {
    // After a stop the main window is usable while the last file is still
    // being released; a second job must wait for this one to return.
    if (JobRunning)
        return;
    TfrmConverting* const form = ConvertingForm;
    if (!form) {
        Lib.AppFunc().WriteLog("Convert files error. -> no converting dialog");
        return;
    }

    // Leaves the windows usable and no runner behind, however the job ends.
    struct JobScope {
        TCustomProc& proc;
        TfrmConverting& form;
        bool ended = false;
        ~JobScope() {
            if (proc.Runner) {
                proc.Runner->KillChild();
                proc.Runner.reset();
            }
            if (!ended) {
                form.Hide();
                proc.MainForm.SetEnabled(true);
            }
            proc.JobList = nullptr;
            proc.JobRunning = false;
            if (proc.Desktop)
                proc.Desktop->ClearJobProgress();
        }
    } scope{*this, *form};
    JobRunning = true;
    JobStopped = false;
    JobList = &list;
    FailedFiles.clear();
    ProfileErrorShown = false;

    DoneCount = 0;
    TotalCount = 0;
    for (int r = 0; r < list.RowCount(); ++r)
        if (list.Field(r, sfCheck) == "True")
            ++TotalCount;

    if (list.RowCount() == 0) {
        Lib.ShowNoFilesMsg();
        form->Hide();
        MainForm.SetEnabled(true);
        scope.ended = true;
        return;
    }

    // A long batch must not be cut short by the machine going to sleep.
    std::unique_ptr<ISleepInhibitor> inhibitor =
        Lib.Platform().InhibitSleep("Converting audio files");
    if (Desktop)
        Desktop->ShowJobProgress(0);

    DoneCount = 0;
    CurRow = 0;
    // Rows added after a stop (the main window is usable again) must not
    // bring the job back to life.
    while (!JobStopped && CurRow <= list.RowCount() - 1) {
        if (list.Field(CurRow, sfCheck) == "True") {
            ConvertRow(*form, list.Field(CurRow, sfFileName));
            ++DoneCount;
        }
        ++CurRow;
    }
    scope.ended = EndJob(*form, std::move(inhibitor));
}

void TCustomProc::ConvertRow(TfrmConverting& form, const std::string& source) {
    IEventPump& pump = Lib.Pump();
    CurCmdLine = CreateConvertParameter(source);
    Lib.AppFunc().WriteLog("parameter: " + CurCmdLine);

    RefreshCount = 0;
    form.BeginFile();
    form.ShowDialog();
    MainForm.SetEnabled(false);

    pump.ProcessMessages();
    pump.Pause(LaunchPauseMs);
    pump.ProcessMessages();
    // A stop during the pause: this file's encoder is never started.
    if (JobStopped)
        return;

    Runner = std::make_unique<TAdvanceSystem>(Lib.Platform(), Lib.AppPath, CurCmdLine,
                                              form.OutputCallback());
    Runner->Resume();
    pump.ProcessMessages();
    pump.Pause(StartPauseMs);

    // The file ends when no encoder is left. The runner is waited for here
    // too, so releasing it never blocks the window.
    auto encoderRunning = [&] {
        return SysFunc.FindProcessByName(Lib.EncoderName) != 0 ||
               SysFunc.FindProcessByName(EncoderAltExeName) != 0;
    };
    bool killSent = false;
    while (encoderRunning() || !Runner->Finished()) {
        // Stopped before the encoder could be found by name, or the command
        // names another program: end our own child.
        if (JobStopped && !killSent) {
            killSent = true;
            Runner->KillChild();
        }
        pump.Pause(EncoderPollMs);
        pump.ProcessMessages();
    }
    // Output still queued belongs to this file; show it before the next one.
    pump.ProcessMessages();

    // A stopped file was ended on purpose: it is no failure.
    if (const std::string why = DescribeFailure(*Runner); !JobStopped && !why.empty()) {
        FailedFiles.push_back(source);
        Lib.AppFunc().WriteLog("Convert file error. ->" + source + " (" + why + ")");
    }
    Runner.reset();
}

bool TCustomProc::EndJob(TfrmConverting& form, std::unique_ptr<ISleepInhibitor> inhibitor) {
    if (!StopRequested) {
        if (MainForm.chkShowOutputDirectory.Checked)
            Lib.OpenFolderInExplorer(Lib.ConvertParam.OutputDir);
        if (MainForm.chkShutdown.Checked) {
            // The failures are in the log; a box here would hold off the
            // power-off the user asked for.
            inhibitor.reset();
            Lib.ShutdownComputer();
            if (ExitProcess) {
                ExitProcess();
            } else {
                std::fflush(nullptr);
                std::_Exit(0);
            }
            return false;
        }
    }
    StopRequested = false;
    // Told before the dialog goes, while the user's focus is still as it was.
    if (Desktop && !JobStopped) {
        const int failed = static_cast<int>(FailedFiles.size());
        Desktop->NoticeJobEnd(JobEndNoticeTitle(), JobEndNoticeText(DoneCount - failed, failed));
    }
    form.Hide();
    MainForm.SetEnabled(true);
    inhibitor.reset();

    if (!JobStopped && !FailedFiles.empty()) {
        std::string text = "以下文件转换失败:";
        for (const std::string& path : FailedFiles)
            text += "\n" + path;
        Lib.ShowMsg(text, mkWarning);
    }
    return true;
}

std::string TCustomProc::JobEndNoticeTitle() {
    return "转换完成";
}

std::string TCustomProc::JobEndNoticeText(int converted, int failed) {
    return "已转换 " + std::to_string(converted) + " 个文件, 失败 " + std::to_string(failed) +
           " 个.";
}

void TCustomProc::EndJobForClose() {
    if (!JobRunning)
        return;
    JobStopped = true;
    // Bounded like the kill loop; evc removes its temporary file on SIGTERM.
    if (Runner)
        Runner->KillChild();
}
