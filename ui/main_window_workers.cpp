// The Options menu's choice of how many images a batch run converts at a time.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <algorithm>
#include <thread>

#include "ui/main_window.h"

namespace picaxo {

namespace {
constexpr unsigned kMaxListedWorkers = 16;
}

void TForm1::CreateWorkersMenu(QMenu* options) {
  MBatchWorkers = options->addMenu(QStringLiteral("Batch &Workers"));
  MBatchWorkers->setObjectName(QStringLiteral("MBatchWorkers"));
  workersGroup_ = new QActionGroup(this);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  auto add = [this](unsigned workers, const QString& caption) {
    QAction* item = MBatchWorkers->addAction(caption);
    item->setObjectName(QStringLiteral("MBatchWorkers%1").arg(workers));
    item->setStatusTip(
        QStringLiteral("Save All and Batch Resize convert this many images at a "
                       "time"));
    item->setCheckable(true);
    item->setData(workers);
    workersGroup_->addAction(item);
    connect(item, &QAction::triggered, this, [this, workers] { SetBatchWorkers(workers); });
  };
  add(0, QStringLiteral("One per &Core (%1)").arg(cores));
  MBatchWorkers->addSeparator();
  for (unsigned n = 1; n <= std::min(std::max(cores, 2u), kMaxListedWorkers); ++n)
    add(n, n < 10 ? QStringLiteral("&%1").arg(n) : QString::number(n));
  SetBatchWorkers(state_->BatchWorkers());
}

void TForm1::SetBatchWorkers(unsigned workers) {
  state_->SetBatchWorkers(workers);
  if (!workersGroup_) return;
  QAction* match = nullptr;
  for (QAction* item : workersGroup_->actions())
    if (item->data().toUInt() == workers) match = item;
  // A count from a settings file beyond the listed ones gets an item of its own.
  if (!match) {
    match = MBatchWorkers->addAction(QString::number(workers));
    match->setCheckable(true);
    match->setData(workers);
    workersGroup_->addAction(match);
    connect(match, &QAction::triggered, this, [this, workers] { SetBatchWorkers(workers); });
  }
  match->setChecked(true);
}

}  // namespace picaxo
