// Shortcuts through the real key path: the window sees the key first, the
// focused control still gets it.
#include <map>

#include <QTest>

#include "tests/ui/UiWorld.h"

namespace {

struct KeyWorld : UiWorld {
    std::map<std::string, int> Runs;
    int GridKeys = 0;
    KeyWorld() {
        auto& f = App->MainForm;
        auto record = [this](TButton& b, const char* name) {
            b.OnClick = [this, name] { ++Runs[name]; };
        };
        record(f.btnOpenFile, "Open");
        record(f.btnRemoveFile, "Remove");
        record(f.btnClearFile, "Clear");
        record(f.btnOptions, "Options");
        record(f.btnPlay, "Play");
        record(f.btnPause, "Pause");
        record(f.btnStop, "Stop");
        record(f.btnConvert, "Convert");
        record(f.btnHelp, "Help");
        record(f.btnSelectOutputFolder, "Folder");
        Window->Grid()->OnKeyDown = [this](int key) {
            GridKeys += key != 0 ? 1 : 0; // modifier keys have no code
        };
        Window->Grid()->setFocus();
    }
    int Total() const {
        int n = 0;
        for (const auto& [name, count] : Runs)
            n += count;
        return n;
    }
};

struct QtKeyCase {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Command;
};

class QtKeys : public ::testing::TestWithParam<QtKeyCase> {};

TEST_P(QtKeys, TheTableFiresAndTheGridStillGetsTheKey) {
    const QtKeyCase& c = GetParam();
    KeyWorld w;
    QTest::keyClick(w.Window->Grid(), c.Key, c.Modifiers);
    if (c.Command) {
        EXPECT_EQ(w.Total(), 1);
        EXPECT_EQ(w.Runs[c.Command], 1);
    } else {
        EXPECT_EQ(w.Total(), 0);
    }
    EXPECT_EQ(w.GridKeys, 1);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, QtKeys,
    ::testing::Values(
        QtKeyCase{"CtrlO", Qt::Key_O, Qt::ControlModifier, "Open"},
        QtKeyCase{"CtrlR", Qt::Key_R, Qt::ControlModifier, "Remove"},
        QtKeyCase{"CtrlL", Qt::Key_L, Qt::ControlModifier, "Clear"},
        QtKeyCase{"CtrlI", Qt::Key_I, Qt::ControlModifier, "Options"},
        QtKeyCase{"CtrlP", Qt::Key_P, Qt::ControlModifier, "Play"},
        QtKeyCase{"CtrlU", Qt::Key_U, Qt::ControlModifier, "Pause"},
        QtKeyCase{"CtrlT", Qt::Key_T, Qt::ControlModifier, "Stop"},
        QtKeyCase{"CtrlS", Qt::Key_S, Qt::ControlModifier, "Convert"},
        QtKeyCase{"CtrlN", Qt::Key_N, Qt::ControlModifier, "Convert"},
        QtKeyCase{"CtrlB", Qt::Key_B, Qt::ControlModifier, "Folder"},
        QtKeyCase{"F1", Qt::Key_F1, Qt::NoModifier, "Help"},
        QtKeyCase{"ShiftF1", Qt::Key_F1, Qt::ShiftModifier, "Help"},
        QtKeyCase{"CtrlF1", Qt::Key_F1, Qt::ControlModifier, "Help"},
        QtKeyCase{"CtrlShiftO", Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier, nullptr},
        QtKeyCase{"CtrlAltO", Qt::Key_O, Qt::ControlModifier | Qt::AltModifier, nullptr},
        QtKeyCase{"AltGrO", Qt::Key_O, Qt::GroupSwitchModifier, nullptr},
        QtKeyCase{"PlainS", Qt::Key_S, Qt::NoModifier, nullptr},
        QtKeyCase{"AltS", Qt::Key_S, Qt::AltModifier, nullptr},
        QtKeyCase{"CtrlQ", Qt::Key_Q, Qt::ControlModifier, nullptr},
        QtKeyCase{"CtrlF2", Qt::Key_F2, Qt::ControlModifier, nullptr}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(QtKeys, OneKeyPressRunsItsCommandOnce) {
    KeyWorld w;
    auto* folder = w.Window->findChild<QLineEdit*>("edtOutputFolder");
    folder->setFocus();
    QTest::keyClick(folder, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(w.Window->OutputTypeBox(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(w.Runs["Remove"], 2);
}

TEST(QtKeys, NothingFiresWhileAJobHasTheWindowDisabled) {
    KeyWorld w;
    w.App->MainForm.SetEnabled(false);
    EXPECT_FALSE(w.Window->isEnabled());
    for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_N, Qt::Key_I, Qt::Key_B})
        QTest::keyClick(w.Window.get(), key, Qt::ControlModifier);
    QTest::keyClick(w.Window.get(), Qt::Key_F1);
    EXPECT_EQ(w.Total(), 0);
}

TEST(QtKeys, KeysOfOtherWindowsAreNotTheMainWindowsShortcuts) {
    KeyWorld w;
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(w.Total(), 0);
}

TEST(QtKeys, TheShiftStateMapsModifiersAndButtons) {
    EXPECT_EQ(KeyShiftState(Qt::ControlModifier, Qt::NoButton), TShiftState(ssCtrl));
    EXPECT_EQ(KeyShiftState(Qt::GroupSwitchModifier, Qt::NoButton), TShiftState(ssCtrl | ssAlt));
    EXPECT_EQ(KeyShiftState(Qt::ShiftModifier | Qt::AltModifier, Qt::LeftButton),
              TShiftState(ssShift | ssAlt | ssLeft));
    EXPECT_EQ(KeyShiftState(Qt::NoModifier, Qt::RightButton | Qt::MiddleButton),
              TShiftState(ssRight | ssMiddle));
    EXPECT_EQ(CoreKeyCode(Qt::Key_A), 'A');
    EXPECT_EQ(CoreKeyCode(Qt::Key_Z), 'Z');
    EXPECT_EQ(CoreKeyCode(Qt::Key_F1), VK_F1);
    EXPECT_EQ(CoreKeyCode(Qt::Key_Delete), 46);
}

TEST(QtKeys, DeleteInTheGridRemovesTheSelectedRows) {
    UiWorld w;
    w.App->SourceList.FormDropFiles({w.Tone("a.wav", 2.0), w.Tone("b.wav", 2.0)});
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 2);
    w.Window->Grid()->setFocus();
    SelectOnly(*w.Window->Grid(), 0);
    ASSERT_TRUE(grid.IsSelected(0));
    ASSERT_FALSE(grid.IsSelected(1));
    int keys = 0;
    auto forward = w.Window->Grid()->OnKeyDown;
    w.Window->Grid()->OnKeyDown = [&](int key) {
        keys += key == 46 ? 1 : 0;
        forward(key);
    };
    QTest::keyClick(w.Window->Grid(), Qt::Key_Delete);
    EXPECT_EQ(keys, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(w.Window->Grid()->model()->rowCount(), 1);
}

} // namespace
