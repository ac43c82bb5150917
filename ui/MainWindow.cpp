#include "ui/MainWindow.h"

#include <cstdio>
#include <cstdlib>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QVideoWidget>
#include <QWindow>

#include "ui/QtToolkit.h"
#include "ui/Skin.h"
#include "ui/preview/TrimBarWidget.h"

TShiftState KeyShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    return ShiftStateOf(modifiers, buttons);
}

namespace {

const char* const kWhiteLabel = "color: white; background: transparent;";

// A frameless plain widget reads as a filler: screen readers must meet the
// main window as a window.
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("MainWindow") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

MainWindow::MainWindow(TApplication& app, QWidget* video)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), app_(app), form_(app.MainForm),
      skin_(MakeMainSkin()), shape_(SkinRegion(skin_)) {
    setObjectName(QStringLiteral("TFrmMainForm"));
    static const bool accessibleAsWindow = [] {
        QAccessible::installFactory(MainWindowAccessible);
        return true;
    }();
    (void)accessibleAsWindow;
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(SkinWidth, SkinHeight);
    setWindowTitle(Q(form_.Caption));
    setFont(QFont(QStringLiteral("Arial")));
    // Motion with no button held tells the mover that a drag has ended.
    setMouseTracking(true);

    BuildTitleBar();
    BuildSettingsArea();
    BuildPreviewArea(video);
    BuildListArea();
    BindFormModel();
    setMask(shape_);
    Centre();
}

void MainWindow::BuildTitleBar() {
    title_ = AddLabel(form_.lblTitle, 89, 41, 19, true);
    title_->setObjectName(QStringLiteral("lblTitle"));
    title_->installEventFilter(this);
    AddButton(form_.btnWindowMinimize, ButtonArt::Minimize, {}, {613, 41, 25, 25});
    AddButton(form_.btnWindowClose, ButtonArt::Close, {}, {639, 41, 25, 25});
    AddButton(form_.btnHomePage, ButtonArt::Home, {}, {462, 73, 48, 48});
    AddButton(form_.btnEMail, ButtonArt::Mail, {}, {514, 73, 48, 48});
    AddButton(form_.btnAbout, ButtonArt::About, {}, {618, 73, 48, 48});
}

void MainWindow::BuildSettingsArea() {
    QLabel* typeLabel = AddLabel(form_.lblOutputFileTypeName, 288, 136);
    outputType_ = new QComboBox(this);
    outputType_->setObjectName(QStringLiteral("cbbOutputFiletype"));
    outputType_->setGeometry(368, 133, 297, 21);
    BindComboBox(outputType_, form_.cbbOutputFiletype);
    NameByLabel(outputType_, typeLabel);
    QLabel* profileLabel = AddLabel(form_.lblProfileSettings, 288, 164);
    profile_ = new QComboBox(this);
    profile_->setObjectName(QStringLiteral("cbbProfile"));
    profile_->setGeometry(368, 160, 217, 21);
    BindComboBox(profile_, form_.cbbProfile);
    NameByLabel(profile_, profileLabel);
    AddButton(form_.btnOptions, ButtonArt::Options, QStringLiteral("选项"), {595, 160, 70, 20});
    QLabel* folderLabel = AddLabel(form_.lblOutputFolderInfo, 312, 191);
    outputFolder_ = new QLineEdit(this);
    outputFolder_->setObjectName(QStringLiteral("edtOutputFolder"));
    outputFolder_->setGeometry(368, 188, 217, 20);
    BindLineEdit(outputFolder_, form_.edtOutputFolder);
    NameByLabel(outputFolder_, folderLabel);
    AddButton(form_.RzBmpButton1, ButtonArt::Folder, QStringLiteral("浏览"), {595, 188, 70, 20});
    auto* shutdown = new QCheckBox(this);
    shutdown->setObjectName(QStringLiteral("chkShutdown"));
    shutdown->setGeometry(294, 226, 16, 17);
    BindCheckBox(shutdown, form_.chkShutdown);
    // The boxes are too narrow for their own text: the label beside names them.
    NameByLabel(shutdown, AddLabel(form_.Label1, 313, 227));
    auto* showDir = new QCheckBox(this);
    showDir->setObjectName(QStringLiteral("chkShowOutputDirectory"));
    showDir->setGeometry(294, 246, 15, 17);
    BindCheckBox(showDir, form_.chkShowOutputDirectory);
    NameByLabel(showDir, AddLabel(form_.Label2, 313, 247));
}

void MainWindow::BuildPreviewArea(QWidget* video) {
    if (!video) {
        video = new QWidget;
        video->setStyleSheet(QStringLiteral("background: black;"));
    }
    video->setParent(this);
    video->setObjectName(QStringLiteral("DSVideoWindowEx1"));
    video->setGeometry(22, 76, 256, 154);
    logo_ = new LogoPanel(app_.Preview, video, MakeLogoPicture(QSize(256, 154)));
    // The video surface is a native window that would cover the logo: it is
    // hidden while the logo shows.
    logo_->installEventFilter(this);
    FollowLogo();
    auto* trim = new TrimBarWidget(app_.Preview, this);
    trim->setObjectName(QStringLiteral("Panel1"));
    trim->setGeometry(20, 236, 260, 19);
    AddButton(form_.btnPlay, ButtonArt::Play, {}, {20, 258, 20, 20});
    AddButton(form_.btnPause, ButtonArt::Pause, {}, {44, 258, 20, 20});
    AddButton(form_.btnStop, ButtonArt::Stop, {}, {68, 258, 20, 20});
    auto* time = new QLabel(this);
    time->setObjectName(QStringLiteral("pnlCurTime"));
    time->setGeometry(205, 261, 68, 15);
    time->setAlignment(Qt::AlignCenter);
    QFont timeFont(QStringLiteral("Arial"));
    timeFont.setPixelSize(14);
    time->setFont(timeFont);
    time->setStyleSheet(QStringLiteral("background: black; color: #2ec4b6;"));
    BindLabel(time, form_.pnlCurTime, false);
}

void MainWindow::BuildListArea() {
    grid_ = new SourceGridView(form_.dxTreeSourceFileInfo, this);
    grid_->setGeometry(21, 282, 538, 138);
    TSourceFileList& list = app_.SourceList;
    grid_->OnKeyDown = [&list](int key) { list.dxTreeSourceFileInfoKeyDown(key); };
    grid_->OnKeyUp = [&list](int key) { list.dxTreeSourceFileInfoKeyUp(key); };
    grid_->OnClicked = [&list] { list.dxTreeSourceFileInfoClick(); };
    grid_->OnEndDrag = [&list](bool overGrid) { list.dxTreeSourceFileInfoEndDrag(overGrid); };
    grid_->OnFilesDropped = [&list](const std::vector<std::string>& paths) {
        list.FormDropFiles(paths);
    };
    TPreview& preview = app_.Preview;
    grid_->GridModel().OnCellEdited = [&preview](int row, int column, const std::string& text) {
        preview.dxTreeSourceFileInfoEdited(row, column, text);
    };
    AddButton(form_.btnOpenFile, ButtonArt::Open, QStringLiteral("添加文件"), {566, 284, 100, 25});
    AddButton(form_.btnRemoveFile, ButtonArt::Remove, QStringLiteral("移除文件"),
              {566, 317, 100, 25});
    AddButton(form_.btnClearFile, ButtonArt::Clear, QStringLiteral("清空列表"),
              {566, 350, 100, 25});
    AddButton(form_.btnConvert, ButtonArt::Convert, QStringLiteral("开始转换"),
              {566, 383, 100, 35});

    // Hidden controls: never shown, their commands still run by key.
    for (TButton* hidden : {&form_.btnSelectOutputFolder, &form_.btnHelp, &form_.btnUpdate})
        AddButton(*hidden, ButtonArt::Folder, {}, {0, 0, 1, 1});
}

// Timers, and the form's own changes: caption, enabled flag, size limits.
void MainWindow::BindFormModel() {
    timers_.push_back(new TimerBinding(form_.tmrClearMemory, this));
    timers_.push_back(new TimerBinding(form_.tmrAutoUpdate, this));
    timers_.push_back(new TimerBinding(app_.Preview.tmrPaintSP, this));

    form_.OnModelChanged = [this] {
        setWindowTitle(Q(form_.Caption));
        setEnabled(form_.Enabled);
        if (form_.MinWidth > 0 && form_.MinHeight > 0)
            setMinimumSize(form_.MinWidth, form_.MinHeight);
    };
    form_.OnMinimizeRequested = [this] {
        showNormal();
        showMinimized();
    };
    form_.OnCloseRequested = [this] { close(); };
    form_.ExitProcess = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    app_.Launchers.AboutOwner = this;
    // The window manager moves the window; without one we follow the mouse.
    move_.StartSystemMove = [this] { return windowHandle() && windowHandle()->startSystemMove(); };
    move_.MoveTo = [this](int x, int y) { move(x, y); };
}

MainWindow::~MainWindow() {
    form_.OnModelChanged = nullptr;
    form_.OnMinimizeRequested = nullptr;
    form_.OnCloseRequested = nullptr;
    app_.Launchers.AboutOwner = nullptr;
}

QLabel* MainWindow::AddLabel(TLabel& model, int x, int y, int pixelSize, bool bold) {
    auto* label = new QLabel(this);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    label->setFont(f);
    label->setStyleSheet(QString::fromLatin1(kWhiteLabel));
    label->move(x, y);
    BindLabel(label, model);
    return label;
}

PictureButton* MainWindow::AddButton(TButton& model, ButtonArt art, const QString& text,
                                     QRect where) {
    auto* button = new PictureButton(art, text, this);
    button->setGeometry(where);
    BindButton(button, model);
    buttons_.emplace_back(&model, button);
    return button;
}

QAbstractButton* MainWindow::ButtonFor(const TButton& model) const {
    for (const auto& [m, b] : buttons_)
        if (m == &model)
            return b;
    return nullptr;
}

bool MainWindow::RunShowHandling() {
    app_.FormShow();
    if (app_.Terminated())
        return false;
    // Registered as a drop target once shown.
    setAcceptDrops(app_.DropTargetRegistered());
    return true;
}

void MainWindow::Centre() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(SkinWidth / 2, SkinHeight / 2));
}

void MainWindow::BringToFront() {
    // Before start-up has shown it, the splash is what the user sees.
    if (!isVisible())
        return;
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::PreviewKey(QKeyEvent* event) {
    form_.FormKeyDown(CoreKeyCode(event->key()),
                      KeyShiftState(event->modifiers(), QGuiApplication::mouseButtons()));
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, skin_);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // A press on the visible background (or the title) moves the window.
    if (event->button() == Qt::LeftButton && shape_.contains(event->position().toPoint())) {
        const QPoint mouse = event->globalPosition().toPoint();
        const QPoint corner = frameGeometry().topLeft();
        move_.Press(mouse.x(), mouse.y(), corner.x(), corner.y());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint mouse = event->globalPosition().toPoint();
    move_.Motion(mouse.x(), mouse.y(), event->buttons() & Qt::LeftButton);
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    move_.Release();
    QWidget::mouseReleaseEvent(event);
}

void MainWindow::FollowLogo() {
    if (!logo_ || !logo_->parentWidget())
        return;
    const bool logo = logo_->isVisibleTo(logo_->parentWidget());
    for (QVideoWidget* surface : logo_->parentWidget()->findChildren<QVideoWidget*>())
        surface->setVisible(!logo);
    if (logo)
        logo_->raise();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == logo_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        FollowLogo();
    // Moving the mouse over the title with the button held drags the window.
    if (watched == title_ && event->type() == QEvent::MouseMove) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint mouse = me->globalPosition().toPoint();
        const QPoint corner = frameGeometry().topLeft();
        move_.TitleMotion(mouse.x(), mouse.y(), corner.x(), corner.y(),
                          me->buttons() & Qt::LeftButton);
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    form_.FormResize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Close handling ends the process; it returns only without an exit hook.
    event->accept();
    form_.FormClose();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = DroppedFilePaths(event->mimeData());
    event->acceptProposedAction();
    if (!paths.empty())
        app_.SourceList.FormDropFiles(paths);
}
