// Where the program keeps what it writes. A portable folder (the build's bin/
// or an unpacked copy) holds everything; an installed program writes settings
// and the log under the user's XDG folders, on Windows under the user's
// application data folders.
#pragma once

#include <string>
#include <vector>

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
    // Windows' known folders, empty elsewhere: where installed programs live,
    // and the user's roaming and local application data.
    std::vector<std::string> ProgramFiles;
    std::string AppData;
    std::string LocalAppData;
};

// Config/ and the log inside a program folder.
TDataFolders PortableDataFolders(const std::string& programFolder);

// Installed: by its layout, or (Windows) lying in a folder for installed
// programs, which is the system's and not the user's to write, even where the
// process happens to have the right (an administrator, wine).
bool IsInstalledProgram(const TDataFolderFacts& facts);

// The one rule: a writable portable program folder keeps everything; an
// installed or read-only one writes to %APPDATA%\Velmora\Config\ and
// %LOCALAPPDATA%\Velmora\ on Windows, elsewhere to
// $XDG_CONFIG_HOME/velmora/Config/ and $XDG_STATE_HOME/velmora/ (defaults
// ~/.config and ~/.local/state).
TDataFolders DecideDataFolders(const TDataFolderFacts& facts);

// The facts for a program folder, read from this process's environment.
TDataFolderFacts GatherDataFolderFacts(const std::string& programFolder, bool installed);
