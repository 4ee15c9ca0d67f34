// The rule scan window: every stock of the stock list judged by every rule
// in the current entry direction, for the long or the short rule set, run on
// worker threads over a copy of the stock list. One row per stock and rule,
// sortable by any column; a double click makes that stock and rule current in
// the main window.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/scan.h"
#include "gui/rows_model.h"
#include "gui/tool_window.h"
#include "store/work_table.h"

QT_BEGIN_NAMESPACE
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;
class QTimer;
QT_END_NAMESPACE

namespace tavrine::gui {

class ScanModel : public RowsModel<ScanRow> {
 public:
  // The engine's scan columns (ScanColumn), in its order.
  enum Column {
    Code = kScanCode,
    Name = kScanName,
    Rule = kScanRule,
    Trades = kScanTrades,
    Average = kScanAverage,
    PerYear = kScanPerYear,
    AnnualRate = kScanAnnualRate,
    WinShare = kScanWinShare,
    AverageDays = kScanAverageDays,
    MaxDrawdown = kScanMaxDrawdown,
    ProfitFactor = kScanProfitFactor,
    LosingStreak = kScanLosingStreak,
    Exposure = kScanExposure,
    BuyAndHold = kScanBuyAndHold,
    kColumns
  };

  explicit ScanModel(QObject* parent)
      : RowsModel(ScanColumnHeadings(), &ScanRowCells, static_cast<Sorter>(&SortScanRows), parent) {
  }

  // Annual rate highest first is the scan's ranking: rows with fewer closed
  // trades than minTrades() stand below the others.
  void sort(int column, Qt::SortOrder order) override;
  int minTrades() const { return minTrades_; }
  void setMinTrades(int n) { minTrades_ = n; }

 protected:
  Qt::Alignment alignment(int column) const override;

 private:
  int minTrades_ = 5;
};

// What the scan window needs from the main window, all called on the
// user-interface thread.
struct ScanSource {
  std::function<WorkTable()> stockList;  // a copy of the stock list
  std::function<int()> stockCount;       // stocks a run would judge
  // The main window's way of judging and entry direction, as its rule
  // buttons run them.
  std::function<BacktestOptions()> options;
  std::function<void()> openToday;  // "本日の信号"
  std::function<void(const ScanRow& row, bool shortTerm)> pick;
};

class ScanWindow : public RowsToolWindow {
  Q_OBJECT
 public:
  explicit ScanWindow(ScanSource source, QWidget* parent = nullptr);
  ~ScanWindow() override;

  // "実行": starts a scan over a fresh copy of the stock list.
  void start();
  // "中止": asks the scan to stop; the rows it finished are shown.
  void cancel();
  bool running() const { return work_.running(); }

  void setShortTerm(bool shortTerm);
  bool shortTerm() const;
  // Shows the main window's current entry direction and way of judging.
  void refreshDirection();

  bool saveCsv(const QString& path) override;
  void pickRow(int viewRow) override;

  ScanModel* model() const { return model_; }
  QProgressBar* progressBar() const { return bar_; }
  QPushButton* runButton() const { return run_; }
  QPushButton* cancelButton() const { return stop_; }
  QLabel* directionLabel() const { return direction_; }
  QLabel* judgingLabel() const { return judging_; }
  QSpinBox* minTradesBox() const { return minTrades_; }
  // Rows in the order shown.
  std::vector<ScanRow> shownRows() const;

  // The scan itself: RunScan unless a test puts another in.
  std::function<std::vector<ScanRow>(const WorkTable&, const ScanOptions&)> runner;
 signals:
  void finished();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void poll();
  void collect();
  // The main window's options, or 入買 judged honestly without one.
  BacktestOptions sourceOptions() const;
  void setRunning(bool on);
  void addTodayButton(QWidget* strip, QHBoxLayout* row);
  void showJudging(Judging j);

  ScanSource source_;
  ScanModel* model_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* stop_ = nullptr;
  QRadioButton* long_ = nullptr;
  QRadioButton* short_ = nullptr;
  QLabel* direction_ = nullptr;
  QLabel* judging_ = nullptr;
  QSpinBox* minTrades_ = nullptr;
  QTimer* timer_ = nullptr;

  // Shared with the worker thread.
  WorkerRun<std::vector<ScanRow>> work_;
  std::atomic<bool> cancel_{false};
  std::atomic<int> stocksDone_{0};
  std::atomic<int> stocksAll_{0};

  bool runShort_ = false;       // term of the scan running
  BacktestOptions runOptions_;  // how the scan running judges and trades
  bool shownShort_ = false;     // term of the rows shown
};

}  // namespace tavrine::gui
