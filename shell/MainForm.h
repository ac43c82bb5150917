// The main window as a model: every control by its name. The Qt view in ui/
// lays these out and forwards user events; the command handlers live here too.
#pragma once

#include "media/SourceFileGrid.h"
#include "support/Controls.h"

class TFrmMainForm : public TFormModel {
public:
    TFrmMainForm() {
        edtOutputFolder.ReadOnly = true;
        lblTitle.Caption = "Application name ";
        tmrClearMemory.Interval = 1000;
        btnSelectOutputFolder.Visible = false;
        btnHelp.Visible = false;
        btnUpdate.Visible = false;
    }

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
};
