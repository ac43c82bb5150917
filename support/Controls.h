// Plain models of the controls the windows are made of. The Qt layer binds
// widgets to these and forwards user events; all behaviour lives in the core.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Modifier keys and mouse buttons held during a key press.
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
};
using TShiftState = unsigned;

// Base of every control: the flags a widget mirrors, plus a change hook the
// view subscribes to so it can repaint after the core changed something.
class TControl {
public:
    bool Enabled = true;
    bool Visible = true;
    std::string Hint;
    // Called by the core after any change of the model; the view refreshes.
    std::function<void()> OnModelChanged;

    void Changed() const {
        if (OnModelChanged)
            OnModelChanged();
    }
};

// A list of fixed item texts with one selection or none. Setting the selection
// from code never raises OnChange; only UserSelect (a user's choice) does.
class SelectionList : public TControl {
public:
    std::vector<std::string> Items;
    std::function<void()> OnChange;

    int Count() const { return static_cast<int>(Items.size()); }
    int ItemIndex() const { return index_; }
    bool HasSelection() const { return index_ >= 0; }

    // Out of range leaves the list with no selection.
    void SetItemIndex(int index) {
        index_ = (index >= 0 && index < Count()) ? index : -1;
        Changed();
    }
    // The text of the selected item, empty without a selection.
    std::string Text() const {
        return index_ >= 0 ? Items[static_cast<size_t>(index_)] : std::string();
    }
    std::string ItemText(int index) const {
        return (index >= 0 && index < Count()) ? Items[static_cast<size_t>(index)] : std::string();
    }
    void Clear() {
        Items.clear();
        index_ = -1;
        Changed();
    }
    void Add(std::string text) {
        Items.push_back(std::move(text));
        Changed();
    }
    void SetItems(std::vector<std::string> items) {
        Items = std::move(items);
        if (index_ >= Count())
            index_ = -1;
        Changed();
    }
    // A choice made by the user in the widget: selects and raises OnChange.
    void UserSelect(int index) {
        SetItemIndex(index);
        if (OnChange)
            OnChange();
    }

private:
    int index_ = -1;
};

class TLabel : public TControl {
public:
    std::string Caption;
    void SetCaption(std::string text) {
        Caption = std::move(text);
        Changed();
    }
};

class TEdit : public TControl {
public:
    std::string Text;
    bool ReadOnly = false;
    void SetText(std::string text) {
        Text = std::move(text);
        Changed();
    }
};

class TCheckBox : public TControl {
public:
    std::string Caption;
    bool Checked = false;
    std::function<void()> OnClick;
    void SetChecked(bool checked) {
        Checked = checked;
        Changed();
    }
    void UserToggle() {
        SetChecked(!Checked);
        if (OnClick)
            OnClick();
    }
};

class TProgressBar : public TControl {
public:
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetRange(int min, int max) {
        min_ = min;
        max_ = std::max(min, max);
        position_ = std::clamp(position_, min_, max_);
        Changed();
    }
    void SetMax(int max) { SetRange(min_, max); }
    void SetMin(int min) { SetRange(min, max_); }
    // Positions outside [Min, Max] are clamped.
    void SetPosition(int position) {
        position_ = std::clamp(position, min_, max_);
        Changed();
    }

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

class TButton : public TControl {
public:
    std::string Caption;
    std::function<void()> OnClick;
    // Runs the command as a mouse click would; used by shortcuts too, which
    // work on hidden or disabled buttons.
    void Click() const {
        if (OnClick)
            OnClick();
    }
};

// A periodic timer. The view owns the real clock and calls Tick() every
// Interval ms while Enabled.
class TTimer : public TControl {
public:
    TTimer() { Enabled = false; }
    int Interval = 1000;
    std::function<void()> OnTimer;
    void SetEnabled(bool enabled) {
        Enabled = enabled;
        Changed();
    }
    void Tick() const {
        if (Enabled && OnTimer)
            OnTimer();
    }
};

// A window: caption, shown flag, enabled flag, and the hooks the view uses to
// show, hide or close it.
class TFormModel : public TControl {
public:
    TFormModel() { Visible = false; }
    std::string Caption;
    std::function<void()> OnShowRequested;
    std::function<void()> OnHideRequested;
    void SetCaption(std::string text) {
        Caption = std::move(text);
        Changed();
    }
    void Show() {
        Visible = true;
        Changed();
        if (OnShowRequested)
            OnShowRequested();
    }
    void Hide() {
        Visible = false;
        Changed();
        if (OnHideRequested)
            OnHideRequested();
    }
    void SetEnabled(bool enabled) {
        Enabled = enabled;
        Changed();
    }
};
