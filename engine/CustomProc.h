// The conversion procedures object: option tables and presets, user settings,
// user profiles, the encoder command line and the conversion job with its state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/CommonLib.h"

class TFrmMainForm;
class TfrmOption;
class TfrmConverting;
class TSourceFileGrid;

class TCustomProc {
public:
    TCustomProc(TCommonLib& commonLib, TFileFunc& fileFunc, TSysFunc& sysFunc,
                TFrmMainForm& mainForm)
        : Lib(commonLib), FileFunc(fileFunc), SysFunc(sysFunc), MainForm(mainForm) {}

    TCommonLib& Lib;
    TFileFunc& FileFunc;
    TSysFunc& SysFunc;
    TFrmMainForm& MainForm;
    // Set by start-up once the windows exist (not owned).
    TfrmOption* OptionForm = nullptr;
    TfrmConverting* ConvertingForm = nullptr;

    // ---- Option tables and presets ----
    // Fills the output type, profile and option lists with their defaults.
    void FillOptionLists();
    // Applies the selected preset or user profile to the option selections.
    void ApplyProfile();

    // ---- User settings ----
    // Folder the open dialog starts in.
    std::string LoadInitDir();
    void SaveInitDir(const std::string& folder);
    void LoadUserSettings();
    void SaveUserSettings();

    // ---- Command line ----
    // Builds the encoder command line for the row with this path.
    std::string CreateConvertParameter(const std::string& sourcePath);
    std::string CurStartTime;
    std::string CurCutSeconds;

    // ---- Conversion job ----
    // Converts every checked row of the list, one after another.
    void ConvertFiles(TSourceFileGrid& list);
    int DoneCount = 0;
    int TotalCount = 0;
    int RefreshCount = 0;
    int CurRow = 0;
    std::string CurCmdLine;
    bool StopRequested = false;
};
