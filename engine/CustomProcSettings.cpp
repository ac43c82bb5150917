// User settings: the open dialog's folder, the output folder and the two
// end-of-job check boxes.
#include "config/IniFiles32.h"
#include "config/UserProfiles.h"
#include "config/UserSettings.h"
#include "engine/CustomProc.h"

namespace {

std::string HomeOf(const TCustomProc& proc) {
    return proc.DefaultHome ? proc.DefaultHome() : HomeFolderFromEnvironment();
}

} // namespace

std::string TCustomProc::UserSettingsFile() const {
    return Lib.AppFunc().ConfigFolder() + UserSettingsFileName;
}

std::string TCustomProc::LoadInitDir() {
    const std::string home = HomeOf(*this);
    try {
        return TUserSettingsFile(UserSettingsFile()).ReadInitDir(home);
    } catch (const EIniFileError& e) {
        // An unreadable file must not keep the user from opening files.
        Lib.AppFunc().WriteLog(std::string("Load settings error. ") + e.what());
        return home;
    }
}

void TCustomProc::SaveInitDir(const std::string& folder) {
    const std::string cut = FileFunc.GetFileFolder(folder);
    if (cut.empty())
        return;
    try {
        Lib.Platform().CreateFolders(Lib.AppFunc().ConfigFolder());
        TUserSettingsFile(UserSettingsFile()).WriteInitDir(cut);
    } catch (const EIniFileError& e) {
        // Losing the dialog's start folder is not worth interrupting the user.
        Lib.AppFunc().WriteLog(std::string("Save settings error. ") + e.what());
    }
}

void TCustomProc::LoadUserSettings() {
    std::string fallback = MainForm.edtOutputFolder.Text;
    if (fallback.empty())
        fallback = DefaultOutputFolder(HomeOf(*this));
    TUserSettings settings;
    try {
        settings = TUserSettingsFile(UserSettingsFile()).Read(fallback);
    } catch (const EIniFileError& e) {
        Lib.AppFunc().WriteLog(std::string("Load settings error. ") + e.what());
        settings.OutputFolder = fallback;
    }
    MainForm.chkShowOutputDirectory.SetChecked(settings.ShowOutputDirectory);
    MainForm.chkShutdown.SetChecked(settings.Shutdown);
    MainForm.edtOutputFolder.SetText(settings.OutputFolder);
}

void TCustomProc::SaveUserSettings() {
    TUserSettings settings;
    settings.ShowOutputDirectory = MainForm.chkShowOutputDirectory.Checked;
    settings.Shutdown = MainForm.chkShutdown.Checked;
    settings.OutputFolder = MainForm.edtOutputFolder.Text;
    try {
        Lib.Platform().CreateFolders(Lib.AppFunc().ConfigFolder());
        TUserSettingsFile(UserSettingsFile()).Write(settings);
    } catch (const EIniFileError& e) {
        // Runs while the program closes: tell the user, then let it end.
        Lib.AppFunc().WriteLog(std::string("Save settings error. ") + e.what());
        Lib.ShowMsg(e.what(), mkError);
    }
}
