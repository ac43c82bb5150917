#include <gtest/gtest.h>

#include "config/OptionForm.h"

namespace {

// Records the dialog's calls and answers from a script.
struct FakeHost : IOptionFormHost {
    std::vector<std::string> Names;
    int MainIndex = 2;
    std::vector<std::string> Calls;
    std::string AddResult;
    std::string SaveResult;
    std::vector<std::string> NamesAfterCommand;

    std::vector<std::string> UserProfileNames() override {
        Calls.push_back("names");
        return Names;
    }
    int MainProfileIndex() const override { return MainIndex; }
    void ApplyUserProfile() override { Calls.push_back("apply"); }
    std::string AddUserProfile() override {
        Calls.push_back("add");
        Names = NamesAfterCommand;
        return AddResult;
    }
    std::string SaveUserProfile() override {
        Calls.push_back("save");
        Names = NamesAfterCommand;
        return SaveResult;
    }
    void DeleteUserProfile() override {
        Calls.push_back("delete");
        Names = NamesAfterCommand;
    }
    void RefillMainProfileList() override { Calls.push_back("refill"); }
};

struct FormWorld {
    FakeHost Host;
    TfrmOption Form;
    FormWorld() {
        Form.Host = &Host;
        for (SelectionList* l : Form.ProfileLists())
            l->Items = {"a", "b", "c"};
        Form.cbbAudioVolumeGain.Items = {"0", "25"};
        Form.cbbAspectratio.Items = {"4:3", "16:9"};
    }
};

TEST(OptionForm, CaptionsAndLayout) {
    TfrmOption f;
    EXPECT_EQ(f.Caption, "Options");
    EXPECT_EQ(f.ClientWidth, 476);
    EXPECT_EQ(f.ClientHeight, 190);
    const std::pair<const TLabel*, const char*> labels[] = {
        {&f.lblCustomProfile, "配置文件:"},
        {&f.lblAudioBitrate, "音频比特率(kbps):"},
        {&f.lblAudioSample, "音频频率(khz):"},
        {&f.lblAudioVolumeGain, "音量(%):"},
        {&f.lblAudioChannels, "声道:"},
        {&f.lblVideoSize, "Video Size:"},
        {&f.lblVideoBitrate, "Video Bitrate(kbps):"},
        {&f.lblFramerate, "Frame Rate(fps):"},
        {&f.lblAspectratio, "Aspect Ratio:"}};
    for (const auto& [label, caption] : labels)
        EXPECT_EQ(label->Caption, caption);
    const std::pair<const TButton*, const char*> buttons[] = {{&f.btnAdd, "增加"},
                                                              {&f.btnSave, "保存"},
                                                              {&f.btnDelete, "删除"},
                                                              {&f.btnOK, "确定"},
                                                              {&f.btnCancel, "取消"}};
    for (const auto& [button, caption] : buttons)
        EXPECT_EQ(button->Caption, caption);
    EXPECT_EQ(f.grpAdvanced.Caption, "高级设置");
    EXPECT_EQ(&f.DefaultButton(), &f.btnOK);
    EXPECT_EQ(&f.CancelButton(), &f.btnCancel);
    // The four audio lists show; the video group never does.
    EXPECT_TRUE(f.cbbAudioBitrate.Visible && f.cbbAudioSample.Visible &&
                f.cbbAudioVolumeGain.Visible && f.cbbAudioChannels.Visible);
    EXPECT_FALSE(f.grpVideo.Visible);
    EXPECT_FALSE(f.cbbVideoSize.Visible || f.cbbVideoBitrate.Visible || f.cbbFramerate.Visible ||
                 f.cbbAspectratio.Visible);
    EXPECT_FALSE(f.Visible);
}

TEST(OptionForm, ProfileListsAreInFieldOrder) {
    TfrmOption f;
    auto lists = f.ProfileLists();
    const SelectionList* expected[] = {&f.cbbVideoSize,    &f.cbbFramerate,     &f.cbbVideoBitrate,
                                       &f.cbbAudioBitrate, &f.cbbAudioChannels, &f.cbbAudioSample};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(lists[i], expected[i]) << i;
    for (size_t i = 0; i < 6; ++i) {
        lists[i]->Items = {"x", "y", "z", "w"};
        lists[i]->SetItemIndex(static_cast<int>(i % 4));
    }
    lists[2]->SetItemIndex(-1);
    EXPECT_EQ(f.ProfilePositions(), (std::array<int, 6>{0, 1, -1, 3, 0, 1}));
}

TEST(OptionForm, ShowPreselectsMainIndexMinusFive) {
    struct Case {
        int mainIndex;
        int selected;
    };
    const Case cases[] = {{7, 2}, {5, 0}, {4, -1}, {0, -1}, {-1, -1}, {9, -1}};
    for (const Case& c : cases) {
        FormWorld w;
        w.Host.Names = {"A", "B", "C"};
        w.Host.MainIndex = c.mainIndex;
        w.Form.ShowOptions();
        EXPECT_TRUE(w.Form.Visible);
        EXPECT_EQ(w.Form.cbbCustomProfile.Items, w.Host.Names);
        EXPECT_EQ(w.Form.cbbCustomProfile.ItemIndex(), c.selected) << c.mainIndex;
        // Preselecting does not apply.
        EXPECT_EQ(w.Host.Calls, std::vector<std::string>{"names"});
    }
}

TEST(OptionForm, TypedTextSurvivesReloadingAndBlocksThePreselection) {
    FormWorld w;
    w.Host.Names = {"A", "B"};
    w.Form.cbbCustomProfile.UserEdit("my own");
    w.Host.MainIndex = 6;
    w.Form.ShowOptions();
    EXPECT_EQ(w.Form.cbbCustomProfile.EditText(), "my own");
    EXPECT_FALSE(w.Form.cbbCustomProfile.HasSelection());
}

TEST(OptionForm, UserChoiceAndTypingBothReachTheHostAsChanges) {
    FormWorld w;
    w.Host.Names = {"A"};
    w.Form.ShowOptions();
    w.Form.cbbCustomProfile.UserSelect(0);
    w.Form.cbbCustomProfile.UserEdit("A");
    EXPECT_EQ(w.Host.Calls, (std::vector<std::string>{"names", "apply", "apply"}));
    // Selecting from code raises nothing.
    w.Form.cbbCustomProfile.SetItemIndex(0);
    EXPECT_EQ(w.Host.Calls.size(), 3u);
}

TEST(OptionForm, CommandsRefreshAndSelect) {
    struct Case {
        const char* command;
        std::vector<std::string> after;
        std::string result;
        std::string selected; // edit text afterwards
    };
    const Case cases[] = {
        {"add", {"A", "B", "New"}, "New", "New"},
        {"add", {"A", "B"}, "a", "A"},        // existing name in other case
        {"add", {"A", "B", "Late"}, "", "B"}, // cancelled: box untouched
        {"save", {"A", "B", "C"}, "B", "B"},  // the saved one stays selected
        {"save", {"A", "B", "C"}, "", "C"},   // nothing saved: the last entry
        {"delete", {"A"}, "", "A"},
        {"delete", {}, "", ""},
    };
    for (const Case& c : cases) {
        FormWorld w;
        w.Host.Names = {"A", "B"};
        w.Form.ShowOptions();
        w.Form.cbbCustomProfile.SetItemIndex(1);
        w.Host.NamesAfterCommand = c.after;
        w.Host.AddResult = c.result;
        w.Host.SaveResult = c.result;
        const std::string cmd = c.command;
        if (cmd == "add")
            w.Form.btnAdd.Click();
        else if (cmd == "save")
            w.Form.btnSave.Click();
        else
            w.Form.btnDelete.Click();
        EXPECT_EQ(w.Form.cbbCustomProfile.EditText(), c.selected) << cmd << " " << c.result;
        if (!(cmd == "add" && c.result.empty())) {
            EXPECT_EQ(w.Form.cbbCustomProfile.Items, c.after) << cmd;
        }
        // Commands never apply what they select.
        for (const std::string& call : w.Host.Calls)
            EXPECT_NE(call, "apply");
    }
}

TEST(OptionForm, CancelRestoresTheSnapshotOkRefreshesCloseBoxDoesNeither) {
    for (const char* how : {"cancel", "ok", "close"}) {
        FormWorld w;
        w.Host.Names = {"A", "B"};
        std::vector<SelectionList*> nine{
            &w.Form.cbbCustomProfile,   &w.Form.cbbAudioBitrate,  &w.Form.cbbAudioSample,
            &w.Form.cbbAudioVolumeGain, &w.Form.cbbAudioChannels, &w.Form.cbbVideoSize,
            &w.Form.cbbVideoBitrate,    &w.Form.cbbFramerate,     &w.Form.cbbAspectratio};
        w.Host.MainIndex = 6;
        w.Form.ShowOptions();
        for (size_t i = 1; i < nine.size(); ++i)
            nine[i]->SetItemIndex(static_cast<int>(i % 2));
        w.Form.FormShow(); // snapshot of these positions
        std::vector<int> snap;
        for (auto* l : nine)
            snap.push_back(l->ItemIndex());
        for (auto* l : nine)
            l->UserSelect(l->ItemIndex() == 0 ? 1 : 0);
        std::vector<int> changed;
        for (auto* l : nine)
            changed.push_back(l->ItemIndex());
        const std::string h = how;
        if (h == "cancel")
            w.Form.btnCancel.Click();
        else if (h == "ok")
            w.Form.btnOK.Click();
        else
            w.Form.FormCloseBox();
        EXPECT_FALSE(w.Form.Visible) << h;
        std::vector<int> now;
        for (auto* l : nine)
            now.push_back(l->ItemIndex());
        EXPECT_EQ(now, h == "cancel" ? snap : changed) << h;
        const bool refilled =
            std::find(w.Host.Calls.begin(), w.Host.Calls.end(), "refill") != w.Host.Calls.end();
        EXPECT_EQ(refilled, h == "ok") << h;
    }
}

TEST(OptionForm, CancelBringsBackATypedProfileName) {
    FormWorld w;
    w.Host.Names = {"A"};
    w.Form.cbbCustomProfile.UserEdit("draft");
    w.Form.ShowOptions();
    w.Form.cbbCustomProfile.UserSelect(0);
    w.Form.btnCancel.Click();
    EXPECT_EQ(w.Form.cbbCustomProfile.EditText(), "draft");
    EXPECT_FALSE(w.Form.cbbCustomProfile.HasSelection());
}

TEST(OptionForm, WithoutHostNothingCrashes) {
    TfrmOption f;
    f.ShowOptions();
    f.btnAdd.Click();
    f.btnSave.Click();
    f.btnDelete.Click();
    f.cbbCustomProfile.UserEdit("x");
    f.btnOK.Click();
    EXPECT_FALSE(f.Visible);
}

} // namespace
