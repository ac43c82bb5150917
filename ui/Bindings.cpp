#include "ui/Bindings.h"

#include <QPainter>
#include <QSignalBlocker>

#include "ui/QtToolkit.h"

namespace {

// Unhooks the model when the widget goes, so a later change cannot reach a
// destroyed widget.
void UnhookOnDestroy(QObject* widget, TControl& model) {
    QObject::connect(widget, &QObject::destroyed, [&model] { model.OnModelChanged = nullptr; });
}

} // namespace

void BindComboBox(QComboBox* box, SelectionList& list) {
    QPointer<QComboBox> p(box);
    auto refresh = [p, &list] {
        if (!p)
            return;
        QSignalBlocker block(p);
        bool same = p->count() == list.Count();
        for (int i = 0; same && i < list.Count(); ++i)
            same = p->itemText(i) == Q(list.ItemText(i));
        if (!same) {
            p->clear();
            for (const auto& item : list.Items)
                p->addItem(Q(item));
        }
        p->setCurrentIndex(list.ItemIndex());
        p->setEnabled(list.Enabled);
        p->setToolTip(Q(list.Hint));
    };
    list.OnModelChanged = refresh;
    refresh();
    QObject::connect(box, &QComboBox::activated, box,
                     [&list](int index) { list.UserSelect(index); });
    UnhookOnDestroy(box, list);
}

void BindLabel(QLabel* label, TLabel& model, bool autoSize) {
    QPointer<QLabel> p(label);
    auto refresh = [p, &model, autoSize] {
        if (!p)
            return;
        p->setText(Q(model.Caption));
        p->setEnabled(model.Enabled);
        if (autoSize)
            p->adjustSize();
    };
    model.OnModelChanged = refresh;
    refresh();
    UnhookOnDestroy(label, model);
}

void BindLineEdit(QLineEdit* edit, TEdit& model) {
    QPointer<QLineEdit> p(edit);
    auto refresh = [p, &model] {
        if (!p)
            return;
        if (p->text() != Q(model.Text))
            p->setText(Q(model.Text));
        p->setCursorPosition(0);
        p->setReadOnly(model.ReadOnly);
        p->setEnabled(model.Enabled);
    };
    model.OnModelChanged = refresh;
    refresh();
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&model](const QString& text) {
        if (!model.ReadOnly)
            model.Text = S(text);
    });
    UnhookOnDestroy(edit, model);
}

void BindCheckBox(QCheckBox* box, TCheckBox& model) {
    QPointer<QCheckBox> p(box);
    auto refresh = [p, &model] {
        if (!p)
            return;
        QSignalBlocker block(p);
        p->setChecked(model.Checked);
        p->setText(Q(model.Caption));
        p->setEnabled(model.Enabled);
    };
    model.OnModelChanged = refresh;
    refresh();
    QObject::connect(box, &QCheckBox::clicked, box, [&model, p](bool) {
        // The user toggled it: the model decides and the box follows.
        model.UserToggle();
        if (p) {
            QSignalBlocker block(p);
            p->setChecked(model.Checked);
        }
    });
    UnhookOnDestroy(box, model);
}

void BindProgressBar(QProgressBar* bar, TProgressBar& model) {
    QPointer<QProgressBar> p(bar);
    auto refresh = [p, &model] {
        if (!p)
            return;
        // A range of 0 to 0 would make Qt show a busy bar; show it empty.
        if (model.Max() == model.Min()) {
            p->setRange(model.Min(), model.Min() + 1);
            p->setValue(model.Min());
        } else {
            p->setRange(model.Min(), model.Max());
            p->setValue(model.Position());
        }
        p->setEnabled(model.Enabled);
    };
    model.OnModelChanged = refresh;
    refresh();
    UnhookOnDestroy(bar, model);
}

void NameByLabel(QWidget* control, QLabel* label) {
    label->setBuddy(control);
    // The visible caption without its closing colon.
    QString name = label->text().trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    control->setAccessibleName(name.trimmed());
}

void BindVisibility(QWidget* widget, TControl& model) {
    QPointer<QWidget> p(widget);
    auto refresh = [p, &model] {
        if (p)
            p->setVisible(model.Visible);
    };
    model.OnModelChanged = refresh;
    refresh();
    UnhookOnDestroy(widget, model);
}

PictureButton::PictureButton(ButtonArt art, const QString& text, QWidget* parent)
    : QAbstractButton(parent), art_(art) {
    setText(text);
    // A picture alone says nothing to a screen reader: it hears the meaning.
    if (text.isEmpty())
        setAccessibleName(ButtonArtMeaning(art));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void PictureButton::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void PictureButton::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ButtonState state = ButtonState::Normal;
    if (!isEnabled())
        state = ButtonState::Disabled;
    else if (isDown())
        state = ButtonState::Pressed;
    else if (hover_)
        state = ButtonState::Hover;
    PaintButtonArt(painter, rect(), art_, text(), state);
}

void BindButton(QAbstractButton* button, TButton& model) {
    QPointer<QAbstractButton> p(button);
    auto refresh = [p, &model] {
        if (!p)
            return;
        p->setEnabled(model.Enabled);
        p->setToolTip(Q(model.Hint));
        if (!model.Caption.empty())
            p->setText(Q(model.Caption));
        p->setVisible(model.Visible);
    };
    model.OnModelChanged = refresh;
    refresh();
    QObject::connect(button, &QAbstractButton::clicked, button, [&model] { model.Click(); });
    UnhookOnDestroy(button, model);
}

TimerBinding::TimerBinding(TTimer& model, QObject* parent) : QObject(parent), model_(model) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { model_.Tick(); });
    model_.OnModelChanged = [this] { Refresh(); };
    Refresh();
}

TimerBinding::~TimerBinding() {
    model_.OnModelChanged = nullptr;
}

void TimerBinding::Refresh() {
    if (timer_.interval() != model_.Interval)
        timer_.setInterval(model_.Interval);
    if (model_.Enabled && !timer_.isActive())
        timer_.start();
    else if (!model_.Enabled && timer_.isActive())
        timer_.stop();
}
