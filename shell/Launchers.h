// The five commands that hand the user over to something outside the
// converter: home page, e-mail, help, About box and the updater. None of them
// changes the converter's state.
#pragma once

#include <string>

#include "shell/SoftInfo.h"
#include "support/CommonLib.h"

class TLaunchers {
public:
    TLaunchers(TCommonLib& lib, const TRecSoftInfo& softInfo) : lib_(lib), info_(softInfo) {}

    // The window the About box is shown over (a QWidget* of the view; may stay
    // null).
    void* AboutOwner = nullptr;

    void ActSysHomePageExecute();
    void ActSysEmailExecute();
    void ActSysHelpExecute();
    // Loads Form.so for the time of the call; does nothing when it or its
    // ShowAboutForm is missing.
    void ActSysAboutExecute();
    // Sets the updater's two keys when its settings file exists, then starts
    // the updater; a missing updater fails silently.
    void actUpdateExecute();
    // tmrAutoUpdate is reserved for automatic updates; its tick does nothing.
    void tmrAutoUpdateTimer() {}

    std::string HelpPath() const { return info_.ProgramFolder + HelpFileName; }
    std::string UpdaterSettingsPath() const { return info_.ProgramFolder + UpdaterSettingsName; }

private:
    TCommonLib& lib_;
    const TRecSoftInfo& info_;
};
