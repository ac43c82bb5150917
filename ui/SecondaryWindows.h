// The program's other windows: the splash, the converting dialog, the
// options dialog and the busy window, each bound to its core model.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "config/OptionForm.h"
#include "engine/ConvertingForm.h"
#include "media/InitFileForm.h"
#include "shell/FlashForm.h"
#include "ui/Bindings.h"

// The decoded splash picture as a Qt image (a copy).
QImage ToQImage(const TBitmapImage& picture);

class SplashWindow : public QDialog {
    Q_OBJECT
public:
    explicit SplashWindow(TFrmFlashForm& model);
    ~SplashWindow() override;
    // Shows the splash modally; returns when the model closed it.
    void RunModal();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override; // Esc does not close it
    void closeEvent(QCloseEvent* event) override;

private:
    TFrmFlashForm& model_;
    QImage picture_;
    bool mayClose_ = false;
};

class ConvertingDialog : public QDialog {
    Q_OBJECT
public:
    ConvertingDialog(TfrmConverting& model, QWidget* mainWindow);
    ~ConvertingDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddProgress(class QVBoxLayout& layout);
    void AddStopRow(QVBoxLayout& layout);
    void AddStatusBar(QVBoxLayout& layout);
    void BindShowAndHide();

    TfrmConverting& model_;
    QPointer<QWidget> main_;
    bool hiding_ = false;
};

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(TfrmOption& model, QWidget* parent = nullptr);
    ~OptionsDialog() override;
    class QComboBox* ProfileBox() const {
        return profileBox_;
    }
    QComboBox* ListFor(const SelectionList& list) const;
    QAbstractButton* ButtonFor(const TButton& button) const;

public slots:
    void reject() override; // Esc: the cancel button
    void accept() override; // Enter: the default button

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class QPushButton* AddButton(TButton& model, QRect where, const char* name);
    void AddProfileRow();
    void AddAudioSettings();
    void AddHiddenVideoSettings();
    void BindShowAndHide();

    TfrmOption& model_;
    QComboBox* profileBox_ = nullptr;
    std::vector<std::pair<const SelectionList*, QComboBox*>> lists_;
    std::vector<std::pair<const TButton*, QAbstractButton*>> buttons_;
    bool hiding_ = false;
};

class BusyWindow : public QWidget {
    Q_OBJECT
public:
    BusyWindow(TFrmInitFileForm& model, QWidget* mainWindow);
    ~BusyWindow() override;
    void RunModal();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TFrmInitFileForm& model_;
    QPointer<QWidget> main_;
    QLabel* label_ = nullptr;
};

// Places `window` centred over `over` (or the screen when null).
void CentreOver(QWidget* window, QWidget* over);
