#include "shell/StartArguments.h"

#include <filesystem>

#include "support/CommonLib.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0.0.0.0"
#endif

TStartArguments ParseStartArguments(const std::vector<std::string>& args,
                                    const std::string& currentFolder) {
    TStartArguments result;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (options && (arg == "-h" || arg == "--help")) {
            result.Action = TStartArguments::TAction::Help;
            return result;
        }
        if (options && arg == "--version") {
            result.Action = TStartArguments::TAction::Version;
            return result;
        }
        if (options && arg.size() > 1 && arg.front() == '-') {
            if (result.Error.empty())
                result.Error = "unknown option " + arg;
            continue;
        }
        if (arg.empty())
            continue;
        const std::filesystem::path path = FilePath(arg);
        if (path.is_absolute()) {
#ifdef _WIN32
            // C:/music/a.mp3 is the row a drop of C:\music\a.mp3 made.
            result.Files.push_back(PathText(path.lexically_normal()));
#else
            result.Files.push_back(arg);
#endif
            continue;
        }
        // The list keys rows by full path, as a drop gives them. On Windows a
        // name with a root but no drive (\music\a.mp3) takes the current drive.
        result.Files.push_back(
            PathText((FilePath(WithTrailingDelim(currentFolder)) / path).lexically_normal()));
    }
    if (!result.Error.empty())
        result.Action = TStartArguments::TAction::Error;
    return result;
}

std::string StartUsageText() {
    return "Usage: velmora [OPTION]... [FILE]...\n"
           "Converts audio and video files to AMR, AAC, MP3, AC3, M4A, OGG or WAV.\n"
           "The FILEs are added to the list once the window is up, as if they\n"
           "had been dropped on it; a folder adds the files inside it. When the\n"
           "program already runs on this desktop, the FILEs go to it instead.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "  --             take every later argument as a file\n"
           "\n"
           "Environment:\n"
           "  VELMORA_QT_DIALOGS=1  use Qt's own open and folder dialogs instead of\n"
           "                        the desktop's\n"
           "\n"
           "Run from a folder you can write to, the program keeps its settings in\n"
           "Config/ and its log.txt there; installed, or from a read-only folder, in\n"
           "$XDG_CONFIG_HOME/velmora/Config/ and $XDG_STATE_HOME/velmora/ (by default\n"
           "~/.config and ~/.local/state).\n";
}

std::string StartVersionText() {
    return std::string("velmora ") + VELMORA_VERSION + "\n";
}
