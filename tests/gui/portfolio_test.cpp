// 資金管理検証 in the window on generated sample data: a run off the window's
// thread shows what RunPortfolio gives for the same settings (summary, table
// by year, trades, chart), the position limit reaches the engine, the trade
// list's CSV is Shift-JIS and reads back, and a setting that does not read or
// judging with hindsight runs nothing and says why in Japanese. The main
// window's trade list with a cost model set: its money columns and the
// statistics of the per-stock money (資金の成績), checked by hand.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/stock_money.h"
#include "app/stock_money_stats.h"
#include "gui/judging_ui.h"
#include "gui/main_window.h"
#include "gui/money_panels.h"
#include "gui/portfolio_window.h"
#include "gui/stock_money_window.h"
#include "gui/widgets.h"
#include "gui/window_memory.h"
#include "sample_folder.h"
#include "signals/stats_block.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/price_store.h"
#include "store/table_file.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

constexpr int kRunWait = 120000;

// A number as the summary shows it: thousands grouped, "-" for none.
double Number(const QString& shown) {
  QString t = shown;
  t.remove(QLatin1Char(','));
  bool ok = false;
  const double v = t.toDouble(&ok);
  return ok ? v : NAN;
}

}  // namespace

class PortfolioTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void cleanupTestCase() { cleanup(); }
  void runShowsWhatTheEngineGives_data();
  void runShowsWhatTheEngineGives();
  void tradeListSavesAsShiftJis();
  void badSettingsAndHindsightRunNothing();
  void tradeListShowsTheMoneyOfEachTrade();
  void stockMoneyFiguresAddUpFromTheTradeList();

 private:
  // The main window on the test's folder and its 資金管理検証 window, 実売買.
  bool open();
  // Runs and waits for the end; false when it does not start or end.
  bool run();

  std::unique_ptr<DataFolder> folder;
  std::unique_ptr<MainWindow> win;
  QPointer<PortfolioWindow> money;
  std::vector<std::pair<std::string, bool>> boxes;
};

void PortfolioTest::init() {
  win.reset();
  folder.reset();
  folder = SampleFolder("2026/12/04", 24, 1300);
  folder->set("TAVRINE_MANUAL_HOST", "127.0.0.1:1");
  boxes.clear();
}

void PortfolioTest::cleanup() {
  win.reset();
  folder.reset();
}

bool PortfolioTest::open() {
  WindowOptions o;
  o.messageHook = [this](const std::string& t, bool error) { boxes.push_back({t, error}); };
  win = ShowWindow(o);
  if (!win) return false;
  win->setJudging(Judging::Honest);
  money = win->openPortfolio();
  return money && money->isVisible();
}

bool PortfolioTest::run() {
  QSignalSpy done(money.data(), &PortfolioWindow::finished);
  if (!money->start()) return false;
  // The window takes events while the run goes on.
  if (money->running() && money->runButton()->isEnabled()) return false;
  return done.wait(kRunWait) || done.count() > 0;
}

void PortfolioTest::runShowsWhatTheEngineGives_data() {
  QTest::addColumn<QString>("limit");
  QTest::addColumn<QString>("commission");
  QTest::newRow("defaults") << QString() << QString();
  QTest::newRow("one slot, fees") << QStringLiteral("1") << QStringLiteral("rate:0.1:100");
}

void PortfolioTest::runShowsWhatTheEngineGives() {
  QFETCH(QString, limit);
  QFETCH(QString, commission);
  QVERIFY(open());
  // The settings open as the defaults with the main window's rule.
  const PortfolioSettings current = CurrentPortfolioSettings(win->workspace());
  QCOMPARE(money->ruleBox()->currentText(),
           QString::fromStdString(PortfolioRuleName(current.inputs.tag)));
  QCOMPARE(money->buyButton()->isChecked(), current.inputs.entry == EntrySide::Buy);
  QCOMPARE(money->shortButton()->isChecked(), current.inputs.shortTerm);
  QCOMPARE(money->capitalBox()->text(), QStringLiteral("3000000"));
  QCOMPARE(money->slotsBox()->text(), QStringLiteral("5"));
  QCOMPARE(money->commissionBox()->text(), QStringLiteral("zero"));
  if (!limit.isEmpty()) money->slotsBox()->setText(limit);
  if (!commission.isEmpty()) money->commissionBox()->setText(commission);
  QVERIFY(run());
  QVERIFY(boxes.empty());
  const PortfolioRun* shown = money->lastRun();
  QVERIFY(shown);

  // The same run straight from the engine.
  PortfolioSettings s = current;
  std::string error;
  QVERIFY(SetPortfolioKey(s, "slots", limit.isEmpty() ? "5" : limit.toStdString(), error));
  if (!commission.isEmpty())
    QVERIFY(SetPortfolioKey(s, "commission", commission.toStdString(), error));
  const PortfolioRun want =
      RunPortfolio(win->workspace().StockList, s.inputs, s.options, PriceStorePath());
  QVERIFY2(want.result.trades.size() >= 5, "the sample makes too few trades to tell");
  QCOMPARE(shown->result.trades.size(), want.result.trades.size());
  QCOMPARE(shown->stats.trades, want.stats.trades);
  for (std::size_t i = 0; i < want.result.trades.size(); ++i) {
    const portfolio::Trade &a = shown->result.trades[i], &b = want.result.trades[i];
    QVERIFY(a.stock == b.stock && a.entryDay == b.entryDay && a.shares == b.shares &&
            a.cost == b.cost);
  }

  // The summary shows those numbers, rounded as shown.
  const equity::Stats& st = want.stats;
  const auto near = [&](const char* item, double expected, double within) {
    const QString text = money->summaryValue(QString::fromUtf8(item));
    const double v = Number(text);
    QVERIFY2(std::abs(v - expected) <= within, qPrintable(QStringLiteral("%1: %2, %3 expected")
                                                              .arg(QString::fromUtf8(item), text)
                                                              .arg(expected, 0, 'g', 15)));
  };
  near("最終資産", *st.finalEquity, 0.5);
  near("年率(CAGR)", *st.cagr * 100, 0.005);
  near("最大DD", st.maxdd * 100, 0.005);
  near("最長DD期間", st.ddays, 0);
  near("取引数", st.trades, 0);
  near("売買コスト", st.costs, 0.5);
  near("税", st.tax, 0.5);
  if (st.sharpe) near("シャープレシオ", *st.sharpe, 0.005);
  if (st.winRate) near("勝率", *st.winRate * 100, 0.005);
  if (st.expectancy) near("期待値", *st.expectancy, 0.5);
  QVERIFY(!money->summaryValue(QStringLiteral("最終資産"), 1).isEmpty());  // the buy-and-hold
  near("見送り", want.result.skipped, 0);
  // The numbers stand right-aligned with a unit beside them.
  QTableWidget* grid = money->summaryTable();
  QVERIFY(grid->item(0, 1)->textAlignment() & Qt::AlignRight);
  QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("円"));
  if (!commission.isEmpty()) QVERIFY(st.costs > 0);

  // One row a trade, one a year, one chart point a day.
  QCOMPARE(money->tradeTable()->model()->rowCount(), static_cast<int>(want.result.trades.size()));
  QCOMPARE(money->yearTable()->rowCount(), static_cast<int>(st.years.size()));
  QCOMPARE(money->equitySeries()->count(), static_cast<int>(want.result.equity.size()));
  QCOMPARE(money->refusedTable()->rowCount(), static_cast<int>(want.refused.size()));

  if (limit == "1") {
    // One position at a time: each trade starts after the one before ended.
    const auto& t = shown->result.trades;
    for (std::size_t i = 1; i < t.size(); ++i) {
      QVERIFY(t[i - 1].exitDay);
      QVERIFY(t[i].entryDay >= *t[i - 1].exitDay);
    }
  }
  // The settings are kept for the next run.
  QCOMPARE(PortfolioMemory::load().positions, limit.isEmpty() ? QStringLiteral("5") : limit);
}

void PortfolioTest::tradeListSavesAsShiftJis() {
  QVERIFY(open());
  QVERIFY(!money->csvButton()->isEnabled());  // nothing to save before a run
  QVERIFY(run());
  const PortfolioRun* r = money->lastRun();
  QVERIFY(r && !r->result.trades.empty());
  QVERIFY(money->csvButton()->isEnabled());
  const QString path = PathOf(*folder) + "/取引.csv";
  QVERIFY(money->saveCsv(path));
  // Shift-JIS bytes, CR LF lines, the headings first, one line a trade.
  const std::string bytes = ReadBytes(path.toStdString());
  QVERIFY(bytes.find(Utf8ToCp932("銘柄,入日,出日,株数")) == 0);
  WorkTable back("Trades", 10, 1);
  LoadTableFile(back, path.toStdString(), 10);
  QCOMPARE(back.rowCount(), static_cast<int>(r->result.trades.size()) + 1);
  QCOMPARE(back.cell(7, 0), std::string("損益(円)"));
  const portfolio::Trade& first = r->result.trades.front();
  QCOMPARE(back.cell(0, 1), r->codes[static_cast<std::size_t>(first.stock)]);
  QCOMPARE(back.cell(1, 1), DateToStr(first.entryDay));
  QCOMPARE(back.cell(3, 1), std::to_string(first.shares));
  QCOMPARE(back.cell(7, 1), FloatToStr(first.pnl));
  // A folder that is not there: the message.
  boxes.clear();
  QVERIFY(!money->saveCsv(PathOf(*folder) + "/none/取引.csv"));
  QCOMPARE(boxes.size(), std::size_t{1});
}

void PortfolioTest::badSettingsAndHindsightRunNothing() {
  QVERIFY(open());
  const PortfolioMemory before = PortfolioMemory::load();
  money->commissionBox()->setText(QStringLiteral("rate:abc"));
  QVERIFY(!money->start());
  QVERIFY(!money->running());
  QVERIFY(!money->lastRun());
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(boxes[0].second);
  QVERIFY2(QString::fromStdString(boxes[0].first).contains(QStringLiteral("rate:abc")),
           boxes[0].first.c_str());
  QVERIFY(QString::fromStdString(boxes[0].first).contains(QStringLiteral("手数料")));
  // Nothing was kept either.
  QCOMPARE(PortfolioMemory::load().commission, before.commission);

  // A position limit that is no number.
  boxes.clear();
  money->commissionBox()->setText(QStringLiteral("zero"));
  money->slotsBox()->setText(QStringLiteral("0"));
  QVERIFY(!money->start());
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(boxes[0].first).contains(QStringLiteral("同時に持つ銘柄数")));
  QVERIFY(!money->lastRun());

  // Judged with hindsight, nothing runs even with good settings.
  boxes.clear();
  money->slotsBox()->setText(QStringLiteral("5"));
  win->setJudging(Judging::Hindsight);
  QVERIFY(!money->start());
  QCOMPARE(boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(boxes[0].first).contains(QStringLiteral("実売買")));
  QVERIFY(!money->lastRun());
  // Back to 実売買 it runs.
  win->setJudging(Judging::Honest);
  boxes.clear();
  QVERIFY(run());
  QVERIFY(money->lastRun());
  QVERIFY(boxes.empty());
}

namespace {

// The rate 0.1 % a fill, filled at the close: every fill price is the
// close the trade list shows.
CostModel TenthPercentAtTheClose() {
  CostModel m;
  m.set = true;
  m.commission.kind = Commission::Kind::Rate;
  m.commission.ratePercent = 0.1L;
  m.fill = FillAt::Close;
  return m;
}

long long FeeOf(long double value) { return static_cast<long long>(std::floor(value / 1000)); }

long long Grouped(const QString& text) {
  QString t = text;
  t.remove(QLatin1Char(','));
  return t.toLongLong();
}

}  // namespace

void PortfolioTest::tradeListShowsTheMoneyOfEachTrade() {
  QVERIFY(open());
  GridView* grid = win->grid("StringGrid4");
  auto* columns = dynamic_cast<TradeMoneyColumns*>(grid->model());
  QVERIFY(columns);
  const int own = columns->firstColumn();
  QCOMPARE(own, win->workspace().StatsTable.colCount());
  // No cost model: the grid has its own columns only.
  QVERIFY(!win->workspace().costModel.set);
  QCOMPARE(grid->model()->columnCount(), own);

  Workspace& ws = win->workspace();
  ws.costModel = TenthPercentAtTheClose();
  win->setJudging(Judging::Honest);
  QCOMPARE(grid->model()->columnCount(), own + 3);
  const auto cell = [grid](int c, int r) {
    return grid->model()->index(r, c).data(Qt::DisplayRole).toString();
  };
  QCOMPARE(cell(own, 0), QStringLiteral("株数"));
  QCOMPARE(cell(own + 1, 0), QStringLiteral("損益(円)"));
  QCOMPARE(cell(own + 2, 0), QStringLiteral("コスト"));
  // The grid's own columns read as before, units and all.
  QCOMPARE(cell(stats::kEntryDate, 1), Shown(ws.StatsTable.cell(stats::kEntryDate, 1)));
  QCOMPARE(cell(stats::kHeldDays, 1),
           Shown(ws.StatsTable.cell(stats::kHeldDays, 1)) + QStringLiteral("日"));

  // The oldest listed trade starts from the whole capital: the largest lot
  // count whose value and fee fit, bought and sold at the closes listed.
  int oldest = 0;
  while (!IsBlank(ws.StatsTable.cell(stats::kEntryDate, oldest + 1))) ++oldest;
  QVERIFY2(oldest >= 3, "the sample makes too few trades to tell");
  const std::optional<StockMoney> m = CurrentStockMoney(ws);
  QVERIFY(m);
  QVERIFY2(m->result.trades.size() == static_cast<std::size_t>(oldest) + 1 ||
               m->result.trades.size() == static_cast<std::size_t>(oldest),
           "the list shows every closed trade");
  const long double in = StrToFloat(ws.StatsTable.cell(stats::kEntryClose, oldest));
  const long double out = StrToFloat(ws.StatsTable.cell(stats::kExitClose, oldest));
  const long double capital = static_cast<long double>(m->result.capital);
  long long shares = static_cast<long long>(capital / (100 * in)) * 100;
  while (shares > 0 && shares * in + FeeOf(shares * in) > capital) shares -= 100;
  const long long cost = FeeOf(shares * in) + FeeOf(shares * out);
  const long double pnl = shares * (out - in) - cost;
  QCOMPARE(Grouped(cell(own, oldest)), shares);
  QCOMPARE(Grouped(cell(own + 2, oldest)), cost);
  QCOMPARE(Grouped(cell(own + 1, oldest)), static_cast<long long>(std::llround(pnl)));
  QVERIFY(cell(own + 1, oldest).contains(QLatin1Char(',')) || std::abs(pnl) < 1000);
  // Every listed row has its money, numbers right-aligned.
  for (int r = 1; r <= oldest; ++r) QVERIFY(Grouped(cell(own, r)) > 0);
  const QVariant align = grid->model()->index(1, own).data(Qt::TextAlignmentRole);
  QVERIFY(align.value<Qt::Alignment>() & Qt::AlignRight);

  // 後知恵 has no money, and neither has 実売買 without the model.
  win->setJudging(Judging::Hindsight);
  QCOMPARE(grid->model()->columnCount(), own);
  win->setJudging(Judging::Honest);
  QCOMPARE(grid->model()->columnCount(), own + 3);
  ws.costModel.set = false;
  win->mirror();
  QCOMPARE(grid->model()->columnCount(), own);
}

void PortfolioTest::stockMoneyFiguresAddUpFromTheTradeList() {
  QVERIFY(open());
  Workspace& ws = win->workspace();
  auto* button = qobject_cast<QToolButton*>(win->widget("MoneyStatsButton"));
  QVERIFY(button);
  QVERIFY(!button->isEnabled());  // no cost model yet
  ws.costModel = TenthPercentAtTheClose();
  win->setJudging(Judging::Honest);
  QVERIFY(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  auto* w = win->findChild<StockMoneyWindow*>();
  QVERIFY(w && w->isVisible());
  MoneyStatsPanel* panel = w->panel();

  // From the trade list as shown: the costs are its コスト cells, the trades
  // its rows, the wins its rows with a gain, the tax 20.315 % of each exit
  // year's sum of gains (to the yen of each row's rounding).
  GridView* grid = win->grid("StringGrid4");
  const int own = dynamic_cast<TradeMoneyColumns*>(grid->model())->firstColumn();
  long long costs = 0;
  int trades = 0, wins = 0;
  std::map<std::string, long long> yearGains;
  for (int r = 1; !IsBlank(ws.StatsTable.cell(stats::kEntryDate, r)); ++r) {
    const long long pnl = Grouped(grid->model()->index(r, own + 1).data().toString());
    costs += Grouped(grid->model()->index(r, own + 2).data().toString());
    ++trades;
    wins += pnl > 0;
    yearGains[ws.StatsTable.cell(stats::kExitDate, r).substr(0, 4)] += pnl;
  }
  const std::optional<StockMoney> m = CurrentStockMoney(ws);
  QVERIFY(m);
  // An open trade at the end adds its entry fee and borrow.
  long long openCost = 0;
  for (const TradeMoneyRow& row : TradeMoneyRows(*m))
    if (!row.closed) openCost += row.cost;
  QCOMPARE(panel->value(QStringLiteral("取引数")).toInt(), trades);
  QCOMPARE(Grouped(panel->value(QStringLiteral("売買コスト"))), costs + openCost);
  QCOMPARE(panel->value(QStringLiteral("勝率")), QString::number(100.0 * wins / trades, 'f', 2));
  double tax = 0;
  for (const auto& [year, gains] : yearGains)
    if (gains > 0) tax += std::floor(gains * 0.20315);
  QVERIFY2(std::abs(Grouped(panel->value(QStringLiteral("税"))) - tax) <= yearGains.size(),
           qPrintable(panel->value(QStringLiteral("税"))));
  // The final equity is the label's; the buy-and-hold is the capital in the
  // stock at its first close, worth its last.
  QCOMPARE(Grouped(panel->value(QStringLiteral("最終資産"))),
           static_cast<long long>(std::llround(static_cast<double>(m->result.finalEquity))));
  const double hold = static_cast<double>(m->result.capital) *
                      static_cast<double>(m->days.back().close / m->days.front().close);
  QCOMPARE(Grouped(panel->value(QStringLiteral("最終資産"), 1)),
           static_cast<long long>(std::llround(hold)));
  QVERIFY(panel->years()->rowCount() >= 2);
  QVERIFY(w->findChild<QLabel*>(QStringLiteral("StockMoneyNote"))
              ->text()
              .contains(QStringLiteral("元手")));

  // The cost model off: the window says why, no values.
  ws.costModel.set = false;
  win->mirror();
  QCOMPARE(panel->value(QStringLiteral("最終資産")), QStringLiteral("-"));
  QVERIFY(!button->isEnabled());
}

QTEST_MAIN(PortfolioTest)
#include "portfolio_test.moc"
