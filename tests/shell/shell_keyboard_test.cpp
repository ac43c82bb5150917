// The main window's keyboard table, through the model.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "shell/MainForm.h"
#include "tests/shell/ShellFixture.h"

namespace {

// Records which command a key press ran, by button.
struct KeyWorld {
    TFrmMainForm Form;
    std::map<std::string, int> Runs;
    KeyWorld() {
        auto record = [this](TButton& b, const char* name) {
            b.OnClick = [this, name] { ++Runs[name]; };
        };
        record(Form.btnOpenFile, "Open");
        record(Form.btnRemoveFile, "Remove");
        record(Form.btnClearFile, "Clear");
        record(Form.btnOptions, "Options");
        record(Form.btnPlay, "Play");
        record(Form.btnPause, "Pause");
        record(Form.btnStop, "Stop");
        record(Form.btnConvert, "Convert");
        record(Form.btnHelp, "Help");
        record(Form.btnSelectOutputFolder, "Folder");
        record(Form.RzBmpButton1, "FolderButton");
        record(Form.btnHomePage, "Home");
    }
};

struct KeyCase {
    const char* Name;
    int Key;
    TShiftState Shift;
    const char* Command; // nullptr: nothing runs
};

class KeyTable : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTable, RunsExactlyTheCommandOfTheTable) {
    const KeyCase& c = GetParam();
    KeyWorld w;
    w.Form.FormKeyDown(c.Key, c.Shift);
    int total = 0;
    for (const auto& [name, n] : w.Runs)
        total += n;
    if (c.Command == nullptr) {
        EXPECT_EQ(total, 0) << c.Name;
    } else {
        EXPECT_EQ(total, 1) << c.Name;
        EXPECT_EQ(w.Runs[c.Command], 1) << c.Name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, KeyTable,
    ::testing::Values(
        KeyCase{"CtrlO", 'O', ssCtrl, "Open"}, KeyCase{"CtrlR", 'R', ssCtrl, "Remove"},
        KeyCase{"CtrlL", 'L', ssCtrl, "Clear"}, KeyCase{"CtrlI", 'I', ssCtrl, "Options"},
        KeyCase{"CtrlP", 'P', ssCtrl, "Play"}, KeyCase{"CtrlU", 'U', ssCtrl, "Pause"},
        KeyCase{"CtrlT", 'T', ssCtrl, "Stop"}, KeyCase{"CtrlS", 'S', ssCtrl, "Convert"},
        KeyCase{"CtrlN", 'N', ssCtrl, "Convert"}, KeyCase{"CtrlB", 'B', ssCtrl, "Folder"},
        KeyCase{"F1", VK_F1, 0, "Help"}, KeyCase{"ShiftF1", VK_F1, ssShift, "Help"},
        KeyCase{"CtrlF1", VK_F1, ssCtrl, "Help"},
        KeyCase{"CtrlAltShiftF1", VK_F1, ssCtrl | ssAlt | ssShift, "Help"},
        KeyCase{"F1WithMouse", VK_F1, ssLeft, "Help"},
        KeyCase{"CtrlShiftO", 'O', ssCtrl | ssShift, nullptr},
        KeyCase{"CtrlAltO", 'O', ssCtrl | ssAlt, nullptr}, KeyCase{"AltO", 'O', ssAlt, nullptr},
        KeyCase{"PlainO", 'O', 0, nullptr}, KeyCase{"ShiftS", 'S', ssShift, nullptr},
        KeyCase{"CtrlSWithLeftButton", 'S', ssCtrl | ssLeft, nullptr},
        KeyCase{"CtrlNWithRightButton", 'N', ssCtrl | ssRight, nullptr},
        KeyCase{"CtrlAltGrB", 'B', ssCtrl | ssAlt, nullptr},
        KeyCase{"CtrlLowerCaseCode", 'o', ssCtrl, nullptr}, KeyCase{"CtrlZ", 'Z', ssCtrl, nullptr},
        KeyCase{"CtrlH", 'H', ssCtrl, nullptr}, KeyCase{"CtrlF2", 0x71, ssCtrl, nullptr},
        KeyCase{"Delete", 46, 0, nullptr}, KeyCase{"CtrlDelete", 46, ssCtrl, nullptr}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(KeyTable, ShortcutsRunOnHiddenAndDisabledButtons) {
    KeyWorld w;
    w.Form.btnOptions.Enabled = false; // as with the OGG output type
    w.Form.btnSelectOutputFolder.Visible = false;
    w.Form.btnHelp.Visible = false;
    w.Form.FormKeyDown('I', ssCtrl);
    w.Form.FormKeyDown('B', ssCtrl);
    w.Form.FormKeyDown(VK_F1, 0);
    EXPECT_EQ(w.Runs["Options"], 1);
    EXPECT_EQ(w.Runs["Folder"], 1);
    EXPECT_EQ(w.Runs["Help"], 1);
}

TEST(KeyTable, NothingRunsWhileTheWindowIsDisabled) {
    KeyWorld w;
    w.Form.SetEnabled(false); // a job runs
    for (int key : {'O', 'R', 'L', 'I', 'P', 'U', 'T', 'S', 'N', 'B'})
        w.Form.FormKeyDown(key, ssCtrl);
    w.Form.FormKeyDown(VK_F1, 0);
    EXPECT_TRUE(w.Runs.empty());
    w.Form.SetEnabled(true);
    w.Form.FormKeyDown('O', ssCtrl);
    EXPECT_EQ(w.Runs["Open"], 1);
}

TEST(KeyTable, HiddenButtonsStayHiddenByDesign) {
    TFrmMainForm form;
    EXPECT_FALSE(form.btnSelectOutputFolder.Visible);
    EXPECT_FALSE(form.btnHelp.Visible);
    EXPECT_FALSE(form.btnUpdate.Visible);
    EXPECT_TRUE(form.btnOptions.Visible);
    EXPECT_EQ(form.lblTitle.Caption, "Application name ");
    EXPECT_TRUE(form.edtOutputFolder.ReadOnly);
}

// Through the wired application: the keys reach the real commands.
TEST(KeyTableWired, CtrlBOpensTheFolderBrowserAndF1TheHelpPage) {
    ShellWorld w;
    w.App->FormShow();
    w.Dialogs.BrowseAnswers.push_back({false, ""});
    std::string before = w.App->MainForm.edtOutputFolder.Text;
    w.App->MainForm.FormKeyDown('B', ssCtrl);
    ASSERT_EQ(w.Dialogs.BrowseStarts.size(), 1u);
    EXPECT_EQ(w.App->MainForm.edtOutputFolder.Text, before);

    w.App->MainForm.FormKeyDown(VK_F1, ssShift);
    ASSERT_EQ(w.Platform.OpenedUrls.size(), 1u);
    EXPECT_EQ(w.Platform.OpenedUrls[0], w.Folder.Folder() + "Help.html");
}

TEST(KeyTableWired, CtrlIOpensTheOptionsDialogEvenWithOggSelected) {
    ShellWorld w;
    w.App->FormShow();
    auto& form = w.App->MainForm;
    form.cbbOutputFiletype.UserSelect(5); // OGG
    ASSERT_FALSE(form.btnOptions.Enabled);
    ASSERT_FALSE(w.App->OptionForm.Visible);
    form.FormKeyDown('I', ssCtrl);
    EXPECT_TRUE(w.App->OptionForm.Visible);
    // Pressed again while open: brought forward, still one dialog, still open.
    form.FormKeyDown('I', ssCtrl);
    EXPECT_TRUE(w.App->OptionForm.Visible);
}

TEST(KeyTableWired, CtrlNAndCtrlSBothStartAConversionOfAnEmptyList) {
    ShellWorld w;
    w.App->FormShow();
    w.App->CustomProc.DoneCount = 7;
    w.App->MainForm.FormKeyDown('N', ssCtrl);
    EXPECT_EQ(w.App->CustomProc.DoneCount, 0);
    w.App->CustomProc.DoneCount = 7;
    w.App->MainForm.FormKeyDown('S', ssCtrl);
    EXPECT_EQ(w.App->CustomProc.DoneCount, 0);
    // With no file in the list the job says so, once per start.
    int noFiles = 0;
    for (const auto& m : w.Dialogs.Messages)
        noFiles += m.Text == "请增加您想转换的视频或者音频文件." ? 1 : 0;
    EXPECT_EQ(noFiles, 2);
}

} // namespace

namespace {

TEST(ListChanges, OnlyAUserChoiceAppliesTheProfile) {
    ShellWorld w;
    w.App->FormShow();
    auto& form = w.App->MainForm;
    auto& options = w.App->OptionForm;
    // A change from code: nothing is applied.
    form.cbbOutputFiletype.SetItemIndex(5);
    EXPECT_TRUE(form.btnOptions.Enabled);
    // The user picks OGG: its preset disables the profile list and Options.
    form.cbbOutputFiletype.UserSelect(5);
    EXPECT_FALSE(form.btnOptions.Enabled);
    EXPECT_FALSE(form.cbbProfile.Enabled);
    form.cbbOutputFiletype.UserSelect(2); // MP3
    EXPECT_TRUE(form.btnOptions.Enabled);
    // The user picks the best preset: 224 kbps, 48000 Hz.
    form.cbbProfile.UserSelect(4);
    EXPECT_EQ(options.cbbAudioBitrate.Text(), "224");
    EXPECT_EQ(options.cbbAudioSample.Text(), "48000");
    form.cbbProfile.SetItemIndex(0); // from code: the lists stay
    EXPECT_EQ(options.cbbAudioBitrate.Text(), "224");
}

} // namespace
