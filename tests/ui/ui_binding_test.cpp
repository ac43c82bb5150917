// The widgets follow the models and forward only the user's actions.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <thread>

#include "tests/ui/UiWorld.h"
#include "ui/Bindings.h"
#include "ui/Skin.h"

namespace {

// What a file manager sends: enter, then drop.
void DropOn(QWidget* target, QPoint at, QMimeData& mime) {
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

TEST(Binding, AUserChoiceInTheOutputTypeListAppliesThePresetACodeChangeDoesNot) {
    UiWorld w;
    auto& form = w.App->MainForm;
    QComboBox* box = w.Window->OutputTypeBox();
    ASSERT_EQ(box->count(), 7);
    EXPECT_EQ(box->currentText(), "AMR Audio Files (*.amr)");

    form.cbbOutputFiletype.SetItemIndex(5); // from code
    EXPECT_EQ(box->currentIndex(), 5);
    EXPECT_TRUE(form.btnOptions.Enabled);
    EXPECT_TRUE(w.Window->ButtonFor(form.btnOptions)->isEnabled());

    emit box->activated(5); // the user picks OGG
    EXPECT_FALSE(form.btnOptions.Enabled);
    EXPECT_FALSE(w.Window->ButtonFor(form.btnOptions)->isEnabled());
    EXPECT_FALSE(w.Window->ProfileBox()->isEnabled());

    emit box->activated(2);
    EXPECT_TRUE(w.Window->ButtonFor(form.btnOptions)->isEnabled());
}

TEST(Binding, AUserChoiceOfAPresetSetsTheOptionListsARefillDoesNot) {
    UiWorld w;
    auto& options = w.App->OptionForm;
    emit w.Window->ProfileBox()->activated(0);
    EXPECT_EQ(options.cbbAudioBitrate.Text(), "48");
    w.App->MainForm.cbbProfile.SetItemIndex(4);
    EXPECT_EQ(w.Window->ProfileBox()->currentIndex(), 4);
    EXPECT_EQ(options.cbbAudioBitrate.Text(), "48");
}

TEST(Binding, TheSettingsAreaShowsTheModel) {
    UiWorld w;
    auto& form = w.App->MainForm;
    auto* folder = w.Window->findChild<QLineEdit*>("edtOutputFolder");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isReadOnly());
    EXPECT_EQ(folder->text(), Q(form.edtOutputFolder.Text));
    EXPECT_EQ(folder->text(), Q(w.Folder.Folder() + "3GPMP4文件输出"));
    form.edtOutputFolder.SetText("/tmp/elsewhere");
    EXPECT_EQ(folder->text(), "/tmp/elsewhere");

    auto* shutdown = w.Window->findChild<QCheckBox*>("chkShutdown");
    ASSERT_NE(shutdown, nullptr);
    EXPECT_FALSE(shutdown->isChecked());
    QTest::mouseClick(shutdown, Qt::LeftButton);
    EXPECT_TRUE(form.chkShutdown.Checked);
    EXPECT_EQ(shutdown->geometry(), QRect(294, 226, 16, 17));
    EXPECT_EQ(shutdown->text(), "Shutdown computer when job is finished.");
}

struct Place {
    const char* Name;
    QRect Where;
};

TEST(Layout, ControlsSitWhereTheWindowDesignPutsThem) {
    UiWorld w;
    auto& f = w.App->MainForm;
    const std::vector<std::pair<const TButton*, QRect>> buttons = {
        {&f.btnWindowMinimize, {613, 41, 25, 25}}, {&f.btnWindowClose, {639, 41, 25, 25}},
        {&f.btnHomePage, {462, 73, 48, 48}},       {&f.btnEMail, {514, 73, 48, 48}},
        {&f.btnAbout, {618, 73, 48, 48}},          {&f.btnOptions, {595, 160, 70, 20}},
        {&f.RzBmpButton1, {595, 188, 70, 20}},     {&f.btnPlay, {20, 258, 20, 20}},
        {&f.btnPause, {44, 258, 20, 20}},          {&f.btnStop, {68, 258, 20, 20}},
        {&f.btnOpenFile, {566, 284, 100, 25}},     {&f.btnRemoveFile, {566, 317, 100, 25}},
        {&f.btnClearFile, {566, 350, 100, 25}},    {&f.btnConvert, {566, 383, 100, 35}},
    };
    for (const auto& [model, rect] : buttons) {
        QAbstractButton* b = w.Window->ButtonFor(*model);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->geometry(), rect) << model->Hint;
        EXPECT_TRUE(b->isVisible());
        EXPECT_EQ(b->toolTip(), Q(model->Hint));
    }
    EXPECT_EQ(w.Window->ButtonFor(f.btnOpenFile)->toolTip(), "Ctrl + O");
    EXPECT_EQ(w.Window->ButtonFor(f.btnOptions)->toolTip(), "Ctrl + N");
    for (const TButton* hidden : {&f.btnSelectOutputFolder, &f.btnHelp, &f.btnUpdate})
        EXPECT_FALSE(w.Window->ButtonFor(*hidden)->isVisible());
    EXPECT_EQ(w.Window->ButtonFor(f.btnHelp)->toolTip(), "Help (F1)");

    const std::vector<Place> places = {
        {"cbbOutputFiletype", {368, 133, 297, 21}}, {"cbbProfile", {368, 160, 217, 21}},
        {"edtOutputFolder", {368, 188, 217, 20}},   {"dxTreeSourceFileInfo", {21, 282, 538, 138}},
        {"DSVideoWindowEx1", {22, 76, 256, 154}},   {"Panel1", {20, 236, 260, 19}},
        {"pnlCurTime", {205, 261, 68, 15}},
    };
    for (const auto& p : places) {
        auto* widget = w.Window->findChild<QWidget*>(p.Name);
        ASSERT_NE(widget, nullptr) << p.Name;
        EXPECT_EQ(widget->geometry(), p.Where) << p.Name;
    }
    EXPECT_EQ(w.Window->TitleLabel()->pos(), QPoint(89, 41));
    EXPECT_EQ(w.Window->TitleLabel()->text(), "Velmora 1.3");
    EXPECT_EQ(w.Window->TitleLabel()->font().pixelSize(), 19);
    EXPECT_TRUE(w.Window->TitleLabel()->font().bold());
    EXPECT_EQ(w.Window->windowTitle(), "Velmora 1.3");
    EXPECT_TRUE(w.Window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.Window->minimumWidth(), 686);
}

TEST(Layout, LabelsCarryTheirTextsInAFontWithChineseGlyphs) {
    UiWorld w;
    QStringList texts;
    for (QLabel* l : w.Window->findChildren<QLabel*>())
        texts << l->text();
    for (const char* t : {"输出文件类型：", "转换效果设置：", "输出目录：", "完成转换后自动关机",
                          "转换完毕后显示目录", "00:00:00"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t;
    QFontMetrics metrics(QFont(QStringLiteral("WenQuanYi Micro Hei")));
    for (QChar c : QString::fromUtf8("输出文件类型转换效果设置增加保存删除确定取消"))
        EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
}

TEST(Skin, TheAreasShareSingleEdgesAndHoldTheirOwnControls) {
    UiWorld w;
    auto& f = w.App->MainForm;
    auto named = [&](const char* name) { return w.Window->findChild<QWidget*>(name); };
    struct Area {
        QRect panel;
        std::vector<QWidget*> controls;
    };
    const Area areas[] = {
        {SkinPreviewPanel,
         {named("DSVideoWindowEx1"), named("Panel1"), named("pnlCurTime"),
          w.Window->ButtonFor(f.btnPlay), w.Window->ButtonFor(f.btnPause),
          w.Window->ButtonFor(f.btnStop)}},
        {SkinSettingsPanel,
         {named("cbbOutputFiletype"), named("cbbProfile"), named("edtOutputFolder"),
          named("chkShutdown"), named("chkShowOutputDirectory"), w.Window->ButtonFor(f.btnOptions),
          w.Window->ButtonFor(f.RzBmpButton1)}},
        {SkinListPanel,
         {named("dxTreeSourceFileInfo"), w.Window->ButtonFor(f.btnOpenFile),
          w.Window->ButtonFor(f.btnRemoveFile), w.Window->ButtonFor(f.btnClearFile),
          w.Window->ButtonFor(f.btnConvert)}},
    };
    for (const Area& a : areas) {
        for (QWidget* c : a.controls) {
            ASSERT_NE(c, nullptr);
            EXPECT_TRUE(a.panel.adjusted(1, 1, -1, -1).contains(c->geometry()))
                << c->objectName().toStdString();
        }
        for (const Area& b : areas) {
            if (&a == &b)
                continue;
            // Neighbours share at most the row or column of one edge.
            const QRect common = a.panel.intersected(b.panel);
            EXPECT_TRUE(common.isEmpty() || common.width() == 1 || common.height() == 1)
                << a.panel.x() << "," << a.panel.y() << " and " << b.panel.x() << ","
                << b.panel.y();
            for (QWidget* c : a.controls)
                EXPECT_FALSE(c->geometry().intersects(b.panel)) << c->objectName().toStdString();
        }
    }
    // The line under the title area is the settings area's top edge, not a second line.
    EXPECT_EQ(SkinSettingsPanel.top(), 125);
}

TEST(Skin, MagentaIsOutsideTheShapeAndTheRestInside) {
    QImage skin = MakeMainSkin();
    ASSERT_EQ(skin.size(), QSize(SkinWidth, SkinHeight));
    EXPECT_EQ(QColor(skin.pixel(0, SkinHeight - 1)), SkinTransparent);
    QRegion region = SkinRegion(skin);
    for (QPoint corner : {QPoint(0, 0), QPoint(SkinWidth - 1, 0), QPoint(0, SkinHeight - 1),
                          QPoint(SkinWidth - 1, SkinHeight - 1), QPoint(2, 2)})
        EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
    for (QPoint inside :
         {QPoint(SkinWidth / 2, SkinHeight / 2), QPoint(30, 2), QPoint(2, 30), QPoint(89, 41)})
        EXPECT_TRUE(region.contains(inside)) << inside.x() << "," << inside.y();
    // Every kept pixel is non-magenta and every magenta pixel is cut away.
    int magenta = 0;
    for (int y = 0; y < skin.height(); y += 3)
        for (int x = 0; x < skin.width(); x += 3) {
            bool isMagenta = QColor(skin.pixel(x, y)) == SkinTransparent;
            magenta += isMagenta ? 1 : 0;
            EXPECT_EQ(region.contains(QPoint(x, y)), !isMagenta);
        }
    EXPECT_GT(magenta, 0);
}

TEST(Skin, TheEdgeOfTheShapeCarriesNoTraceOfMagenta) {
    QImage skin = MakeMainSkin();
    // A kept pixel tinted towards magenta would show as a pink seam.
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            for (QPoint p :
                 {QPoint(x, y), QPoint(SkinWidth - 1 - x, y), QPoint(x, SkinHeight - 1 - y),
                  QPoint(SkinWidth - 1 - x, SkinHeight - 1 - y)}) {
                QColor c(skin.pixel(p));
                if (c == SkinTransparent)
                    continue;
                bool pinkish = c.red() > 120 && c.blue() > 120 && c.green() < c.red() / 2;
                EXPECT_FALSE(pinkish) << p.x() << "," << p.y();
            }
}

TEST(Grid, SevenColumnsWithTheirCaptionsAndProportions) {
    UiWorld w;
    SourceGridView* grid = w.Window->Grid();
    const char* captions[] = {"",           "File Name", "File Size", "Duration",
                              "Start Time", "End Time",  "Cut Time"};
    ASSERT_EQ(grid->model()->columnCount(), 7);
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
    grid->ApplyColumnProportions();
    auto* header = grid->horizontalHeader();
    int total = 0;
    for (int c = 0; c < 7; ++c)
        total += header->sectionSize(c);
    EXPECT_NEAR(total, grid->viewport()->width(), 1);
    EXPECT_NEAR(header->sectionSize(1) * 16.0 / header->sectionSize(0), 68.0, 6.0);
    EXPECT_NEAR(header->sectionSize(2), header->sectionSize(0) * 28.0 / 16.0, 2.0);
    EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(Grid, DroppingTwoFileUrlsAddsTwoRows) {
    UiWorld w;
    std::string a = w.Tone("a.wav", 2.0);
    std::string b = w.Tone("b.mp3", 3.0);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(a)), QUrl::fromLocalFile(Q(b))});
    QWidget* viewport = w.Window->Grid()->viewport();
    DropOn(viewport, QPoint(30, 30), mime);
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Field(0, sfFileName), a);
    EXPECT_EQ(grid.Field(1, sfFileName), b);
    EXPECT_EQ(grid.Field(1, sfDuration), "00:00:03");
    EXPECT_EQ(w.Window->Grid()->model()->rowCount(), 2);
    EXPECT_EQ(w.Window->Grid()->model()->index(0, 1).data().toString(), Q(a));
    // The first row is selected, in the model and on screen.
    EXPECT_TRUE(grid.IsSelected(0));
    EXPECT_TRUE(w.Window->Grid()->selectionModel()->isRowSelected(0, {}));
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(Grid, ADroppedPathKeepsItsBytesOnlyTheGridShowsThemDecoded) {
    struct Case {
        std::string name;
        QString shown;
    };
    const Case cases[] = {
        {"\xb2\xe2\xca\xd4.wav", QString(4, QChar::ReplacementCharacter) + ".wav"}, // GBK
        {"中文 100%.wav", QStringLiteral("中文 100%.wav")},
    };
    for (const Case& c : cases) {
        UiWorld w;
        const std::string path = w.Tone(c.name, 2.0);
        // What a file manager puts on the clipboard: the bytes, percent-encoded.
        QMimeData mime;
        mime.setData("text/uri-list",
                     "file://" + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n");
        DropOn(w.Window->Grid()->viewport(), QPoint(30, 30), mime);
        auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
        ASSERT_EQ(grid.RowCount(), 1) << path;
        EXPECT_EQ(grid.Field(0, sfFileName), path);
        EXPECT_EQ(grid.Field(0, sfDuration), "00:00:02");
        EXPECT_EQ(w.Window->Grid()->model()->index(0, sfFileName).data().toString(),
                  Q(w.Folder.Folder()) + c.shown);
        EXPECT_TRUE(w.Dialogs.Messages.empty());
    }
}

TEST(Grid, DroppingOntoTheWindowBackgroundAddsTooAndBadDropsDoNotCrash) {
    UiWorld w;
    std::string tone = w.Tone("c.wav", 1.5);
    std::string notMedia = w.Folder.Folder() + "notes.mp3";
    WriteFile(notMedia, "not a sound at all");
    std::filesystem::create_directory(w.Folder.Path() / "folder.wav");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(tone)), QUrl::fromLocalFile(Q(notMedia)),
                  QUrl::fromLocalFile(Q(w.Folder.Folder() + "folder.wav")),
                  QUrl::fromLocalFile(Q(w.Folder.Folder())), QUrl("https://example.com/x.mp3")});
    DropOn(w.Window.get(), QPoint(600, 450), mime);
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Field(0, sfDuration), "00:00:01");
    // A folder named like a sound is walked as a folder (it is empty), and the
    // dropped parent folder is walked too, so the unreadable file is met twice;
    // each warning names it.
    const std::string warning = "文件打开错误，请检测文件或者安装新的解码器.\n";
    std::vector<std::string> texts;
    for (const auto& m : w.Dialogs.Messages)
        texts.push_back(m.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{warning + notMedia, warning + notMedia}));
}

TEST(Grid, RowsDraggedOutAreRemovedRowsReleasedOverTheGridStay) {
    UiWorld w;
    std::string a = w.Tone("a.wav", 2.0);
    std::string b = w.Tone("b.wav", 2.0);
    w.App->SourceList.FormDropFiles({a, b});
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 2);
    SelectOnly(*w.Window->Grid(), 1);
    EXPECT_TRUE(grid.IsSelected(1));
    EXPECT_FALSE(grid.IsSelected(0));
    w.Window->Grid()->FinishRowDrag(true);
    EXPECT_EQ(grid.RowCount(), 2);
    w.Window->Grid()->FinishRowDrag(false);
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Field(0, sfFileName), a);
    EXPECT_EQ(w.Window->Grid()->model()->rowCount(), 1);
}

// Collects Qt's warnings while it lives.
class QtWarnings {
public:
    QtWarnings() : previous_(qInstallMessageHandler(&QtWarnings::Collect)) { sink_ = &texts_; }
    ~QtWarnings() {
        qInstallMessageHandler(previous_);
        sink_ = nullptr;
    }
    QtWarnings(const QtWarnings&) = delete;
    QtWarnings& operator=(const QtWarnings&) = delete;
    const QStringList& Texts() const { return texts_; }

private:
    static void Collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (sink_ && type != QtDebugMsg && type != QtInfoMsg)
            sink_->push_back(text);
    }
    static inline QStringList* sink_ = nullptr;
    QStringList texts_;
    QtMessageHandler previous_;
};

TEST(Grid, TheTimeEditorOpensOnTheFirstClickAndEndsInTheEditCheck) {
    UiWorld w;
    QtWarnings warnings;
    std::string a = w.Tone("a.wav", 5.0);
    w.App->SourceList.FormDropFiles({a});
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.RowCount(), 1);
    SourceGridView* view = w.Window->Grid();
    view->ApplyColumnProportions();
    QRect cell = view->visualRect(view->model()->index(0, sfStartTime));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    auto* editor = view->findChild<QTimeEdit*>("TimeCellEditor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->displayFormat(), "HH:mm:ss");
    // A start past the duration: the edit check puts it at the duration.
    editor->setTime(QTime(0, 0, 9));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Field(0, sfStartTime), "00:00:05");
    EXPECT_EQ(grid.Field(0, sfCutTime), "00:00:00");
    EXPECT_EQ(view->model()->index(0, sfStartTime).data().toString(), "00:00:05");
    // The editor was closed once, by the view that owns it.
    EXPECT_EQ(view->indexWidget(view->model()->index(0, sfStartTime)), nullptr);
    EXPECT_EQ(warnings.Texts().filter("closeEditor").join("\n").toStdString(), "");
}

TEST(Grid, TheCheckBoxTogglesOnTheFirstClick) {
    UiWorld w;
    w.App->SourceList.FormDropFiles({w.Tone("a.wav", 2.0)});
    auto& grid = w.App->MainForm.dxTreeSourceFileInfo;
    ASSERT_EQ(grid.Field(0, sfCheck), "True");
    SourceGridView* view = w.Window->Grid();
    QModelIndex check = view->model()->index(0, sfCheck);
    EXPECT_TRUE(view->model()->setData(check, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(grid.Field(0, sfCheck), "False");
    EXPECT_TRUE(view->model()->flags(check) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(view->model()->flags(view->model()->index(0, sfFileName)) & Qt::ItemIsEditable);
    EXPECT_TRUE(view->model()->flags(view->model()->index(0, sfEndTime)) & Qt::ItemIsEditable);
}

TEST(Toolkit, ThePumpPausesWhileEventsRunAndTheDispatcherKeepsOrder) {
    QtEventPump pump;
    QtDispatcher dispatcher;
    std::vector<int> order;
    QThread* gui = QThread::currentThread();
    bool allOnGui = true;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            dispatcher.Post([&, i] {
                order.push_back(i);
                allOnGui = allOnGui && QThread::currentThread() == gui;
            });
    });
    worker.join();
    EXPECT_TRUE(order.empty()); // nothing runs before the interface handles events
    pump.Pause(30);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_TRUE(allOnGui);
}

TEST(Toolkit, ThePumpNeverPausesShorterThanAsked) {
    using namespace std::chrono;
    using Clock = steady_clock;
    QtEventPump pump;
    // The job's launch and start pauses and its poll, each started at its
    // own point of the clock's second: timers that round to round fractions
    // of a second end early at such points.
    const struct {
        int Ms;
        int PhaseMs;
    } cases[] = {{2000, 30}, {3000, 520}, {100, 3}};
    for (const auto& c : cases) {
        const auto intoSecond = Clock::now().time_since_epoch() % seconds(1);
        auto wait = milliseconds(c.PhaseMs) - intoSecond;
        if (wait < Clock::duration::zero())
            wait += seconds(1);
        std::this_thread::sleep_for(wait);
        const auto start = Clock::now();
        pump.Pause(c.Ms);
        const auto took = duration_cast<microseconds>(Clock::now() - start);
        EXPECT_GE(took, milliseconds(c.Ms)) << c.Ms << " ms took " << took.count() << " us";
    }
}

TEST(Toolkit, FilterEntriesBecomeQtFilters) {
    EXPECT_EQ(QtFilterText("AVI Files (*.avi)|*.avi"), "AVI Files (*.avi) (*.avi)");
    EXPECT_EQ(QtFilterText("MP2, MP3 Audio Files (*.mp2, mp3)|*.mp2;*.mp3;"),
              "MP2, MP3 Audio Files (*.mp2, mp3) (*.mp2 *.mp3)");
    EXPECT_EQ(QtFilterText("All|"), "All (*)");
}

TEST(Toolkit, TheOpenDialogShowsEveryFilterTextOnce) {
    QStringList shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        if (auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo"))
            for (int i = 0; i < combo->count(); ++i)
                shown << combo->itemText(i);
        dialog->reject();
    });
    poll.start(20);
    QtDialogs dialogs;
    TempDir dir;
    std::vector<std::string> files;
    EXPECT_FALSE(dialogs.OpenFiles("", dir.Folder(), TSourceFileList::OpenDialogFilters(), files));
    QStringList expected;
    for (const std::string& entry : TSourceFileList::OpenDialogFilters())
        expected << Q(entry.substr(0, entry.find('|')));
    EXPECT_EQ(shown, expected);
}

TEST(Errors, AnExceptionInAnEventHandlerIsReportedAndTheProgramGoesOn) {
    UiWorld w;
    auto* app = qobject_cast<VelmoraApp*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QStringList reported;
    app->ReportError = [&](const QString& text) { reported << text; };
    w.App->MainForm.btnHomePage.OnClick = [] { throw std::runtime_error("home page broke"); };
    QTest::mouseClick(w.Window->ButtonFor(w.App->MainForm.btnHomePage), Qt::LeftButton);
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported[0], "home page broke");
    // Still working afterwards.
    int clicks = 0;
    w.App->MainForm.btnEMail.OnClick = [&] { ++clicks; };
    QTest::mouseClick(w.Window->ButtonFor(w.App->MainForm.btnEMail), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    app->ReportError = nullptr;
}

} // namespace
