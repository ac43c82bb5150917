// The main window as a model: every control by its name. The Qt view in ui/
// lays these out and forwards user events; the command handlers live here too.
#pragma once

#include <functional>

#include "media/SourceFileGrid.h"
#include "support/Controls.h"

class TCustomProc;
class TCommonLib;
class TLaunchers;
class IMediaGraph;

// Key codes: letters are their upper-case character (Delete is 46, see
// media/SourceFileList.h).
inline constexpr int VK_F1 = 0x70;

class TFrmMainForm : public TFormModel {
public:
    TFrmMainForm() {
        edtOutputFolder.ReadOnly = true;
        lblTitle.Caption = "Application name ";
        tmrClearMemory.Interval = 1000;
        btnSelectOutputFolder.Visible = false;
        btnHelp.Visible = false;
        btnUpdate.Visible = false;
        tmrAutoUpdate.Interval = 10000;
        lblOutputFileTypeName.Caption = "输出文件类型：";
        lblProfileSettings.Caption = "转换效果设置：";
        lblOutputFolderInfo.Caption = "输出目录：";
        chkShutdown.Caption = "Shutdown computer when job is finished.";
        Label1.Caption = "完成转换后自动关机";
        chkShowOutputDirectory.Caption = "Show output directory when done";
        Label2.Caption = "转换完毕后显示目录";
        pnlCurTime.Caption = "00:00:00";
        btnOptions.Hint = "Ctrl + N";
        RzBmpButton1.Hint = "Ctrl + N";
        btnPlay.Hint = "Ctrl + P";
        btnPause.Hint = "Ctrl + U";
        btnStop.Hint = "Ctrl + T";
        btnOpenFile.Hint = "Ctrl + O";
        btnRemoveFile.Hint = "Ctrl + R";
        btnClearFile.Hint = "Ctrl + L";
        btnConvert.Hint = "Ctrl + S";
        btnSelectOutputFolder.Hint = "Ctrl + B";
        btnHelp.Hint = "Help (F1)";
    }

    // Collaborators, wired once by the application object (not owned).
    TCustomProc* CustomProc = nullptr;
    TCommonLib* Lib = nullptr;
    TLaunchers* Launchers = nullptr;
    IMediaGraph* PlayerGraph = nullptr;
    // Commands owned by the source list and the options dialog.
    std::function<void()> OpenCommand;
    std::function<void()> RemoveCommand;
    std::function<void()> ClearCommand;
    std::function<void()> ShowOptionsCommand;
    // Releases whatever the player graph holds (the preview's close).
    std::function<void()> StopPreviewCommand;

    // View hooks.
    std::function<void()> OnMinimizeRequested;
    // Closes the window; the view answers with FormClose.
    std::function<void()> OnCloseRequested;
    // Ends the process at once with exit code 0.
    std::function<void()> ExitProcess;

    // Size limits set by FormResize; 0 until the first resize.
    int MinWidth = 0;
    int MinHeight = 0;

    // Sets every button's OnClick to its command and the timers' handlers.
    void WireCommands();

    // Commands.
    void btnOpenFileClick();
    void btnRemoveFileClick();
    void btnClearFileClick();
    void btnConvertClick();
    void btnOptionsClick();
    // The user chose another output type or profile.
    void cbbOutputFiletypeChange();
    void cbbProfileChange();
    void btnSelectOutputFolderClick();
    void btnHelpClick();
    void btnHomePageClick();
    void btnEMailClick();
    void btnAboutClick();
    void btnUpdateClick();
    void actMinimizeExecute();
    void btnWindowCloseClick();
    // Close handling: stop the preview, save the settings, end at once.
    void FormClose();
    // Sees every key press before the focused control; never consumes it.
    void FormKeyDown(int key, TShiftState shift);
    void FormResize();
    void tmrClearMemoryTimer();
    void tmrAutoUpdateTimer() {}

    // Title bar area.
    TLabel lblTitle;
    TButton btnWindowMinimize;
    TButton btnWindowClose;
    TButton btnHomePage;
    TButton btnEMail;
    TButton btnAbout;

    // Settings area.
    TLabel lblOutputFileTypeName;
    SelectionList cbbOutputFiletype;
    TLabel lblProfileSettings;
    SelectionList cbbProfile;
    TButton btnOptions;
    TLabel lblOutputFolderInfo;
    TEdit edtOutputFolder;
    TButton RzBmpButton1;
    TCheckBox chkShutdown;
    TLabel Label1;
    TCheckBox chkShowOutputDirectory;
    TLabel Label2;

    // Preview area.
    TButton btnPlay;
    TButton btnPause;
    TButton btnStop;
    TLabel pnlCurTime;

    // List area.
    TSourceFileGrid dxTreeSourceFileInfo;
    TButton btnOpenFile;
    TButton btnRemoveFile;
    TButton btnClearFile;
    TButton btnConvert;

    // Hidden controls that still carry commands.
    TButton btnSelectOutputFolder;
    TButton btnHelp;
    TButton btnUpdate;

    TTimer tmrClearMemory;
    TTimer tmrAutoUpdate;
};
