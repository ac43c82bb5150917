// The main window: frameless, shaped by the skin, every control at its place
// and bound to TFrmMainForm. Keys are previewed by the model before the
// focused control gets them.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QWidget>

#include "shell/Application.h"
#include "shell/WindowMove.h"
#include "ui/Bindings.h"
#include "ui/SourceGrid.h"

// Key modifiers and mouse buttons as the core's shift state; AltGr counts
// as Ctrl+Alt, as it does on the desktop the program was made for.
TShiftState KeyShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // `video` is the player's video area (may be null: a black panel is
    // shown); the window takes it over.
    MainWindow(TApplication& app, QWidget* video);
    ~MainWindow() override;

    TApplication& App() { return app_; }
    SourceGridView* Grid() const { return grid_; }
    QLabel* TitleLabel() const { return title_; }
    const QImage& Skin() const { return skin_; }
    // The part of the window that is kept (the skin without its magenta).
    const QRegion& Shape() const { return shape_; }
    // A key press on a widget of this window, before the widget sees it.
    void PreviewKey(QKeyEvent* event);
    // Picture buttons by model, for tests and screenshots.
    QAbstractButton* ButtonFor(const TButton& model) const;
    QComboBox* OutputTypeBox() const { return outputType_; }
    QComboBox* ProfileBox() const { return profile_; }
    // Runs the model's show handling once and reports whether the program
    // goes on (false: it ends without showing the window).
    bool RunShowHandling();
    // Centres the window on the screen.
    void Centre();
    // Shown again if minimised, raised and given the keyboard.
    void BringToFront();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's areas, built in the order of their tab stops.
    void BuildTitleBar();
    void BuildSettingsArea();
    void BuildPreviewArea(QWidget* video);
    void BuildListArea();
    void BindFormModel();
    QLabel* AddLabel(TLabel& model, int x, int y, int pixelSize = 12, bool bold = false);
    PictureButton* AddButton(TButton& model, ButtonArt art, const QString& text, QRect where);
    // The video surface is hidden while the logo covers it.
    void FollowLogo();

    TApplication& app_;
    TFrmMainForm& form_;
    QImage skin_;
    QRegion shape_;
    QLabel* title_ = nullptr;
    QWidget* logo_ = nullptr;
    QComboBox* outputType_ = nullptr;
    QComboBox* profile_ = nullptr;
    QLineEdit* outputFolder_ = nullptr;
    SourceGridView* grid_ = nullptr;
    std::vector<std::pair<const TButton*, QAbstractButton*>> buttons_;
    std::vector<TimerBinding*> timers_;
    TWindowMove move_;
};
