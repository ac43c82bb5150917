#include "config/UserSettings.h"

#include "config/IniFiles32.h"
#include "support/CommonLib.h"
#include "support/platform/SystemIO.h"

std::string HomeFolderFromEnvironment() {
    return WithTrailingDelim(HomeFolder());
}

std::string DefaultOutputFolder(const std::string& homeFolder) {
    return WithTrailingDelim(homeFolder) + DefaultOutputFolderName;
}

bool SettingChecked(const std::string& value) {
    return value == "1";
}

std::string TUserSettingsFile::ReadInitDir(const std::string& defaultFolder) const {
    TIniFile32 ini(fileName_);
    return ini.ReadString(UserSettingsSection, InitDirKey, defaultFolder);
}

void TUserSettingsFile::WriteInitDir(const std::string& folder) {
    TIniFile32 ini(fileName_);
    ini.WriteString(UserSettingsSection, InitDirKey, folder);
}

TUserSettings TUserSettingsFile::Read(const std::string& defaultOutputFolder) const {
    TIniFile32 ini(fileName_);
    TUserSettings settings;
    settings.ShowOutputDirectory =
        SettingChecked(ini.ReadString(UserSettingsSection, ShowOutputDirKey, "0"));
    settings.Shutdown = SettingChecked(ini.ReadString(UserSettingsSection, ShutdownKey, "0"));
    settings.OutputFolder = ini.ReadString(UserSettingsSection, OutDirKey, defaultOutputFolder);
    return settings;
}

void TUserSettingsFile::Write(const TUserSettings& settings) {
    TIniFile32 ini(fileName_);
    ini.WriteString(UserSettingsSection, ShowOutputDirKey,
                    settings.ShowOutputDirectory ? "1" : "0");
    ini.WriteString(UserSettingsSection, ShutdownKey, settings.Shutdown ? "1" : "0");
    ini.WriteString(UserSettingsSection, OutDirKey, settings.OutputFolder);
}
