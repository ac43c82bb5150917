#include "preview/Preview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "support/CommonLib.h"
#include "support/Text.h"
#include "support/TimeText.h"

namespace {

constexpr const char* kZeroTime = "00:00:00";
constexpr const char* kPlayErrorLog = "Playing Video error.";

std::string ClockText(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 3600 % 60));
    return text;
}

std::string InvalidTimeMessage(const std::string& text) {
    return "'" + text + "' is not a valid time (hh:mm:ss).";
}

// Ctrl alone 1 pixel, Shift alone 10, anything else 5. Mouse button bits
// do not count.
int StripStep(unsigned shift) {
    const unsigned keys = shift & (ssShift | ssAlt | ssCtrl);
    if (keys == ssCtrl)
        return 1;
    if (keys == ssShift)
        return 10;
    return 5;
}

// Clears a flag when the scope ends, also on exceptions.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

TTrimPart TrimPartAt(const TTrimBar& bar, int x) {
    if (x < 0 || x >= bar.Width)
        return TTrimPart::Outside;
    if (x < bar.LeftWidth)
        return TTrimPart::LeftStrip;
    if (x < bar.MiddleLeft())
        return TTrimPart::StartMarker;
    if (x < bar.EndMarkerLeft())
        return TTrimPart::MiddleStrip;
    if (x < bar.RightLeft())
        return TTrimPart::EndMarker;
    return TTrimPart::RightStrip;
}

std::int64_t NearestEven(double x) {
    if (!std::isfinite(x))
        return 0;
    // The default rounding mode rounds halves to the even neighbour.
    return static_cast<std::int64_t>(std::nearbyint(std::clamp(x, -1e15, 1e15)));
}

TPreview::TPreview(TPlayerControls controls, TCommonLib& commonLib, IMediaGraph& playerGraph)
    : controls_(controls), lib_(commonLib), graph_(playerGraph),
      grid_(controls.dxTreeSourceFileInfo) {
    controls_.btnPlay.Hint = "Ctrl + P";
    controls_.btnPause.Hint = "Ctrl + U";
    controls_.btnStop.Hint = "Ctrl + T";
    controls_.btnPlay.OnClick = [this] { btnPlayClick(); };
    controls_.btnPause.OnClick = [this] { btnPauseClick(); };
    controls_.btnStop.OnClick = [this] { btnStopClick(); };
    controls_.pnlCurTime.Caption = kZeroTime;
    graph_.OnPositionTimer = [this](std::int64_t position, std::int64_t duration) {
        dstrckbrMainformTimer(position, duration);
    };
    panLogo.Visible = true;
    tmrPaintSP.Interval = 10;
    tmrPaintSP.OnTimer = [this] { Panel1.Changed(); };
    tmrPaintSP.Enabled = false;
}

TPreview::~TPreview() {
    // The callbacks point at this object; the window and graph may outlive it.
    controls_.btnPlay.OnClick = nullptr;
    controls_.btnPause.OnClick = nullptr;
    controls_.btnStop.OnClick = nullptr;
    graph_.OnPositionTimer = nullptr;
}

void TPreview::ShowLogo(bool visible) {
    panLogo.Visible = visible;
    panLogo.Changed();
}

void TPreview::ShowPosition(std::int64_t seconds) {
    controls_.pnlCurTime.SetCaption(ClockText(seconds));
}

// ---- Player ----

void TPreview::ResumePlay() {
    if (!graph_.Active())
        return;
    try {
        graph_.Run();
        IsPlaying = true;
        ShowLogo(false);
    } catch (...) {
        ShowLogo(true);
    }
}

void TPreview::PausePlay() {
    if (!graph_.Active())
        return;
    try {
        graph_.Pause();
        IsPlaying = false;
        ShowLogo(false);
    } catch (...) {
        ShowLogo(true);
    }
}

void TPreview::StopPlay() {
    if (!graph_.Active())
        return;
    ++loadGeneration_;
    lastTickSeconds_ = -1;
    try {
        graph_.Stop();
        graph_.Deactivate();
        graph_.Clear();
        CurPlayFile.clear();
        ShowPosition(0);
        IsPlaying = false;
        pbPlayState.SetPosition(0);
        ShowLogo(true);
    } catch (...) {
        ShowLogo(true);
    }
}

void TPreview::PlayFile(const std::string& path) {
    const std::uint64_t generation = ++loadGeneration_;
    try {
        graph_.Deactivate();
        graph_.Clear();
        if (graph_.Active())
            return;
        // Whatever played before is gone now.
        IsPlaying = false;
        lastTickSeconds_ = -1;
        graph_.Activate();
        // Named before the load so that clicks on its row while it loads
        // (which place the markers) do not stop it.
        CurPlayFile = path;
        int result = 0;
        try {
            result = graph_.RenderFile(path);
        } catch (...) {
            if (generation == loadGeneration_)
                result = -1;
            else
                return;
        }
        if (generation != loadGeneration_)
            return; // stopped or replaced while loading
        if (result != 0) {
            lib_.AppFunc().WriteLog(kPlayErrorLog);
            const std::string why = graph_.LastFailure();
            if (!why.empty())
                lib_.AppFunc().WriteLog("Preview of " + path + ": " + why);
            // Leave nothing half loaded: the next Play tries the selection
            // again instead of running an empty graph.
            graph_.Clear();
            graph_.Deactivate();
            CurPlayFile.clear();
            ShowPosition(0);
            ShowLogo(true);
            return;
        }
        try {
            PausePlay();
            ResumePlay();
            lib_.Pump().Pause(10);
            lib_.Pump().ProcessMessages();
            if (generation != loadGeneration_)
                return;
            if (SeekEnabled)
                graph_.SeekTo(StartSeconds * 1000);
            IsPlaying = true;
            ShowLogo(false);
        } catch (...) {
            ShowLogo(true);
        }
    } catch (...) {
        // A load never reaches the user as an error.
    }
}

void TPreview::btnPlayClick() {
    if (!CurPlayFile.empty()) {
        if (!IsPlaying)
            ResumePlay();
        return;
    }
    // Taken first: loading lets events run, and they may change the list.
    std::vector<std::string> paths;
    for (int r = 0; r < grid_.RowCount(); ++r)
        if (grid_.IsSelected(r))
            paths.push_back(grid_.Field(r, sfFileName));
    for (const auto& path : paths) {
        const std::uint64_t before = loadGeneration_;
        PlayFile(path);
        if (loadGeneration_ != before + 1)
            break; // the user stopped or started something else meanwhile
    }
}

void TPreview::btnPauseClick() {
    if (!CurPlayFile.empty() && IsPlaying)
        PausePlay();
}

void TPreview::btnStopClick() {
    StopPlay();
}

void TPreview::dstrckbrMainformTimer(std::int64_t positionMs, std::int64_t durationMs) {
    pbPlayState.SetRange(
        0, static_cast<int>(std::clamp<std::int64_t>(durationMs / 1000, 0, INT32_MAX)));
    pbPlayState.SetPosition(
        static_cast<int>(std::clamp<std::int64_t>(positionMs / 1000, 0, INT32_MAX)));

    const std::int64_t seconds = graph_.CurrentPosition() / 10'000'000;
    ShowPosition(seconds);

    bool atEndMarker = false;
    if (!EndTimeText.empty()) {
        atEndMarker = controls_.pnlCurTime.Caption == EndTimeText;
        // Ticks are not exactly a second apart; one that jumps over the end
        // second still counts, unless it was a seek.
        const std::int64_t endSeconds = LooseTimeTextSeconds(lib_, EndTimeText);
        if (!atEndMarker && lastTickSeconds_ >= 0 && lastTickSeconds_ < endSeconds &&
            seconds > endSeconds && seconds - lastTickSeconds_ <= 2) {
            atEndMarker = true;
            controls_.pnlCurTime.SetCaption(EndTimeText);
        }
    }
    lastTickSeconds_ = seconds;
    if (atEndMarker) {
        try {
            graph_.SeekTo(0);
        } catch (...) {
        }
        lastTickSeconds_ = -1;
        PausePlay();
    }
    // Without a known duration every position would count as the end.
    if (durationMs > 0 && positionMs >= durationMs) {
        try {
            graph_.SeekTo(0);
        } catch (...) {
        }
        StopPlay();
    }
}

void TPreview::ClosePlayer() {
    ++loadGeneration_;
    try {
        graph_.Deactivate();
        graph_.Clear();
    } catch (...) {
    }
    CurPlayFile.clear();
    IsPlaying = false;
}

// ---- Trim bar ----

void TPreview::SetStrips(int left, int right) {
    const int maxLeft = Panel1.Width - 2 * TTrimBar::MarkerWidth - 2;
    Panel1.LeftWidth = std::clamp(left, 1, std::max(1, maxLeft));
    const int maxRight = Panel1.Width - 2 * TTrimBar::MarkerWidth - Panel1.LeftWidth - 1;
    Panel1.RightWidth = std::clamp(right, 1, std::max(1, maxRight));
    Panel1.Changed();
}

void TPreview::PlaceMarkers() {
    Panel1.Width = TTrimBar::DesignWidth;
    for (int r = 0; r < grid_.RowCount(); ++r) {
        if (!grid_.IsSelected(r))
            continue;
        if (grid_.Field(r, sfFileName) == CurPlayFile)
            continue;
        StopPlay();
        CurDuration = LooseTimeTextSeconds(lib_, grid_.Field(r, sfDuration));
        const std::int64_t s = LooseTimeTextSeconds(lib_, grid_.Field(r, sfStartTime));
        const std::int64_t e = LooseTimeTextSeconds(lib_, grid_.Field(r, sfEndTime));
        SeekEnabled = false;

        const int span = Panel1.Width - 2 - 2 * TTrimBar::MarkerWidth;
        const double d = static_cast<double>(CurDuration);
        // A row without a duration has nothing to trim: full range.
        const std::int64_t left =
            CurDuration > 0 ? NearestEven(static_cast<double>(s) / d * span) + 1 : 1;
        const std::int64_t right = CurDuration > 0
                                       ? Panel1.Width - 2 * TTrimBar::MarkerWidth - 2 -
                                             NearestEven(static_cast<double>(e) / d * span) + 1
                                       : 1;
        int newLeft = Panel1.LeftWidth;
        int newRight = Panel1.RightWidth;
        if (std::llabs(left - Panel1.LeftWidth) >= 2)
            newLeft = static_cast<int>(std::clamp<std::int64_t>(left, -100000, 100000));
        if (std::llabs(right - Panel1.RightWidth) >= 3)
            newRight = static_cast<int>(std::clamp<std::int64_t>(right, -100000, 100000));
        SetStrips(newLeft, newRight);

        SeekEnabled = true;
        // The player follows the markers of the row they show; an end at the
        // duration lets the file play to its end.
        StartSeconds = std::clamp<std::int64_t>(s, 0, std::max<std::int64_t>(0, CurDuration));
        EndTimeText = e < CurDuration ? grid_.Field(r, sfEndTime) : std::string();
    }
}

void TPreview::ResetTrimBar() {
    Panel1.LeftWidth = 2;
    Panel1.RightWidth = 2;
    Panel1.Changed();
}

std::string TPreview::CutTimeText(int row) const {
    return lib_.SecondsToTimeText(LooseTimeTextSeconds(lib_, grid_.Field(row, sfEndTime)) -
                                  LooseTimeTextSeconds(lib_, grid_.Field(row, sfStartTime)));
}

void TPreview::SetStartTimeAndPlay() {
    lib_.Pump().ProcessMessages();
    Panel1.Width = TTrimBar::DesignWidth;
    const int percent =
        ((Panel1.StartMarkerLeft() + TTrimBar::MarkerWidth - 22) * 121) / TTrimBar::DesignWidth;
    StartSeconds = (CurDuration * percent) / 100;
    const std::string text = lib_.SecondsToTimeText(StartSeconds);
    bool anyRow = false;
    for (int r = 0; r < grid_.RowCount(); ++r) {
        if (!grid_.IsSelected(r))
            continue;
        anyRow = true;
        grid_.Rows[static_cast<size_t>(r)][sfStartTime] = text;
        grid_.Rows[static_cast<size_t>(r)][sfCutTime] = CutTimeText(r);
    }
    if (anyRow && SeekEnabled && graph_.Active()) {
        try {
            graph_.SeekTo(StartSeconds * 1000);
        } catch (...) {
        }
        lastTickSeconds_ = -1;
    }
    grid_.Changed();
}

void TPreview::Splitter2Moved() {
    lib_.Pump().ProcessMessages();
    Panel1.Width = TTrimBar::DesignWidth;
    const int percent =
        ((Panel1.EndMarkerLeft() + TTrimBar::MarkerWidth - TTrimBar::MarkerWidth - 22) * 121) /
        TTrimBar::DesignWidth;
    const std::int64_t endSeconds = (CurDuration * percent) / 100;
    const std::string text = lib_.SecondsToTimeText(endSeconds);
    // Where the player pauses belongs to a row: with none selected the end
    // marker moves alone and the player keeps the end it had.
    for (int r = 0; r < grid_.RowCount(); ++r) {
        if (!grid_.IsSelected(r))
            continue;
        EndTimeText = text;
        grid_.Rows[static_cast<size_t>(r)][sfEndTime] = text;
        grid_.Rows[static_cast<size_t>(r)][sfCutTime] = CutTimeText(r);
    }
    grid_.Changed();
    Panel1.Changed();
}

void TPreview::Panel2MouseDown(TMouseButton button, unsigned shift, int x, int y) {
    (void)x;
    (void)y;
    if (button != TMouseButton::mbLeft)
        return;
    const int step = StripStep(shift);
    if (Panel1.LeftWidth <= step || Panel1.LeftWidth + Panel1.RightWidth + 45 > Panel1.Width)
        return;
    Panel1.LeftWidth -= step;
    Panel1.Changed();
    RunMoveHandler(TTrimMarker::Start);
}

void TPreview::Panel3MouseDown(TMouseButton button, unsigned shift, int x, int y) {
    (void)x;
    (void)y;
    if (button != TMouseButton::mbLeft)
        return;
    const int step = StripStep(shift);
    if (Panel1.RightWidth <= step || Panel1.LeftWidth + Panel1.RightWidth + 45 > Panel1.Width)
        return;
    Panel1.RightWidth -= step;
    Panel1.Changed();
    RunMoveHandler(TTrimMarker::End);
}

void TPreview::BeginMarkerDrag(TTrimMarker marker, int barX) {
    dragging_ = true;
    dragMarker_ = marker;
    dragOffset_ =
        barX - (marker == TTrimMarker::Start ? Panel1.StartMarkerLeft() : Panel1.EndMarkerLeft());
}

void TPreview::DragMarker(int barX) {
    if (!dragging_)
        return;
    const int markerLeft = barX - dragOffset_;
    if (dragMarker_ == TTrimMarker::Start) {
        const int width = std::clamp(markerLeft, 1, std::max(1, Panel1.MaxLeftWidth()));
        if (width == Panel1.LeftWidth)
            return;
        Panel1.LeftWidth = width;
    } else {
        const int width = std::clamp(Panel1.Width - TTrimBar::MarkerWidth - markerLeft, 1,
                                     std::max(1, Panel1.MaxRightWidth()));
        if (width == Panel1.RightWidth)
            return;
        Panel1.RightWidth = width;
    }
    Panel1.Changed();
    RunMoveHandler(dragMarker_);
}

void TPreview::EndMarkerDrag(int barX) {
    DragMarker(barX);
    dragging_ = false;
}

void TPreview::RunMoveHandler(TTrimMarker marker) {
    if (inMoveHandler_) {
        moveAgain_ = true;
        againMarker_ = marker;
        return;
    }
    FlagScope scope(inMoveHandler_);
    for (;;) {
        moveAgain_ = false;
        if (marker == TTrimMarker::Start)
            SetStartTimeAndPlay();
        else
            Splitter2Moved();
        if (!moveAgain_)
            break;
        marker = againMarker_;
    }
}

// ---- Time cells ----

bool TPreview::CheckRowTimes(int row) {
    auto& cells = grid_.Rows[static_cast<size_t>(row)];
    const std::string duration = cells[sfDuration];
    const std::string start = cells[sfStartTime].empty() ? kZeroTime : cells[sfStartTime];
    const std::string end = cells[sfEndTime].empty() ? duration : cells[sfEndTime];
    const auto d = StrictTimeTextSeconds(duration);
    const auto s = StrictTimeTextSeconds(start);
    const auto e = StrictTimeTextSeconds(end);
    // A row whose times cannot be read stays exactly as it was.
    for (const auto* text : {&duration, &start, &end}) {
        if (!StrictTimeTextSeconds(*text)) {
            lib_.ShowMsg(InvalidTimeMessage(*text), mkError);
            return false;
        }
    }
    cells[sfStartTime] = start;
    cells[sfEndTime] = end;
    if (*s >= *d)
        cells[sfStartTime] = duration;
    // The start as entered, not the duration it may just have been cut to.
    if (*s >= *e)
        cells[sfEndTime] = start;
    if (SeekEnabled && graph_.Active()) {
        try {
            graph_.SeekTo(StrictTimeTextSeconds(cells[sfStartTime]).value_or(0) * 1000);
        } catch (...) {
        }
        lastTickSeconds_ = -1;
    }
    if (*e >= *d)
        cells[sfEndTime] = duration;
    cells[sfCutTime] = lib_.SecondsToTimeText(std::min(*e, *d) - *s);
    return true;
}

bool TPreview::dxTreeSourceFileInfoEdited(int row, int column, const std::string& text) {
    if (!grid_.ValidRow(row))
        return false;
    if (column == sfCheck) {
        // Ticking a file is no time edit: nothing to check, no seek.
        grid_.SetField(row, column, text);
        return true;
    }
    if (column != sfStartTime && column != sfEndTime)
        return false;
    if ((column == sfStartTime || column == sfEndTime) && !text.empty() &&
        !StrictTimeTextSeconds(text)) {
        lib_.ShowMsg(InvalidTimeMessage(text), mkError);
        return false;
    }
    grid_.Rows[static_cast<size_t>(row)][column] = text;

    bool editedOk = false;
    for (int r = 0; r < grid_.RowCount(); ++r) {
        if (!grid_.IsSelected(r) && r != row)
            continue;
        if (!CheckRowTimes(r))
            break;
        if (r == row)
            editedOk = true;
    }
    // Playing the edited row follows its checked range.
    if (editedOk) {
        const auto& cells = grid_.Rows[static_cast<size_t>(row)];
        StartSeconds = StrictTimeTextSeconds(cells[sfStartTime]).value_or(0);
        const auto end = StrictTimeTextSeconds(cells[sfEndTime]);
        const auto duration = StrictTimeTextSeconds(cells[sfDuration]);
        EndTimeText = end && duration && *end < *duration ? cells[sfEndTime] : std::string();
    }
    grid_.Changed();
    return true;
}
