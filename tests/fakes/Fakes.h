// Test stand-ins for the toolkit seams: a pump with virtual time, a queued
// dispatcher, scripted dialogs, and a temporary program folder.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
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

    bool MessageBox(const std::string& title, const std::string& text, TMsgKind kind) override {
        Messages.push_back({title, text, kind});
        if (DuringModal)
            DuringModal();
        return true;
    }
    bool Question(const std::string& title, const std::string& text) override {
        (void)title;
        Questions.push_back(text);
        if (DuringModal)
            DuringModal();
        if (QuestionAnswers.empty())
            return true;
        bool a = QuestionAnswers.front();
        QuestionAnswers.pop_front();
        return a;
    }
    bool Prompt(const std::string& title, const std::string& caption, std::string& value) override {
        (void)title;
        PromptCaptions.push_back(caption);
        PromptProposals.push_back(value);
        if (PromptAnswers.empty())
            return false;
        auto a = PromptAnswers.front();
        PromptAnswers.pop_front();
        if (a.first)
            value = a.second;
        return a.first;
    }
    bool OpenFiles(const std::string& title, const std::string& initialDir,
                   const std::vector<std::string>& filters, std::vector<std::string>& files) override {
        OpenCalls.push_back({title, initialDir, filters});
        if (OpenAnswers.empty())
            return false;
        auto a = OpenAnswers.front();
        OpenAnswers.pop_front();
        if (a.first)
            files = a.second;
        return a.first;
    }
    bool BrowseFolder(const std::string& title, std::string& folder) override {
        (void)title;
        BrowseStarts.push_back(folder);
        if (BrowseAnswers.empty())
            return false;
        auto a = BrowseAnswers.front();
        BrowseAnswers.pop_front();
        if (a.first)
            folder = a.second;
        return a.first;
    }
};

// A fresh folder under the system temp folder, removed with its content.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("velmora-test-" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        // Make read-only folders writable again so they can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // With a trailing separator, as the program folder is written.
    std::string Folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};
