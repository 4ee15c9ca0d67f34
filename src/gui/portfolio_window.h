// The portfolio backtest window (資金管理検証): one rule over every stock of
// the stock list with one shared capital and a limit on the positions held,
// judged in 実売買 only. The settings on top (remembered), the summary
// statistics beside the buy-and-hold of the same stocks, the equity and
// drawdown chart, the table by year and the trade list with its CSV. The run
// goes on a worker thread over a copy of the stock list.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/portfolio.h"
#include "app/portfolio_settings.h"

#include "gui/backtest_view.h"
#include "gui/tool_window.h"
#include "gui/window_memory.h"
#include "signals/backtest_options.h"
#include "store/work_table.h"

QT_BEGIN_NAMESPACE
class QAreaSeries;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineEdit;
class QLineSeries;
class QLogValueAxis;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;
class QValueAxis;
QT_END_NAMESPACE

namespace tavrine::gui {

class MoneyStatsPanel;
class PortfolioTradeModel;

// What the window needs from the main window, all called on the
// user-interface thread.
struct PortfolioSource {
  std::function<WorkTable()> stockList;        // a copy of the stock list
  std::function<PortfolioSettings()> current;  // the current rule, entry and term
  std::function<Judging()> judging;            // the main window's way of judging
  std::function<std::string()> storePath;      // the price store's file
  bool remember = true;                        // read and keep the settings
};

class PortfolioWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit PortfolioWindow(PortfolioSource source, QWidget* parent = nullptr);
  ~PortfolioWindow() override;

  // "実行": reads the settings and starts a run; false (after a message)
  // when a setting does not read or the main window judges with hindsight.
  bool start();
  bool running() const { return work_.running(); }
  // Takes the main window's current rule, entry direction and term.
  void takeCurrent();

  // Saves the trade list; false (after a message) on failure.
  bool saveCsv(const QString& path);

  // The settings as the boxes read now; false with the message when one
  // does not read.
  bool readSettings(PortfolioSettings& out, std::string& error) const;

  // The last run shown (null before the first).
  const PortfolioRun* lastRun() const { return run_.get(); }
  // A summary row's value as shown ("最終資産" ...), its buy-and-hold value
  // and its unit; empty when there is no such row.
  QString summaryValue(const QString& item, int column = 0) const;
  QStringList summaryItems() const;

  QComboBox* ruleBox() const { return rule_; }
  QRadioButton* buyButton() const { return buy_; }
  QRadioButton* sellButton() const { return sell_; }
  QRadioButton* longButton() const { return long_; }
  QRadioButton* shortButton() const { return short_; }
  QRadioButton* closeFillButton() const { return fillClose_; }
  QRadioButton* codeOrderButton() const { return byCode_; }
  QLineEdit* capitalBox() const { return capital_; }
  QLineEdit* slotsBox() const { return slots_; }
  QLineEdit* commissionBox() const { return commission_; }
  QLineEdit* slipBox() const { return slip_; }
  QLineEdit* taxBox() const { return tax_; }
  QLineEdit* borrowBox() const { return borrow_; }
  QPushButton* runButton() const { return runButton_; }
  QTableWidget* summaryTable() const;
  QTableWidget* yearTable() const;
  QTableView* tradeTable() const { return trades_; }
  QTableWidget* refusedTable() const { return refused_; }
  QLineSeries* equitySeries() const { return equity_.line; }
  QLineSeries* holdSeries() const { return equity_.hold; }

 signals:
  void finished();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildSettings();
  void buildResults();
  void poll();
  void collect();
  void setRunning(bool on);
  void showRun();
  void showSummary();
  void showChart();
  void keepSettings() const;

  PortfolioSource source_;
  QComboBox* rule_ = nullptr;
  QRadioButton *buy_ = nullptr, *sell_ = nullptr;
  QRadioButton *long_ = nullptr, *short_ = nullptr;
  QRadioButton *fillOpen_ = nullptr, *fillClose_ = nullptr;
  QRadioButton *byTurnover_ = nullptr, *byCode_ = nullptr;
  QLineEdit *capital_ = nullptr, *slots_ = nullptr, *commission_ = nullptr;
  QLineEdit *slip_ = nullptr, *tax_ = nullptr, *borrow_ = nullptr;
  QPushButton* runButton_ = nullptr;
  QProgressBar* bar_ = nullptr;
  MoneyStatsPanel* stats_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTableView* trades_ = nullptr;
  PortfolioTradeModel* tradeModel_ = nullptr;
  QTableWidget* refused_ = nullptr;
  EquityPane equity_;
  DrawdownPane drawdown_;
  QTimer* timer_ = nullptr;

  WorkerRun<std::unique_ptr<PortfolioRun>> work_;
  PortfolioSettings runSettings_;      // of the run going or last shown
  std::unique_ptr<PortfolioRun> run_;  // shown
  equity::Stats holdStats_;            // of the buy-and-hold line shown
};

}  // namespace tavrine::gui
