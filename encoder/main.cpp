// evc: converts the audio of one media file into one of Velmora's output types.
#include "encoder/Errors.h"
#include "encoder/Options.h"
#include "encoder/System.h"
#include "encoder/Transcoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int sig) {
    g_stopSignal = sig;
}

void WriteLine(std::FILE* to, const std::string& text) {
    // One write per line and a flush: the reader is a pipe polled every 500 ms.
    std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), to);
    std::fflush(to);
}

std::string LibraryVersion(const char* name, unsigned version) {
    return std::string(name) + " " + std::to_string(AV_VERSION_MAJOR(version)) + "." +
           std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

// --help and --version: answered before any other option is looked at.
bool AnswerInformationRequest(const std::vector<std::string>& args, int& exitCode) {
    if (args.size() != 1)
        return false;
    std::string text;
    if (args[0] == "--version" || args[0] == "-version") {
        text = std::string("evc ") + VELMORA_VERSION + "\n" +
               LibraryVersion("libavformat", avformat_version()) + ", " +
               LibraryVersion("libavcodec", avcodec_version()) + ", " +
               LibraryVersion("libswresample", swresample_version()) + "\n";
    } else if (args[0] == "-h" || args[0] == "--help") {
        text = evc::UsageText() + "  -h, --help     show this help and exit\n"
                                  "  --version      show the version and exit\n";
    } else {
        return false;
    }
    std::fputs(text.c_str(), stdout);
    exitCode = std::fflush(stdout) == 0 ? 0 : 1;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    evc::InstallStopHandlers(OnStopSignal);
    evc::UseBinaryStandardStreams();
    // Library messages would mix with the status lines the program parses.
    av_log_set_level(AV_LOG_QUIET);

    const std::vector<std::string> args = evc::ProgramArguments(argc, argv);
    if (int code = 0; AnswerInformationRequest(args, code))
        return code;
    const evc::ParseResult parsed = evc::ParseArguments(args);
    if (parsed.showHelp) {
        std::fputs(evc::UsageText().c_str(), stdout);
        std::fflush(stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        WriteLine(stderr, "evc: " + parsed.error + " (evc -h shows the usage)");
        return 2;
    }

    WriteLine(stdout, std::string("evc ") + VELMORA_VERSION);
    evc::TranscodeHooks hooks;
    hooks.line = [](const std::string& text) { WriteLine(stdout, text); };
    hooks.stop = &g_stopSignal;
    try {
        evc::Transcode(parsed.options, hooks);
    } catch (const evc::EncodeCancelled& e) {
        const int sig = g_stopSignal != 0 ? static_cast<int>(g_stopSignal) : SIGTERM;
        WriteLine(stderr, std::string("evc: ") + e.what() + " (signal " + std::to_string(sig) +
                              "), no output written");
        return 128 + sig;
    } catch (const evc::EncodeError& e) {
        WriteLine(stderr, std::string("evc: ") + e.what());
        return 1;
    } catch (const std::exception& e) {
        WriteLine(stderr, std::string("evc: internal error: ") + e.what());
        return 1;
    }
    return 0;
}
