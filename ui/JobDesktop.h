// The job on the desktop beside the program's windows: progress on the
// taskbar entry and a notice when a job ends while the user is elsewhere.
// Linux speaks D-Bus (freedesktop notifications, the launcher entry of the
// desktop file); Windows shows the notice as the notification area's message
// and the progress on the taskbar button (ITaskbarList3).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

#include "support/Toolkit.h"

class QSystemTrayIcon;
class QWidget;
class WinTaskbarButton;

class JobDesktop : public QObject, public IJobDesktop {
    Q_OBJECT
public:
    explicit JobDesktop(QObject* parent = nullptr);
    ~JobDesktop() override;

    void ShowJobProgress(double share) override;
    void ClearJobProgress() override;
    void NoticeJobEnd(const std::string& title, const std::string& text) override;

    // The window whose taskbar button shows the progress (Windows).
    void SetTaskbarWindow(QWidget* window);
    // Told once when the desktop refuses the progress.
    std::function<void(const std::string&)> Log;

private:
    void SendProgress(double share, bool visible);

    // Whole percent last sent; the entry is told only of a change.
    int shownPercent_ = -1;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QPointer<QWidget> taskbarWindow_;
#ifdef _WIN32
    std::unique_ptr<WinTaskbarButton> taskbar_;
    bool taskbarRefusalLogged_ = false;
#endif
};
