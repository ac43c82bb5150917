#include "shell/MainForm.h"

#include <exception>

#include "engine/CustomProc.h"
#include "media/MediaGraph.h"
#include "shell/Launchers.h"
#include "support/CommonLib.h"

void TFrmMainForm::WireCommands() {
    btnOpenFile.OnClick = [this] { btnOpenFileClick(); };
    btnRemoveFile.OnClick = [this] { btnRemoveFileClick(); };
    btnClearFile.OnClick = [this] { btnClearFileClick(); };
    btnConvert.OnClick = [this] { btnConvertClick(); };
    btnOptions.OnClick = [this] { btnOptionsClick(); };
    RzBmpButton1.OnClick = [this] { btnSelectOutputFolderClick(); };
    btnSelectOutputFolder.OnClick = [this] { btnSelectOutputFolderClick(); };
    btnHelp.OnClick = [this] { btnHelpClick(); };
    btnHomePage.OnClick = [this] { btnHomePageClick(); };
    btnEMail.OnClick = [this] { btnEMailClick(); };
    btnAbout.OnClick = [this] { btnAboutClick(); };
    btnUpdate.OnClick = [this] { btnUpdateClick(); };
    btnWindowMinimize.OnClick = [this] { actMinimizeExecute(); };
    btnWindowClose.OnClick = [this] { btnWindowCloseClick(); };
    cbbOutputFiletype.OnChange = [this] { cbbOutputFiletypeChange(); };
    cbbProfile.OnChange = [this] { cbbProfileChange(); };
    tmrClearMemory.OnTimer = [this] { tmrClearMemoryTimer(); };
    tmrAutoUpdate.OnTimer = [this] { tmrAutoUpdateTimer(); };
}

void TFrmMainForm::btnOpenFileClick() {
    if (OpenCommand)
        OpenCommand();
}

void TFrmMainForm::btnRemoveFileClick() {
    if (RemoveCommand)
        RemoveCommand();
}

void TFrmMainForm::btnClearFileClick() {
    if (ClearCommand)
        ClearCommand();
}

void TFrmMainForm::btnConvertClick() {
    if (!CustomProc)
        return;
    CustomProc->DoneCount = 0;
    CustomProc->ConvertFiles(dxTreeSourceFileInfo);
}

void TFrmMainForm::btnOptionsClick() {
    if (ShowOptionsCommand)
        ShowOptionsCommand();
}

void TFrmMainForm::cbbOutputFiletypeChange() {
    if (CustomProc)
        CustomProc->ApplyProfile();
}

void TFrmMainForm::cbbProfileChange() {
    if (CustomProc)
        CustomProc->ApplyProfile();
}

void TFrmMainForm::btnSelectOutputFolderClick() {
    if (!Lib)
        return;
    edtOutputFolder.SetText(Lib->SelectOutputFolder(edtOutputFolder.Text));
}

void TFrmMainForm::btnHelpClick() {
    if (Launchers)
        Launchers->ActSysHelpExecute();
}

void TFrmMainForm::btnHomePageClick() {
    if (Launchers)
        Launchers->ActSysHomePageExecute();
}

void TFrmMainForm::btnEMailClick() {
    if (Launchers)
        Launchers->ActSysEmailExecute();
}

void TFrmMainForm::btnAboutClick() {
    if (Launchers)
        Launchers->ActSysAboutExecute();
}

void TFrmMainForm::btnUpdateClick() {
    if (Launchers)
        Launchers->actUpdateExecute();
}

void TFrmMainForm::actMinimizeExecute() {
    if (OnMinimizeRequested)
        OnMinimizeRequested();
}

void TFrmMainForm::btnWindowCloseClick() {
    if (OnCloseRequested)
        OnCloseRequested();
    else
        FormClose();
}

void TFrmMainForm::FormClose() {
    // The process ends below; an encoder left running would finish the file
    // on its own.
    if (CustomProc)
        CustomProc->EndJobForClose();
    if (StopPreviewCommand) {
        StopPreviewCommand();
    } else if (PlayerGraph) {
        PlayerGraph->Deactivate();
        PlayerGraph->Clear();
    }
    if (CustomProc) {
        // A settings file that cannot be written must not keep the window
        // from closing; the user is told what was not saved.
        try {
            CustomProc->SaveUserSettings();
        } catch (const std::exception& e) {
            if (Lib) {
                Lib->AppFunc().WriteLog(std::string("Saving the user settings failed: ") +
                                        e.what());
                Lib->ShowMsg(std::string("设置未能保存: ") + e.what(), mkError);
            }
        }
    }
    if (ExitProcess)
        ExitProcess();
}

void TFrmMainForm::FormKeyDown(int key, TShiftState shift) {
    // While a job runs the window is disabled and takes no commands.
    if (!Enabled)
        return;
    const bool ctrlOnly = shift == ssCtrl;
    struct Shortcut {
        int Key;
        TButton* Button;
    };
    // Tested in this order, each on its own.
    const Shortcut letters[] = {
        {'O', &btnOpenFile}, {'R', &btnRemoveFile}, {'L', &btnClearFile}, {'I', &btnOptions},
        {'P', &btnPlay},     {'U', &btnPause},      {'T', &btnStop},      {'S', &btnConvert},
    };
    for (const auto& s : letters)
        if (ctrlOnly && key == s.Key)
            s.Button->Click();
    if (key == VK_F1)
        btnHelp.Click();
    if (ctrlOnly && key == 'N')
        btnConvert.Click();
    if (ctrlOnly && key == 'B')
        btnSelectOutputFolder.Click();
}

void TFrmMainForm::FormResize() {
    MinHeight = 519;
    MinWidth = 686;
    Changed();
}

void TFrmMainForm::tmrClearMemoryTimer() {
    if (Lib)
        Lib->TrimWorkingSet();
}
