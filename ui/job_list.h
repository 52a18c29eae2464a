#pragma once
// The batch job list (LVJobs): one row per image, drawn from the entries on demand.
//
// The list keeps no row objects. Its model knows only the row count and asks a text source for
// the text of one cell when the view paints it, so a folder of ten thousand images costs nothing
// until its rows are seen, and a change to every entry is one repaint of the visible rows.
#include <QAbstractTableModel>
#include <QTreeView>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_rows.h"
#include "jobs/row_selection.h"

namespace picaxo {

// Which rows a refresh redraws.
enum class TJobRefresh { CurrentRow, AllRows };

class TJobListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The text of one cell; called for the rows the view paints, with row < RowCount().
  using TCellText = std::function<std::string(int row, TJobColumn column)>;

  explicit TJobListModel(TCellText cellText, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The number of rows the list is told; rows are added or dropped at the end.
  void SetRowCount(int count);
  // Rows first ... last must be drawn again (one notification for the whole range).
  void RowsChanged(int first, int last);

 private:
  TCellText cellText_;
  int rowCount_ = 0;
};

class TJobListView : public QTreeView {
  Q_OBJECT

 public:
  explicit TJobListView(TJobListModel::TCellText cellText, QWidget* parent = nullptr);

  TJobListModel* JobModel() const { return model_; }
  int RowCount() const { return model_->rowCount(); }

  // The selection now (the model is told of every change through the signals below).
  TRowSelection Selection() const;
  int SelectedRowCount() const { return Selection().Count(); }
  bool IsRowSelected(int row) const { return Selection().Contains(row); }

  // Selects every row in one step.
  void SelectAllRows();
  // The list follows the current image: that row alone is selected, focused and scrolled to.
  void SelectOnlyRow(int row);
  // During a batch run the selection stays; the current row is only scrolled into view.
  void ScrollToRow(int row);

  // Makes the row count equal to the number of entries; all rows are redrawn when it changed. A
  // rebuilt image list is one count change here (a reset when the list was or becomes empty), so
  // a folder scan never redraws row by row and needs no suspended updating around it.
  void SyncJobCount(int entryCount);
  // Redraws the current entry's row or every row.
  void RefreshJobList(TJobRefresh which, int currentRow);

 signals:
  // The selection changed to selection. row: the one selected row when a change by the user left
  // exactly one row selected (its image becomes current), else -1 (also while the list itself
  // follows the current image).
  void JobSelectionChanged(std::optional<int> row, const picaxo::TRowSelection& selection);
  // Rows were added or dropped, which moves the selection without a change of it by the user.
  void JobRowsMoved(const picaxo::TRowSelection& selection);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void RowsMoved() { emit JobRowsMoved(Selection()); }

  TJobListModel* model_;
  bool following_ = false;  // the list itself is moving the selection to the current row
};

}  // namespace picaxo
