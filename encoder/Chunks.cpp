#include "encoder/Chunks.h"

#include "encoder/Errors.h"
#include "encoder/Mp3Join.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>

namespace evc {

namespace {

// Chunks at most this long: the lead-ins and tails cost little.
constexpr double kChunkSeconds = 12.0;
// Samples held at once, in bytes: the chunks cut for the instances and the one being gathered.
// Two instances of stereo float get chunks of the longest length.
constexpr std::int64_t kSampleBudget = std::int64_t{16} << 20;
// A chunk at least this many times its lead-in and tail, else fewer instances.
constexpr int kLeastChunkPerLeadIn = 8;
// Samples before a chunk whose Vorbis packets are kept: two long blocks.
constexpr std::int64_t kVorbisLookBack = 4096;
constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();

} // namespace

std::optional<ChunkPlan> ChunkPlanFor(OutputType type, int frameSize, int sampleRate, int channels,
                                      AVSampleFormat format, int threads) {
    const int sampleBytes = av_get_bytes_per_sample(format) * channels;
    if (frameSize <= 0 || sampleRate <= 0 || sampleBytes <= 0 || threads < 2) {
        return std::nullopt;
    }
    ChunkPlan plan;
    plan.frame = frameSize;
    int align = 1; // chunks in whole multiples of this many frames
    switch (type) {
    case OutputType::Mp3:
        // Lead-in for the filter banks and the psychoacoustic model; the tail is where the
        // join may move to a frame that continues the previous instance's reservoir.
        plan.leadInFrames = 12;
        plan.tailFrames = 12;
        plan.join = ChunkJoin::Mp3;
        break;
    case OutputType::Aac:
    case OutputType::M4a:
        // Window decisions and the rate control settle within the lead-in.
        plan.leadInFrames = 16;
        plan.tailFrames = 4;
        break;
    case OutputType::Ac3:
        plan.leadInFrames = 2;
        plan.tailFrames = 3;
        break;
    case OutputType::Ogg:
        // libvorbis places its blocks on a grid of 1024 samples from where the instance starts,
        // moved by runs of short blocks in steps of 128 that end where the transient does.
        // Lead-ins, chunks and tails in whole grid steps put every instance on the same grid,
        // and past the lead-in's transients its blocks are those of the instance before.
        if (1024 % frameSize != 0) {
            return std::nullopt;
        }
        align = 1024 / frameSize;
        plan.leadInFrames = 12 * align;
        plan.tailFrames = 8 * align;
        plan.join = ChunkJoin::Vorbis;
        break;
    case OutputType::Amr:
    case OutputType::Wav:
        return std::nullopt;
    }
    const std::int64_t longest = std::lround(kChunkSeconds * sampleRate / frameSize);
    const int overlap = plan.leadInFrames + plan.tailFrames;
    for (plan.threads = threads; plan.threads >= 2; --plan.threads) {
        // One chunk per instance, one queued and the one being gathered, each with its overlap.
        const std::int64_t span =
            kSampleBudget / (plan.threads + 2) / sampleBytes / frameSize - overlap;
        plan.chunkFrames = static_cast<int>(std::min(longest, span)) / align * align;
        if (plan.chunkFrames >= kLeastChunkPerLeadIn * overlap) {
            return plan;
        }
    }
    return std::nullopt;
}

int DefaultThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(n, 1U, 8U));
}

struct ChunkedEncoder::Job {
    std::int64_t first = 0;    // sample index of samples' first sample
    std::int64_t keepFrom = 0; // packets from here on belong to this chunk
    std::int64_t keepTo = 0;   // and up to here (the next chunk's start)
    bool last = false;
    int skip = 0; // samples left out at the start, to put its instance on the stream's grid
    FramePtr samples;
    int capacity = 0; // samples the buffer holds
    std::vector<PacketPtr> packets;
    std::vector<Mp3Unpacker::Frame> frames;
    std::vector<VorbisBlock> blocks;
    std::exception_ptr error;
    bool done = false;
};

// A worker keeps its encoder instance from chunk to chunk, without a flush between them: the
// lead-in washes out the jump in the audio, while the rate control stays settled (a fresh AAC
// encoder spends its first seconds far more work). Packets of the previous chunk still inside
// the encoder come out first and carry on that chunk's timestamps; they are dropped. Vorbis takes
// a fresh instance for each chunk: where its blocks fall depends on where it started.
struct ChunkedEncoder::Worker {
    std::unique_ptr<AudioEncoder> encoder;
    Mp3Unpacker unpacker;
    std::optional<VorbisShapes> shapes;
    std::optional<std::int64_t> lastEnd; // pts + duration of the last packet
};

struct ChunkedEncoder::Mp3State {
    explicit Mp3State(Write write) : packer(std::move(write)) {}
    Mp3Packer packer;
    std::vector<Mp3Unpacker::Frame> tail; // the previous chunk's frames past its end
};

ChunkedEncoder::ChunkedEncoder(const ChunkPlan& plan, AVSampleFormat format, int rate, int channels,
                               Factory open, Write write, std::function<void()> tick,
                               const volatile std::sig_atomic_t* stop)
    : plan_(plan), format_(format), rate_(rate), channels_(channels), open_(std::move(open)),
      write_(std::move(write)), tick_(std::move(tick)), stop_(stop),
      maxHeld_(static_cast<std::size_t>(plan.threads) + 1) {
    // Sized once for a whole chunk with its overlap: Push never lets it hold more.
    fifo_.reset(av_audio_fifo_alloc(format_, channels_,
                                    (plan_.leadInFrames + plan_.chunkFrames + plan_.tailFrames) *
                                        plan_.frame));
    if (!fifo_) {
        throw EncodeError("out of memory");
    }
    if (plan_.join == ChunkJoin::Mp3) {
        mp3_ = std::make_unique<Mp3State>(write_);
    }
    for (int i = 0; i < plan_.threads; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

ChunkedEncoder::~ChunkedEncoder() {
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
    }
    changed_.notify_all();
    for (auto& w : workers_) {
        w.join();
    }
}

void ChunkedEncoder::Push(const AVFrame* frame, int count) {
    const std::int64_t chunk = std::int64_t{plan_.chunkFrames} * plan_.frame;
    const std::int64_t tail = std::int64_t{plan_.tailFrames} * plan_.frame;
    const bool planar = av_sample_fmt_is_planar(format_) != 0;
    const int step = av_get_bytes_per_sample(format_) * (planar ? 1 : channels_);
    std::vector<uint8_t*> planes(planar ? static_cast<std::size_t>(channels_) : 1U);
    for (int done = 0; done < count;) {
        // The fifo takes no more than the next cut needs.
        const std::int64_t cut = nextChunk_ * chunk + chunk + tail;
        const int n = static_cast<int>(std::min<std::int64_t>(count - done, cut - received_));
        for (std::size_t i = 0; i < planes.size(); ++i) {
            planes[i] = frame->extended_data[i] + std::ptrdiff_t{done} * step;
        }
        if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes.data()), n) < n) {
            throw EncodeError("out of memory");
        }
        received_ += n;
        done += n;
        if (received_ >= cut) {
            Submit(false);
        }
    }
    WriteReady(false);
}

void ChunkedEncoder::Finish() {
    Submit(true);
    while (!held_.empty()) {
        WriteReady(true);
    }
    if (mp3_) {
        mp3_->packer.Finish();
    }
}

void ChunkedEncoder::Submit(bool last) {
    while (held_.size() >= maxHeld_) {
        WriteReady(true);
    }
    const std::int64_t chunk = std::int64_t{plan_.chunkFrames} * plan_.frame;
    const std::int64_t start = nextChunk_ * chunk;
    const std::int64_t from =
        std::max<std::int64_t>(0, start - std::int64_t{plan_.leadInFrames} * plan_.frame);
    const std::int64_t to =
        last ? received_ : start + chunk + std::int64_t{plan_.tailFrames} * plan_.frame;
    auto job = std::make_shared<Job>();
    job->first = from;
    job->keepFrom = nextChunk_ == 0 ? kNone : start;
    job->keepTo = last ? kAll : start + chunk;
    job->last = last;
    const int count = static_cast<int>(to - from);
    // Buffers of written chunks are used again: fresh pages cost more than the copy.
    const int capacity =
        std::max(count, (plan_.leadInFrames + plan_.chunkFrames + plan_.tailFrames) * plan_.frame);
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty() && spare_.back()->nb_samples >= count) {
            job->samples = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    if (!job->samples) {
        job->samples.reset(av_frame_alloc());
        if (!job->samples) {
            throw EncodeError("out of memory");
        }
        job->samples->format = format_;
        job->samples->sample_rate = rate_;
        av_channel_layout_default(&job->samples->ch_layout, channels_);
        job->samples->nb_samples = capacity;
        if (av_frame_get_buffer(job->samples.get(), 0) < 0) {
            throw EncodeError("out of memory");
        }
    }
    job->capacity = job->samples->nb_samples;
    job->samples->nb_samples = count;
    if (count > 0 &&
        av_audio_fifo_peek_at(fifo_.get(), reinterpret_cast<void**>(job->samples->extended_data),
                              count, static_cast<int>(from - fifoStart_)) < count) {
        throw EncodeError("out of memory");
    }
    // Keep what the next chunk's lead-in needs.
    const std::int64_t nextFrom = start + chunk - std::int64_t{plan_.leadInFrames} * plan_.frame;
    const std::int64_t drop =
        std::min<std::int64_t>(nextFrom - fifoStart_, av_audio_fifo_size(fifo_.get()));
    if (drop > 0) {
        av_audio_fifo_drain(fifo_.get(), static_cast<int>(drop));
        fifoStart_ += drop;
    }
    ++nextChunk_;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(job);
        held_.push_back(job);
    }
    changed_.notify_all();
}

void ChunkedEncoder::Work() {
    Worker worker;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return cancel_ || !queue_.empty(); });
            if (cancel_) {
                return;
            }
            job = queue_.front();
            queue_.pop_front();
        }
        try {
            if (plan_.join == ChunkJoin::Vorbis && job->keepFrom != kNone) {
                // A fresh instance starts on the grid the last join found.
                worker = Worker{};
                job->skip = static_cast<int>(vorbisShift_.load());
            }
            Encode(*job, worker, job->skip, false);
            // A Vorbis chunk may be encoded again from another start when it is joined.
            if (plan_.join != ChunkJoin::Vorbis) {
                Release(*job);
            }
        } catch (...) {
            job->error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        changed_.notify_all();
    }
}

void ChunkedEncoder::Encode(Job& job, Worker& worker, int skip, bool onMain) {
    if (!worker.encoder) {
        // Some encoder libraries fill shared tables when an instance starts.
        std::lock_guard lock(openMutex_);
        worker.encoder = open_();
        if (plan_.join == ChunkJoin::Vorbis) {
            worker.shapes.emplace(StreamHeaders(*worker.encoder));
        }
    }
    AudioEncoder* encoder = worker.encoder.get();
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        throw EncodeError("out of memory");
    }
    frame->format = format_;
    frame->sample_rate = rate_;
    av_channel_layout_default(&frame->ch_layout, channels_);
    frame->nb_samples = plan_.frame;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        throw EncodeError("out of memory");
    }
    const std::int64_t inputEnd = job.first + job.samples->nb_samples;
    bool previousChunk = worker.lastEnd.has_value();
    const auto collect = [&](AVPacket* pkt) {
        // Still the previous chunk's: its times run on from there.
        const bool stale = previousChunk && pkt->pts == *worker.lastEnd;
        previousChunk = stale;
        worker.lastEnd = pkt->pts + (pkt->duration > 0 ? pkt->duration : plan_.frame);
        if (plan_.join == ChunkJoin::Vorbis) {
            // The join needs the block before the first kept one, and every one past the end.
            if (!stale && (job.keepFrom == kNone || pkt->pts >= job.keepFrom - kVorbisLookBack)) {
                VorbisBlock block;
                block.packet.reset(av_packet_clone(pkt));
                if (!block.packet) {
                    throw EncodeError("out of memory");
                }
                block.shape = worker.shapes->Of(pkt);
                job.blocks.push_back(std::move(block));
            }
            return;
        }
        if (plan_.join == ChunkJoin::Mp3) {
            // Every frame goes through the unpacker: later frames' main data may lie in it.
            auto f = worker.unpacker.Unpack(pkt);
            if (stale) {
                return;
            }
            // A tail frame counts only where its encoder saw the audio after it.
            if (pkt->pts >= job.keepFrom &&
                (job.last || pkt->pts + 3 * std::int64_t{plan_.frame} <= inputEnd)) {
                job.frames.push_back(std::move(f));
            }
            return;
        }
        if (!stale && pkt->pts >= job.keepFrom && pkt->pts < job.keepTo) {
            PacketPtr copy(av_packet_clone(pkt));
            if (!copy) {
                throw EncodeError("out of memory");
            }
            job.packets.push_back(std::move(copy));
        }
    };
    const int total = job.samples->nb_samples;
    for (int offset = skip; offset < total; offset += plan_.frame) {
        {
            std::lock_guard lock(mutex_);
            if (cancel_) {
                throw EncodeCancelled("stopped before the output was complete");
            }
        }
        ThrowIfStopped(stop_);
        if (onMain && offset / plan_.frame % 256 == 0) {
            tick_();
        }
        if (av_frame_make_writable(frame.get()) < 0) {
            throw EncodeError("out of memory");
        }
        const int n = std::min(plan_.frame, total - offset);
        av_samples_copy(frame->extended_data, job.samples->extended_data, 0, offset, n, channels_,
                        format_);
        frame->nb_samples = n;
        frame->pts = job.first + offset;
        encoder->Encode(frame.get(), collect);
    }
    if (job.last) {
        encoder->Encode(nullptr, collect);
    }
}

void ChunkedEncoder::Release(Job& job) {
    job.samples->nb_samples = job.capacity;
    std::lock_guard lock(mutex_);
    spare_.push_back(std::move(job.samples));
}

void ChunkedEncoder::WriteReady(bool wait) {
    std::shared_ptr<Job> job;
    {
        std::unique_lock lock(mutex_);
        if (wait) {
            changed_.wait_for(lock, std::chrono::milliseconds(50),
                              [this] { return !held_.empty() && held_.front()->done; });
        }
        if (!held_.empty() && held_.front()->done) {
            job = held_.front();
            held_.pop_front();
        }
    }
    if (job) {
        WriteJob(*job);
    }
    ThrowIfStopped(stop_);
    tick_();
}

void ChunkedEncoder::WriteJob(Job& job) {
    if (job.error) {
        std::rethrow_exception(job.error);
    }
    switch (plan_.join) {
    case ChunkJoin::Cut:
        for (auto& p : job.packets) {
            write_(p.get());
        }
        return;
    case ChunkJoin::Mp3:
        WriteMp3(job);
        return;
    case ChunkJoin::Vorbis:
        WriteVorbis(job);
        return;
    }
}

void ChunkedEncoder::WriteMp3(Job& job) {
    auto& frames = job.frames;
    auto& tail = mp3_->tail;
    std::size_t i = 0;
    // Go on with the previous instance until this one's frames continue its reservoir and
    // windows; both encoded the same audio there.
    while (i < tail.size() && i < frames.size() && !mp3_->packer.Continues(frames[i])) {
        if (tail[i].packet->pts != frames[i].packet->pts) {
            throw EncodeError("cannot join the MP3 pieces: their frames do not line up");
        }
        mp3_->packer.Add(tail[i]);
        ++i;
    }
    std::vector<Mp3Unpacker::Frame> next;
    for (; i < frames.size(); ++i) {
        if (frames[i].packet->pts < job.keepTo) {
            mp3_->packer.Add(frames[i]);
        } else {
            next.push_back(std::move(frames[i]));
        }
    }
    tail = std::move(next);
}

void ChunkedEncoder::WriteVorbis(Job& job) {
    auto& blocks = job.blocks;
    std::size_t from = 0;
    if (!vorbisTail_.empty()) {
        auto at = FindVorbisJoin(vorbisTail_, blocks);
        // No transient brought the two instances onto the same grid: once more from a start on
        // the previous instance's grid, which later chunks then take from the beginning.
        std::int64_t shift = job.skip;
        const std::int64_t lead = std::int64_t{plan_.leadInFrames} * plan_.frame;
        for (int attempt = 0; !at && attempt < 2; ++attempt) {
            const auto off = VorbisGridShift(vorbisTail_, blocks);
            if (!off) {
                break;
            }
            shift = (shift + *off) % lead;
            if (shift % plan_.frame != 0) {
                break;
            }
            Worker fresh;
            blocks.clear();
            Encode(job, fresh, static_cast<int>(shift), true);
            at = FindVorbisJoin(vorbisTail_, blocks);
            if (at) {
                vorbisShift_ = shift;
            }
        }
        if (!at) {
            throw EncodeError("cannot join the Vorbis pieces: their blocks do not line up");
        }
        for (std::size_t i = 0; i < at->first; ++i) {
            write_(vorbisTail_[i].packet.get());
        }
        from = at->second;
    }
    Release(job);
    vorbisTail_.clear();
    // The next chunk joins at the last packet before it or later.
    std::size_t to = blocks.size();
    if (!job.last) {
        to = from;
        while (to + 1 < blocks.size() && blocks[to + 1].packet->pts < job.keepTo) {
            ++to;
        }
    }
    for (std::size_t i = from; i < to; ++i) {
        write_(blocks[i].packet.get());
    }
    for (std::size_t i = to; i < blocks.size(); ++i) {
        vorbisTail_.push_back(std::move(blocks[i]));
    }
}

} // namespace evc
