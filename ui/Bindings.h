// Generic widgets bound to the control models: the model is the truth, the
// widget shows it and forwards the user's actions. No behaviour lives here.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include "support/Controls.h"
#include "ui/ButtonArt.h"

// Only a choice of the user raises the list's change: programmatic updates
// are made with the signals blocked.
void BindComboBox(QComboBox* box, SelectionList& list);
// An auto-sized label grows with its text from its top left corner.
void BindLabel(QLabel* label, TLabel& model, bool autoSize = true);
void BindLineEdit(QLineEdit* edit, TEdit& model);
void BindCheckBox(QCheckBox* box, TCheckBox& model);
void BindProgressBar(QProgressBar* bar, TProgressBar& model);
// The label beside `control` names it for screen readers, as its buddy.
void NameByLabel(QWidget* control, QLabel* label);
// Shows or hides `widget` with a model's Visible flag.
void BindVisibility(QWidget* widget, TControl& model);

// A button that paints its own picture (normal, hover, pressed, disabled).
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(ButtonArt art, const QString& text, QWidget* parent);
    ButtonArt Art() const { return art_; }
    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    ButtonArt art_;
    bool hover_ = false;
};

// Enabled, visible and hint follow the model; a click runs its command.
void BindButton(QAbstractButton* button, TButton& model);

// Drives a TTimer with a QTimer: started and stopped with the model's
// Enabled flag, its interval taken from the model.
class TimerBinding : public QObject {
    Q_OBJECT
public:
    TimerBinding(TTimer& model, QObject* parent);
    ~TimerBinding() override;
    QTimer& Timer() { return timer_; }
    void Refresh();

private:
    TTimer& model_;
    QTimer timer_;
};
