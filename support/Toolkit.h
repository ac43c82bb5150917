// The three seams between the core and a GUI toolkit. The Qt layer implements
// them for the program; tests use the fakes in tests/fakes.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Lets pending interface events run. Pause waits while still handling events,
// so a job's fixed waits never freeze the window.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void ProcessMessages() = 0;
    virtual void Pause(int ms) = 0;
};

// Runs tasks on the interface thread, in the order they were posted. Safe to
// call from any thread.
class IUiDispatcher {
public:
    virtual ~IUiDispatcher() = default;
    virtual void Post(std::function<void()> task) = 0;
};

// Kind of a message box; values match the stored kind numbers.
enum TMsgKind { mkError = 0, mkWarning = 1, mkQuestion = 2, mkInformation = 3 };

// Modal dialogs. Every call blocks only in the toolkit's own modal loop.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    // One OK button; returns true when the box was answered.
    virtual bool MessageBox(const std::string& title, const std::string& text, TMsgKind kind) = 0;
    // Yes/No question; true for Yes.
    virtual bool Question(const std::string& title, const std::string& text) = 0;
    // Text prompt with a proposal in `value`; false when cancelled.
    virtual bool Prompt(const std::string& title, const std::string& caption,
                        std::string& value) = 0;
    // Multi-select open dialog. `filters` are entries "Description|*.a;*.b" in
    // order. On OK `files` gets the chosen paths (in order) and true is returned.
    virtual bool OpenFiles(const std::string& title, const std::string& initialDir,
                           const std::vector<std::string>& filters,
                           std::vector<std::string>& files) = 0;
    // Folder browser starting at `folder`; on OK `folder` is the choice.
    virtual bool BrowseFolder(const std::string& title, std::string& folder) = 0;
};

// What the desktop shows of a job outside the program's windows: its share
// done on the taskbar entry, and a notice when it ends while the user looks
// elsewhere. The view layer implements it where the desktop offers one.
class IJobDesktop {
public:
    virtual ~IJobDesktop() = default;
    // Share of the whole job done, 0 to 1.
    virtual void ShowJobProgress(double share) = 0;
    // The job is over, however it ended: the entry shows no progress.
    virtual void ClearJobProgress() = 0;
    // A job ran to its end; shown only when none of the program's windows
    // is active (its own dialogs speak otherwise).
    virtual void NoticeJobEnd(const std::string& title, const std::string& text) = 0;
};
