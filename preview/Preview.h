// The preview player and the trim bar of the main window. Everything here is
// pixel and time arithmetic plus calls on the player graph; the Qt widgets in
// ui/preview only draw the models and forward mouse events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaGraph.h"
#include "media/SourceFileGrid.h"
#include "preview/PlayerControls.h"
#include "support/Controls.h"

class TCommonLib;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Which trim marker a drag moves.
enum class TTrimMarker { Start, End };

// The 260 x 19 trim bar: left strip (Panel2), start marker (Splitter1),
// middle strip (Panel4), end marker (Splitter2), right strip (Panel3).
// Changed() is raised after every change the widget has to show.
class TTrimBar : public TControl {
public:
    static constexpr int DesignWidth = 260;
    static constexpr int BarHeight = 19;
    static constexpr int MarkerWidth = 19;
    // The span the two markers cover: 260 - 2 - 19 - 19.
    static constexpr int Span = DesignWidth - 2 - 2 * MarkerWidth;

    int Width = DesignWidth;
    // Panel2 and Panel3; both at least 1 pixel wide.
    int LeftWidth = 1;
    int RightWidth = 1;

    int StartMarkerLeft() const { return LeftWidth; }
    int EndMarkerLeft() const { return Width - MarkerWidth - RightWidth; }
    int MiddleLeft() const { return LeftWidth + MarkerWidth; }
    int MiddleWidth() const { return Width - LeftWidth - RightWidth - 2 * MarkerWidth; }
    int RightLeft() const { return Width - RightWidth; }

    // Widest the left (right) strip may be so that the middle strip keeps 1
    // pixel with the other strip as it is now.
    int MaxLeftWidth() const { return Width - 2 * MarkerWidth - RightWidth - 1; }
    int MaxRightWidth() const { return Width - 2 * MarkerWidth - LeftWidth - 1; }
};

// The parts of the bar a pixel can lie on, for the widget's hit tests.
enum class TTrimPart { LeftStrip, StartMarker, MiddleStrip, EndMarker, RightStrip, Outside };
TTrimPart TrimPartAt(const TTrimBar& bar, int x);

// x rounded to the nearest integer, halves to the even neighbour.
std::int64_t NearestEven(double x);

class TPreview : public IPreviewHooks {
public:
    TPreview(TPlayerControls controls, TCommonLib& commonLib, IMediaGraph& playerGraph);
    ~TPreview() override;
    TPreview(const TPreview&) = delete;
    TPreview& operator=(const TPreview&) = delete;

    // ---- Player state ----
    // Path of the file loaded into the player graph; empty when none.
    std::string CurPlayFile;
    bool IsPlaying = false;

    // ---- Trim state (set by the trim bar, read by the player) ----
    std::int64_t CurDuration = 0;
    std::int64_t StartSeconds = 0;
    bool SeekEnabled = false;
    std::string EndTimeText;

    // ---- Controls owned by the preview area ----
    // Logo over the video area; shown while nothing plays.
    TControl panLogo;
    // Never shown; mirrors the position timer's range and position.
    TProgressBar pbPlayState;
    // The trim bar model the widget draws.
    TTrimBar Panel1;
    // Repaints the marker pictures every 10 ms when enabled. Off: every paint
    // of the bar draws them and every change of the bar repaints it, so the
    // polling only burnt CPU while the program sat idle.
    TTimer tmrPaintSP;

    // ---- Player ----
    void PlayFile(const std::string& path);
    void ResumePlay();
    void PausePlay();
    void StopPlay() override;
    void btnPlayClick();
    void btnPauseClick();
    void btnStopClick();
    // Position timer of the player graph: position and duration in ms.
    void dstrckbrMainformTimer(std::int64_t positionMs, std::int64_t durationMs);
    // Closing the main window: release whatever the graph holds.
    void ClosePlayer();

    // ---- Trim bar ----
    void PlaceMarkers() override;
    void ResetTrimBar() override;
    // Move handlers of the start and the end marker.
    void SetStartTimeAndPlay();
    void Splitter2Moved();
    // Clicks on the left and the right strip (x, y in strip coordinates);
    // `shift` holds TShiftFlag bits.
    void Panel2MouseDown(TMouseButton button, unsigned shift, int x, int y);
    void Panel3MouseDown(TMouseButton button, unsigned shift, int x, int y);

    // Marker drags, x in bar coordinates. The strip follows the pointer live,
    // never below 1 pixel and never crossing the other marker; each change of
    // width runs the marker's move handler.
    void BeginMarkerDrag(TTrimMarker marker, int barX);
    void DragMarker(int barX);
    void EndMarkerDrag(int barX);
    bool Dragging() const { return dragging_; }

    // ---- Time cells ----
    // An edit of a grid cell ended with `text`. Start and End Time texts not
    // in hh:mm:ss form give an error box and leave the row unchanged (false).
    // Otherwise the text is stored and the selected rows (and the edited one)
    // are checked against their durations; true.
    bool dxTreeSourceFileInfoEdited(int row, int column, const std::string& text);

private:
    void ShowPosition(std::int64_t seconds);
    void ShowLogo(bool visible);
    // Sets both outer strips, keeping each and the middle at least 1 pixel.
    void SetStrips(int left, int right);
    void RunMoveHandler(TTrimMarker marker);
    // Checks one row; false (after an error box) when a time cannot be read.
    bool CheckRowTimes(int row);
    std::string CutTimeText(int row) const;

    TPlayerControls controls_;
    TCommonLib& lib_;
    IMediaGraph& graph_;
    TSourceFileGrid& grid_;

    // Bumped by every load, stop and close; a load that finds it changed
    // after letting events run was overtaken and leaves the state alone.
    std::uint64_t loadGeneration_ = 0;
    // Seconds shown at the previous position tick, -1 after a load or seek.
    std::int64_t lastTickSeconds_ = -1;

    bool dragging_ = false;
    TTrimMarker dragMarker_ = TTrimMarker::Start;
    int dragOffset_ = 0;
    // A move handler lets events run; further drag steps that arrive then
    // are folded into one more run instead of nesting.
    bool inMoveHandler_ = false;
    bool moveAgain_ = false;
    TTrimMarker againMarker_ = TTrimMarker::Start;
};
