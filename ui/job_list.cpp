#include "ui/job_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>
#include <utility>

namespace picaxo {

namespace {
constexpr int kColumnCount = kJobColumnCount;
constexpr int kColumnWidths[kColumnCount] = {150, 150, 40};
const char* const kColumnTitles[kColumnCount] = {"Filename", "Actions", "Flags"};

// The selected rows as [first, last] spans. The selection model may hold overlapping ranges
// after Ctrl and Shift clicks; the row selection merges them.
TRowSelection SelectedRows(const QItemSelection& selection, int rowCount) {
  std::vector<TRowSelection::TSpan> spans;
  spans.reserve(static_cast<size_t>(selection.size()));
  for (const QItemSelectionRange& range : selection)
    if (range.isValid())
      spans.emplace_back(std::max(range.top(), 0), std::min(range.bottom(), rowCount - 1));
  return TRowSelection(std::move(spans));
}
}  // namespace

// --- Model ---

TJobListModel::TJobListModel(TCellText cellText, QObject* parent)
    : QAbstractTableModel(parent), cellText_(std::move(cellText)) {}

int TJobListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rowCount_;
}

int TJobListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TJobListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount_) return {};
  if (role == Qt::DisplayRole) {
    if (!cellText_) return {};
    return QString::fromStdString(cellText_(index.row(), static_cast<TJobColumn>(index.column())));
  }
  if (role == Qt::TextAlignmentRole && index.column() == static_cast<int>(TJobColumn::Flags))
    return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

QVariant TJobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString(kColumnTitles[section]);
  if (role == Qt::TextAlignmentRole && section == static_cast<int>(TJobColumn::Flags))
    return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

Qt::ItemFlags TJobListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TJobListModel::SetRowCount(int count) {
  count = std::max(count, 0);
  if (count == rowCount_) return;
  if (rowCount_ == 0 || count == 0) {
    // A list filled or emptied as a whole: one reset is cheaper than row notifications.
    beginResetModel();
    rowCount_ = count;
    endResetModel();
  } else if (count > rowCount_) {
    beginInsertRows(QModelIndex(), rowCount_, count - 1);
    rowCount_ = count;
    endInsertRows();
  } else {
    beginRemoveRows(QModelIndex(), count, rowCount_ - 1);
    rowCount_ = count;
    endRemoveRows();
  }
}

void TJobListModel::RowsChanged(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, rowCount_ - 1);
  if (first > last) return;
  emit dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole});
}

// --- View ---

TJobListView::TJobListView(TJobListModel::TCellText cellText, QWidget* parent)
    : QTreeView(parent), model_(new TJobListModel(std::move(cellText), this)) {
  setObjectName("LVJobs");
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);  // row geometry from one row: scrolling stays cheap at any count
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);

  QHeaderView* head = header();
  head->setSectionsClickable(false);
  head->setSectionsMovable(false);
  head->setStretchLastSection(false);
  for (int column = 0; column < kColumnCount; ++column)
    setColumnWidth(column, kColumnWidths[column]);

  // The selection stays visible while another control has the focus.
  QPalette colors = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    colors.setColor(QPalette::Inactive, role, colors.color(QPalette::Active, role));
  setPalette(colors);

  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TJobListView::OnSelectionChanged);
  // Row changes move the selection without a selectionChanged notification.
  connect(model_, &QAbstractItemModel::modelReset, this, &TJobListView::RowsMoved);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &TJobListView::RowsMoved);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &TJobListView::RowsMoved);
}

TRowSelection TJobListView::Selection() const {
  return SelectedRows(selectionModel()->selection(), RowCount());
}

void TJobListView::SelectAllRows() {
  if (RowCount() == 0) return;
  const QItemSelection all(model_->index(0, 0), model_->index(RowCount() - 1, kColumnCount - 1));
  selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
}

void TJobListView::SelectOnlyRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  const QModelIndex index = model_->index(row, 0);
  following_ = true;
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  following_ = false;
  scrollTo(index);
}

void TJobListView::ScrollToRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  scrollTo(model_->index(row, 0));
}

void TJobListView::SyncJobCount(int entryCount) {
  if (RowCount() == entryCount) return;
  model_->SetRowCount(entryCount);
  // Rows that stayed may now show other entries.
  RefreshJobList(TJobRefresh::AllRows, -1);
}

void TJobListView::RefreshJobList(TJobRefresh which, int currentRow) {
  if (which == TJobRefresh::CurrentRow)
    model_->RowsChanged(currentRow, currentRow);
  else
    model_->RowsChanged(0, RowCount() - 1);
}

void TJobListView::keyPressEvent(QKeyEvent* event) {
  // Select All belongs to the window's action, which is disabled for fewer than two images; the
  // view's own Ctrl+A handling would bypass that.
  if (event->matches(QKeySequence::SelectAll)) {
    event->ignore();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void TJobListView::OnSelectionChanged(const QItemSelection&, const QItemSelection&) {
  const TRowSelection selection = Selection();
  const int n = selection.Count();
  // The one selected row is reported also when the change did not select it anew (a click on one
  // of several selected rows, a Ctrl+click deselecting the other row), so the highlighted row is
  // always the image the controls edit.
  std::optional<int> row;
  if (n == 1 && !following_)
    for (const QItemSelectionRange& range : selectionModel()->selection())
      if (range.isValid()) row = range.top();
  emit JobSelectionChanged(row, selection);
}

}  // namespace picaxo
