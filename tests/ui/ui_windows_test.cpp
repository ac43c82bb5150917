// The options dialog, the converting dialog, the busy window and the splash.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "tests/ui/UiWorld.h"
#include "ui/SecondaryWindows.h"

namespace {

TEST(OptionsDialog, SizeListsCaptionsAndButtons) {
    UiWorld w;
    OptionsDialog dialog(w.App->OptionForm);
    EXPECT_EQ(dialog.size(), QSize(476, 190));
    EXPECT_EQ(dialog.windowTitle(), "Options");
    QStringList labels;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (l->isVisibleTo(&dialog))
            labels << l->text();
    for (const char* t : {"配置文件:", "音频比特率(kbps):", "音频频率(khz):", "音量(%):", "声道:"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(t))) << t;
    EXPECT_FALSE(labels.contains("Video Size:"));
    int shownLists = 0;
    for (QComboBox* c : dialog.findChildren<QComboBox*>())
        shownLists += c->isVisibleTo(&dialog) ? 1 : 0;
    EXPECT_EQ(shownLists, 5); // the profile box and the four audio lists
    EXPECT_EQ(dialog.findChildren<QComboBox*>().size(), 9);
    QStringList buttons;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        buttons << b->text();
    for (const char* t : {"增加", "保存", "删除", "确定", "取消"})
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(t))) << t;
    auto* group = dialog.findChild<QGroupBox*>("grpAdvanced");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "高级设置");
    EXPECT_TRUE(qobject_cast<QPushButton*>(dialog.ButtonFor(w.App->OptionForm.btnOK))->isDefault());
}

TEST(OptionsDialog, EveryItemOfEveryShownListFitsItsBox) {
    UiWorld w;
    OptionsDialog dialog(w.App->OptionForm);
    dialog.show();
    QCoreApplication::processEvents();
    int checked = 0;
    for (QComboBox* box : dialog.findChildren<QComboBox*>()) {
        if (!box->isVisibleTo(&dialog) || box->isEditable())
            continue;
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.rect = box->rect();
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i) {
            ++checked;
            EXPECT_LE(box->fontMetrics().horizontalAdvance(box->itemText(i)), field.width())
                << box->itemText(i).toStdString();
        }
        // Inside the group, clear of its neighbours.
        EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry()));
    }
    EXPECT_GT(checked, 30);
}

TEST(OptionsDialog, EnterConfirmsAndEscRestoresTheLists) {
    UiWorld w;
    OptionsDialog dialog(w.App->OptionForm);
    auto& form = w.App->OptionForm;
    w.App->MainForm.FormKeyDown('I', ssCtrl); // open it through the main window
    ASSERT_TRUE(dialog.isVisible());
    const int before = form.cbbAudioBitrate.ItemIndex();
    emit dialog.ListFor(form.cbbAudioBitrate)->activated(0);
    EXPECT_EQ(form.cbbAudioBitrate.ItemIndex(), 0);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(form.cbbAudioBitrate.ItemIndex(), before);

    w.App->MainForm.FormKeyDown('I', ssCtrl);
    emit dialog.ListFor(form.cbbAudioBitrate)->activated(1);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(form.cbbAudioBitrate.Text(), "32");
    EXPECT_EQ(w.App->MainForm.cbbProfile.Text(), "标准效果");
}

TEST(OptionsDialog, AddProposesANumberedNameAndListsTheNewProfile) {
    UiWorld w;
    OptionsDialog dialog(w.App->OptionForm);
    w.App->OptionForm.ShowOptions();
    w.Dialogs.PromptAnswers.push_back({true, "我的配置"});
    QTest::mouseClick(dialog.ButtonFor(w.App->OptionForm.btnAdd), Qt::LeftButton);
    ASSERT_EQ(w.Dialogs.PromptProposals.size(), 1u);
    EXPECT_EQ(w.Dialogs.PromptProposals[0], "UserProfileInfo1");
    EXPECT_EQ(w.Dialogs.PromptCaptions[0], "Plese input a name");
    EXPECT_EQ(dialog.ProfileBox()->count(), 1);
    EXPECT_EQ(dialog.ProfileBox()->currentText(), "我的配置");
}

TEST(ConvertingDialog, ShowsTheModelAndAsksBeforeClosing) {
    UiWorld w;
    ConvertingDialog dialog(w.App->ConvertingForm, w.Window.get());
    auto& model = w.App->ConvertingForm;
    EXPECT_EQ(dialog.windowTitle(), "Converting");
    model.ShowDialog();
    EXPECT_TRUE(dialog.isVisible());
    model.ProgressBar1.SetRange(0, 60);
    model.ProgressBar1.SetPosition(16);
    auto* bar = dialog.findChild<QProgressBar*>("ProgressBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 60);
    EXPECT_EQ(bar->value(), 16);
    model.ProgressBar1.SetRange(0, 0);
    EXPECT_EQ(bar->value(), bar->minimum()); // an empty bar, not a busy one
    model.lblPersent.SetCaption("当前: 2 , 总共: 3.");
    EXPECT_EQ(dialog.findChild<QLabel*>("lblPersent")->text(), "当前: 2 , 总共: 3.");
    model.statState.SetCaption("size=  12kB time=1.00\r\nsize=  24kB time=2.00");
    EXPECT_FALSE(dialog.findChild<QLabel*>("statState")->text().contains('\n'));

    w.Dialogs.QuestionAnswers.push_back(false);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(w.Dialogs.Questions.size(), 1u);
    EXPECT_EQ(w.Dialogs.Questions[0], "确定停止转换吗?");
    w.Dialogs.QuestionAnswers.push_back(true);
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(w.App->MainForm.Enabled);
}

TEST(BusyWindow, SizeAndTextFollowTheModel) {
    UiWorld w;
    BusyWindow busy(w.App->InitFileForm, w.Window.get());
    EXPECT_EQ(busy.size(), QSize(273, 45));
    auto* label = busy.findChild<QLabel*>("lblInfo");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "读取文件信息...");
    EXPECT_TRUE(label->font().bold());
    // A cancelled open dialog: the window comes up, adds nothing, closes itself.
    w.Dialogs.OpenAnswers.push_back({false, {}});
    w.App->MainForm.btnOpenFile.Click();
    EXPECT_FALSE(busy.isVisible());
    EXPECT_FALSE(w.App->InitFileForm.Visible);
    EXPECT_EQ(w.App->MainForm.dxTreeSourceFileInfo.RowCount(), 0);
}

TEST(Splash, ThePictureAtItsNaturalSize) {
    FakeEventPump pump;
    TFrmFlashForm model(pump);
    model.Picture.Width = 40;
    model.Picture.Height = 24;
    model.Picture.Rgb.assign(40 * 24 * 3, 0x80);
    SplashWindow splash(model);
    EXPECT_EQ(splash.size(), QSize(40, 24));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    QImage image = ToQImage(model.Picture);
    EXPECT_EQ(image.size(), QSize(40, 24));
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(0x80, 0x80, 0x80));
}

} // namespace
