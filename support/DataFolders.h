// Where the program keeps what it writes. A portable folder (the build's bin/
// or an unpacked copy) holds everything; an installed program writes settings
// and the log under the user's XDG folders.
#pragma once

#include <string>

// Folders the program writes to, each with a trailing separator.
struct TDataFolders {
    std::string Config; // the INI files
    std::string Log;    // log.txt
};

// What the choice of the data folders depends on.
struct TDataFolderFacts {
    std::string ProgramFolder; // with a trailing separator
    bool ProgramFolderWritable = false;
    bool Installed = false;
    std::string XdgConfigHome;
    std::string XdgStateHome;
    std::string Home;
};

// Config/ and the log inside a program folder.
TDataFolders PortableDataFolders(const std::string& programFolder);

// The one rule: a writable portable program folder keeps everything; an
// installed or read-only one writes to $XDG_CONFIG_HOME/velmora/Config/ and
// $XDG_STATE_HOME/velmora/ (defaults ~/.config and ~/.local/state).
TDataFolders DecideDataFolders(const TDataFolderFacts& facts);

// The facts for a program folder, read from this process's environment.
TDataFolderFacts GatherDataFolderFacts(const std::string& programFolder, bool installed);
