// A media graph for tests: records every call, loads what it is told to, and
// fails, throws or runs a hook where a test asks it to.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "media/MediaGraph.h"

class FakeGraph : public IMediaGraph {
public:
    // "activate", "deactivate", "clear", "render PATH", "run", "pause",
    // "stop", "seek MS", in order.
    std::vector<std::string> Calls;
    // Lengths of given paths; any other path loads with `Duration`, or fails
    // when RenderUnlisted is off.
    std::map<std::string, std::int64_t> Durations;
    std::int64_t Duration = 120000;
    bool RenderUnlisted = true;
    // Paths that the graph takes but cannot play (a non-zero result).
    std::set<std::string> Unrenderable;
    // What LastFailure says.
    std::string Failure;
    std::string Loaded;
    bool Running = false;
    std::int64_t PositionHns = 0;
    bool ThrowOnRender = false;
    bool ThrowOnRun = false;
    bool ThrowOnSeek = false;
    // Runs once, inside the next load (a click while the file loads).
    std::function<void()> DuringRender;

    void Activate() override;
    void Deactivate() override;
    bool Active() const override { return active_; }
    void Clear() override;
    int RenderFile(const std::string& path) override;
    void Run() override;
    void Pause() override;
    void Stop() override;
    std::int64_t DurationMs() override;
    std::int64_t CurrentPosition() override { return PositionHns; }
    void SeekTo(std::int64_t ms) override;
    std::string LastFailure() const override { return Failure; }

    int CountOf(const std::string& call) const;

private:
    bool active_ = false;
};
