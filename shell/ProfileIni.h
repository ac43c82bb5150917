// Writes one key of an INI file that another program owns (the updater's
// UpDateSettings.ini), with the rules of the system's profile functions:
// section and key names compared without regard to case, an existing key
// changed in place, a missing key added to its section, a missing section
// added to the file. Every other line stays byte for byte as it was.
#pragma once

#include <string>
#include <vector>

// Applies the change to the file's text and returns the new text.
std::string SetProfileString(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& value);

// Rewrites the file with the key set. The file must exist and be writable; it
// is replaced atomically. On failure returns false and sets `error`.
bool WriteProfileString(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& value, std::string* error);

// Reads a key by the same rules; `defaultValue` when the file, section or key is
// missing.
std::string ReadProfileString(const std::string& fileName, const std::string& section,
                              const std::string& key, const std::string& defaultValue);
