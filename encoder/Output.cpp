#include "encoder/Output.h"

#include "encoder/Errors.h"
#include "encoder/InputFormats.h"
#include "encoder/Readback.h"
#include "encoder/System.h"
#include "encoder/Tags.h"

#include <chrono>
#include <filesystem>
#include <utility>

namespace evc {

namespace {

// Temporary files of a killed evc older than this are removed by the next run in the folder.
constexpr std::chrono::hours kStaleTempAge{1};

} // namespace

OutputFile::OutputFile(OutputType type, std::string path, const volatile std::sig_atomic_t* stop)
    : type_(type), path_(std::move(path)), stop_(stop) {
    const std::string muxer = MuxerNameFor(type_);
    AVFormatContext* raw = nullptr;
    const int r = avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), nullptr);
    if (r < 0 || raw == nullptr) {
        throw EncodeError("the " + muxer + " muxer is not available");
    }
    out_.reset(raw);
}

bool OutputFile::wantsGlobalHeader() const {
    return (out_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

void OutputFile::Start(const AudioEncoder& encoder, const InputAudio& in) {
    AVFormatContext* raw = out_.get();
    stream_ = avformat_new_stream(raw, nullptr);
    if (stream_ == nullptr) {
        throw EncodeError("out of memory");
    }
    encoder.DescribeStream(stream_->codecpar);
    stream_->time_base = encoder.timeBase();

    // Tags: the file's own, then the audio stream's (Ogg and some others keep them there).
    CopyTags(in.format->metadata, &raw->metadata);
    CopyTags(in.stream()->metadata, &raw->metadata);
    if (type_ == OutputType::Ogg) {
        CopyTags(raw->metadata, &stream_->metadata);
    }
    const std::optional<CoverArt> cover = FindCover(in.format.get());
    const int coverStream = cover ? PrepareCover(raw, stream_, type_, *cover, notes_) : -1;

    const std::filesystem::path folder = PathFromUtf8(path_).parent_path();
    RemoveStaleTempOutputs(folder.empty() ? "." : Utf8FromPath(folder), kStaleTempAge);
    temp_.emplace(path_);
    InterruptOnStop(raw, stop_);
    int r = avio_open2(&raw->pb, FileUrl(temp_->path()).c_str(), AVIO_FLAG_WRITE,
                       &raw->interrupt_callback, nullptr);
    if (r < 0) {
        throw EncodeError("cannot write '" + path_ + "': " + ErrorText(r));
    }
    AVDictionary* opts = nullptr;
    if (type_ == OutputType::Aac) {
        // ADTS has no tag block of its own; an ID3v2 header in front is what players read.
        av_dict_set(&opts, "write_id3v2", "1", 0);
    }
    r = avformat_write_header(raw, &opts);
    av_dict_free(&opts);
    if (r < 0) {
        throw EncodeError("cannot write the " + TypeName(type_) + " header: " + ErrorText(r));
    }
    if (cover) {
        WriteCover(raw, coverStream, *cover);
    }
}

void OutputFile::Write(AVPacket* pkt, AVRational timeBase) {
    pkt->stream_index = 0;
    av_packet_rescale_ts(pkt, timeBase, stream_->time_base);
    const int r = av_write_frame(out_.get(), pkt);
    if (r < 0) {
        if (r == AVERROR_EXIT) {
            throw EncodeCancelled("stopped before the output was complete");
        }
        throw EncodeError("cannot write '" + path_ + "': " + ErrorText(r));
    }
    if (out_->pb->error < 0) {
        throw EncodeError("cannot write '" + path_ + "': " + ErrorText(out_->pb->error));
    }
}

std::int64_t OutputFile::bytes() const {
    return avio_tell(out_->pb);
}

std::int64_t OutputFile::Finish(bool overwrite) {
    int r = av_write_trailer(out_.get());
    if (r < 0) {
        throw EncodeError("cannot finish '" + path_ + "': " + ErrorText(r));
    }
    avio_flush(out_->pb);
    if (out_->pb->error < 0) {
        throw EncodeError("cannot write '" + path_ + "': " + ErrorText(out_->pb->error));
    }
    const std::int64_t size = avio_tell(out_->pb);
    r = avio_closep(&out_->pb);
    if (r < 0) {
        throw EncodeError("cannot write '" + path_ + "': " + ErrorText(r));
    }
    CheckDecodable(temp_->path(), path_, stream_->codecpar->codec_id);
    ThrowIfStopped(stop_);
    temp_->Commit(overwrite);
    return size;
}

} // namespace evc
