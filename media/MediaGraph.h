// A media graph: load (render) a file, run, pause, stop, and read or set the
// position. The probing graph reads files with FFmpeg; the player graph (Qt
// Multimedia) plays them in the main window's video area.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class IMediaGraph {
public:
    virtual ~IMediaGraph() = default;

    virtual void Activate() = 0;
    virtual void Deactivate() = 0;
    virtual bool Active() const = 0;
    // Stop, then drop whatever is loaded.
    virtual void Clear() = 0;
    // 0 when the file was loaded ("rendered"), non-zero otherwise. Needs an
    // active graph. A player graph keeps handling events while it waits.
    virtual int RenderFile(const std::string& path) = 0;
    virtual void Run() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // Milliseconds, truncated; 0 when not available.
    virtual std::int64_t DurationMs() = 0;
    // 100-ns units.
    virtual std::int64_t CurrentPosition() = 0;
    // Absolute position in milliseconds.
    virtual void SeekTo(std::int64_t ms) = 0;
    // Why the last RenderFile failed, in the media layer's words; empty when
    // it did not say.
    virtual std::string LastFailure() const { return {}; }
    // Called every 1000 ms while running with (position ms, duration ms).
    std::function<void(std::int64_t, std::int64_t)> OnPositionTimer;
};

// A graph for measuring files: renders a file when it has a decodable audio
// stream. Nothing is played.
std::unique_ptr<IMediaGraph> CreateProbeGraph();
