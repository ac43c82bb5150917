// The support services every core test wires alike: a fresh program folder
// with scripted dialogs, and the library, file and system services over the
// test's own platform and event pump.
#pragma once

#include <string>
#include <vector>

#include "fakes/Fakes.h"
#include "support/CommonLib.h"

struct TCoreRig {
    TCoreRig(IPlatform& platform, IEventPump& pump, std::string appTitle = "Velmora");

    TempDir Dir;
    ScriptedDialogs Dialogs;
    TAppFunc AppFunc;
    TCommonLib Lib;
    TFileFunc FileFunc;
    TSysFunc SysFunc;

    // The program folder, with a trailing separator.
    std::string Folder() const { return Dir.Folder(); }
    std::string LogText() const;
    // The messages of log.txt in order (each line's text after its first "|").
    std::vector<std::string> LogMessages() const;
};
