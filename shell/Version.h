// The executable's version information. The version is compiled into the
// program as a tagged block, so it can be read back from the file on disk the
// way a version resource is.
#pragma once

#include <string>

// "1.3" from "1.3.0.0": the first two parts joined by a dot. A text with one
// part gives that part, an empty text gives an empty text.
std::string VersionTextFromFileVersion(const std::string& fileVersion);

// The FileVersion text of the block in `file`; empty when the file cannot be
// read or holds no block.
std::string ReadFileVersion(const std::string& file);

// Major and minor version of `file` joined by a dot, or an empty text.
std::string GetFileVersionText(const std::string& file);

// The version this program was built with ("1.3.0.0").
const char* BuiltFileVersion();
