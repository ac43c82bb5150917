// The Qt side of the three toolkit seams: event pump, dispatcher, dialogs.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "support/Toolkit.h"

class QtEventPump : public IEventPump {
public:
    void ProcessMessages() override;
    // A timed local loop: events keep running while we wait, and the wait
    // is never shorter than asked.
    void Pause(int ms) override;
};

// Posts tasks to an object living on the interface thread; queued events to
// one receiver are delivered in the order they were posted.
class QtDispatcher : public IUiDispatcher {
public:
    QtDispatcher();
    void Post(std::function<void()> task) override;

private:
    QObject receiver_;
};

// Converts one filter entry "Description|*.a;*.b;" to Qt's "Description (*.a *.b)".
QString QtFilterText(const std::string& entry);

// The open and folder dialogs are the desktop's own (through Qt's platform
// theme or the portal) where there is one, Qt's otherwise. VELMORA_QT_DIALOGS
// set to anything but 0 always takes Qt's, which tests drive by its widgets.
bool UseQtFileDialogs();

class QtDialogs : public IDialogs {
public:
    // The window dialogs are shown over when no other program window is active.
    QPointer<QWidget> DefaultOwner;

    bool MessageBox(const std::string& title, const std::string& text, TMsgKind kind) override;
    bool Question(const std::string& title, const std::string& text) override;
    bool Prompt(const std::string& title, const std::string& caption, std::string& value) override;
    bool OpenFiles(const std::string& title, const std::string& initialDir,
                   const std::vector<std::string>& filters,
                   std::vector<std::string>& files) override;
    bool BrowseFolder(const std::string& title, std::string& folder) override;

private:
    QWidget* Owner() const;
};

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}
