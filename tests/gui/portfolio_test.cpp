// 資金管理検証 in the window on generated sample data: a run off the window's
// thread shows what RunPortfolio gives for the same settings (summary, table
// by year, trades, chart), the position limit reaches the engine, the trade
// list's CSV is Shift-JIS and reads back, and a setting that does not read or
// judging with hindsight runs nothing and says why in Japanese.
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "gui/portfolio_window.h"
#include "gui/window_memory.h"
#include "sample_folder.h"
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

QTEST_MAIN(PortfolioTest)
#include "portfolio_test.moc"
