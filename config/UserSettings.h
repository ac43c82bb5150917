// Config/UserSettings.ini: the open dialog's folder, the output folder and the
// two end-of-job check boxes, section "USRInfo".
#pragma once

#include <string>

inline constexpr const char* UserSettingsFileName = "UserSettings.ini";
inline constexpr const char* UserSettingsSection = "USRInfo";
inline constexpr const char* InitDirKey = "InitDir";
inline constexpr const char* OutDirKey = "OutDir";
inline constexpr const char* ShowOutputDirKey = "SHWDDir";
inline constexpr const char* ShutdownKey = "SHUTDOWN";
// Name of the default output folder inside the home folder.
inline constexpr const char* DefaultOutputFolderName = "3GPMP4文件输出";

// The home folder with a trailing separator; "/" when there is none.
std::string HomeFolderFromEnvironment();
// The output folder field's initial text for a home folder ("<home>3GPMP4文件输出").
std::string DefaultOutputFolder(const std::string& homeFolder);

struct TUserSettings {
    bool ShowOutputDirectory = false;
    bool Shutdown = false;
    std::string OutputFolder;
};

// Only exactly "1" checks a box.
bool SettingChecked(const std::string& value);

// Each call opens the store afresh; errors of the store (EIniFileError) reach
// the caller.
class TUserSettingsFile {
public:
    explicit TUserSettingsFile(std::string fileName) : fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

    std::string ReadInitDir(const std::string& defaultFolder) const;
    void WriteInitDir(const std::string& folder);
    // The output folder falls back to `defaultOutputFolder` when missing or empty.
    TUserSettings Read(const std::string& defaultOutputFolder) const;
    // Writes SHWDDir, SHUTDOWN and OutDir, in this order.
    void Write(const TUserSettings& settings);

private:
    std::string fileName_;
};
