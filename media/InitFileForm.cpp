#include "media/InitFileForm.h"

#include <exception>
#include <filesystem>
#include <fstream>

#include "support/platform/SystemIO.h"

TFrmInitFileForm::TFrmInitFileForm(IEventPump& pump) : pump_(pump) {
    lblInfo.Caption = DesignText;
    Timer1.Interval = 1000;
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.Interval = 300;
    Timer2.OnTimer = [this] { Timer2Timer(); };
}

std::string TFrmInitFileForm::FrameText(int frame) {
    static const char* const kMarks[] = {"|", "/", "-", "\\"};
    if (frame < 1 || frame > 4)
        frame = 1;
    return std::string(DesignText) + "  " + kMarks[frame - 1];
}

void TFrmInitFileForm::ShowModal() {
    if (Visible)
        return; // already running its modal loop further up the stack
    FormShow();
    Show();
    if (RunModal)
        RunModal();
    else
        DriveTimers();
}

void TFrmInitFileForm::FormShow() {
    SpinFrame = 1;
    Timer1.SetEnabled(true);
    Timer2.SetEnabled(true);
}

void TFrmInitFileForm::FormClose() {
    Timer1.SetEnabled(false);
}

void TFrmInitFileForm::Timer1Timer() {
    pump_.ProcessMessages();
    ++SpinFrame;
    if (SpinFrame > 4)
        SpinFrame = 1;
    lblInfo.SetCaption(FrameText(SpinFrame));
}

void TFrmInitFileForm::Timer2Timer() {
    pump_.ProcessMessages();
    Timer2.SetEnabled(false);
    try {
        // A copy: events handled during the adding may replace PendingFiles.
        const std::vector<std::string> paths = PendingFiles;
        if (OnAddFiles)
            OnAddFiles(paths);
        if (OnStoreFolder)
            OnStoreFolder();
    } catch (...) {
        // The window must not stay up over a failure; the error is still
        // reported by whoever handles the event.
        FormClose();
        Hide();
        throw;
    }
    FormClose();
    Hide();
}

void TFrmInitFileForm::DriveTimers() {
    constexpr int kStep = 50;
    std::int64_t now = 0;
    std::int64_t next1 = Timer1.Interval;
    std::int64_t next2 = Timer2.Interval;
    while (Visible) {
        pump_.Pause(kStep);
        now += kStep;
        if (Visible && Timer2.Enabled && now >= next2) {
            next2 = now + Timer2.Interval;
            Timer2.Tick();
        }
        if (Visible && Timer1.Enabled && now >= next1) {
            next1 = now + Timer1.Interval;
            Timer1.Tick();
        }
        // Only Timer2 closes the window; once it is off, do not spin forever.
        if (Visible && !Timer2.Enabled) {
            FormClose();
            Hide();
        }
    }
}

std::optional<std::int64_t> TFrmInitFileForm::ProbeDuration(const std::string& path,
                                                            IMediaGraph* graph) {
    if (graph == nullptr)
        return std::nullopt;
    try {
        graph->Clear();
        graph->Activate();
        // Rendered means readable with sound, whatever the length: a short
        // sound effect is as much a file to convert as a song.
        std::optional<std::int64_t> seconds;
        if (graph->RenderFile(path) == 0) {
            const std::int64_t ms = graph->DurationMs();
            seconds = ms > 0 ? ms / 1000 : 0;
        }
        graph->Deactivate();
        return seconds;
    } catch (...) {
        try {
            graph->Deactivate();
        } catch (...) {
        }
        return std::nullopt;
    }
}

std::int64_t TFrmInitFileForm::ReadFileSize(const std::string& path) {
    const std::filesystem::path file = FilePath(path);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EFileSizeError("Cannot open file \"" + path + "\"");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw EFileSizeError("Not a file \"" + path + "\"");
    auto size = std::filesystem::file_size(file, ec);
    if (ec)
        throw EFileSizeError("Cannot read the size of \"" + path + "\". " + ec.message());
    return static_cast<std::int64_t>(size);
}
