// Option lists, presets and user profiles applied to the option selections.
#include <stdexcept>

#include "config/ConfigReaders.h"
#include "config/IniFiles32.h"
#include "config/UserProfiles.h"
#include "engine/CustomProc.h"
#include "support/Text.h"

TfrmOption& TCustomProc::Options() {
    if (!OptionForm)
        throw std::logic_error("The options dialog is not attached");
    if (!OptionForm->Host)
        OptionForm->Host = this;
    return *OptionForm;
}

void TCustomProc::AttachOptionForm(TfrmOption& form) {
    OptionForm = &form;
    form.Host = this;
}

void TCustomProc::FillList(SelectionList& list, TConstantList constants) const {
    if (constants.empty())
        return;
    for (size_t i = 0; i + 1 < constants.size(); ++i)
        list.Add(std::string(constants[i]));
    int index = -1;
    if (!ReadWholeNumber(std::string(constants.back()), index))
        index = -1;
    list.SetItemIndex(index);
}

std::vector<std::string> TCustomProc::UserProfileNames() {
    try {
        return ReadConfigSections(Lib, UserProfileInfoFileName);
    } catch (const std::exception& e) {
        // An unreadable profile file lists no profiles.
        Lib.AppFunc().WriteLog(std::string("Read user profiles error. ") + e.what());
        return {};
    }
}

void TCustomProc::FillProfileList(SelectionList& list) {
    for (std::string_view name : PresetNameList)
        list.Add(std::string(name));
    for (std::string& name : UserProfileNames())
        list.Add(std::move(name));
    list.SetItemIndex(DefaultPresetIndex);
}

void TCustomProc::FillOptionLists() {
    TfrmOption& o = Options();
    // Cleared first so a second call cannot double the entries.
    for (SelectionList* list :
         {&MainForm.cbbOutputFiletype, &MainForm.cbbProfile, &o.cbbAspectratio, &o.cbbVideoBitrate,
          &o.cbbAudioBitrate, &o.cbbAudioChannels, &o.cbbFramerate, &o.cbbAudioSample,
          &o.cbbAudioVolumeGain, &o.cbbVideoSize})
        list->Clear();
    FillList(MainForm.cbbOutputFiletype, OutputFileTypeList);
    FillProfileList(MainForm.cbbProfile);
    FillList(o.cbbAspectratio, AspectratioList);
    FillList(o.cbbVideoBitrate, VideoBitrateList);
    FillList(o.cbbAudioBitrate, AudioBitrateList);
    FillList(o.cbbAudioChannels, AudioChannelsList);
    FillList(o.cbbFramerate, FramerateList);
    FillList(o.cbbAudioSample, AudioSampleList);
    FillList(o.cbbAudioVolumeGain, AudioVolumeGainList);
    FillList(o.cbbVideoSize, VideoSizeList);
    // The profile box gets the same names now, so a user profile chosen in the
    // main window applies before the options dialog was ever opened.
    std::vector<std::string> names;
    for (int i = UserProfileOffset; i < MainForm.cbbProfile.Count(); ++i)
        names.push_back(MainForm.cbbProfile.ItemText(i));
    o.cbbCustomProfile.ReloadItems(std::move(names));
}

void TCustomProc::ApplyProfile() {
    TfrmOption& o = Options();
    const int p = MainForm.cbbProfile.ItemIndex();
    if (p >= UserProfileOffset) {
        o.cbbCustomProfile.SetItemIndex(p - UserProfileOffset);
        ApplyUserProfile();
        return;
    }
    const int t = MainForm.cbbOutputFiletype.ItemIndex();
    if (!ValidOutputFileType(t))
        return;
    const bool enabled = t != oftOGG;
    MainForm.cbbProfile.Enabled = enabled;
    MainForm.cbbProfile.Changed();
    MainForm.btnOptions.Enabled = enabled;
    MainForm.btnOptions.Changed();
    // No preset selected: nothing to apply.
    if (p < 0)
        return;
    const std::string profile((*PresetTables[static_cast<size_t>(t)])[static_cast<size_t>(p)]);
    const std::vector<std::string> fields = Lib.SplitText(profile, '|');
    auto lists = o.ProfileLists();
    for (size_t i = 0; i < lists.size() && i < fields.size(); ++i) {
        if (fields[i] == "none")
            continue;
        int index = -1;
        if (ReadWholeNumber(fields[i], index))
            lists[i]->SetItemIndex(index);
    }
}

std::string TCustomProc::ReadUserProfile() {
    TfrmOption& o = Options();
    if (!o.cbbCustomProfile.HasSelection())
        return std::string();
    try {
        return ReadConfigValue(Lib, UserProfileInfoFileName, o.cbbCustomProfile.Text());
    } catch (const std::exception& e) {
        Lib.AppFunc().WriteLog(std::string("Read user profile error. ") + e.what());
        return std::string();
    }
}

void TCustomProc::ApplyUserProfile() {
    const std::string profile = ReadUserProfile();
    if (profile.empty())
        return;
    std::vector<std::string> fields = Lib.SplitText(profile, '|');
    if (fields.size() != 6)
        return;
    auto lists = Options().ProfileLists();
    for (size_t i = 0; i < lists.size(); ++i) {
        if (fields[i].empty())
            continue;
        int index = -1;
        if (!ReadWholeNumber(fields[i], index))
            throw EConvertError("'" + fields[i] + "' is not a valid integer value");
        lists[i]->SetItemIndex(index);
    }
}

int TCustomProc::MainProfileIndex() const {
    return MainForm.cbbProfile.ItemIndex();
}

void TCustomProc::RefillMainProfileList() {
    MainForm.cbbProfile.Clear();
    FillProfileList(MainForm.cbbProfile);
}
