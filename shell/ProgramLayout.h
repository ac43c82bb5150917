// Where the files the program runs with are: a portable folder (the build's
// bin/ or an unpacked copy) holds the executables and the libraries side by
// side; an installation keeps the executables in bin/ and the rest in the
// program folder under lib/.
#pragma once

#include <string>

#include "support/platform/Platform.h"

// The installed program folder relative to the folder of the executables.
#ifndef VELMORA_INSTALLED_PROGRAM_FOLDER
#define VELMORA_INSTALLED_PROGRAM_FOLDER "../lib/velmora"
#endif

struct TProgramLayout {
    std::string ExecutableFolder; // velmora and evc, with a trailing separator
    std::string ProgramFolder;    // Res.so, Form.so, Help.html, likewise
    bool Installed = false;
};

// An executable folder without Res.so but with an installed program folder
// beside it is an installation; anything else is portable, so that a folder
// missing its libraries still reports them as missing.
TProgramLayout FindProgramLayout(const std::string& executableFolder, IPlatform& platform);
