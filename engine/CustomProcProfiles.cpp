// The options dialog's profile commands: add, save and delete user profiles.
#include "config/IniFiles32.h"
#include "config/UserProfiles.h"
#include "engine/CustomProc.h"

namespace {

inline constexpr const char* InvalidProfileNameMsg = "无效的配置文件名称.";

// Creates the Config folder before a first write; the store does not.
void PrepareConfigFolder(TCommonLib& lib) {
    lib.Platform().CreateFolders(lib.AppFunc().ConfigFolder());
}

// Writes the profile under `typedName`, or under the listed name that differs
// only in letter case, so the listed profile really changes. Returns the name
// written.
std::string WriteProfile(TCommonLib& lib, const std::string& typedName,
                         const std::string& profile) {
    TUserProfileFiles files(lib.AppFunc().ConfigFolder());
    std::string name = files.FindName(typedName);
    if (name.empty())
        name = typedName;
    PrepareConfigFolder(lib);
    files.Write(name, profile);
    return name;
}

void ReportStoreError(TCommonLib& lib, const std::exception& e) {
    lib.AppFunc().WriteLog(std::string("User profile error. ") + e.what());
    lib.ShowMsg(e.what(), mkError);
}

} // namespace

std::string TCustomProc::AddUserProfile() {
    TfrmOption& o = Options();
    try {
        TUserProfileFiles files(Lib.AppFunc().ConfigFolder());
        PrepareConfigFolder(Lib);
        // The counter moves on before the user is asked, also when cancelled.
        const std::int32_t count = files.AdvanceCounter();
        std::string name = UserProfileNamePrefix + std::to_string(count);
        if (!Lib.Dialogs().Prompt(Lib.AppTitle, "Plese input a name", name))
            return std::string();
        const std::string cleaned = CleanProfileName(name);
        if (cleaned.empty()) {
            Lib.ShowMsg(InvalidProfileNameMsg, mkWarning);
            return std::string();
        }
        return WriteProfile(Lib, cleaned, MakeProfileString(o.ProfilePositions()));
    } catch (const EIniFileError& e) {
        ReportStoreError(Lib, e);
        return std::string();
    }
}

std::string TCustomProc::SaveUserProfile() {
    TfrmOption& o = Options();
    const std::string typed = o.cbbCustomProfile.EditText();
    if (typed.empty())
        return std::string();
    const std::string cleaned = CleanProfileName(typed);
    if (cleaned.empty()) {
        Lib.ShowMsg(InvalidProfileNameMsg, mkWarning);
        return std::string();
    }
    try {
        return WriteProfile(Lib, cleaned, MakeProfileString(o.ProfilePositions()));
    } catch (const EIniFileError& e) {
        ReportStoreError(Lib, e);
        return std::string();
    }
}

void TCustomProc::DeleteUserProfile() {
    TfrmOption& o = Options();
    if (o.cbbCustomProfile.Count() == 0)
        return;
    // The same cleaning as when saving, so " A " removes the profile "A".
    const std::string name = CleanProfileName(o.cbbCustomProfile.EditText());
    if (name.empty())
        return;
    try {
        TUserProfileFiles files(Lib.AppFunc().ConfigFolder());
        files.Erase(name);
    } catch (const EIniFileError& e) {
        ReportStoreError(Lib, e);
    }
}
