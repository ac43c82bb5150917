// Test stand-ins for the toolkit seams: a pump with virtual time, a queued
// dispatcher, scripted dialogs, and a temporary program folder.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/Toolkit.h"

// Virtual clock: Pause advances it without sleeping. Hooks let a test act at a
// given moment (for example press Stop during a job's pause).
class FakeEventPump : public IEventPump {
public:
    std::int64_t NowMs = 0;
    int ProcessCount = 0;
    std::vector<int> Pauses;
    // Runs on every ProcessMessages and after every Pause step.
    std::function<void()> OnEvents;
    // Optional real dispatcher drained on each ProcessMessages.
    std::function<void()> Drain;

    void ProcessMessages() override {
        ++ProcessCount;
        if (Drain)
            Drain();
        if (OnEvents)
            OnEvents();
    }
    void Pause(int ms) override {
        Pauses.push_back(ms);
        NowMs += ms;
        ProcessMessages();
    }
};

// Collects posted tasks; RunAll runs them in order on the calling thread.
class QueueDispatcher : public IUiDispatcher {
public:
    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    int RunAll() {
        int n = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (tasks_.empty())
                    return n;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
            ++n;
        }
    }
    size_t Pending() {
        std::lock_guard<std::mutex> lock(mutex_);
        return tasks_.size();
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

// The interface thread's pump in real time: posted work runs on every call,
// and a pause sleeps in steps of at most 10 ms between runs.
class RealTimePump : public IEventPump {
public:
    explicit RealTimePump(QueueDispatcher& dispatcher) : dispatcher_(dispatcher) {}
    // Runs on every ProcessMessages, after the posted work.
    std::function<void()> OnEvents;
    void ProcessMessages() override;
    void Pause(int ms) override;

private:
    QueueDispatcher& dispatcher_;
};

// Records every dialog and answers from scripts (first in, first out). With
// an empty script: message boxes are answered, questions say Yes, prompts
// and file dialogs are cancelled.
class ScriptedDialogs : public IDialogs {
public:
    struct Message {
        std::string Title;
        std::string Text;
        TMsgKind Kind;
    };
    std::vector<Message> Messages;
    std::vector<std::string> Questions;
    std::deque<bool> QuestionAnswers;
    std::vector<std::string> PromptCaptions;
    std::vector<std::string> PromptProposals;
    std::deque<std::pair<bool, std::string>> PromptAnswers;
    struct OpenCall {
        std::string Title;
        std::string InitialDir;
        std::vector<std::string> Filters;
    };
    std::vector<OpenCall> OpenCalls;
    std::deque<std::pair<bool, std::vector<std::string>>> OpenAnswers;
    std::vector<std::string> BrowseStarts;
    std::deque<std::pair<bool, std::string>> BrowseAnswers;
    // Runs inside every modal call, as a real modal loop would run events.
    std::function<void()> DuringModal;

    bool MessageBox(const std::string& title, const std::string& text, TMsgKind kind) override;
    bool Question(const std::string& title, const std::string& text) override;
    bool Prompt(const std::string& title, const std::string& caption, std::string& value) override;
    bool OpenFiles(const std::string& title, const std::string& initialDir,
                   const std::vector<std::string>& filters,
                   std::vector<std::string>& files) override;
    bool BrowseFolder(const std::string& title, std::string& folder) override;
};

// Records what a job shows on the desktop: every progress share (a clear as
// -1) and every end notice as "title|text".
class RecordingJobDesktop : public IJobDesktop {
public:
    std::vector<double> Progress;
    std::vector<std::string> Notices;
    void ShowJobProgress(double share) override { Progress.push_back(share); }
    void ClearJobProgress() override { Progress.push_back(-1); }
    void NoticeJobEnd(const std::string& title, const std::string& text) override {
        Notices.push_back(title + "|" + text);
    }
};

// A fresh folder under the system temp folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // With a trailing separator, as the program folder is written.
    std::string Folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};
