#include "shell/Launchers.h"

#include "plugins/PluginApi.h"
#include "shell/ProfileIni.h"

void TLaunchers::ActSysHomePageExecute() {
    lib_.Platform().OpenUrl(info_.HomePage);
}

void TLaunchers::ActSysEmailExecute() {
    lib_.Platform().OpenUrl("mailto:" + info_.Email);
}

void TLaunchers::ActSysHelpExecute() {
    lib_.Platform().OpenUrl(HelpPath());
}

void TLaunchers::ActSysAboutExecute() {
    std::string error;
    auto library = lib_.Platform().LoadLibrary(info_.ProgramFolder + FormLibraryName, &error);
    if (!library)
        return;
    auto show = reinterpret_cast<ShowAboutFormFn>(library->Symbol(SHOW_ABOUT_FORM_SYMBOL));
    if (!show)
        return;
    VelmoraSoftInfo c{info_.MakerName.c_str(), info_.ProductName.c_str(),  info_.ResText2.c_str(),
                      info_.Version.c_str(),   info_.HomePage.c_str(),     info_.Email.c_str(),
                      info_.ResText7.c_str(),  info_.ProgramFolder.c_str()};
    show(AboutOwner, &c);
    // The library is released here, after the modal box has closed.
}

void TLaunchers::actUpdateExecute() {
    IPlatform& platform = lib_.Platform();
    std::string settings = UpdaterSettingsPath();
    if (platform.FileExists(settings)) {
        std::string error;
        if (!WriteProfileString(settings, "AutoUpdate", "UpdateModalUsr", "true", &error) ||
            !WriteProfileString(settings, "AutoUpdate", "UpdateTodayExeced", "false", &error)) {
            lib_.AppFunc().WriteLog(error);
            lib_.ShowMsg(error, mkError);
            return;
        }
    }
    // The program folder first, as the system's search would look there.
    std::string local = info_.ProgramFolder + UpdaterName;
    std::string program = platform.FileExists(local) ? local : std::string(UpdaterName);
    platform.StartDetached({program}, info_.ProgramFolder);
}
