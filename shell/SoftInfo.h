// Product information, filled once at start-up from Res.so and the
// executable's version, read-only afterwards.
#pragma once

#include <string>

struct TRecSoftInfo {
    std::string MakerName;
    std::string ProductName;
    std::string ResText2;
    std::string Version;
    std::string HomePage;
    std::string Email;
    std::string ResText7;
    std::string ProgramFolder;
};

// The library and program file names of this platform.
#ifdef _WIN32
inline constexpr const char* ResLibraryName = "Res.dll";
inline constexpr const char* FormLibraryName = "Form.dll";
inline constexpr const char* ProgramExeName = "velmora.exe";
#else
inline constexpr const char* ResLibraryName = "Res.so";
inline constexpr const char* FormLibraryName = "Form.so";
inline constexpr const char* ProgramExeName = "velmora";
#endif
inline constexpr const char* HelpFileName = "Help.html";
inline constexpr const char* UpdaterName = "AutoUpDate";
inline constexpr const char* UpdaterSettingsName = "UpDateSettings.ini";
