// The program's own command line: files to add after start-up, --help and
// --version. Options of the toolkit are taken out before the files are read.
#pragma once

#include <string>
#include <vector>

struct TStartArguments {
    enum class TAction { Run, Help, Version, Error };
    TAction Action = TAction::Run;
    // Full paths, as the file system's bytes, in the order given.
    std::vector<std::string> Files;
    std::string Error;
};

// `args` without the program name; relative paths are taken from
// `currentFolder`.
TStartArguments ParseStartArguments(const std::vector<std::string>& args,
                                    const std::string& currentFolder);

std::string StartUsageText();
std::string StartVersionText();
