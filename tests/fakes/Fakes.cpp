#include "fakes/Fakes.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <system_error>
#include <thread>

namespace {

// Takes the next scripted answer, or `fallback` when the script is empty.
template <typename T> T NextAnswer(std::deque<T>& script, T fallback) {
    if (script.empty())
        return fallback;
    T answer = std::move(script.front());
    script.pop_front();
    return answer;
}

} // namespace

void RealTimePump::ProcessMessages() {
    dispatcher_.RunAll();
    if (OnEvents)
        OnEvents();
}

void RealTimePump::Pause(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        ProcessMessages();
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - now, std::chrono::milliseconds(10)));
    }
}

bool ScriptedDialogs::MessageBox(const std::string& title, const std::string& text, TMsgKind kind) {
    Messages.push_back({title, text, kind});
    if (DuringModal)
        DuringModal();
    return true;
}

bool ScriptedDialogs::Question(const std::string&, const std::string& text) {
    Questions.push_back(text);
    if (DuringModal)
        DuringModal();
    return NextAnswer(QuestionAnswers, true);
}

bool ScriptedDialogs::Prompt(const std::string&, const std::string& caption, std::string& value) {
    PromptCaptions.push_back(caption);
    PromptProposals.push_back(value);
    auto answer = NextAnswer(PromptAnswers, {false, std::string()});
    if (answer.first)
        value = answer.second;
    return answer.first;
}

bool ScriptedDialogs::OpenFiles(const std::string& title, const std::string& initialDir,
                                const std::vector<std::string>& filters,
                                std::vector<std::string>& files) {
    OpenCalls.push_back({title, initialDir, filters});
    auto answer = NextAnswer(OpenAnswers, {false, std::vector<std::string>()});
    if (answer.first)
        files = answer.second;
    return answer.first;
}

bool ScriptedDialogs::BrowseFolder(const std::string&, std::string& folder) {
    BrowseStarts.push_back(folder);
    auto answer = NextAnswer(BrowseAnswers, {false, std::string()});
    if (answer.first)
        folder = answer.second;
    return answer.first;
}

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("velmora-test-" + std::to_string(rd()) + std::to_string(rd()));
        if (std::filesystem::create_directory(path_))
            break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make read-only folders writable again so they can be removed.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}
