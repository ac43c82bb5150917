// The conversion procedures object: option tables and presets, user settings,
// user profiles, the encoder command line and the conversion job with its state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/OptionForm.h"
#include "config/UserSettings.h"
#include "engine/AdvanceSystem.h"
#include "engine/JobControls.h"
#include "engine/OptionTables.h"
#include "media/InitDirStore.h"
#include "support/CommonLib.h"

class TfrmOption;
class TfrmConverting;
class TSourceFileGrid;

// The encoder's command line as arguments and as the one logged text; the
// text splits back into exactly these arguments.
struct TEncoderCommand {
    std::vector<std::string> Arguments;
    std::string Text;
};
// Builds the command from the pieces of `p` and the output file; pure.
TEncoderCommand BuildEncoderCommand(const TConvertParameterStruct& p,
                                    const std::string& outputFile);

class TCustomProc : public IOptionFormHost, public IInitDirStore {
public:
    TCustomProc(TCommonLib& commonLib, TFileFunc& fileFunc, TSysFunc& sysFunc,
                TJobControls controls)
        : Lib(commonLib), FileFunc(fileFunc), SysFunc(sysFunc), MainForm(controls) {}

    TCommonLib& Lib;
    TFileFunc& FileFunc;
    TSysFunc& SysFunc;
    // The main window's controls that the job and the command line use.
    TJobControls MainForm;
    // Set by start-up once the windows exist (not owned).
    TfrmOption* OptionForm = nullptr;
    TfrmConverting* ConvertingForm = nullptr;

    // ---- Option tables and presets ----
    // Fills the output type, profile and option lists with their defaults.
    void FillOptionLists();
    // Applies the selected preset or user profile to the option selections.
    void ApplyProfile();
    // Appends the constant list's items and selects the default index that
    // its last entry gives.
    void FillList(SelectionList& list, TConstantList constants) const;
    // Appends the five presets and the saved user profile names, then selects
    // the default preset without applying it.
    void FillProfileList(SelectionList& list);
    // Applies the user profile selected in the options dialog's profile box.
    // Throws EConvertError at a field that is no integer (earlier fields stay).
    void ApplyUserProfile() override;
    // The stored string of the profile selected in the profile box, or empty.
    std::string ReadUserProfile();
    // Makes this object the options dialog's host (also done on first use).
    void AttachOptionForm(TfrmOption& form);
    // The options dialog; throws std::logic_error when none is attached.
    TfrmOption& Options();

    // Options dialog host.
    std::vector<std::string> UserProfileNames() override;
    int MainProfileIndex() const override;
    void RefillMainProfileList() override;

    // ---- User settings ----
    // Folder the open dialog starts in.
    std::string LoadInitDir() override;
    // Stores the folder of `folder` (a chosen file's path, or a folder ending
    // in a separator); an empty text stores nothing.
    void SaveInitDir(const std::string& folder) override;
    void LoadUserSettings();
    // Errors are logged and shown; they never escape.
    void SaveUserSettings();
    // Home folder with a trailing separator; tests replace it.
    std::function<std::string()> DefaultHome = HomeFolderFromEnvironment;
    // Program folder + "Config/UserSettings.ini".
    std::string UserSettingsFile() const;

    // User profiles (the options dialog's commands). Store errors are logged
    // and shown in an error box.
    // Advances the name counter, asks for a name and saves the six lists
    // under it; returns the name written, empty on cancel or refusal.
    std::string AddUserProfile() override;
    // Saves the six lists under the profile box's text; returns the name
    // written, empty when nothing was written.
    std::string SaveUserProfile() override;
    // Removes the profile named by the profile box's text.
    void DeleteUserProfile() override;

    // ---- Command line ----
    // Builds the encoder command line for the row with this path.
    std::string CreateConvertParameter(const std::string& sourcePath);
    std::string CurStartTime;
    std::string CurCutSeconds;
    // Start time text of the last row with this exact path (letter case is
    // ignored only on Windows, where such names are one file);
    // re-applies the selected user profile once per matching row; a damaged
    // profile is logged and shown in an error box.
    std::string GetStartTime(const std::string& sourcePath);
    // Whether a damaged user profile was already shown during this job.
    bool ProfileErrorShown = false;
    // Re-applies the selected user profile once per row; a damaged profile is
    // logged and shown once per job, and the batch goes on.
    void ApplyProfileForRows(int matchingRows);
    // End minus start of the matching rows in whole seconds, empty without a match.
    std::string GetCutSeconds(const std::string& sourcePath);
    // The length given to the encoder: as GetCutSeconds, but an end at the
    // row's Duration reaches past the file's real end.
    std::string GetEncodeSeconds(const std::string& sourcePath);
    // The output folder field's text with a trailing separator; creates the
    // folder and logs the outcome.
    std::string GetOutputDir();

    // ---- Conversion job ----
    // Converts every checked row of the list, one after another.
    void ConvertFiles(TSourceFileGrid& list);
    // One checked row: its command line, the pauses, the encoder and the wait
    // until no encoder is left.
    void ConvertRow(TfrmConverting& form, const std::string& source);
    // The end-of-job actions, then the windows back and the failure box.
    // False when the program ends instead (power-off).
    bool EndJob(TfrmConverting& form, std::unique_ptr<ISleepInhibitor> inhibitor);
    int DoneCount = 0;
    int TotalCount = 0;
    int RefreshCount = 0;
    int CurRow = 0;
    std::string CurCmdLine;
    bool StopRequested = false;
    // Set by every stop of the running job (the Stop button, the dialog's
    // close): the job converts nothing more, whatever rows come after.
    bool JobStopped = false;
    // The runner of the file being converted; empty between files.
    std::unique_ptr<TAdvanceSystem> Runner;
    // The list the running job walks; nullptr while no job runs.
    TSourceFileGrid* JobList = nullptr;
    // True while ConvertFiles runs; a second call meanwhile returns at once.
    bool JobRunning = false;
    // Ends the program at once after the power-off request (the settings are
    // not saved on that path). Empty means std::_Exit(0); tests replace it.
    std::function<void()> ExitProcess;
    // Source paths of the latest job whose encoder could not start, exited
    // with an error or was killed (the reasons go to the log).
    std::vector<std::string> FailedFiles;
    // The taskbar entry and end-of-job notice; set by the view (not owned).
    IJobDesktop* Desktop = nullptr;
    // The notice of a job that ran to its end: converted and failed counts.
    static std::string JobEndNoticeTitle();
    static std::string JobEndNoticeText(int converted, int failed);
    // The program closes during a job: the current encoder is ended (its
    // partial output removed) before the process goes.
    void EndJobForClose();
};
