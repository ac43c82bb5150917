// Whether two path texts name the same file, as the file system compares them.
#pragma once

#include <string>

#include "support/Text.h"

// Whether two path texts name one file: exactly where the file system tells
// letter case apart; Windows folds ASCII case, so there the two are one file.
inline bool SamePathText(const std::string& a, const std::string& b) {
#ifdef _WIN32
    return SameTextAscii(a, b);
#else
    return a == b;
#endif
}
