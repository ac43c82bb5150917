#include "ui/preview/QtMediaGraph.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEvent>
#include <QEventLoop>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPalette>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include <algorithm>
#include <filesystem>

#include "support/platform/SystemIO.h"
#include "ui/preview/LocalPaths.h"

// The D-Bus headers are on the include path exactly when Qt6::DBus is linked.
#if !defined(VELMORA_WITH_QTDBUS) && __has_include(<QDBusConnection>)
#define VELMORA_WITH_QTDBUS 1
#endif

#ifdef VELMORA_WITH_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

// Asks the desktop's screen saver to wait while something plays. Without a
// bus it does nothing.
class ScreenSaverInhibitor : public QObject {
public:
    // Empty: the session bus.
    QString BusAddress;

    void Hold() {
        wanted_ = true;
#ifdef VELMORA_WITH_QTDBUS
        if (haveCookie_ || pending_)
            return;
        QDBusConnection bus = Bus();
        if (!bus.isConnected())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Inhibit");
        call << QStringLiteral("Velmora") << QStringLiteral("Playing a preview");
        pending_ = true;
        // Asynchronous: the bus never holds up the window.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this](QDBusPendingCallWatcher* w) {
                    pending_ = false;
                    QDBusPendingReply<uint> reply = *w;
                    if (reply.isValid()) {
                        cookie_ = reply.value();
                        haveCookie_ = true;
                        if (!wanted_)
                            SendUninhibit();
                    }
                    w->deleteLater();
                });
#endif
    }
    void Release() {
        wanted_ = false;
#ifdef VELMORA_WITH_QTDBUS
        if (haveCookie_)
            SendUninhibit();
#endif
    }
    bool Held() const {
        return wanted_;
    }
    ~ScreenSaverInhibitor() override {
        Release();
    }

private:
#ifdef VELMORA_WITH_QTDBUS
    static constexpr const char* kService = "org.freedesktop.ScreenSaver";
    static constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
    QDBusConnection Bus() const {
        if (!BusAddress.isEmpty())
            return QDBusConnection::connectToBus(BusAddress, QStringLiteral("velmora-screensaver"));
        // No bus address: do not let D-Bus try to start a bus of its own.
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            return QDBusConnection(QStringLiteral("velmora-no-bus"));
        return QDBusConnection::sessionBus();
    }
    void SendUninhibit() {
        haveCookie_ = false;
        QDBusConnection bus = Bus();
        if (!bus.isConnected())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "UnInhibit");
        call << cookie_;
        bus.asyncCall(call);
    }
    uint cookie_ = 0;
    bool haveCookie_ = false;
    bool pending_ = false;
#endif
    bool wanted_ = false;
};

struct QtMediaGraph::RenderWait {
    QEventLoop Loop;
    int Result = -1;
    void Finish(int result) {
        if (Result < 0) {
            Result = result;
            Loop.quit();
        }
    }
};

QtMediaGraph::QtMediaGraph(QObject* parent)
    : QObject(parent), inhibitor_(std::make_unique<ScreenSaverInhibitor>()) {
    auto* area = new QWidget;
    area_ = area;
    area->setObjectName("DSVideoWindowEx1");
    QPalette black = area->palette();
    black.setColor(QPalette::Window, Qt::black);
    area->setPalette(black);
    area->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* video = new QVideoWidget(area);
    video_ = video;
    video->setAspectRatioMode(Qt::KeepAspectRatio);
    video->setPalette(black);
    video->setAutoFillBackground(true);
    video->setAttribute(Qt::WA_OpaquePaintEvent, false);
    layout->addWidget(video);
    // The picture sits in a window container inside the video widget; the
    // pointer moves over that container, so watch every widget of the area.
    area->setMouseTracking(true);
    area->installEventFilter(this);
    for (QWidget* w : area->findChildren<QWidget*>()) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    audio_ = std::make_unique<QAudioOutput>();
    NewPlayer();

    positionTimer_.setInterval(1000);
    connect(&positionTimer_, &QTimer::timeout, this, [this] { OnPositionTick(); });
    pointerTimer_.setSingleShot(true);
    connect(&pointerTimer_, &QTimer::timeout, this, [this] { SetPointer(false); });
}

QtMediaGraph::~QtMediaGraph() {
    AbortRender();
    positionTimer_.stop();
    OnPositionTimer = nullptr;
    player_.reset();
    audio_.reset();
    inhibitor_.reset();
    // Nobody took the video area into a window: it is still ours.
    if (area_ && !area_->parent())
        delete area_.data();
}

void QtMediaGraph::NewPlayer() {
    if (player_) {
        player_->disconnect(this);
        player_->stop();
        player_->setVideoOutput(nullptr);
        player_->setAudioOutput(nullptr);
        // Deleted once its pending messages are gone; with the graph if first.
        QMediaPlayer* old = player_.release();
        old->setParent(this);
        old->deleteLater();
    }
    playerFailed_ = false;
    player_ = std::make_unique<QMediaPlayer>();
    // Without an audio output an audio-only file does not load.
    player_->setAudioOutput(audio_.get());
    if (video_)
        player_->setVideoOutput(video_.data());
    connect(player_.get(), &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus s) { OnMediaStatus(static_cast<int>(s)); });
    connect(player_.get(), &QMediaPlayer::errorOccurred, this, [this] { OnError(); });
    connect(player_.get(), &QMediaPlayer::seekableChanged, this, [this](bool seekable) {
        if (seekable)
            ApplyPendingSeek();
    });
    connect(player_.get(), &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState state) {
                if (state == QMediaPlayer::PlayingState)
                    ApplyPendingSeek();
            });
}

void QtMediaGraph::AbortRender() {
    if (wait_) {
        RenderWait* wait = wait_;
        wait_ = nullptr;
        wait->Finish(rrAborted);
    }
}

void QtMediaGraph::ReleaseMedia() {
    AbortRender();
    positionTimer_.stop();
    inhibitor_->Release();
    player_->stop();
    player_->setSource(QUrl());
    mediaAlias_.close();
    loaded_ = false;
    atEnd_ = false;
    pendingSeekMs_ = -1;
}

void QtMediaGraph::Activate() {
    active_ = true;
}

void QtMediaGraph::Deactivate() {
    if (loaded_ || wait_ || !player_->source().isEmpty())
        ReleaseMedia();
    active_ = false;
}

void QtMediaGraph::Clear() {
    if (loaded_ || wait_ || !player_->source().isEmpty())
        ReleaseMedia();
}

int QtMediaGraph::RenderFile(const std::string& path) {
    if (!active_)
        return rrNotActive;
    if (loaded_ || wait_ || !player_->source().isEmpty())
        ReleaseMedia();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FilePath(path), ec))
        return rrMissingFile;
    if (playerFailed_)
        NewPlayer();
    lastFailure_.clear();
    // The output Qt picked at start-up stays even when it is gone or another
    // became the default since (headphones, a remote session's sound).
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (audio_->device() != output)
        audio_->setDevice(output);

    RenderWait wait;
    wait_ = &wait;
    player_->setSource(MediaUrlOfLocalPath(path, mediaAlias_));
    const auto status = player_->mediaStatus();
    if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)
        wait.Finish(rrLoaded);
    else if (status == QMediaPlayer::InvalidMedia)
        wait.Finish(rrInvalidMedia);
    if (wait.Result < 0) {
        QTimer::singleShot(RenderTimeoutMs, &wait.Loop, [&wait] { wait.Finish(rrTimedOut); });
        // Events keep running: the window stays responsive while loading.
        wait.Loop.exec();
        // The application quitting ends every loop, this one too.
        if (wait.Result < 0)
            wait.Result = rrAborted;
    }
    if (wait_ == &wait)
        wait_ = nullptr;
    if (wait.Result == rrLoaded) {
        loaded_ = true;
    } else if (wait.Result != rrAborted) {
        if (wait.Result == rrTimedOut)
            lastFailure_ = "not loaded within " + std::to_string(RenderTimeoutMs / 1000) + " s";
        else if (lastFailure_.empty())
            lastFailure_ = player_->errorString().toStdString();
        if (output.isNull())
            lastFailure_ +=
                lastFailure_.empty() ? "no sound output device" : " (no sound output device)";
        // Whatever overtook an aborted load owns the player now.
        player_->stop();
        player_->setSource(QUrl());
        NewPlayer();
    }
    return wait.Result;
}

void QtMediaGraph::OnMediaStatus(int status) {
    switch (static_cast<QMediaPlayer::MediaStatus>(status)) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
        if (wait_)
            wait_->Finish(rrLoaded);
        break;
    case QMediaPlayer::InvalidMedia:
        if (wait_)
            wait_->Finish(rrInvalidMedia);
        break;
    case QMediaPlayer::EndOfMedia:
        atEnd_ = true;
        positionTimer_.stop();
        inhibitor_->Release();
        // One last tick at the end, after this signal has returned, so the
        // player can stop and release the media.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!atEnd_ || !OnPositionTimer)
                    return;
                std::int64_t duration = player_->duration();
                if (duration <= 0)
                    duration = std::max<std::int64_t>(player_->position(), 1);
                OnPositionTimer(duration, duration);
            },
            Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void QtMediaGraph::OnError() {
    playerFailed_ = true;
    if (lastFailure_.empty())
        lastFailure_ = player_->errorString().toStdString();
    if (wait_)
        wait_->Finish(rrInvalidMedia);
}

void QtMediaGraph::Run() {
    if (!active_ || !loaded_)
        return;
    atEnd_ = false;
    player_->play();
    positionTimer_.start();
    inhibitor_->Hold();
}

void QtMediaGraph::Pause() {
    positionTimer_.stop();
    inhibitor_->Release();
    if (active_ && loaded_)
        player_->pause();
}

void QtMediaGraph::Stop() {
    positionTimer_.stop();
    inhibitor_->Release();
    if (loaded_)
        player_->stop();
}

std::int64_t QtMediaGraph::DurationMs() {
    return loaded_ ? std::max<std::int64_t>(player_->duration(), 0) : 0;
}

std::int64_t QtMediaGraph::CurrentPosition() {
    if (!loaded_)
        return 0;
    if (pendingSeekMs_ >= 0)
        return pendingSeekMs_ * 10000;
    if (atEnd_)
        return DurationMs() * 10000;
    return player_->position() * 10000;
}

void QtMediaGraph::SeekTo(std::int64_t ms) {
    if (!loaded_)
        return;
    ms = std::max<std::int64_t>(ms, 0);
    atEnd_ = false;
    // GStreamer seeks only once playing has started; keep the wish till then.
    if (player_->isSeekable() && player_->playbackState() != QMediaPlayer::StoppedState) {
        pendingSeekMs_ = -1;
        player_->setPosition(ms);
    } else {
        pendingSeekMs_ = ms;
    }
}

void QtMediaGraph::ApplyPendingSeek() {
    if (pendingSeekMs_ < 0 || !loaded_ || !player_->isSeekable() ||
        player_->playbackState() == QMediaPlayer::StoppedState)
        return;
    const std::int64_t ms = pendingSeekMs_;
    pendingSeekMs_ = -1;
    player_->setPosition(ms);
}

void QtMediaGraph::OnPositionTick() {
    if (OnPositionTimer)
        OnPositionTimer(player_->position(), player_->duration());
}

bool QtMediaGraph::ScreenSaverHeld() const {
    return inhibitor_ && inhibitor_->Held();
}

void QtMediaGraph::SetScreenSaverBus(const std::string& address) {
    inhibitor_->BusAddress = QString::fromStdString(address);
}

bool QtMediaGraph::PointerHidden() const {
    return video_ && video_->cursor().shape() == Qt::BlankCursor;
}

void QtMediaGraph::SetPointer(bool visible) {
    if (!area_)
        return;
    QList<QWidget*> widgets = area_->findChildren<QWidget*>();
    widgets.prepend(area_.data());
    for (QWidget* w : widgets) {
        if (visible)
            w->unsetCursor();
        else
            w->setCursor(Qt::BlankCursor);
    }
}

void QtMediaGraph::ShowPointer() {
    SetPointer(true);
    pointerTimer_.start(PointerHideMs);
}

bool QtMediaGraph::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && area_ && (widget == area_ || area_->isAncestorOf(widget))) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::Enter:
        case QEvent::HoverMove:
            ShowPointer();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
