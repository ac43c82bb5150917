// The chunk scheduler: the filtered stream cut into chunks that separate encoder instances encode
// at the same time, each chunk starting a little early so its encoder has settled on the same
// audio by the chunk's first sample; the packets of that lead-in are dropped and the rest are
// written in stream order. The main thread cuts and writes, workers encode; the samples held at
// once, cut and waiting to be cut, stay within a fixed number of bytes.
#pragma once

#include "encoder/AudioEncoder.h"
#include "encoder/FFmpeg.h"
#include "encoder/Settings.h"
#include "encoder/VorbisJoin.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace evc {

// How the packets of consecutive chunks are put together.
enum class ChunkJoin {
    Cut,    // at the chunk border: frames stand alone
    Mp3,    // frames share a bit reservoir and are joined by Mp3Packer
    Vorbis, // where both instances' blocks line up, past the border
};

struct ChunkPlan {
    int threads = 0;      // encoder instances
    int frame = 0;        // samples per encoder frame
    int chunkFrames = 0;  // frames each instance keeps
    int leadInFrames = 0; // frames encoded before the chunk and dropped
    int tailFrames = 0;   // frames encoded after it, so its last kept packets are complete
    ChunkJoin join = ChunkJoin::Cut;
};

// How a type is cut for threads instances of an encoder of that frame size, rate, channels and
// sample format. Chunks are as long as the sample budget allows for that many instances, and
// fewer instances are used where the chunks would be too short for their lead-ins. None where
// one instance must encode the whole stream: PCM gains nothing, and AMR-NB carries predictor
// state from frame to frame that a join would break.
std::optional<ChunkPlan> ChunkPlanFor(OutputType type, int frameSize, int sampleRate, int channels,
                                      AVSampleFormat format, int threads);

// Encoder instances for one file when the command line leaves it open: one per core, at most 8.
int DefaultThreads();

class ChunkedEncoder {
public:
    using Factory = std::function<std::unique_ptr<AudioEncoder>()>;
    using Write = std::function<void(AVPacket*)>;

    // open makes one encoder instance (called on the workers, one at a time); write receives the
    // packets in stream order on the calling thread; tick is called there while it waits.
    ChunkedEncoder(const ChunkPlan& plan, AVSampleFormat format, int rate, int channels,
                   Factory open, Write write, std::function<void()> tick,
                   const volatile std::sig_atomic_t* stop);
    ChunkedEncoder(const ChunkedEncoder&) = delete;
    ChunkedEncoder& operator=(const ChunkedEncoder&) = delete;
    // Ends the workers (what they hold is dropped) and joins them.
    ~ChunkedEncoder();

    // Takes the first count samples of frame, in the encoder's format.
    void Push(const AVFrame* frame, int count);
    // Encodes what is left and writes every packet; rethrows a worker's failure.
    void Finish();

private:
    struct Job;
    struct Worker;
    void Submit(bool last);
    void Work();
    // Encodes the job's samples from skip on; onMain: on the calling thread, ticking.
    void Encode(Job& job, Worker& worker, int skip, bool onMain);
    // Gives the job's sample buffer back for the next chunk.
    void Release(Job& job);
    void WriteReady(bool wait);
    void WriteJob(Job& job);

    ChunkPlan plan_;
    AVSampleFormat format_;
    int rate_;
    int channels_;
    Factory open_;
    Write write_;
    std::function<void()> tick_;
    const volatile std::sig_atomic_t* stop_;
    std::size_t maxHeld_;

    FifoPtr fifo_;               // the stream from fifoStart_ on, up to the next cut
    std::int64_t fifoStart_ = 0; // sample index of the fifo's first sample
    std::int64_t received_ = 0;  // samples pushed
    std::int64_t nextChunk_ = 0; // index of the next chunk to cut

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Job>> queue_; // cut, not yet taken by a worker
    std::deque<std::shared_ptr<Job>> held_;  // cut, not yet written, in stream order
    std::vector<FramePtr> spare_;            // sample buffers of encoded chunks
    bool cancel_ = false;
    std::mutex openMutex_;
    std::vector<std::thread> workers_;

    struct Mp3State;
    std::unique_ptr<Mp3State> mp3_;
    std::vector<VorbisBlock> vorbisTail_; // the previous chunk's packets from its last kept one
    std::atomic<std::int64_t> vorbisShift_{0}; // where fresh instances start on the stream's grid
    void WriteMp3(Job& job);
    void WriteVorbis(Job& job);
};

} // namespace evc
