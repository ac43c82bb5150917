// The job on the desktop beside the program's windows: progress on the
// taskbar entry and a notice when a job ends while the user is elsewhere.
// Linux speaks D-Bus (freedesktop notifications, the launcher entry of the
// desktop file); elsewhere the notification area's message shows the notice.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "support/Toolkit.h"

class QSystemTrayIcon;

class JobDesktop : public QObject, public IJobDesktop {
    Q_OBJECT
public:
    explicit JobDesktop(QObject* parent = nullptr);
    ~JobDesktop() override;

    void ShowJobProgress(double share) override;
    void ClearJobProgress() override;
    void NoticeJobEnd(const std::string& title, const std::string& text) override;

private:
    void SendProgress(double share, bool visible);

    // Whole percent last sent; the entry is told only of a change.
    int shownPercent_ = -1;
    std::unique_ptr<QSystemTrayIcon> tray_;
};
