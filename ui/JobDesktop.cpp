#include "ui/JobDesktop.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/QtToolkit.h"

#ifdef _WIN32
#include <cstdio>

#include <QWidget>

#include "ui/WinTaskbarButton.h"
#endif

// The D-Bus headers are on the include path exactly when Qt6::DBus is linked.
#if !defined(VELMORA_WITH_QTDBUS) && __has_include(<QDBusConnection>)
#define VELMORA_WITH_QTDBUS 1
#endif

#ifdef VELMORA_WITH_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>
#endif

namespace {

#ifdef VELMORA_WITH_QTDBUS
// The session bus, or none: without an address D-Bus must not start a bus
// of its own.
QDBusConnection SessionBus() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QDBusConnection(QStringLiteral("velmora-no-bus"));
    return QDBusConnection::sessionBus();
}

// The desktop entry's id, as the desktop knows the program.
QString DesktopId() {
    return QGuiApplication::desktopFileName();
}
#endif

} // namespace

JobDesktop::JobDesktop(QObject* parent) : QObject(parent) {}

JobDesktop::~JobDesktop() {
    if (shownPercent_ >= 0)
        ClearJobProgress();
}

void JobDesktop::SetTaskbarWindow(QWidget* window) {
    taskbarWindow_ = window;
}

void JobDesktop::ShowJobProgress(double share) {
    const int percent = static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 100));
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    SendProgress(percent / 100.0, true);
}

void JobDesktop::ClearJobProgress() {
    shownPercent_ = -1;
    SendProgress(0, false);
}

void JobDesktop::SendProgress(double share, bool visible) {
#ifdef VELMORA_WITH_QTDBUS
    // The launcher entry's signal: docks and task managers show the bar on
    // the program's entry.
    QDBusConnection bus = SessionBus();
    if (!bus.isConnected() || DesktopId().isEmpty())
        return;
    QString path = QLatin1Char('/') + DesktopId();
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    QDBusMessage update = QDBusMessage::createSignal(
        path, QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(DesktopId())
           << QVariantMap{{QStringLiteral("progress"), share},
                          {QStringLiteral("progress-visible"), visible}};
    bus.send(update);
#elif defined(_WIN32)
    if (!taskbarWindow_)
        return;
    if (!taskbar_)
        taskbar_ = std::make_unique<WinTaskbarButton>();
    const auto window = reinterpret_cast<HWND>(taskbarWindow_->winId());
    const bool shown =
        visible ? taskbar_->ShowProgress(window, share) : taskbar_->ClearProgress(window);
    if (!shown && !taskbarRefusalLogged_ && Log) {
        taskbarRefusalLogged_ = true;
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX",
                      static_cast<unsigned long>(taskbar_->LastResult()));
        Log(std::string("The taskbar button shows no progress: the shell answered ") + code);
    }
#else
    (void)share;
    (void)visible;
#endif
}

void JobDesktop::NoticeJobEnd(const std::string& title, const std::string& text) {
    // The user looks at one of our windows: the dialogs tell the end.
    if (QApplication::activeWindow())
        return;
#ifdef VELMORA_WITH_QTDBUS
    QDBusConnection bus = SessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QApplication::applicationName() << 0u << DesktopId() << Q(title) << Q(text)
           << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), DesktopId()}} << -1;
    // Asynchronous: a slow or missing notification server never holds up
    // the window.
    bus.asyncCall(notify);
#else
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
        tray_ = std::make_unique<QSystemTrayIcon>(icon);
        tray_->setToolTip(QApplication::applicationName());
    }
    tray_->show();
    tray_->showMessage(Q(title), Q(text), QSystemTrayIcon::Information);
    // The icon is only the message's carrier.
    QTimer::singleShot(15000, tray_.get(), [tray = tray_.get()] { tray->hide(); });
#endif
}
