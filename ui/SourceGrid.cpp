#include "ui/SourceGrid.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <QUrl>

#include "ui/QtToolkit.h"
#include "ui/preview/LocalPaths.h"

namespace {

const char* const kCaptions[SourceGridModel::ColumnCount] = {
    "", "File Name", "File Size", "Duration", "Start Time", "End Time", "Cut Time"};
// Design widths; the columns share the grid in this proportion.
const int kProportions[SourceGridModel::ColumnCount] = {16, 68, 28, 28, 28, 28, 28};

bool IsTimeColumn(int column) {
    return column == sfStartTime || column == sfEndTime;
}

} // namespace

std::vector<std::string> DroppedFilePaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls())
        if (std::string path = LocalPathOfUrl(url); !path.empty())
            paths.push_back(std::move(path));
    return paths;
}

int CoreKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 0x70 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Space:
        return 32;
    default:
        return 0;
    }
}

SourceGridModel::SourceGridModel(TSourceFileGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount()) {}

int SourceGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SourceGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceGridModel::data(const QModelIndex& index, int role) const {
    // The core may have removed rows we have not been told about yet.
    if (!index.isValid() || !grid_.ValidRow(index.row()))
        return {};
    const std::string& text = grid_.Rows[static_cast<size_t>(index.row())][index.column()];
    if (index.column() == sfCheck) {
        if (role == Qt::CheckStateRole)
            return text == "True" ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return Q(text);
    if (role == Qt::ToolTipRole && index.column() == sfFileName)
        return Q(text);
    if (role == Qt::TextAlignmentRole && index.column() != sfFileName)
        return int(Qt::AlignCenter);
    return {};
}

QVariant SourceGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return QString::fromUtf8(kCaptions[section]);
    // The check column shows no caption; a screen reader hears what it does.
    if (orientation == Qt::Horizontal && role == Qt::AccessibleTextRole && section == sfCheck)
        return QStringLiteral("Convert");
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SourceGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    if (index.column() == sfCheck)
        f |= Qt::ItemIsUserCheckable;
    if (IsTimeColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool SourceGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !grid_.ValidRow(index.row()))
        return false;
    std::string text;
    if (index.column() == sfCheck && role == Qt::CheckStateRole)
        text = value.toInt() == Qt::Checked ? "True" : "False";
    else if (IsTimeColumn(index.column()) && role == Qt::EditRole)
        text = S(value.toString());
    else
        return false;
    if (OnCellEdited)
        OnCellEdited(index.row(), index.column(), text);
    else
        grid_.SetField(index.row(), index.column(), text);
    return true;
}

void SourceGridModel::Refresh() {
    if (rows_ != grid_.RowCount()) {
        beginResetModel();
        rows_ = grid_.RowCount();
        endResetModel();
    } else if (rows_ > 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, ColumnCount - 1));
    }
}

QWidget* TimeCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
    auto* editor = new QTimeEdit(parent);
    editor->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    editor->setObjectName(QStringLiteral("TimeCellEditor"));
    editor->setFrame(false);
    return editor;
}

void TimeCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QTimeEdit*>(editor);
    QTime t = QTime::fromString(index.data(Qt::EditRole).toString(), QStringLiteral("HH:mm:ss"));
    edit->setTime(t.isValid() ? t : QTime(0, 0, 0));
}

void TimeCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    auto* edit = static_cast<QTimeEdit*>(editor);
    model->setData(index, edit->time().toString(QStringLiteral("HH:mm:ss")), Qt::EditRole);
}

SourceGridView::SourceGridView(TSourceFileGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(grid, this), timeDelegate_(this) {
    setObjectName(QStringLiteral("dxTreeSourceFileInfo"));
    setAccessibleName(QStringLiteral("文件列表"));
    setModel(&model_);
    setItemDelegateForColumn(sfStartTime, &timeDelegate_);
    setItemDelegateForColumn(sfEndTime, &timeDelegate_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The editor opens on the first click of a time cell.
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(12);
    // The selection stays visible when the grid loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SelectionToModel(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { SelectionToModel(); });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        // A reset gives a new selection model state; mirror the core again.
        SyncSelectionFromModel();
    });
    grid_.OnModelChanged = [this] { ModelChanged(); };
    SyncSelectionFromModel();
}

SourceGridView::~SourceGridView() {
    grid_.OnModelChanged = nullptr;
}

void SourceGridView::ModelChanged() {
    if (grid_.UpdatesLocked) {
        // Repainting is suspended; catch up once the lock is gone.
        if (!refreshQueued_) {
            refreshQueued_ = true;
            QTimer::singleShot(0, this, [this] {
                refreshQueued_ = false;
                ModelChanged();
            });
        }
        return;
    }
    syncing_ = true;
    model_.Refresh();
    syncing_ = false;
    SyncSelectionFromModel();
}

void SourceGridView::SyncSelectionFromModel() {
    syncing_ = true;
    QItemSelection selection;
    for (int r = 0; r < model_.rowCount(); ++r)
        if (grid_.IsSelected(r))
            selection.select(model_.index(r, 0), model_.index(r, SourceGridModel::ColumnCount - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // The core knows a focused row, not a cell: a current cell in that row
    // stays, so an open editor is not closed under the delegate's feet.
    const QModelIndex current = selectionModel()->currentIndex();
    if (!grid_.ValidRow(grid_.Focused))
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    else if (!current.isValid() || current.row() != grid_.Focused)
        selectionModel()->setCurrentIndex(model_.index(grid_.Focused, sfFileName),
                                          QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

void SourceGridView::SelectionToModel() {
    if (syncing_)
        return;
    for (int r = 0; r < grid_.RowCount() && r < model_.rowCount(); ++r)
        grid_.Rows[static_cast<size_t>(r)].Selected = selectionModel()->isRowSelected(r, {});
    QModelIndex current = selectionModel()->currentIndex();
    grid_.Focused = current.isValid() && grid_.ValidRow(current.row()) ? current.row() : -1;
}

void SourceGridView::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown)
        OnKeyDown(CoreKeyCode(event->key()));
    QTableView::keyPressEvent(event);
}

void SourceGridView::keyReleaseEvent(QKeyEvent* event) {
    if (OnKeyUp && !event->isAutoRepeat())
        OnKeyUp(CoreKeyCode(event->key()));
    QTableView::keyReleaseEvent(event);
}

void SourceGridView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (OnClicked)
        OnClicked();
}

void SourceGridView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    ApplyColumnProportions();
}

void SourceGridView::ApplyColumnProportions() {
    int total = 0;
    for (int w : kProportions)
        total += w;
    const int width = viewport()->width();
    int used = 0;
    for (int c = 0; c < SourceGridModel::ColumnCount; ++c) {
        int w =
            c == SourceGridModel::ColumnCount - 1 ? width - used : width * kProportions[c] / total;
        horizontalHeader()->resizeSection(c, qMax(w, 12));
        used += w;
    }
}

void SourceGridView::startDrag(Qt::DropActions) {
    if (grid_.SelectedCount() == 0)
        return;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(RowDragMimeType, QByteArray::number(grid_.SelectedCount()));
    drag->setMimeData(mime);
    droppedOnSelf_ = false;
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    FinishRowDrag(droppedOnSelf_);
}

void SourceGridView::FinishRowDrag(bool releasedOverGrid) {
    if (OnEndDrag)
        OnEndDrag(releasedOverGrid);
}

void SourceGridView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(RowDragMimeType) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void SourceGridView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(RowDragMimeType) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void SourceGridView::dropEvent(QDropEvent* event) {
    if (event->mimeData()->hasFormat(RowDragMimeType)) {
        // Our own rows released over the grid: nothing changes.
        droppedOnSelf_ = true;
        event->acceptProposedAction();
        return;
    }
    std::vector<std::string> paths = DroppedFilePaths(event->mimeData());
    event->acceptProposedAction();
    if (!paths.empty() && OnFilesDropped)
        OnFilesDropped(paths);
}
