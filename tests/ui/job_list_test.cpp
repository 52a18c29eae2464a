// The job list on its own: columns, cell texts on demand, selection handling and the redraws.
#include "ui/job_list.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "jobs/entry.h"

namespace picaxo {
namespace {

// A list over entries of the folder "/pics", counting how often a cell text is asked for.
struct JobListTest : ::testing::Test {
  std::vector<TFileEntry> entries;
  TResizeSettings settings;
  int cellCalls = 0;
  TJobListView view{[this](int row, TJobColumn column) { return Cell(row, column); }};

  std::string Cell(int row, TJobColumn column) {
    ++cellCalls;
    const TFileEntry* entry =
        row < static_cast<int>(entries.size()) ? &entries[static_cast<size_t>(row)] : nullptr;
    switch (column) {
      case TJobColumn::FileName:
        return JobFileNameText(entry, "/pics");
      case TJobColumn::Actions:
        return entry ? JobActionsText(*entry, settings) : std::string();
      case TJobColumn::Flags:
        return entry ? JobFlagsText(*entry) : std::string();
    }
    return {};
  }

  void Fill(int count) {
    entries.clear();
    for (int i = 0; i < count; ++i)
      entries.emplace_back("/pics/img" + std::to_string(i) + ".jpg", 1000);
    view.SyncJobCount(count);
  }

  void Show() {
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  QString Text(int row, TJobColumn column) {
    return view.model()->index(row, static_cast<int>(column)).data().toString();
  }

  void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect rect = view.visualRect(view.model()->index(row, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, rect.center());
  }
};

TEST_F(JobListTest, ReportStyleColumnsThatCannotBeSortedOrEdited) {
  EXPECT_EQ(view.objectName(), "LVJobs");
  ASSERT_EQ(view.model()->columnCount(), 3);
  const char* titles[] = {"Filename", "Actions", "Flags"};
  const int widths[] = {150, 150, 40};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(view.model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
    EXPECT_EQ(view.columnWidth(c), widths[c]);
  }
  EXPECT_FALSE(view.header()->sectionsClickable());
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  Fill(1);
  const QModelIndex flags = view.model()->index(0, 2);
  EXPECT_EQ(flags.data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
  EXPECT_FALSE(flags.flags() & Qt::ItemIsEditable);
  // The selection keeps its colours when the list loses the focus.
  EXPECT_EQ(view.palette().color(QPalette::Inactive, QPalette::Highlight),
            view.palette().color(QPalette::Active, QPalette::Highlight));
}

// The rows each selection change reports as chosen (-1: none) and the counts.
struct TSelectionLog {
  std::vector<int> rows;
  std::vector<int> counts;
  explicit TSelectionLog(TJobListView& view) {
    QObject::connect(&view, &TJobListView::JobSelectionChanged,
                     [this](std::optional<int> row, const TRowSelection& selection) {
                       rows.push_back(row.value_or(-1));
                       counts.push_back(selection.Count());
                     });
  }
  std::vector<int> Chosen() const {
    std::vector<int> chosen;
    for (int row : rows)
      if (row >= 0) chosen.push_back(row);
    return chosen;
  }
};

TEST_F(JobListTest, OneClickedRowIsChosenAndASecondOneOnlyCounts) {
  Fill(5);
  Show();
  TSelectionLog log(view);
  Click(2);
  EXPECT_EQ(log.Chosen(), std::vector<int>{2});
  EXPECT_EQ(log.counts.back(), 1);
  Click(4, Qt::ControlModifier);
  EXPECT_EQ(log.Chosen(), std::vector<int>{2});  // a second row does not move the current image
  EXPECT_EQ(log.counts.back(), 2);
  EXPECT_TRUE(view.IsRowSelected(2));
  EXPECT_TRUE(view.IsRowSelected(4));
  EXPECT_FALSE(view.IsRowSelected(3));
  Click(1, Qt::ShiftModifier);  // range from the last clicked row: 1 ... 4
  EXPECT_EQ(view.SelectedRowCount(), 4);
  EXPECT_EQ(log.counts.back(), 4);
  // A click on one of the selected rows leaves it alone selected without selecting it anew; it
  // is chosen all the same, as is the row a Ctrl+click leaves alone.
  Click(1);
  EXPECT_EQ(log.Chosen(), (std::vector<int>{2, 1}));
  Click(3, Qt::ControlModifier);
  Click(1, Qt::ControlModifier);
  EXPECT_EQ(log.Chosen(), (std::vector<int>{2, 1, 3}));
  EXPECT_EQ(view.SelectedRowCount(), 1);
  view.clearSelection();
  EXPECT_EQ(log.counts.back(), 0);
  EXPECT_EQ(log.rows.back(), -1);
  EXPECT_EQ(view.SelectedRowCount(), 0);
}

TEST_F(JobListTest, FollowingTheCurrentImageSelectsItsRowAloneWithoutChoosingIt) {
  Fill(20);
  Show();
  view.SelectAllRows();
  TSelectionLog log(view);
  view.SelectOnlyRow(17);
  EXPECT_TRUE(log.Chosen().empty());
  ASSERT_FALSE(log.counts.empty());
  EXPECT_EQ(log.counts.back(), 1);
  EXPECT_EQ(view.SelectedRowCount(), 1);
  EXPECT_TRUE(view.IsRowSelected(17));
  EXPECT_EQ(view.currentIndex().row(), 17);
  EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(view.model()->index(17, 0))));
  // During a run the selection stays and the row is only scrolled to.
  view.SelectOnlyRow(0);
  view.ScrollToRow(19);
  EXPECT_TRUE(view.IsRowSelected(0));
  EXPECT_EQ(view.SelectedRowCount(), 1);
  EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(view.model()->index(19, 0))));
}

TEST_F(JobListTest, SelectAllOfTenThousandRowsIsOneRangeAndDrawsOnlyVisibleRows) {
  Fill(10000);
  Show();
  TSelectionLog log(view);
  cellCalls = 0;
  view.SelectAllRows();
  QCoreApplication::processEvents();  // the repaint
  EXPECT_EQ(view.selectionModel()->selection().size(), 1);
  EXPECT_EQ(view.SelectedRowCount(), 10000);
  EXPECT_TRUE(view.IsRowSelected(0));
  EXPECT_TRUE(view.IsRowSelected(9999));
  EXPECT_EQ(log.counts, std::vector<int>{10000});
  EXPECT_EQ(log.rows, std::vector<int>{-1});
  // Only the rows on screen are asked for their texts.
  EXPECT_LT(cellCalls, 3 * 200);
}

TEST_F(JobListTest, RefreshNotifiesTheCurrentRowOrAllRowsInOneStep) {
  Fill(300);
  QSignalSpy changed(view.JobModel(), &QAbstractItemModel::dataChanged);
  view.RefreshJobList(TJobRefresh::CurrentRow, 7);
  ASSERT_EQ(changed.size(), 1);
  EXPECT_EQ(changed[0][0].toModelIndex().row(), 7);
  EXPECT_EQ(changed[0][1].toModelIndex().row(), 7);
  EXPECT_EQ(changed[0][1].toModelIndex().column(), 2);
  view.RefreshJobList(TJobRefresh::AllRows, 7);
  ASSERT_EQ(changed.size(), 2);
  EXPECT_EQ(changed[1][0].toModelIndex().row(), 0);
  EXPECT_EQ(changed[1][1].toModelIndex().row(), 299);
  // A current row outside the list (no image) redraws nothing.
  view.RefreshJobList(TJobRefresh::CurrentRow, 300);
  view.RefreshJobList(TJobRefresh::CurrentRow, -1);
  EXPECT_EQ(changed.size(), 2);
}

TEST_F(JobListTest, SyncSetsTheRowCountAndRedrawsAllRowsOnlyWhenItChanged) {
  Fill(3);
  QSignalSpy changed(view.JobModel(), &QAbstractItemModel::dataChanged);
  QSignalSpy removed(view.JobModel(), &QAbstractItemModel::rowsRemoved);
  view.SyncJobCount(3);
  EXPECT_TRUE(changed.isEmpty());  // same count: nothing to do
  view.SyncJobCount(2);
  EXPECT_EQ(view.RowCount(), 2);
  ASSERT_EQ(changed.size(), 1);
  EXPECT_EQ(changed[0][1].toModelIndex().row(), 1);
  EXPECT_EQ(removed.size(), 1);
  // A rebuilt list of ten thousand images is one notification, not one per row.
  QSignalSpy reset(view.JobModel(), &QAbstractItemModel::modelReset);
  view.SyncJobCount(0);
  view.SyncJobCount(10000);
  EXPECT_EQ(reset.size(), 2);
  EXPECT_EQ(view.RowCount(), 10000);
}

TEST_F(JobListTest, CtrlAIsLeftToTheWindowsAction) {
  Fill(4);
  Show();
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(view.SelectedRowCount(), 0);
}

}  // namespace
}  // namespace picaxo
