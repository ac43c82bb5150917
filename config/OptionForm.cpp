#include "config/OptionForm.h"

#include <initializer_list>

#include "config/UserProfiles.h"

TfrmOption::TfrmOption() {
    Caption = "Options";
    lblCustomProfile.Caption = "配置文件:";
    btnAdd.Caption = "增加";
    btnSave.Caption = "保存";
    btnDelete.Caption = "删除";
    grpAdvanced.Caption = "高级设置";
    lblAudioBitrate.Caption = "音频比特率(kbps):";
    lblAudioSample.Caption = "音频频率(khz):";
    lblAudioVolumeGain.Caption = "音量(%):";
    lblAudioChannels.Caption = "声道:";
    lblVideoSize.Caption = "Video Size:";
    lblVideoBitrate.Caption = "Video Bitrate(kbps):";
    lblFramerate.Caption = "Frame Rate(fps):";
    lblAspectratio.Caption = "Aspect Ratio:";
    btnOK.Caption = "确定";
    btnCancel.Caption = "取消";

    // The video settings take part in profiles but are never shown.
    grpVideo.Visible = false;
    for (TControl* c : std::initializer_list<TControl*>{
             &lblVideoSize, &cbbVideoSize, &lblVideoBitrate, &cbbVideoBitrate, &lblFramerate,
             &cbbFramerate, &lblAspectratio, &cbbAspectratio})
        c->Visible = false;

    cbbCustomProfile.OnChange = [this] { cbbCustomProfileChange(); };
    btnAdd.OnClick = [this] { btnAddClick(); };
    btnSave.OnClick = [this] { btnSaveClick(); };
    btnDelete.OnClick = [this] { btnDeleteClick(); };
    btnOK.OnClick = [this] { btnOKClick(); };
    btnCancel.OnClick = [this] { btnCancelClick(); };
}

std::array<SelectionList*, 6> TfrmOption::ProfileLists() {
    return {&cbbVideoSize,    &cbbFramerate,     &cbbVideoBitrate,
            &cbbAudioBitrate, &cbbAudioChannels, &cbbAudioSample};
}

std::array<int, 6> TfrmOption::ProfilePositions() const {
    return {cbbVideoSize.ItemIndex(),    cbbFramerate.ItemIndex(),     cbbVideoBitrate.ItemIndex(),
            cbbAudioBitrate.ItemIndex(), cbbAudioChannels.ItemIndex(), cbbAudioSample.ItemIndex()};
}

std::array<SelectionList*, 9> TfrmOption::SnapshotLists() {
    return {&cbbCustomProfile,   &cbbAudioBitrate,  &cbbAudioSample,
            &cbbAudioVolumeGain, &cbbAudioChannels, &cbbVideoSize,
            &cbbVideoBitrate,    &cbbFramerate,     &cbbAspectratio};
}

void TfrmOption::ReloadProfileNames() {
    cbbCustomProfile.ReloadItems(Host ? Host->UserProfileNames() : std::vector<std::string>{});
}

void TfrmOption::SelectProfileEntry(const std::string& name) {
    for (int i = 0; i < cbbCustomProfile.Count(); ++i)
        if (SameProfileName(cbbCustomProfile.ItemText(i), name)) {
            cbbCustomProfile.SetItemIndex(i);
            return;
        }
    cbbCustomProfile.SetItemIndex(cbbCustomProfile.Count() - 1);
}

void TfrmOption::ShowOptions() {
    FormShow();
    Show();
}

void TfrmOption::FormShow() {
    ReloadProfileNames();
    if (cbbCustomProfile.EditText().empty() && Host)
        cbbCustomProfile.SetItemIndex(Host->MainProfileIndex() - 5);
    auto lists = SnapshotLists();
    for (size_t i = 0; i < lists.size(); ++i)
        snapshot_.Positions[i] = lists[i]->ItemIndex();
    snapshot_.ProfileText = cbbCustomProfile.EditText();
}

void TfrmOption::cbbCustomProfileChange() {
    if (Host)
        Host->ApplyUserProfile();
}

void TfrmOption::btnAddClick() {
    if (!Host)
        return;
    const std::string added = Host->AddUserProfile();
    if (added.empty())
        return;
    ReloadProfileNames();
    SelectProfileEntry(added);
}

void TfrmOption::btnSaveClick() {
    if (!Host)
        return;
    const std::string saved = Host->SaveUserProfile();
    ReloadProfileNames();
    // Keep the box on the profile just saved, so a second save cannot
    // overwrite another profile with these values.
    SelectProfileEntry(saved);
}

void TfrmOption::btnDeleteClick() {
    if (!Host)
        return;
    Host->DeleteUserProfile();
    ReloadProfileNames();
    if (cbbCustomProfile.Count() == 0)
        cbbCustomProfile.SetEditText("");
    else
        cbbCustomProfile.SetItemIndex(cbbCustomProfile.Count() - 1);
}

void TfrmOption::btnOKClick() {
    if (Host)
        Host->RefillMainProfileList();
    Hide();
}

void TfrmOption::btnCancelClick() {
    auto lists = SnapshotLists();
    // The profile box first: with no entry selected its typed text comes back.
    cbbCustomProfile.SetEditText(snapshot_.ProfileText);
    for (size_t i = 0; i < lists.size(); ++i)
        lists[i]->SetItemIndex(snapshot_.Positions[i]);
    Hide();
}

void TfrmOption::FormCloseBox() {
    Hide();
}
