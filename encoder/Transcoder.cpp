#include "encoder/Transcoder.h"

#include "encoder/AudioEncoder.h"
#include "encoder/Chunks.h"
#include "encoder/Decode.h"
#include "encoder/Errors.h"
#include "encoder/FFmpeg.h"
#include "encoder/Filter.h"
#include "encoder/Input.h"
#include "encoder/Output.h"
#include "encoder/Settings.h"
#include "encoder/Status.h"
#include "encoder/System.h"
#include "encoder/Texts.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace evc {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Checks on the paths before anything is opened.
OutputType Preflight(const EncodeOptions& options) {
    const auto type = OutputTypeForPath(options.output);
    if (!type) {
        throw EncodeError("unsupported output type '" + options.output + "'");
    }
    std::error_code ec;
    const auto inStatus = fs::status(PathFromUtf8(options.input), ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        throw EncodeError("cannot open input '" + options.input + "': " + ec.message());
    }
    if (!fs::exists(inStatus)) {
        throw EncodeError("input file '" + options.input + "' not found");
    }
    if (fs::is_directory(inStatus)) {
        throw EncodeError("input '" + options.input + "' is a folder, not a file");
    }
    if (!fs::is_regular_file(inStatus)) {
        // Opening a pipe waits for a writer that may never come.
        throw EncodeError("input '" + options.input +
                          "' is not a regular file (a pipe, device or socket)");
    }
    const auto outStatus = fs::symlink_status(PathFromUtf8(options.output), ec);
    if (fs::exists(outStatus)) {
        if (SameFile(options.input, options.output)) {
            throw EncodeError("the output file '" + options.output + "' is the input file");
        }
        if (fs::is_directory(outStatus)) {
            throw EncodeError("the output '" + options.output + "' is a folder");
        }
        if (!options.overwrite) {
            throw EncodeError("output file '" + options.output +
                              "' already exists (use -y to overwrite)");
        }
    }
    const fs::path dir = PathFromUtf8(options.output).parent_path();
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        throw EncodeError("output folder '" + Utf8FromPath(dir) + "' does not exist");
    }
    return *type;
}

// Input to output: the decoder feeds the filter, whose frames are cut to the encoder's frame
// size, stamped, limited to the requested length and encoded into the output file.
class Pipeline {
public:
    Pipeline(const EncodeOptions& options, const TranscodeHooks& hooks)
        : options_(options), hooks_(hooks), status_(hooks.statusIntervalMs) {}

    TranscodeResult Run();

private:
    void Line(const std::string& text) {
        if (hooks_.line) {
            hooks_.line(text);
        }
    }
    void PrintHeader();
    void Emit(AVFrame* converted);
    AVFrame* EncoderFrame();
    void SendToEncoder(AVFrame* frame);
    void WritePacket(AVPacket* pkt);
    std::int64_t MinimumSamples() const;
    void PadToMinimum();
    void FlushAll();
    void MaybeStatus(bool force);
    void StartChunks();
    void PushToChunks(AVFrame* frame);
    double SecondsWritten() const {
        return static_cast<double>(samplesSent_) / settings_.sampleRate;
    }
    // What the status line shows: with chunks, what is in the file, not what went to the workers.
    double SecondsShown() const {
        return chunks_ ? static_cast<double>(samplesWritten_) / settings_.sampleRate
                       : SecondsWritten();
    }
    bool LimitReached() const { return samplesSent_ >= maxSamples_; }

    const EncodeOptions& options_;
    const TranscodeHooks& hooks_;
    OutputType type_ = OutputType::Wav;
    InputAudio in_;
    ResolvedSettings settings_;
    std::unique_ptr<AudioEncoder> encoder_;
    std::optional<OutputFile> out_;
    std::optional<Filter> filter_;
    std::unique_ptr<ChunkedEncoder> chunks_;
    std::int64_t samplesWritten_ = 0;
    double gain_ = 1.0;

    FramePtr encFrame_;
    FifoPtr fifo_;

    std::int64_t maxSamples_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t samplesSent_ = 0;
    StatusThrottle status_;
};

void Pipeline::PrintHeader() {
    const AVFormatContext* fmt = in_.format.get();
    const AVCodecContext* dec = in_.decoder.get();
    std::string input = "Input: '" + options_.input + "', " + fmt->iformat->name;
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        input += ", duration " + ClockText(fmt->duration / static_cast<double>(AV_TIME_BASE));
    }
    Line(input);
    Line("Stream #" + std::to_string(in_.streamIndex) + ": audio, " + dec->codec->name + ", " +
         std::to_string(dec->sample_rate) + " Hz, " + ChannelsText(dec->ch_layout.nb_channels));
    std::string settings = "Output: '" + options_.output + "', " + TypeName(type_) + " (" +
                           EncoderNameFor(type_) + "), ";
    if (type_ == OutputType::Amr) {
        settings += FormatNumber(settings_.amrModeKbps) + " kbit/s, ";
    } else if (type_ == OutputType::Wav) {
        settings += "16-bit PCM, ";
    } else if (settings_.vorbisQualityMode) {
        settings += "quality 3, ";
    } else {
        settings += FormatNumber(settings_.bitrate / 1000.0) + " kbit/s, ";
    }
    settings += std::to_string(settings_.sampleRate) + " Hz, " + ChannelsText(settings_.channels);
    Line(settings);
    char vol[64];
    std::snprintf(vol, sizeof vol, "Volume: %d (x%.3f)", options_.volume, gain_);
    Line(vol);
    if (options_.startSeconds || options_.lengthSeconds) {
        std::string trim = "Trim: from " + ClockText(options_.startSeconds.value_or(0));
        trim += options_.lengthSeconds ? ", " + FormatNumber(*options_.lengthSeconds) + " s"
                                       : ", to the end";
        Line(trim);
    }
    using Notes = const std::vector<std::string>*;
    for (const Notes notes : {Notes{&settings_.notes}, &out_->notes()}) {
        for (const auto& note : *notes) {
            Line("Note: " + note);
        }
    }
}

void Pipeline::Emit(AVFrame* frame) {
    if (chunks_) {
        PushToChunks(frame);
        return;
    }
    const int frameSize = encoder_->frameSize();
    if (frameSize == 0) {
        SendToEncoder(frame);
        return;
    }
    if (!fifo_) {
        fifo_.reset(av_audio_fifo_alloc(encoder_->format(), settings_.channels, frameSize * 4));
        encFrame_.reset(av_frame_alloc());
        if (!fifo_ || !encFrame_) {
            throw EncodeError("out of memory");
        }
    }
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(frame->data), frame->nb_samples) <
        frame->nb_samples) {
        throw EncodeError("out of memory");
    }
    while (!LimitReached() && av_audio_fifo_size(fifo_.get()) >= frameSize) {
        AVFrame* f = EncoderFrame();
        f->nb_samples =
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), frameSize);
        SendToEncoder(f);
        f->nb_samples = frameSize;
    }
}

// The frame handed to the encoder, allocated once at its frame size and reused.
AVFrame* Pipeline::EncoderFrame() {
    AVFrame* f = encFrame_.get();
    if (f->buf[0] == nullptr) {
        f->format = encoder_->format();
        f->sample_rate = settings_.sampleRate;
        av_channel_layout_default(&f->ch_layout, settings_.channels);
        f->nb_samples = encoder_->frameSize();
        if (av_frame_get_buffer(f, 0) < 0) {
            throw EncodeError("out of memory");
        }
    } else if (av_frame_make_writable(f) < 0) {
        throw EncodeError("out of memory");
    }
    return f;
}

void Pipeline::SendToEncoder(AVFrame* frame) {
    const std::int64_t room = maxSamples_ - samplesSent_;
    if (room <= 0) {
        return;
    }
    const int keep = frame->nb_samples;
    if (frame->nb_samples > room) {
        frame->nb_samples = static_cast<int>(room);
    }
    frame->pts = samplesSent_;
    samplesSent_ += frame->nb_samples;
    encoder_->Encode(frame, [this](AVPacket* p) { WritePacket(p); });
    frame->nb_samples = keep;
    MaybeStatus(false);
}

void Pipeline::WritePacket(AVPacket* pkt) {
    if (chunks_ && pkt->pts != AV_NOPTS_VALUE) {
        const std::int64_t end = av_rescale_q(pkt->pts + pkt->duration, encoder_->timeBase(),
                                              AVRational{1, settings_.sampleRate});
        samplesWritten_ = std::clamp(end, samplesWritten_, samplesSent_);
    }
    out_->Write(pkt, encoder_->timeBase());
}

// Several encoder instances where the type can be joined seamlessly and more than one thread
// is asked for; -threads 1 keeps the single instance.
void Pipeline::StartChunks() {
    const int threads = options_.threads > 0 ? options_.threads : DefaultThreads();
    const auto plan = ChunkPlanFor(type_, encoder_->frameSize(), settings_.sampleRate,
                                   settings_.channels, encoder_->format(), threads);
    if (!plan) {
        return;
    }
    const bool globalHeader = out_->wantsGlobalHeader();
    const AVSampleFormat source = in_.decoder->sample_fmt;
    auto open = [this, globalHeader, source, settings = settings_]() mutable {
        return OpenEncoder(type_, settings, globalHeader, source, gain_);
    };
    // The file has one set of headers: every instance's packets must be read with them.
    const std::vector<std::uint8_t> headers = StreamHeaders(*encoder_);
    if (!headers.empty() && StreamHeaders(*open()) != headers) {
        return;
    }
    chunks_ = std::make_unique<ChunkedEncoder>(
        *plan, encoder_->format(), settings_.sampleRate, settings_.channels,
        [open, headers]() mutable {
            auto encoder = open();
            if (StreamHeaders(*encoder) != headers) {
                throw EncodeError("the encoder instances disagree on the stream's headers");
            }
            return encoder;
        },
        [this](AVPacket* p) { WritePacket(p); }, [this] { MaybeStatus(false); }, hooks_.stop);
}

void Pipeline::PushToChunks(AVFrame* frame) {
    const std::int64_t room = maxSamples_ - samplesSent_;
    if (room <= 0) {
        return;
    }
    const int n = static_cast<int>(std::min<std::int64_t>(frame->nb_samples, room));
    samplesSent_ += n;
    chunks_->Push(frame, n);
    MaybeStatus(false);
}

void Pipeline::MaybeStatus(bool force) {
    if (force || status_.Due(NowMs())) {
        Line(FormatStatusLine(out_->bytes(), SecondsShown()));
    }
}

// The fewest samples an output holds: one frame of its encoder, for ADTS two, as a reader
// recognises ADTS only by three frames in a row and the encoder's priming adds one. A raw AC3
// stream of fewer than four frames in a row scores no higher than random bytes do, so a reader
// may not know it.
std::int64_t Pipeline::MinimumSamples() const {
    const std::int64_t frame = std::max(1, encoder_->frameSize());
    switch (type_) {
    case OutputType::Aac:
        return 2 * frame;
    case OutputType::Ac3:
        return 4 * frame;
    default:
        return frame;
    }
}

// A shorter output is padded with silence; without it the encoder writes no whole frame.
void Pipeline::PadToMinimum() {
    const std::int64_t buffered = fifo_ ? av_audio_fifo_size(fifo_.get()) : 0;
    const std::int64_t minimum = MinimumSamples();
    const std::int64_t missing = minimum - samplesSent_ - buffered;
    if (missing <= 0) {
        return;
    }
    maxSamples_ = std::max(maxSamples_, minimum);
    FramePtr silence(av_frame_alloc());
    if (!silence) {
        throw EncodeError("out of memory");
    }
    silence->format = encoder_->format();
    silence->sample_rate = settings_.sampleRate;
    av_channel_layout_default(&silence->ch_layout, settings_.channels);
    silence->nb_samples = static_cast<int>(missing);
    if (av_frame_get_buffer(silence.get(), 0) < 0) {
        throw EncodeError("out of memory");
    }
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, settings_.channels,
                           encoder_->format());
    Emit(silence.get());
}

void Pipeline::FlushAll() {
    filter_->Flush();
    PadToMinimum();
    if (chunks_) {
        chunks_->Finish();
        return;
    }
    if (fifo_ && !LimitReached()) {
        const int left = av_audio_fifo_size(fifo_.get());
        if (left > 0) {
            AVFrame* f = EncoderFrame();
            f->nb_samples =
                av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), left);
            SendToEncoder(f);
        }
    }
    encoder_->Encode(nullptr, [this](AVPacket* p) { WritePacket(p); });
}

TranscodeResult Pipeline::Run() {
    type_ = Preflight(options_);
    ThrowIfStopped(hooks_.stop);
    in_ = OpenInput(options_.input, hooks_.stop);
    ThrowIfStopped(hooks_.stop);
    RequestedSettings req;
    req.sampleRate = options_.sampleRate;
    req.channels = options_.channels;
    req.bitrateKbps = options_.bitrateKbps;
    settings_ =
        ResolveSettings(type_, req, in_.decoder->sample_rate, in_.decoder->ch_layout.nb_channels);
    gain_ = GainForVolume(options_.volume);
    if (options_.lengthSeconds) {
        maxSamples_ =
            std::max<std::int64_t>(1, std::llround(*options_.lengthSeconds * settings_.sampleRate));
    }
    out_.emplace(type_, options_.output, hooks_.stop);
    encoder_ =
        OpenEncoder(type_, settings_, out_->wantsGlobalHeader(), in_.decoder->sample_fmt, gain_);
    out_->Start(*encoder_, in_);
    StartChunks();
    PrintHeader();
    MaybeStatus(true);
    status_.Due(NowMs());

    const auto done = [this] { return LimitReached(); };
    filter_.emplace(
        settings_.sampleRate, settings_.channels, encoder_->format(), gain_,
        [this](AVFrame* f) { Emit(f); }, done);
    Decoder decoder(
        in_, options_.input, options_.startSeconds, hooks_.stop,
        [this](const AVFrame* f, int skip) { filter_->Push(f, skip); }, done);
    decoder.Run();
    FlushAll();
    ThrowIfStopped(hooks_.stop);

    TranscodeResult result;
    result.bytes = out_->Finish(options_.overwrite);
    result.seconds = SecondsWritten();
    Line(FormatStatusLine(result.bytes, result.seconds));
    return result;
}

} // namespace

TranscodeResult Transcode(const EncodeOptions& options, const TranscodeHooks& hooks) {
    Pipeline pipeline(options, hooks);
    return pipeline.Run();
}

} // namespace evc
