// The player graph on Qt Multimedia: a QMediaPlayer with an audio output and
// a video widget that letterboxes on black, hides the pointer when it rests
// and keeps the screen saver off while playing.
#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

#include "media/MediaGraph.h"

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;
class ScreenSaverInhibitor;

// Results of RenderFile besides 0 (loaded).
enum TRenderResult : int {
    rrLoaded = 0,
    rrInvalidMedia = 1,
    rrNotActive = 2,
    rrMissingFile = 3,
    rrTimedOut = 4,
    rrAborted = 5,
};

class QtMediaGraph : public QObject, public IMediaGraph {
    Q_OBJECT
public:
    explicit QtMediaGraph(QObject* parent = nullptr);
    ~QtMediaGraph() override;

    // The video area (black, letterboxed). Created with the graph; whoever
    // places it in a window owns it from then on.
    QWidget* VideoWidget() const { return area_; }
    // Longest a load may take before it counts as failed.
    int RenderTimeoutMs = 15000;
    // Pointer hiding delay over the video.
    int PointerHideMs = 3000;

    void Activate() override;
    void Deactivate() override;
    bool Active() const override { return active_; }
    void Clear() override;
    int RenderFile(const std::string& path) override;
    void Run() override;
    void Pause() override;
    void Stop() override;
    std::int64_t DurationMs() override;
    std::int64_t CurrentPosition() override;
    void SeekTo(std::int64_t ms) override;
    std::string LastFailure() const override { return lastFailure_; }

    // True while the position timer runs (only while playing).
    bool PositionTimerActive() const { return positionTimer_.isActive(); }
    int PositionTimerInterval() const { return positionTimer_.interval(); }
    bool ScreenSaverHeld() const;
    // The D-Bus address of the screen saver's bus; empty (the default) for
    // the session bus.
    void SetScreenSaverBus(const std::string& address);
    bool PointerHidden() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RenderWait;
    void AbortRender();
    void ReleaseMedia();
    void OnMediaStatus(int status);
    void OnError();
    void OnPositionTick();
    void ApplyPendingSeek();
    void ShowPointer();
    void SetPointer(bool visible);
    // A fresh player: after a failure the old pipeline still delivers errors
    // that would spoil the next load.
    void NewPlayer();

    QPointer<QWidget> area_;
    QPointer<QVideoWidget> video_;
    std::unique_ptr<QAudioOutput> audio_;
    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<ScreenSaverInhibitor> inhibitor_;
    // Holds a file whose name is no UTF-8 open while the player uses it.
    QFile mediaAlias_;
    QTimer positionTimer_;
    QTimer pointerTimer_;
    bool active_ = false;
    bool loaded_ = false;
    bool atEnd_ = false;
    bool playerFailed_ = false;
    // A seek asked for before the player could seek; -1 when none.
    std::int64_t pendingSeekMs_ = -1;
    std::string lastFailure_;
    // The load being waited for (lives on RenderFile's stack).
    RenderWait* wait_ = nullptr;
};
