// The options dialog as a model: the nine option lists, the profile box and
// its commands. The conversion procedures object fills and reads the lists
// and carries out the profile commands through IOptionFormHost.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "support/Controls.h"

// What the dialog needs from the rest of the program.
class IOptionFormHost {
public:
    virtual ~IOptionFormHost() = default;
    // Names of the saved user profiles in file order; empty when unreadable.
    virtual std::vector<std::string> UserProfileNames() = 0;
    // Selection of the main window's profile list (-1 for none).
    virtual int MainProfileIndex() const = 0;
    // Applies the profile selected in the profile box to the option lists.
    virtual void ApplyUserProfile() = 0;
    // Asks for a name and saves the lists under it; returns the name written,
    // empty on cancel or refusal.
    virtual std::string AddUserProfile() = 0;
    // Returns the name the profile was saved under, empty when nothing was saved.
    virtual std::string SaveUserProfile() = 0;
    virtual void DeleteUserProfile() = 0;
    // Empties and refills the main window's profile list without applying.
    virtual void RefillMainProfileList() = 0;
};

// An editable drop-down: a selection list whose edit field shows the selected
// item's text or, without a selection, what the user typed.
class TProfileComboBox : public SelectionList {
public:
    // The edit field's text.
    std::string EditText() const { return HasSelection() ? Text() : typed_; }
    // Sets the edit field from code: no item is selected afterwards.
    void SetEditText(std::string text) {
        typed_ = std::move(text);
        SetItemIndex(-1);
    }
    // The user typed into the edit field: nothing is selected, OnChange runs.
    void UserEdit(std::string text) {
        SetEditText(std::move(text));
        if (OnChange)
            OnChange();
    }
    // Replaces the entries; the edit field keeps its text.
    void ReloadItems(std::vector<std::string> names) {
        typed_ = EditText();
        Items = std::move(names);
        SetItemIndex(-1);
    }

private:
    std::string typed_;
};

// A captioned frame around controls.
class TGroupBox : public TControl {
public:
    std::string Caption;
};

class TfrmOption : public TFormModel {
public:
    TfrmOption();
    TfrmOption(const TfrmOption&) = delete;
    TfrmOption& operator=(const TfrmOption&) = delete;

    // Set once at start-up; the commands do nothing without it.
    IOptionFormHost* Host = nullptr;

    // Fixed client size and placement.
    int ClientWidth = 476;
    int ClientHeight = 190;
    bool CenterOnDesktop = true;
    // Only a close box on the frame.
    bool FixedDialogFrame = true;

    TLabel lblCustomProfile;
    TProfileComboBox cbbCustomProfile;
    TButton btnAdd;
    TButton btnSave;
    TButton btnDelete;

    TGroupBox grpAdvanced;
    TLabel lblAudioBitrate;
    SelectionList cbbAudioBitrate;
    TLabel lblAudioVolumeGain;
    SelectionList cbbAudioVolumeGain;
    TLabel lblAudioSample;
    SelectionList cbbAudioSample;
    TLabel lblAudioChannels;
    SelectionList cbbAudioChannels;

    // Never shown, but read by presets, profiles and the command line.
    TGroupBox grpVideo;
    TLabel lblVideoSize;
    SelectionList cbbVideoSize;
    TLabel lblVideoBitrate;
    SelectionList cbbVideoBitrate;
    TLabel lblFramerate;
    SelectionList cbbFramerate;
    TLabel lblAspectratio;
    SelectionList cbbAspectratio;

    // "确定" answers Enter, "取消" answers Esc.
    TButton btnOK;
    TButton btnCancel;
    const TButton& DefaultButton() const { return btnOK; }
    const TButton& CancelButton() const { return btnCancel; }

    // The lists of a profile string, in field order: video size, frame rate,
    // video bitrate, audio bitrate, channels, sample rate.
    std::array<SelectionList*, 6> ProfileLists();
    // Current positions of the six lists, -1 for a list without selection.
    std::array<int, 6> ProfilePositions() const;

    // The Options command: prepares the dialog (FormShow), then shows it.
    void ShowOptions();
    // Reloads the profile names, preselects the main window's user profile
    // when the edit field is empty, and takes the cancel snapshot.
    void FormShow();
    void cbbCustomProfileChange();
    void btnAddClick();
    void btnSaveClick();
    void btnDeleteClick();
    void btnOKClick();
    void btnCancelClick();
    // The frame's close box: keeps the lists and does not refresh the main window.
    void FormCloseBox();

private:
    struct Snapshot {
        std::array<int, 9> Positions{};
        std::string ProfileText;
    };
    std::array<SelectionList*, 9> SnapshotLists();
    void ReloadProfileNames();
    // Selects the entry with that name (letter case ignored), else the last one.
    void SelectProfileEntry(const std::string& name);

    Snapshot snapshot_;
};
