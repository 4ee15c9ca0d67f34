// The main window's own tools over the charted stock and its backtest: the
// save strip beside the statistics ("CSV保存", "画像保存", "検証図", and
// "資金管理検証" over the whole list), and "一括検証" on the rule panel with
// its pick of a stock and rule. None is a
// control of the Form, so no handler sees them.
#include <QPushButton>

#include "app/scan.h"
#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/file_dialogs.h"
#include "gui/judging_ui.h"
#include "gui/main_window.h"
#include "gui/main_window_layout.h"
#include "gui/portfolio_window.h"
#include "gui/scan_window.h"
#include "gui/widgets.h"
#include "store/price_store.h"
#include "views/export.h"

namespace tavrine::gui {

void MainWindow::buildSaveButtons(QWidget* strip) {
  auto* csv = new QPushButton(QStringLiteral("CSV保存"), strip);
  bind("StatsCsvButton", csv);
  csv->setToolTip(QStringLiteral("取引一覧と統計をCSVファイルに保存します (Ctrl+E)"));
  auto* image = new QPushButton(QStringLiteral("画像保存"), strip);
  bind("ChartImageButton", image);
  image->setToolTip(QStringLiteral("チャートを表示中の大きさでPNGまたはPDFに保存します"));
  connect(csv, &QPushButton::clicked, this, [this] { chooseStatsCsv(); });
  connect(image, &QPushButton::clicked, this, [this] { chooseChartImage(); });
  auto* figures = new QPushButton(QStringLiteral("検証図"), strip);
  bind("BacktestButton", figures);
  figures->setToolTip(QStringLiteral("資産倍率・ドローダウン・分布の図を別の窓に開きます"));
  connect(figures, &QPushButton::clicked, this, [this] { openBacktest(); });
  auto* money = new QPushButton(QStringLiteral("資金管理検証"), strip);
  bind("PortfolioButton", money);
  money->setToolTip(
      QStringLiteral("全銘柄を1つの規則で、共通の資金と保有数の上限のもとで検証します（実売買）"));
  connect(money, &QPushButton::clicked, this, [this] { openPortfolio(); });
}

void MainWindow::buildScanButton(QWidget* rulePanel) {
  auto* scan = new QPushButton(QStringLiteral("一括検証"), rulePanel);
  bind("ScanButton", scan);
  scan->setGeometry(layout::kScanButton);
  scan->setToolTip(QStringLiteral("全銘柄を全規則で検証し、年利率の順に並べます"));
  connect(scan, &QPushButton::clicked, this, [this] { openScan(); });
}

PortfolioWindow* MainWindow::openPortfolio() {
  if (!portfolio_) {
    PortfolioSource source;
    source.stockList = [this] { return ws_.StockList; };
    source.current = [this] { return CurrentPortfolioSettings(ws_); };
    source.judging = [this] { return ws_.judging; };
    source.storePath = [] { return PriceStorePath(); };
    source.remember = remember_;
    portfolio_ = new PortfolioWindow(std::move(source), this);
    portfolio_->messageHook = platform_.messageHook;
  } else if (!portfolio_->isVisible()) {
    portfolio_->takeCurrent();
  }
  BringToFront(portfolio_);
  return portfolio_;
}

ScanWindow* MainWindow::openScan() {
  if (!scan_) {
    ScanSource source;
    source.stockList = [this] { return ws_.StockList; };
    source.stockCount = [this] { return static_cast<int>(ScanColumns(ws_.StockList).size()); };
    source.options = [this] { return ws_.backtest.options(); };
    source.openToday = [this] { openToday(); };
    source.pick = [this](const ScanRow& row, bool shortTerm) {
      pickStockRule(row.code, row.tag, shortTerm);
    };
    scan_ = new ScanWindow(std::move(source), this);
    scan_->messageHook = platform_.messageHook;
  }
  BringToFront(scan_);
  return scan_;
}

BacktestView* MainWindow::openBacktest() {
  if (!backtest_) {
    backtest_ = new BacktestView(this);
    backtest_->messageHook = platform_.messageHook;
  }
  backtestVersion_ = ~std::uint64_t{0};
  refreshBacktest();
  BringToFront(backtest_);
  return backtest_;
}

void MainWindow::refreshBacktest() {
  // The stock, rule and direction in the heading; the figures only when a
  // chain wrote the statistics since they were last shown.
  const std::string& rule = ws_.backtest.condition();
  const bool buy = ws_.backtest.entryBuy();
  QString subject = Shown(ws_.form.text("Edit5")).trimmed();
  if (!IsBlank(rule)) subject += QStringLiteral("　") + QString::fromStdString(rule);
  // A saved picture says how its figures were judged.
  subject += QStringLiteral("　") + JudgingName(ws_.judging);
  subject += buy ? QStringLiteral("　入買") : QStringLiteral("　入売");
  std::string stem = ws_.form.text("Edit1");
  if (!IsBlank(rule)) stem += "_" + rule;
  backtest_->setSubject(subject.trimmed(), QString::fromStdString(stem + "_検証図"));
  if (ws_.StatsTable.version() == backtestVersion_) return;
  backtestVersion_ = ws_.StatsTable.version();
  backtest_->show(ws_.backtest.figures(), ws_.backtest.distributions());
}

void MainWindow::pickStockRule(const std::string& code, int tag, bool shortTerm) {
  platform_.beginWait();
  const bool picked = PickScanRow(ws_, code, tag, shortTerm);
  platform_.endWait();
  mirror();
  if (!picked) return;
  raise();
  activateWindow();
}

bool MainWindow::saveStatsCsv(const QString& path) {
  try {
    SaveStatsCsv(ws_.StatsTable, path.toStdString());
  } catch (const std::exception& e) {
    platform_.error(e.what());
    return false;
  }
  return true;
}

bool MainWindow::saveChartImage(const QString& path) {
  const QString failed = chart_->saveImage(path);
  if (failed.isEmpty()) return true;
  platform_.error(failed.toStdString());
  return false;
}

void MainWindow::chooseStatsCsv() {
  // Suggested name: the code and the rule of the list.
  std::string name = ws_.form.text("Edit1");
  const std::string& rule = ws_.backtest.condition();
  if (!IsBlank(rule)) name += "_" + rule;
  const QString path =
      AskSavePath(this, QStringLiteral("CSV保存"), QString::fromStdString(name) + ".csv",
                  {{QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral(".csv")}});
  if (!path.isEmpty()) saveStatsCsv(path);
}

void MainWindow::chooseChartImage() {
  const QString path = AskSavePath(this, QStringLiteral("画像保存"),
                                   QString::fromStdString(ws_.form.text("Edit1")) + ".png",
                                   {{QStringLiteral("PNG 画像 (*.png)"), QStringLiteral(".png")},
                                    {QStringLiteral("PDF 文書 (*.pdf)"), QStringLiteral(".pdf")}});
  if (!path.isEmpty()) saveChartImage(path);
}

}  // namespace tavrine::gui
