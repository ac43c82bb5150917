// The source file grid as data: ordered rows of seven text fields, a
// multi-row selection and at most one focused row. The view shows it.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "support/Controls.h"

// Field indexes of a row.
enum TSourceField {
    sfCheck = 0,     // "True" / "False"
    sfFileName = 1,  // full path, the row's key
    sfSize = 2,      // SizeToText
    sfDuration = 3,  // hh:mm:ss
    sfStartTime = 4, // hh:mm:ss
    sfEndTime = 5,   // hh:mm:ss
    sfCutTime = 6,   // hh:mm:ss
};

struct TSourceFileRow {
    std::array<std::string, 7> Fields;
    bool Selected = false;
    std::string& operator[](int i) { return Fields[static_cast<size_t>(i)]; }
    const std::string& operator[](int i) const { return Fields[static_cast<size_t>(i)]; }
};

class TSourceFileGrid : public TControl {
public:
    std::vector<TSourceFileRow> Rows;
    // Focused row index, -1 for none.
    int Focused = -1;
    // Repainting suspended while rows are removed in bulk.
    bool UpdatesLocked = false;

    int RowCount() const { return static_cast<int>(Rows.size()); }
    bool ValidRow(int r) const { return r >= 0 && r < RowCount(); }
    std::string Field(int r, int i) const {
        return ValidRow(r) ? Rows[static_cast<size_t>(r)][i] : std::string();
    }
    void SetField(int r, int i, std::string text) {
        if (ValidRow(r)) {
            Rows[static_cast<size_t>(r)][i] = std::move(text);
            Changed();
        }
    }
    bool IsSelected(int r) const { return ValidRow(r) && Rows[static_cast<size_t>(r)].Selected; }
    void SetSelected(int r, bool selected) {
        if (ValidRow(r)) {
            Rows[static_cast<size_t>(r)].Selected = selected;
            Changed();
        }
    }
    int SelectedCount() const {
        int n = 0;
        for (const auto& row : Rows)
            n += row.Selected ? 1 : 0;
        return n;
    }
    // First selected row, -1 for none.
    int FirstSelected() const {
        for (int r = 0; r < RowCount(); ++r)
            if (Rows[static_cast<size_t>(r)].Selected)
                return r;
        return -1;
    }
    void SetFocused(int r) {
        Focused = ValidRow(r) ? r : -1;
        Changed();
    }
    void DeleteRow(int r) {
        if (!ValidRow(r))
            return;
        Rows.erase(Rows.begin() + r);
        if (Focused == r)
            Focused = -1;
        else if (Focused > r)
            --Focused;
        Changed();
    }
    // Appends a row at the end; returns its index.
    int AppendRow(TSourceFileRow row) {
        Rows.push_back(std::move(row));
        Changed();
        return RowCount() - 1;
    }
    void ClearRows() {
        Rows.clear();
        Focused = -1;
        Changed();
    }
};

// Calls from the source list into the preview player and the trim bar, which
// keep them in step with the list.
class IPreviewHooks {
public:
    virtual ~IPreviewHooks() = default;
    virtual void PlaceMarkers() = 0;
    virtual void ResetTrimBar() = 0;
    virtual void StopPlay() = 0;
};
