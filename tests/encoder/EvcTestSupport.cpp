#include "EvcTestSupport.h"

#include "encoder/System.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace fs = std::filesystem;

namespace evctest {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

#ifndef _WIN32

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              int killAfterSeconds) {
    TempDir io;
    const std::string outPath = io.File("stdout");
    const std::string errPath = io.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> argvStore;
    argvStore.push_back(program);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc =
        program.find('/') == std::string::npos
            ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
            : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (rc != 0) {
        result.err = "spawn failed";
        return result;
    }
    int status = 0;
    bool killed = false;
    if (killAfterSeconds > 0) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(killAfterSeconds);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                killed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (killed || killAfterSeconds <= 0) {
        while (waitpid(pid, &status, 0) < 0) {
        }
    }
    result.exitCode = killed              ? -2
                      : WIFEXITED(status) ? WEXITSTATUS(status)
                                          : 128 + WTERMSIG(status);
    result.out = ReadAll(outPath);
    result.err = ReadAll(errPath);
    return result;
}

std::string EvcPath() {
    return EVC_PATH;
}

RunResult RunBuildTool(const std::string& program, const std::vector<std::string>& args) {
    return Run(program, args);
}
#endif

RunResult RunEvc(const std::vector<std::string>& args) {
    // EVC_TEST_THREADS=N runs every conversion with -threads N (the suite passes at 1 and at
    // the default); --help, --version and explicit counts stay as written.
    const char* threads = std::getenv("EVC_TEST_THREADS");
    if (threads == nullptr || args.size() < 2 ||
        std::find(args.begin(), args.end(), "-threads") != args.end()) {
        return Run(EvcPath(), args);
    }
    std::vector<std::string> withThreads = {"-threads", threads};
    withThreads.insert(withThreads.end(), args.begin(), args.end());
    return Run(EvcPath(), withThreads);
}

void CopyHead(const std::string& from, const std::string& to, std::uintmax_t bytes) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::resize_file(to, std::min(bytes, fs::file_size(to)));
}

std::size_t FindInFile(const std::string& path, const std::string& bytes) {
    return ReadAll(evc::PathFromUtf8(path)).find(bytes);
}

void PatchLe32(const std::string& path, std::size_t offset, std::uint32_t value) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    const char le[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                        static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    f.write(le, sizeof le);
    ASSERT_TRUE(f.good()) << "cannot patch " << path;
}

void MakeMedia(const std::vector<std::string>& ffmpegArgs, const std::string& output) {
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y"};
    args.insert(args.end(), ffmpegArgs.begin(), ffmpegArgs.end());
    args.push_back(output);
    const RunResult r = RunBuildTool("ffmpeg", args);
    ASSERT_EQ(r.exitCode, 0) << "ffmpeg could not make " << output << ": " << r.err;
}

std::string TempDir::File(const std::string& name) const {
    return evc::Utf8FromPath(Path() / evc::PathFromUtf8(name));
}

std::vector<std::string> TempDir::Entries() const {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(Path())) {
        names.push_back(evc::Utf8FromPath(e.path().filename()));
    }
    return names;
}

AudioInfo ReadAudio(const std::string& path, bool keepSamples) {
    AudioInfo info;
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        info.error = "cannot open";
        return info;
    }
    struct Closer {
        AVFormatContext*& f;
        ~Closer() { avformat_close_input(&f); }
    } closer{fmt};
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        info.error = "no stream info";
        return info;
    }
    const int idx = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (idx < 0) {
        info.error = "no audio stream";
        return info;
    }
    AVStream* st = fmt->streams[idx];
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    if (dec == nullptr) {
        info.error = "no decoder";
        return info;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(dec);
    struct CtxFree {
        AVCodecContext*& c;
        ~CtxFree() { avcodec_free_context(&c); }
    } ctxFree{ctx};
    avcodec_parameters_to_context(ctx, st->codecpar);
    ctx->pkt_timebase = st->time_base;
    if (avcodec_open2(ctx, dec, nullptr) < 0) {
        info.error = "decoder open failed";
        return info;
    }
    info.format = fmt->iformat->name;
    info.codec = avcodec_get_name(st->codecpar->codec_id);
    info.sampleRate = ctx->sample_rate;
    info.channels = ctx->ch_layout.nb_channels;
    for (const AVDictionary* d : {static_cast<const AVDictionary*>(fmt->metadata),
                                  static_cast<const AVDictionary*>(st->metadata)}) {
        const AVDictionaryEntry* e = nullptr;
        while ((e = av_dict_get(d, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
            std::string key = e->key;
            for (char& c : key) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            info.tags.emplace(key, e->value);
        }
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    double sumSquares = 0;
    std::int64_t values = 0;
    auto take = [&]() {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            const int n = frame->nb_samples;
            const int ch = frame->ch_layout.nb_channels;
            const auto f = static_cast<AVSampleFormat>(frame->format);
            const bool planar = av_sample_fmt_is_planar(f);
            auto sample = [&](int c, int i) -> double {
                const uint8_t* base = planar ? frame->extended_data[c] : frame->extended_data[0];
                const int k = planar ? i : i * ch + c;
                switch (av_get_packed_sample_fmt(f)) {
                case AV_SAMPLE_FMT_S16:
                    return reinterpret_cast<const int16_t*>(base)[k] / 32768.0;
                case AV_SAMPLE_FMT_S32:
                    return reinterpret_cast<const int32_t*>(base)[k] / 2147483648.0;
                case AV_SAMPLE_FMT_FLT:
                    return reinterpret_cast<const float*>(base)[k];
                case AV_SAMPLE_FMT_DBL:
                    return reinterpret_cast<const double*>(base)[k];
                case AV_SAMPLE_FMT_U8:
                    return (base[k] - 128) / 128.0;
                default:
                    return 0;
                }
            };
            for (int i = 0; i < n; ++i) {
                for (int c = 0; c < ch; ++c) {
                    const double v = sample(c, i);
                    sumSquares += v * v;
                    info.peak = std::max(info.peak, std::fabs(v));
                    ++values;
                    if (keepSamples && c == 0) {
                        info.firstChannel.push_back(static_cast<float>(v));
                    }
                }
            }
            info.samples += n;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == idx) {
            avcodec_send_packet(ctx, pkt);
            take();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    info.rms = values > 0 ? std::sqrt(sumSquares / values) : 0;
    info.ok = true;
    return info;
}

long long ProgramSeconds(const std::string& chunk) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : chunk) {
        if (c == '=') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    if (parts.size() < 4) {
        return -1;
    }
    const std::string& field = parts[2];
    const auto dot = field.find('.');
    if (dot == std::string::npos || dot == 0) {
        return -1;
    }
    for (size_t i = 0; i < dot; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(field[i]))) {
            return -1;
        }
    }
    return std::stoll(field.substr(0, dot));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!cur.empty()) {
                lines.push_back(cur);
            }
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) {
        lines.push_back(cur);
    }
    return lines;
}

} // namespace evctest
