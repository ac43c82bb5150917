#include "encoder/Decode.h"

#include "encoder/Errors.h"
#include "encoder/Texts.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace evc {

namespace {

// Decode errors in a row after which the input counts as corrupt.
constexpr int kMaxConsecutiveDecodeErrors = 64;
// Decoding starts this much before -ss, so decoders that need history have it.
constexpr double kSeekPrerollSeconds = 0.5;

} // namespace

Decoder::Decoder(InputAudio& in, std::string path, std::optional<double> startSeconds,
                 const volatile std::sig_atomic_t* stop, Sink sink, std::function<bool()> done)
    : in_(in), path_(std::move(path)), startSeconds_(startSeconds), stop_(stop),
      sink_(std::move(sink)), done_(std::move(done)) {}

void Decoder::HandleFrame(AVFrame* frame) {
    ThrowIfStopped(stop_);
    const int rate = frame->sample_rate;
    const int n = frame->nb_samples;
    if (rate <= 0 || n <= 0) {
        return;
    }
    const AVStream* st = in_.format->streams[in_.streamIndex];
    if (overshot_) {
        return;
    }
    const std::int64_t startSample = startSeconds_ ? std::llround(*startSeconds_ * rate) : 0;
    if (!nextPos_) {
        // First frame after a seek: place it by its timestamp.
        const std::int64_t ts = frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE) {
            throw EncodeError("cannot find the start time in '" + path_ + "'");
        }
        const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        nextPos_ = av_rescale_q_rnd(ts - origin, st->time_base, AVRational{1, rate},
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF));
        if (*nextPos_ > startSample) {
            overshot_ = true;
            nextPos_.reset();
            return;
        }
    }
    const std::int64_t pos = *nextPos_;
    *nextPos_ += n;
    anyFrame_ = true;
    decodedEndSeconds_ = static_cast<double>(*nextPos_) / rate;

    if (pos + n <= startSample) {
        return;
    }
    const int skip = pos < startSample ? static_cast<int>(startSample - pos) : 0;
    inputSamplesUsed_ += n - skip;
    sink_(frame, skip);
}

// Seeks a little before the start where the container lands on a known
// sample; true when it did.
bool Decoder::SeekNearStart() {
    AVFormatContext* fmt = in_.format.get();
    AVStream* st = fmt->streams[in_.streamIndex];
    if (!startSeconds_ || *startSeconds_ <= kSeekPrerollSeconds || !SeeksExactly(fmt)) {
        return false;
    }
    const double target = *startSeconds_ - kSeekPrerollSeconds;
    const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const std::int64_t ts = origin + av_rescale_q(static_cast<std::int64_t>(target * AV_TIME_BASE),
                                                  AV_TIME_BASE_Q, st->time_base);
    if (av_seek_frame(fmt, in_.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        return false;
    }
    avcodec_flush_buffers(in_.decoder.get());
    nextPos_.reset();
    return true;
}

void Decoder::ReceiveFrames(AVFrame* frame, int& errorsInRow) {
    for (;;) {
        const int r = avcodec_receive_frame(in_.decoder.get(), frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            return;
        }
        if (r < 0) {
            if (++errorsInRow > kMaxConsecutiveDecodeErrors) {
                throw EncodeError("the audio in '" + path_ + "' is corrupt at " +
                                  SecondsText(decodedEndSeconds_) + " s: " + ErrorText(r));
            }
            continue;
        }
        errorsInRow = 0;
        HandleFrame(frame);
        av_frame_unref(frame);
        if (done_()) {
            return;
        }
    }
}

// Landed past the start: decode from the beginning and count samples instead.
void Decoder::RestartFromBeginning() {
    AVFormatContext* fmt = in_.format.get();
    AVStream* st = fmt->streams[in_.streamIndex];
    const std::int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (av_seek_frame(fmt, in_.streamIndex, origin, AVSEEK_FLAG_BACKWARD) < 0) {
        throw EncodeError("cannot find the start time in '" + path_ + "'");
    }
    avcodec_flush_buffers(in_.decoder.get());
    overshot_ = false;
    nextPos_ = 0;
}

void Decoder::CheckDecodedLength(bool reachedEnd, bool sought) {
    if (!anyFrame_ && sought) {
        throw EncodeError("the start time " + ClockText(*startSeconds_) + " is past the end of '" +
                          path_ + "'");
    }
    if (!anyFrame_) {
        throw EncodeError("no audio could be decoded from '" + path_ + "'");
    }
    if (inputSamplesUsed_ == 0) {
        throw EncodeError("the start time " + ClockText(startSeconds_.value_or(0)) +
                          " is past the end of '" + path_ + "' (" +
                          SecondsText(decodedEndSeconds_) + " s)");
    }
    // A short read at the end (a WAV of unknown size) is the end; only falling clearly short
    // of a stated length is damage.
    AVFormatContext* fmt = in_.format.get();
    const auto stated = reachedEnd && !done_()
                            ? StatedSeconds(fmt, fmt->streams[in_.streamIndex], path_)
                            : std::optional<double>();
    if (stated) {
        const double declared = *stated;
        if (declared - decodedEndSeconds_ > std::max(0.5, declared * 0.01)) {
            throw EncodeError("'" + path_ + "' ends at " + SecondsText(decodedEndSeconds_) +
                              " s of " + SecondsText(declared) + " s (truncated or damaged file)");
        }
    }
}

void Decoder::Run() {
    AVFormatContext* fmt = in_.format.get();
    AVCodecContext* dec = in_.decoder.get();
    nextPos_ = 0;
    bool sought = SeekNearStart();

    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!pkt || !frame) {
        throw EncodeError("out of memory");
    }
    int errorsInRow = 0;
    bool reachedEnd = false;
    while (!done_()) {
        ThrowIfStopped(stop_);
        const int r = av_read_frame(fmt, pkt.get());
        if (r == AVERROR_EOF) {
            reachedEnd = true;
            break;
        }
        if (r == AVERROR_EXIT) {
            throw EncodeCancelled("stopped before the output was complete");
        }
        if (r == AVERROR(EAGAIN)) {
            continue;
        }
        if (r < 0) {
            throw EncodeError("cannot read '" + path_ + "' at " + SecondsText(decodedEndSeconds_) +
                              " s: " + ErrorText(r) + " (damaged or truncated file?)");
        }
        if (pkt->stream_index != in_.streamIndex) {
            av_packet_unref(pkt.get());
            continue;
        }
        const int s = avcodec_send_packet(dec, pkt.get());
        av_packet_unref(pkt.get());
        if (s < 0 && s != AVERROR(EAGAIN)) {
            if (++errorsInRow > kMaxConsecutiveDecodeErrors) {
                throw EncodeError("the audio in '" + path_ + "' is corrupt at " +
                                  SecondsText(decodedEndSeconds_) + " s: " + ErrorText(s));
            }
            continue;
        }
        ReceiveFrames(frame.get(), errorsInRow);
        if (overshot_) {
            RestartFromBeginning();
            sought = false;
        }
    }
    if (!done_()) {
        avcodec_send_packet(dec, nullptr);
        ReceiveFrames(frame.get(), errorsInRow);
    }
    CheckDecodedLength(reachedEnd, sought);
}

} // namespace evc
