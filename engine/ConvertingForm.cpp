#include "engine/ConvertingForm.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "engine/CustomProc.h"
#include "media/SourceFileGrid.h"
#include "support/CommonLib.h"
#include "support/Text.h"

namespace {

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

const char* const SpinnerFrames[] = {"|", "/", "-", "\\", "|"};

} // namespace

TfrmConverting::TfrmConverting(TCustomProc& proc, IUiDispatcher& dispatcher)
    : proc_(proc), lib_(proc.Lib), dispatcher_(dispatcher) {
    Caption = "Converting";
    lblInfo.Caption = "Please wait . . .";
    lblCurConvertFileL.Caption = "当前转换的文件:";
    lblTotalFilr.Caption = "总进度:";
    pbTotal.SetRange(0, 100);
    pbTotal.SetPosition(0);
    lblCurprog.Caption = "当前进度:";
    ProgressBar1.SetRange(0, 100);
    ProgressBar1.SetPosition(0);
    lblPersent.Caption = "当前: 1, 总共 : ...";
    btnStop.OnClick = [this] { btnStop1Click(); };
    tmrChanging.Interval = 500;
    tmrChanging.OnTimer = [this] { tmrChangingTimer(); };
    tmrChanging.SetEnabled(true);
    actRefreshProgress.OnExecute = [this] { actRefreshProgressExecute(); };
}

void TfrmConverting::OnEncoderOutput(const std::string& chunk) {
    const unsigned serial = fileSerial_.load();
    std::weak_ptr<int> alive = alive_;
    dispatcher_.Post([this, alive, serial, chunk] {
        if (alive.expired() || serial != fileSerial_.load())
            return;
        ShowChunk(chunk);
    });
}

std::function<void(const std::string&)> TfrmConverting::OutputCallback() {
    return [this](const std::string& chunk) { OnEncoderOutput(chunk); };
}

void TfrmConverting::ShowChunk(const std::string& chunk) {
    statState.SetCaption(chunk);
    lblCurFileName.SetCaption(lib_.ConvertParam.SourceFile);
    actRefreshProgress.Execute();
}

void TfrmConverting::actRefreshProgressExecute() {
    ++proc_.RefreshCount;
    // The first chunk of a file is the encoder's header.
    if (proc_.RefreshCount <= 1)
        return;

    // The job bar follows the file bar one refresh behind: it is set from the
    // values the file bar still holds from the previous chunk.
    try {
        pbTotal.SetMax(ClampToInt(std::int64_t{proc_.TotalCount} * 100));
        const std::int64_t filePart =
            std::int64_t{ProgressBar1.Position()} * 100 / (std::int64_t{ProgressBar1.Max()} + 1);
        pbTotal.SetPosition(ClampToInt(filePart + std::int64_t{proc_.DoneCount} * 100));
        if (proc_.Desktop && pbTotal.Max() > 0)
            proc_.Desktop->ShowJobProgress(static_cast<double>(pbTotal.Position()) / pbTotal.Max());
        lblPersent.SetCaption("当前: " + std::to_string(std::int64_t{proc_.DoneCount} + 1) +
                              " , 总共: " + std::to_string(proc_.TotalCount) + ".");
    } catch (...) {
        // The counter line is cosmetic; the file bar below still updates.
    }

    int cutSeconds = 0;
    if (!ReadWholeNumber(proc_.CurCutSeconds, cutSeconds))
        return;
    ProgressBar1.SetRange(0, cutSeconds);

    const std::string chunk = statState.Caption;
    if (chunk.empty())
        return;
    // A chunk may hold several status lines (and header lines before them);
    // the newest tells how far the encoder is. With the first, a short file,
    // whose lines all come in one chunk, would show 0 until its end.
    std::vector<std::string> parts;
    for (std::size_t end = chunk.size(); end > 0 && parts.size() < 4;) {
        const std::size_t cut = chunk.find_last_of("\r\n", end - 1);
        const std::size_t begin = cut == std::string::npos ? 0 : cut + 1;
        parts = lib_.SplitText(chunk.substr(begin, end - begin), '=');
        end = cut == std::string::npos ? 0 : cut;
    }
    if (parts.size() < 4)
        return;
    const std::vector<std::string> pieces = lib_.SplitText(parts[2], '.');
    if (pieces.empty() || pieces.front() == "10000000000")
        return;
    double seconds = 0;
    try {
        seconds = lib_.TextToNumber(pieces.front());
    } catch (const EConvertError&) {
        // Not a number after all: keep the bar where it is and keep reading.
        return;
    }
    if (std::isnan(seconds))
        return;
    const double whole = std::trunc(seconds);
    ProgressBar1.SetPosition(
        ClampToInt(static_cast<std::int64_t>(std::clamp(whole, -9.0e15, 9.0e15))));
}

void TfrmConverting::tmrChangingTimer() {
    ++AnimFrame;
    if (AnimFrame > 5)
        AnimFrame = 1;
    const std::string spinner = SpinnerFrames[AnimFrame - 1];
    if (ProgressBar1.Position() < 3)
        lblInfo.SetCaption("初始化转换文件信息...  " + spinner);
    else
        lblInfo.SetCaption("转换中...  " + spinner);
}

void TfrmConverting::FormShow() {
    AnimFrame = 0;
    lblCurFileName.SetCaption(lib_.ConvertParam.SourceFile);
    lblPersent.SetCaption("Current: 1, Total: " + std::to_string(proc_.TotalCount));
    ProgressBar1.SetMax(1);
    ProgressBar1.SetPosition(0);
    pbTotal.SetMax(1);
    pbTotal.SetPosition(0);
}

void TfrmConverting::ShowDialog() {
    if (Visible)
        return;
    Show();
    FormShow();
}

void TfrmConverting::BeginFile() {
    ++fileSerial_;
    ProgressBar1.SetPosition(0);
}

void TfrmConverting::StopJob(bool byButton) {
    Hide();
    proc_.MainForm.SetEnabled(true);
    const TSourceFileGrid* list =
        proc_.JobList ? proc_.JobList : &proc_.MainForm.dxTreeSourceFileInfo;
    proc_.CurRow = list->RowCount() + 10;
    proc_.JobStopped = true;
    lib_.KillProcessByName(lib_.ConvertParam.EncoderPath);
    if (!byButton)
        return;
    lib_.KillProcessByName(lib_.EncoderName);
    if (proc_.Runner)
        proc_.Runner->Terminate();
    ProgressBar1.SetPosition(0);
    pbTotal.SetMax(0);
    pbTotal.SetPosition(0);
    lblPersent.SetCaption("Current: 1, Total: ...");
}

void TfrmConverting::btnStop1Click() {
    if (!lib_.Dialogs().Question(lib_.AppTitle, "确定停止转换吗? "))
        return;
    proc_.StopRequested = true;
    StopJob(true);
}

bool TfrmConverting::FormClose() {
    if (!lib_.Dialogs().Question(lib_.AppTitle, "确定停止转换吗?"))
        return false;
    StopJob(false);
    return true;
}
