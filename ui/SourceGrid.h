// The source file grid: a table view over TSourceFileGrid. The rows, their
// selection and focus live in the core; the view mirrors them and forwards
// keys, clicks, edits, row drags and dropped files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

#include "media/SourceFileGrid.h"

inline constexpr const char* RowDragMimeType = "application/x-velmora-rows";

// Paths of the local files in a drop's text/uri-list, in order.
std::vector<std::string> DroppedFilePaths(const class QMimeData* mime);
// Qt key to the key code the core uses (letters upper case, F1, Delete).
int CoreKeyCode(int qtKey);

class SourceGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 7;
    explicit SourceGridModel(TSourceFileGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

    // Re-reads the rows after the core changed them.
    void Refresh();
    TSourceFileGrid& Grid() const { return grid_; }
    // An edit of a cell ended with this text; the core checks and stores it.
    std::function<void(int row, int column, const std::string& text)> OnCellEdited;

private:
    TSourceFileGrid& grid_;
    int rows_ = 0;
};

// The hh:mm:ss editor of the Start Time and End Time cells.
class TimeCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};

class SourceGridView : public QTableView {
    Q_OBJECT
public:
    SourceGridView(TSourceFileGrid& grid, QWidget* parent);
    ~SourceGridView() override;

    SourceGridModel& GridModel() { return model_; }

    // Forwarded to the source list.
    std::function<void(int key)> OnKeyDown;
    std::function<void(int key)> OnKeyUp;
    std::function<void()> OnClicked;
    std::function<void(bool overGrid)> OnEndDrag;
    std::function<void(const std::vector<std::string>&)> OnFilesDropped;

    // End of a row drag started here; released over the grid or not.
    void FinishRowDrag(bool releasedOverGrid);
    // Shares the width among the columns by their design proportions.
    void ApplyColumnProportions();
    // Mirrors the core's selection and focus.
    void SyncSelectionFromModel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SelectionToModel();
    void ModelChanged();

    TSourceFileGrid& grid_;
    SourceGridModel model_;
    TimeCellDelegate timeDelegate_;
    bool syncing_ = false;
    bool droppedOnSelf_ = false;
    bool refreshQueued_ = false;
};
