#include "gui/scan_window.h"
#include "gui/file_dialogs.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <thread>

#include "gui/judging_ui.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "views/export.h"

namespace tavrine::gui {

// ---- model -------------------------------------------------------------

namespace {

// A caption and a framed box beside it that shows a value the window does
// not edit (the direction, the way of judging), after some room.
QLabel* AddShownValue(QWidget* strip, QHBoxLayout* row, const QString& caption, const QString& name,
                      int width) {
  row->addSpacing(18);
  row->addWidget(new QLabel(caption, strip));
  auto* value = new QLabel(strip);
  value->setObjectName(name);
  value->setFrameShape(QFrame::StyledPanel);
  value->setAlignment(Qt::AlignCenter);
  value->setFixedSize(width, 24);
  row->addWidget(value);
  return value;
}

}  // namespace

// The table shows the engine's cells as they come: they are the shown texts
// (ScanCellText), so the table, its CSV and the driver agree.

Qt::Alignment ScanModel::alignment(int column) const {
  return ScanColumnIsNumeric(column) ? Qt::AlignRight : Qt::AlignLeft;
}

void ScanModel::sort(int column, Qt::SortOrder order) {
  if (column == AnnualRate && order == Qt::DescendingOrder) {
    const int least = minTrades_;
    reorder([least](std::vector<ScanRow>& rows) { SortScanRows(rows, least); });
    return;
  }
  RowsModel::sort(column, order);
}

// ---- window ------------------------------------------------------------

ScanWindow::ScanWindow(ScanSource source, QWidget* parent)
    : RowsToolWindow(QStringLiteral("ScanWindow"), QStringLiteral("一括検証"),
                     QStringLiteral("一括検証　全銘柄 × 全規則"), {1060, 580}, parent),
      source_(std::move(source)) {
  runner = RunScan;

  QBoxLayout* sv = addControlStrip(QBoxLayout::TopToBottom);
  QWidget* strip = sv->parentWidget();
  auto* row1 = new QHBoxLayout;
  row1->setSpacing(6);
  row1->addWidget(new QLabel(QStringLiteral("期間"), strip));
  long_ = new QRadioButton(QStringLiteral("長期"), strip);
  short_ = new QRadioButton(QStringLiteral("短期"), strip);
  long_->setObjectName(QStringLiteral("ScanLong"));
  short_->setObjectName(QStringLiteral("ScanShort"));
  auto* terms = new QButtonGroup(this);
  terms->addButton(long_);
  terms->addButton(short_);
  long_->setChecked(true);
  row1->addWidget(long_);
  row1->addWidget(short_);
  direction_ =
      AddShownValue(strip, row1, QStringLiteral("方向"), QStringLiteral("ScanDirection"), 48);
  direction_->setStyleSheet(QStringLiteral("QLabel { background: white; }"));
  judging_ =
      AddShownValue(strip, row1, QStringLiteral("検証方式"), QStringLiteral("ScanJudging"), 60);
  row1->addSpacing(18);
  row1->addWidget(new QLabel(QStringLiteral("最少取引数"), strip));
  minTrades_ = new CountBox(strip);
  minTrades_->setObjectName(QStringLiteral("ScanMinTrades"));
  minTrades_->setRange(0, 999);
  minTrades_->setValue(model_ ? model_->minTrades() : 5);
  minTrades_->setSuffix(QStringLiteral(" 回"));
  minTrades_->setToolTip(
      QStringLiteral("取引がこの回数に満たない行は、年利率が高くても上位に並べません"));
  row1->addWidget(minTrades_);
  row1->addStretch(1);
  run_ = stripButton(strip, QStringLiteral("実行"), "ScanRun", 70);
  stop_ = stripButton(strip, QStringLiteral("中止"), "ScanCancel", 70);
  csv_ = addCsvButton(strip, "ScanCsv", QStringLiteral("一括検証.csv"),
                      [this](const QString& p) { return saveCsv(p); });
  row1->addWidget(run_);
  row1->addWidget(stop_);
  row1->addSpacing(12);
  row1->addWidget(csv_);
  addTodayButton(strip, row1);
  sv->addLayout(row1);

  bar_ = addProgressLine(sv, "ScanStatus", true);
  bar_->setFixedHeight(18);
  bar_->setFormat(QStringLiteral("%v / %m 銘柄"));
  bar_->setTextVisible(true);
  status_->setMinimumWidth(300);

  model_ = new ScanModel(this);
  // The name takes what the window has to spare.
  addRowList(QStringLiteral("ScanTable"), model_,
             {56, 150, 48, 56, 76, 76, 64, 56, 68, 64, 56, 64, 56, 56}, ScanModel::Name);
  table_->horizontalHeader()->setSortIndicator(ScanModel::AnnualRate, Qt::DescendingOrder);
  table_->setSortingEnabled(true);

  model_->setMinTrades(minTrades_->value());
  connect(minTrades_, &QSpinBox::valueChanged, this, [this](int n) {
    model_->setMinTrades(n);
    QHeaderView* h = table_->horizontalHeader();
    if (h->sortIndicatorSection() == ScanModel::AnnualRate &&
        h->sortIndicatorOrder() == Qt::DescendingOrder)
      model_->sort(ScanModel::AnnualRate, Qt::DescendingOrder);
  });
  connect(run_, &QPushButton::clicked, this, [this] { start(); });
  connect(stop_, &QPushButton::clicked, this, [this] { cancel(); });

  timer_ = pollTimer([this] { poll(); });

  setRunning(false);
  refreshDirection();
  status_->setText(QStringLiteral("期間を選んで「実行」を押して下さい。"));
}

ScanWindow::~ScanWindow() {
  cancel_ = true;
  work_.join();
}

void ScanWindow::setShortTerm(bool shortTerm) { (shortTerm ? short_ : long_)->setChecked(true); }

bool ScanWindow::shortTerm() const { return short_->isChecked(); }

void ScanWindow::refreshDirection() {
  const BacktestOptions o = sourceOptions();
  direction_->setText(o.entryBuy() ? QStringLiteral("入買") : QStringLiteral("入売"));
  showJudging(o.judging);
}

BacktestOptions ScanWindow::sourceOptions() const {
  if (source_.options) return source_.options();
  // Without a main window: 入買, judged honestly.
  BacktestOptions o;
  o.judging = Judging::Honest;
  return o;
}

void ScanWindow::setRunning(bool on) {
  run_->setEnabled(!on);
  stop_->setEnabled(on);
  csv_->setEnabled(!on && model_->rowCount() > 0);
  long_->setEnabled(!on);
  short_->setEnabled(!on);
}

void ScanWindow::start() {
  if (running()) return;
  refreshDirection();
  runShort_ = shortTerm();
  runOptions_ = sourceOptions();
  // The copy is taken here, on the window's thread, so the main window may
  // go on editing its own list while the scan reads this one.
  WorkTable list = source_.stockList ? source_.stockList() : WorkTable("StockList", 200, 0);

  cancel_ = false;
  stocksDone_ = 0;
  stocksAll_ = 0;
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setFormat(QStringLiteral("%v / %m 銘柄"));
  status_->setText(QStringLiteral("検証中…"));
  setRunning(true);

  ScanOptions options;
  options.shortTerm = runShort_;
  options.backtest = runOptions_;
  options.minTrades = minTrades_->value();
  options.threads = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
  options.cancel = &cancel_;
  options.progress = [this](int done, int all) {
    stocksAll_ = all;
    int cur = stocksDone_.load();
    while (done > cur && !stocksDone_.compare_exchange_weak(cur, done)) {
    }
  };
  auto scan = runner ? runner : RunScan;
  work_.start([scan, options, list = std::move(list)] { return scan(list, options); });
  timer_->start();
}

void ScanWindow::cancel() {
  if (!running()) return;
  cancel_ = true;
  stop_->setEnabled(false);
  status_->setText(QStringLiteral("中止しています…"));
}

void ScanWindow::poll() {
  const int all = stocksAll_.load();
  if (all > 0) {
    if (bar_->maximum() != all) bar_->setRange(0, all);
    bar_->setValue(std::min(all, stocksDone_.load()));
  }
  if (work_.done()) collect();
}

void ScanWindow::collect() {
  timer_->stop();
  std::vector<ScanRow> rows;
  const std::string error = work_.take(rows);
  const bool cancelled = cancel_.load();
  const int all = stocksAll_.load();
  const int done = std::min(all, stocksDone_.load());
  if (all > 0) {
    bar_->setRange(0, all);
    bar_->setValue(cancelled ? done : all);
  }
  const int count = static_cast<int>(rows.size());
  shownShort_ = runShort_;
  model_->setRows(std::move(rows));
  // Each new list starts in the scan's first order, annual rate highest
  // first, with the header showing it.
  table_->sortByColumn(ScanModel::AnnualRate, Qt::DescendingOrder);
  const QString what =
      QStringLiteral("（%1・%2・%3）")
          .arg(runOptions_.entryBuy() ? QStringLiteral("入買") : QStringLiteral("入売"),
               runShort_ ? QStringLiteral("短期") : QStringLiteral("長期"),
               JudgingName(runOptions_.judging));
  if (!error.empty())
    status_->setText(QStringLiteral("検証を続けられませんでした。") + what);
  else if (cancelled)
    status_->setText(
        QStringLiteral("中止しました：%1 / %2 銘柄、%3 件").arg(done).arg(all).arg(count) + what);
  else
    status_->setText(QStringLiteral("完了：%1 銘柄、%2 件").arg(all).arg(count) + what);
  setRunning(false);
  if (!error.empty()) box(QString::fromStdString(error), true);
  emit finished();
}

std::vector<ScanRow> ScanWindow::shownRows() const { return model_->rows(); }

void ScanWindow::pickRow(int viewRow) {
  const auto& rows = model_->rows();
  if (viewRow < 0 || viewRow >= static_cast<int>(rows.size()) || !source_.pick) return;
  // Copied: the pick runs the main window's handlers, which may take a while
  // and pump events.
  const ScanRow row = rows[static_cast<std::size_t>(viewRow)];
  source_.pick(row, shownShort_);
}

bool ScanWindow::saveCsv(const QString& path) {
  return saveOrSay([&] { SaveScanCsv(model_->rows(), path.toStdString()); });
}

void ScanWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  refreshDirection();
  // Before a run the bar counts the stocks the run will judge.
  if (!running() && source_.stockCount) {
    const int stocks = source_.stockCount();
    bar_->setRange(0, std::max(1, stocks));
    bar_->setValue(0);
    bar_->setFormat(QStringLiteral("%v / %1 銘柄").arg(stocks));
  }
}

void ScanWindow::addTodayButton(QWidget* strip, QHBoxLayout* row) {
  auto* today = new QPushButton(QStringLiteral("本日の信号"), strip);
  today->setObjectName(QStringLiteral("ScanToday"));
  today->setFixedSize(86, 26);
  today->setToolTip(QStringLiteral("最新の日に買い・売りに変わった銘柄と規則を一覧にします"));
  row->addSpacing(12);
  row->addWidget(today);
  connect(today, &QPushButton::clicked, this, [this] {
    if (source_.openToday) source_.openToday();
  });
}

void ScanWindow::showJudging(Judging j) {
  // Shown as the main window's switch and label show it; the scan judges
  // every stock this way.
  judging_->setText(JudgingName(j));
  judging_->setToolTip(JudgingToolTip(j));
  judging_->setStyleSheet(j == Judging::Honest
                              ? QStringLiteral("QLabel { background: white; }")
                              : QStringLiteral("QLabel { background: white; color: #A00000; }"));
}

void ScanWindow::closeEvent(QCloseEvent* e) {
  // Closing the window stops a scan; the rows found so far stay for the
  // next time the window is opened.
  cancel();
  e->accept();
}

}  // namespace tavrine::gui
