#include "ui/SecondaryWindows.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/QtToolkit.h"
#include "ui/Skin.h"

void CentreOver(QWidget* window, QWidget* over) {
    QRect area;
    if (over && over->isVisible())
        area = QRect(over->mapToGlobal(QPoint(0, 0)),
                     QSize(qMin(over->width(), SkinWidth), qMin(over->height(), SkinHeight)));
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

QImage ToQImage(const TBitmapImage& picture) {
    if (picture.Empty())
        return {};
    QImage image(picture.Rgb.data(), picture.Width, picture.Height, picture.Width * 3,
                 QImage::Format_RGB888);
    return image.copy();
}

// ---- Splash ----

SplashWindow::SplashWindow(TFrmFlashForm& model)
    : QDialog(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), model_(model),
      picture_(ToQImage(model.Picture)) {
    setObjectName(QStringLiteral("TFrmFlashForm"));
    // Exactly as large as the picture.
    setFixedSize(picture_.size());
    new TimerBinding(model_.Timer1, this);
    new TimerBinding(model_.Timer2, this);
    model_.OnCloseRequested = [this] {
        mayClose_ = true;
        accept();
    };
    CentreOver(this, nullptr);
}

SplashWindow::~SplashWindow() {
    model_.OnCloseRequested = nullptr;
}

void SplashWindow::RunModal() {
    exec();
}

void SplashWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!model_.Timer1.Enabled && !model_.StartUpDone())
        model_.FormShow();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void SplashWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void SplashWindow::closeEvent(QCloseEvent* event) {
    if (mayClose_)
        event->accept();
    else
        event->ignore();
}

// ---- Converting dialog ----

namespace {

QLabel* BoundLabel(TLabel& model, QWidget* parent, bool bold = false) {
    auto* label = new QLabel(parent);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    BindLabel(label, model, false);
    return label;
}

} // namespace

ConvertingDialog::ConvertingDialog(TfrmConverting& model, QWidget* mainWindow)
    // No parent: the job disables the main window, which would disable a
    // child dialog and its Stop button with it.
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      model_(model), main_(mainWindow) {
    setObjectName(QStringLiteral("TfrmConverting"));
    setModal(false);
    setWindowTitle(Q(model_.Caption));
    setStyleSheet(QStringLiteral(
        "QDialog { background: #16212c; } QLabel { color: #e8eef2; }"
        "QProgressBar { border: 1px solid #2f4557; border-radius: 3px; background: #0f171f;"
        " height: 14px; text-align: center; color: #e8eef2; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
        " stop:0 #1a8f86, stop:1 #2ec4b6); }"
        "QStatusBar { background: #0f171f; color: #8aa0b0; }"
        "QStatusBar QLabel { color: #8aa0b0; }"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 0);
    layout->setSpacing(6);
    AddProgress(*layout);
    AddStopRow(*layout);
    layout->addSpacing(6);
    AddStatusBar(*layout);
    new TimerBinding(model_.tmrChanging, this);
    setFixedWidth(432);
    adjustSize();
    setFixedHeight(sizeHint().height());
    BindShowAndHide();
}

// The job's caption, the file's name, and the bars of the whole job and of the file.
void ConvertingDialog::AddProgress(QVBoxLayout& layout) {
    QLabel* info = BoundLabel(model_.lblInfo, this, true);
    info->setObjectName(QStringLiteral("lblInfo"));
    layout.addWidget(info);
    layout.addWidget(BoundLabel(model_.lblCurConvertFileL, this));
    QLabel* file = BoundLabel(model_.lblCurFileName, this);
    file->setObjectName(QStringLiteral("lblCurFileName"));
    file->setStyleSheet(QStringLiteral("color: #2ec4b6;"));
    file->setMinimumWidth(400);
    file->setMaximumWidth(400);
    layout.addWidget(file);
    layout.addSpacing(4);
    QLabel* totalLabel = BoundLabel(model_.lblTotalFilr, this);
    layout.addWidget(totalLabel);
    auto* total = new QProgressBar(this);
    total->setObjectName(QStringLiteral("pbTotal"));
    total->setTextVisible(false);
    BindProgressBar(total, model_.pbTotal);
    NameByLabel(total, totalLabel);
    layout.addWidget(total);
    QLabel* currentLabel = BoundLabel(model_.lblCurprog, this);
    layout.addWidget(currentLabel);
    auto* current = new QProgressBar(this);
    current->setObjectName(QStringLiteral("ProgressBar1"));
    current->setTextVisible(false);
    BindProgressBar(current, model_.ProgressBar1);
    NameByLabel(current, currentLabel);
    layout.addWidget(current);
}

// The counter and the Stop button.
void ConvertingDialog::AddStopRow(QVBoxLayout& layout) {
    auto* row = new QHBoxLayout;
    QLabel* counter = BoundLabel(model_.lblPersent, this);
    counter->setObjectName(QStringLiteral("lblPersent"));
    row->addWidget(counter, 1);
    auto* stop = new PictureButton(ButtonArt::StopJob, QStringLiteral("停止转换"), this);
    stop->setObjectName(QStringLiteral("btnStop"));
    stop->setFixedSize(100, 28);
    BindButton(stop, model_.btnStop);
    row->addWidget(stop);
    layout.addLayout(row);
}

void ConvertingDialog::AddStatusBar(QVBoxLayout& layout) {
    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    auto* chunk = new QLabel(status);
    chunk->setObjectName(QStringLiteral("statState"));
    // The raw encoder output, on one line.
    QPointer<QLabel> chunkView(chunk);
    model_.statState.OnModelChanged = [chunkView, this] {
        if (!chunkView)
            return;
        QString text = Q(model_.statState.Caption).simplified();
        chunkView->setText(chunkView->fontMetrics().elidedText(text, Qt::ElideRight, 420));
    };
    status->addWidget(chunk, 1);
    layout.addWidget(status);
}

void ConvertingDialog::BindShowAndHide() {
    model_.OnShowRequested = [this] {
        // Still kept above the main window by the window manager.
        if (main_ && main_->windowHandle()) {
            winId();
            windowHandle()->setTransientParent(main_->windowHandle());
        }
        CentreOver(this, main_);
        show();
        raise();
        activateWindow();
    };
    model_.OnHideRequested = [this] {
        hiding_ = true;
        hide();
        hiding_ = false;
    };
}

ConvertingDialog::~ConvertingDialog() {
    model_.OnShowRequested = nullptr;
    model_.OnHideRequested = nullptr;
    model_.statState.OnModelChanged = nullptr;
}

void ConvertingDialog::closeEvent(QCloseEvent* event) {
    if (hiding_) {
        event->accept();
        return;
    }
    // The user closes the window: the model asks and decides.
    event->ignore();
    model_.FormClose();
}

void ConvertingDialog::keyPressEvent(QKeyEvent* event) {
    // Esc must not hide a running job's dialog behind the model's back.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Options dialog ----

namespace {

QComboBox* FixedList(SelectionList& model, QWidget* parent, QRect where) {
    auto* box = new QComboBox(parent);
    box->setGeometry(where);
    BindComboBox(box, model);
    return box;
}

QLabel* Caption(TLabel& model, QWidget* parent, QPoint at) {
    auto* label = new QLabel(parent);
    label->move(at);
    BindLabel(label, model);
    return label;
}

} // namespace

OptionsDialog::OptionsDialog(TfrmOption& model, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      model_(model) {
    setObjectName(QStringLiteral("TfrmOption"));
    setModal(false);
    setWindowTitle(Q(model_.Caption));
    setFixedSize(model_.ClientWidth, model_.ClientHeight);

    AddProfileRow();
    AddAudioSettings();
    AddHiddenVideoSettings();
    AddButton(model_.btnOK, {300, 154, 80, 26}, "btnOK")->setDefault(true);
    AddButton(model_.btnCancel, {386, 154, 80, 26}, "btnCancel");
    BindShowAndHide();
}

QPushButton* OptionsDialog::AddButton(TButton& model, QRect where, const char* name) {
    auto* button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(where);
    button->setAutoDefault(false);
    BindButton(button, model);
    buttons_.emplace_back(&model, button);
    return button;
}

// The profile's name, editable, with Add, Save and Delete.
void OptionsDialog::AddProfileRow() {
    QLabel* profileLabel = Caption(model_.lblCustomProfile, this, {12, 15});
    profileBox_ = new QComboBox(this);
    profileBox_->setObjectName(QStringLiteral("cbbCustomProfile"));
    profileBox_->setEditable(true);
    profileBox_->setInsertPolicy(QComboBox::NoInsert);
    profileBox_->setGeometry(80, 11, 190, 22);
    NameByLabel(profileBox_, profileLabel);
    {
        QPointer<QComboBox> p(profileBox_);
        TProfileComboBox& list = model_.cbbCustomProfile;
        auto refresh = [p, &list] {
            if (!p)
                return;
            QSignalBlocker block(p);
            p->clear();
            for (const auto& item : list.Items)
                p->addItem(Q(item));
            p->setCurrentIndex(list.ItemIndex());
            p->setEditText(Q(list.EditText()));
            p->setEnabled(list.Enabled);
        };
        list.OnModelChanged = refresh;
        refresh();
        connect(profileBox_, &QComboBox::activated, this, [&list](int i) { list.UserSelect(i); });
        connect(profileBox_->lineEdit(), &QLineEdit::textEdited, this,
                [&list](const QString& text) { list.UserEdit(S(text)); });
    }
    AddButton(model_.btnAdd, {278, 10, 60, 24}, "btnAdd");
    AddButton(model_.btnSave, {342, 10, 60, 24}, "btnSave");
    AddButton(model_.btnDelete, {406, 10, 60, 24}, "btnDelete");
}

void OptionsDialog::AddAudioSettings() {
    auto* group = new QGroupBox(Q(model_.grpAdvanced.Caption), this);
    group->setObjectName(QStringLiteral("grpAdvanced"));
    group->setGeometry(10, 42, 456, 100);
    // Laid out from the texts, so every item of every list shows in full
    // whatever the font ("2 channels, Stereo" is the widest).
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(12, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    const std::pair<TLabel*, SelectionList*> cells[] = {
        {&model_.lblAudioBitrate, &model_.cbbAudioBitrate},
        {&model_.lblAudioSample, &model_.cbbAudioSample},
        {&model_.lblAudioVolumeGain, &model_.cbbAudioVolumeGain},
        {&model_.lblAudioChannels, &model_.cbbAudioChannels}};
    for (int i = 0; i < 4; ++i) {
        const int row = i / 2;
        const int column = (i % 2) * 2;
        QLabel* label = Caption(*cells[i].first, group, {});
        grid->addWidget(label, row, column);
        QComboBox* box = FixedList(*cells[i].second, group, {});
        NameByLabel(box, label);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        grid->addWidget(box, row, column + 1);
        lists_.emplace_back(cells[i].second, box);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

// The video settings: bound so profiles keep working, never shown.
void OptionsDialog::AddHiddenVideoSettings() {
    auto* video = new QGroupBox(this);
    video->setObjectName(QStringLiteral("grpVideo"));
    video->setGeometry(0, 0, 1, 1);
    for (SelectionList* l : {&model_.cbbVideoSize, &model_.cbbVideoBitrate, &model_.cbbFramerate,
                             &model_.cbbAspectratio})
        lists_.emplace_back(l, FixedList(*l, video, {0, 0, 1, 1}));
    video->setVisible(model_.grpVideo.Visible);
}

void OptionsDialog::BindShowAndHide() {
    model_.OnShowRequested = [this] {
        if (!isVisible())
            CentreOver(this, nullptr);
        show();
        raise();
        activateWindow();
    };
    model_.OnHideRequested = [this] {
        hiding_ = true;
        hide();
        hiding_ = false;
    };
}

OptionsDialog::~OptionsDialog() {
    model_.OnShowRequested = nullptr;
    model_.OnHideRequested = nullptr;
    model_.cbbCustomProfile.OnModelChanged = nullptr;
}

QComboBox* OptionsDialog::ListFor(const SelectionList& list) const {
    if (&list == &model_.cbbCustomProfile)
        return profileBox_;
    for (const auto& [m, box] : lists_)
        if (m == &list)
            return box;
    return nullptr;
}

QAbstractButton* OptionsDialog::ButtonFor(const TButton& button) const {
    for (const auto& [m, b] : buttons_)
        if (m == &button)
            return b;
    return nullptr;
}

void OptionsDialog::accept() {
    model_.btnOK.Click();
}

void OptionsDialog::reject() {
    model_.btnCancel.Click();
}

void OptionsDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!hiding_) {
        hiding_ = true;
        model_.FormCloseBox();
        hiding_ = false;
    }
}

// ---- Busy window ----

BusyWindow::BusyWindow(TFrmInitFileForm& model, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Dialog | Qt::FramelessWindowHint), model_(model), main_(mainWindow) {
    setObjectName(QStringLiteral("TFrmInitFileForm"));
    setFixedSize(TFrmInitFileForm::Width, TFrmInitFileForm::Height);
    setWindowModality(Qt::ApplicationModal);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("lblInfo"));
    label_->setGeometry(rect());
    label_->setAlignment(Qt::AlignCenter);
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    f.setPixelSize(13);
    label_->setFont(f);
    label_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    BindLabel(label_, model_.lblInfo, false);
    new TimerBinding(model_.Timer1, this);
    new TimerBinding(model_.Timer2, this);
    model_.RunModal = [this] { RunModal(); };
}

BusyWindow::~BusyWindow() {
    model_.RunModal = nullptr;
}

void BusyWindow::RunModal() {
    QEventLoop loop;
    model_.OnHideRequested = [this, &loop] {
        hide();
        loop.quit();
    };
    CentreOver(this, main_);
    show();
    raise();
    if (model_.Visible)
        loop.exec();
    model_.OnHideRequested = [this] { hide(); };
}

void BusyWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), MakeBusyBackground(size()));
    p.setPen(QPen(QColor("#2ec4b6"), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
