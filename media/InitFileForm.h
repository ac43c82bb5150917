// The file information window: a small busy window the Open command shows
// modally while the chosen files are probed and added; and the two readers
// every added file goes through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/MediaGraph.h"
#include "support/Controls.h"
#include "support/Toolkit.h"

// A file whose size could not be read.
class EFileSizeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFrmInitFileForm : public TFormModel {
public:
    explicit TFrmInitFileForm(IEventPump& pump);

    static constexpr int Width = 273;
    static constexpr int Height = 45;
    static constexpr const char* DesignText = "读取文件信息...";
    // lblInfo's look: centred, bold, white Arial on a transparent background,
    // over a framed panel with a stretched picture; borderless, centred over
    // the main window.
    static constexpr const char* FontName = "Arial";

    // Paths to add at the next showing, in order.
    std::vector<std::string> PendingFiles;
    // Frame of the busy text, 1 to 4.
    int SpinFrame = 1;

    TLabel lblInfo;
    TTimer Timer1; // 1000 ms: busy text
    TTimer Timer2; // 300 ms, once: the adding

    // Set by the source list: adds the pending paths, then stores the open
    // dialog's folder.
    std::function<void(const std::vector<std::string>&)> OnAddFiles;
    std::function<void()> OnStoreFolder;
    // Set by the view: runs a modal loop that drives Timer1/Timer2 and returns
    // once the window is hidden. Without it the window drives its own timers
    // through IEventPump::Pause, which keeps events flowing.
    std::function<void()> RunModal;

    // Shows the window modally; returns when it has closed.
    void ShowModal();

    void FormShow();
    void FormClose();
    void Timer1Timer();
    void Timer2Timer();

    // Text of a busy frame (1 to 4).
    static std::string FrameText(int frame);

    // Whole seconds of the file's sound, 0 for a file under a second; none
    // when the file cannot be read (cannot be opened, no decodable audio).
    static std::optional<std::int64_t> ProbeDuration(const std::string& path, IMediaGraph* graph);
    // Length in bytes; throws EFileSizeError when the file cannot be opened.
    static std::int64_t ReadFileSize(const std::string& path);

private:
    void DriveTimers();

    IEventPump& pump_;
};
