// The few operating-system calls evc needs beyond standard C++.
#pragma once

#include <cstddef>
#include <string>

namespace evc {

// Calls handler on SIGTERM and SIGINT without restarting the call they interrupt, so a blocking
// open, read or write returns and the stop is seen. Ignores SIGPIPE and SIGXFSZ: a reader that
// went away or a file size limit becomes an error with the temporary file removed.
void InstallStopHandlers(void (*handler)(int));

// Writes the file's data through to the disk; empty on success, else the system's error text.
std::string SyncFile(const std::string& path);

// Makes the folder's entries (a rename into it) durable; best effort.
void SyncFolder(const std::string& path) noexcept;

// Longest file name the folder's file system takes; 255 when it cannot tell.
std::size_t NameMaxOf(const std::string& folder) noexcept;

} // namespace evc
