// The few operating-system calls evc needs beyond standard C++. Paths are UTF-8 everywhere;
// System.cpp holds the POSIX side, System_win32.cpp the Windows one (UTF-16 at every call).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace evc {

// The program's arguments as UTF-8, without the program name (Windows: from the UTF-16 command
// line, so any file name arrives whole).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard output and error carry bytes as written: the status lines end in "\n" on every system.
void UseBinaryStandardStreams() noexcept;

// POSIX: calls handler on SIGTERM and SIGINT without restarting the call they interrupt, so a
// blocking open, read or write returns and the stop is seen, and ignores SIGPIPE and SIGXFSZ: a
// reader that went away or a file size limit becomes an error with the temporary file removed.
// Windows: Ctrl+C and Ctrl+Break call it with SIGINT, closing the console with SIGTERM.
void InstallStopHandlers(void (*handler)(int));

// A path object for a UTF-8 path, and back (std::string is the ANSI code page on Windows).
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// Creates an empty file that must not exist yet. Returns 0, EEXIST when the name is taken, or
// another errno value with the system's text in reason.
int CreateNewFile(const std::string& path, std::string& reason);

// Writes the file's data through to the disk; empty on success, else the system's error text.
std::string SyncFile(const std::string& path);

// Moves a file to its final name, replacing a file there; empty on success, else the error text.
std::string MoveIntoPlace(const std::string& from, const std::string& to);

// Makes the folder's entries (a rename into it) durable; best effort.
void SyncFolder(const std::string& path) noexcept;

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b) noexcept;

// Longest file name the folder's file system takes (bytes on POSIX, UTF-16 units on Windows);
// 255 when it cannot tell.
std::size_t NameMaxOf(const std::string& folder) noexcept;

} // namespace evc
