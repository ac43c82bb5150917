// The INI store tests' temporary file and its helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "config/IniFiles32.h"
#include "fakes/Fakes.h"

namespace inistore {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteAll(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary) << data;
}

class IniTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir.Path() / "Settings.ini";
    std::string name = file.string();
    std::string Disk() const { return ReadAll(file); }
};

inline std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EIniFileError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace inistore
