// Small file and clock services used by the log writer and the INI store,
// which have no IPlatform at hand. POSIX versions in PosixSystemIO.cpp, Windows
// ones in Win32SystemIO.cpp (paths are UTF-8 on both).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The characters that end a folder name in a path.
#ifdef _WIN32
inline constexpr char PathSeparators[] = "\\/";
#else
inline constexpr char PathSeparators[] = "/";
#endif

enum class ReadFileResult { Ok, Missing, Failed };

// Reads the whole file into `data`. Missing when the path does not exist;
// Failed (with the system's error text in `error`) when it exists but cannot
// be read: no permission, a folder, a pipe or device that could block.
ReadFileResult ReadWholeFile(const std::string& path, std::string& data, std::string& error);

// Replaces the file's content with `data` so that readers see either the old
// or the new file, never a torn one: temporary file in the same folder, fsync,
// rename. The target's permissions are kept. A file without any write
// permission bit counts as read-only and is not replaced. On failure the old
// file is untouched, no temporary file is left and `error` holds the text.
// When no temporary file may be created beside a file that may be written,
// the file is rewritten in place instead (not atomic).
bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error);

// Appends `data` with one write on a file opened for appending (created when
// missing). False on any failure; never throws.
bool AppendToFile(const std::string& path, const std::string& data) noexcept;

// Creates the last folder of `path` when its parent exists; true when the
// folder exists afterwards.
bool EnsureFolder(const std::string& path, std::string& error);

// Every entry name of the folder, folders only `withFolders`; empty when the
// folder is empty text or cannot be read.
std::vector<std::string> FolderEntryNames(const std::string& folder, bool withFolders);

// One entry of a folder as a folder listing walks it.
struct FolderEntry {
    std::string Name;
    bool IsFolder = false; // also a link to a folder
    bool IsFile = false;   // a regular file or a link to one, never a pipe or device
    bool Hidden = false;   // a dot name; on Windows also the hidden attribute
};

// The entries of `folder`, in the system's order; false (with the system's
// text in `error`) when the folder cannot be read.
bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries,
                       std::string& error);

// The same text for every path that leads to the folder (through links,
// junctions or mounts); empty when it cannot be found.
std::string FolderIdentity(const std::string& folder);

// True when `path` is a folder or a link to one.
bool IsFolderPath(const std::string& path);

// Current local date and time as "YYYY-MM-DD" and "HH:MM:SS".
void LocalDateTimeText(std::string& date, std::string& time);

// True when a new file can be created in `folder` right now: one is made and
// removed again, so read-only mounts and missing rights both count.
bool FolderTakesNewFiles(const std::string& folder) noexcept;

// The value of an environment variable; empty when it is not set.
std::string EnvironmentText(const char* name);

// The user's home folder: $HOME, else the password database's entry.
std::string HomeFolder();

// Windows' known folders for installed programs (Program Files, its x86
// sibling, the user's own Programs) and the user's roaming and local
// application data, in their long form; all empty elsewhere.
struct TKnownFolders {
    std::vector<std::string> ProgramFiles;
    std::string AppData;
    std::string LocalAppData;
};
TKnownFolders KnownFolders();

// Windows: the path with every 8.3 short name spelt out (the path itself when
// it does not exist); elsewhere the path itself.
std::string LongPathText(const std::string& path);

// Creates `path` with any missing parents; true when it exists afterwards.
bool EnsureFolderTree(const std::string& path) noexcept;

// A folder only this user may enter, for the program's local socket, with a
// trailing separator: $XDG_RUNTIME_DIR/velmora, or /tmp/velmora-UID without a
// runtime folder; made with mode 0700 when missing. Empty, with the reason in
// `error`, when it is not a real folder of this user closed to everyone else.
// Windows: empty without an error (named pipes need no folder).
std::string PrivateRuntimeFolder(std::string& error);

// Windows: the user's SID and the id of the session the process runs in;
// elsewhere empty.
std::string SessionIdentity();

// A file name of the program as a path for std::filesystem and the file
// streams, and back. std::filesystem reads a narrow name in the ANSI code page
// on Windows, never as UTF-8; elsewhere the bytes pass unchanged.
std::filesystem::path FilePath(const std::string& name);
std::string PathText(const std::filesystem::path& path);
