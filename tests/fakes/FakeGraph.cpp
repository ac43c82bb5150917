#include "fakes/FakeGraph.h"

#include <algorithm>
#include <stdexcept>

void FakeGraph::Activate() {
    Calls.push_back("activate");
    active_ = true;
}

void FakeGraph::Deactivate() {
    Calls.push_back("deactivate");
    active_ = false;
}

void FakeGraph::Clear() {
    Calls.push_back("clear");
    Running = false;
    Loaded.clear();
}

int FakeGraph::RenderFile(const std::string& path) {
    Calls.push_back("render " + path);
    if (ThrowOnRender)
        throw std::runtime_error("graph broke");
    if (!active_)
        return -1;
    if (DuringRender) {
        auto hook = std::move(DuringRender);
        DuringRender = nullptr;
        hook();
    }
    if (Unrenderable.count(path))
        return 1;
    if (!RenderUnlisted && !Durations.count(path))
        return -1;
    Loaded = path;
    return 0;
}

void FakeGraph::Run() {
    Calls.push_back("run");
    if (ThrowOnRun)
        throw std::runtime_error("run failed");
    Running = true;
}

void FakeGraph::Pause() {
    Calls.push_back("pause");
    Running = false;
}

void FakeGraph::Stop() {
    Calls.push_back("stop");
    Running = false;
}

std::int64_t FakeGraph::DurationMs() {
    if (Loaded.empty())
        return 0;
    auto it = Durations.find(Loaded);
    return it != Durations.end() ? it->second : Duration;
}

void FakeGraph::SeekTo(std::int64_t ms) {
    Calls.push_back("seek " + std::to_string(ms));
    if (ThrowOnSeek)
        throw std::runtime_error("seek failed");
    PositionHns = ms * 10000;
}

int FakeGraph::CountOf(const std::string& call) const {
    return static_cast<int>(std::count(Calls.begin(), Calls.end(), call));
}
