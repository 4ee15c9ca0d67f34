// The rule scan window ("一括検証"): its table sorts by every column in the
// engine's order and exports as shown, a double click makes a row current
// in the main window, the scan runs on its own thread while the window
// takes clicks, and a real scan agrees with the rule button.
#include <QHeaderView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "gui/main_window.h"
#include "gui/scan_window.h"
#include "gui/widgets.h"
#include "store/table_file.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// How long a scan may take on a loaded machine.
constexpr int kScanWait = 120000;

// The codes of the rows in the order shown.
QString Order(const ScanWindow* s) {
  QStringList codes;
  for (const ScanRow& r : s->shownRows()) codes << QString::fromStdString(r.code);
  return codes.join(' ');
}

}  // namespace

class ScanTest : public WindowTest {
  Q_OBJECT

 private slots:
  void scanTableSortsAndPicks();
  void scanRunsBehindTheWindow();
  void realScanMatchesTheRuleButton();
  void scanTableShowsTheFigureColumns();
};

void ScanTest::scanTableSortsAndPicks() {
  auto row = [](const char* code, const char* name, int tag, const char* rule, int trades,
                const char* avg, const char* rate) {
    ScanRow r;
    r.code = code;
    r.name = name;
    r.tag = tag;
    r.rule = rule;
    r.trades = trades;
    r.average = avg;
    r.annualRate = rate;
    return r;
  };
  // Handed over out of order; "10.1" is the highest rate though it sorts
  // low as text, and 1301 and 1801 tie on the rate.
  std::vector<ScanRow> rows = {row("1801", "大成建設", 0, "S1", 40, "1.1", "2.5"),
                               row("1332", "日本水産", 3, "G3", 7, "0.98", "1.2"),
                               row("1605", "国際石油", 9, "ST", 0, "", "0"),
                               row("1301", "極洋", 1, "S2", 12, "1.05", "2.5"),
                               row("1721", "コムシス", 8, "乖離", 3, "1.3", "10.1")};
  QPointer<ScanWindow> s = scanWith(rows, false);
  QVERIFY(s);
  QVERIFY(s->isVisible());
  QCOMPARE(s->directionLabel()->text(), win->workspace().SeriesTable.cell(7, 4863) == "1"
                                            ? QStringLiteral("入買")
                                            : QStringLiteral("入売"));
  auto order = [&s] { return Order(s); };
  // Annual rate, highest first, among the rows of at least five trades:
  // 1721's 10.1 from three trades stands below them.
  QCOMPARE(s->minTradesBox()->value(), 5);
  QCOMPARE(order(), QStringLiteral("1301 1801 1332 1721 1605"));
  QCOMPARE(s->table()->horizontalHeader()->sortIndicatorSection(), int(ScanModel::AnnualRate));
  // Three trades typed as the fewest: 1721 leads, ranked again at once.
  QSpinBox* least = s->minTradesBox();
  least->setFocus();
  QTest::keyClick(least, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(least, "3");
  QTest::keyClick(least, Qt::Key_Return);
  QCOMPARE(least->value(), 3);
  QCOMPARE(order(), QStringLiteral("1721 1301 1801 1332 1605"));
  // Eight: only 1301 and 1801 have so many.
  QTest::keyClick(least, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(least, "8");
  QTest::keyClick(least, Qt::Key_Return);
  QCOMPARE(order(), QStringLiteral("1301 1801 1721 1332 1605"));
  // The next scan hands the fewest to the engine.
  std::optional<int> asked;
  s->runner = [rows, &asked](const WorkTable&, const ScanOptions& o) {
    asked = o.minTrades;
    return rows;
  };
  QTest::mouseClick(s->runButton(), Qt::LeftButton);
  QVERIFY(QTest::qWaitFor([&s] { return !s->running(); }, 30000));
  QCOMPARE(asked.value_or(-1), 8);
  QTest::keyClick(least, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(least, "5");
  QTest::keyClick(least, Qt::Key_Return);
  s->table()->sortByColumn(ScanModel::Trades, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1605 1721 1332 1301 1801"));
  s->table()->sortByColumn(ScanModel::Rule, Qt::AscendingOrder);  // button order S1 S2 G3 乖離 ST
  QCOMPARE(order(), QStringLiteral("1801 1301 1332 1721 1605"));
  s->table()->sortByColumn(ScanModel::Average, Qt::DescendingOrder);  // no value last
  QCOMPARE(order(), QStringLiteral("1721 1801 1301 1332 1605"));
  s->table()->sortByColumn(ScanModel::Code, Qt::DescendingOrder);
  QCOMPARE(order(), QStringLiteral("1801 1721 1605 1332 1301"));

  // The table exported in the order shown.
  const QString csv = home() + "/scan.csv";
  QVERIFY(s->saveCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.rowCount(), 6);
  QCOMPARE(back.cell(6, 0), std::string("年利率"));
  QCOMPARE(back.cell(0, 1), std::string("1801"));
  QCOMPARE(back.cell(2, 4), std::string("G3"));
  QCOMPARE(back.cell(6, 2), std::string("10.1"));

  // A double click on 1301 / S2 types the code, presses Enter and "S2".
  auto dblClick = [&s](const char* code) {
    const auto shown = s->shownRows();
    int at = -1;
    for (std::size_t i = 0; i < shown.size(); ++i)
      if (shown[i].code == code) at = static_cast<int>(i);
    QTableView* t = s->table();
    const QModelIndex idx = t->model()->index(at, ScanModel::Name);
    t->scrollTo(idx);
    // The press of a real double click comes first; QTest sends only the
    // second half to a widget.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(idx).center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(idx).center());
  };
  auto sequence = [this] { return eventSequence(); };
  const QString C = QString::number(Event::Click), T = QString::number(Event::Change),
                K = QString::number(Event::KeyPress);
  events.clear();
  dblClick("1301");
  QCOMPARE(sequence(), QStringLiteral("Edit1:%1 Edit1:%2:13 Button38:%3").arg(T, K, C));
  QCOMPARE(text("Edit1"), QStringLiteral("1301"));
  QCOMPARE(text("Edit5"), QStringLiteral("1301 極洋"));
  QCOMPARE(win->workspace().StatsTable.cell(13, 3), std::string("S2"));
  {
    // The statistics grid reads with units, its numbers right-aligned; the
    // cells keep the engine's texts.
    const WorkTable& st = win->workspace().StatsTable;
    QAbstractItemModel* g = win->grid("StringGrid4")->model();
    auto right = [g](int c, int r) {
      return (g->index(r, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight) !=
             0;
    };
    QVERIFY(!st.cell(11, 3).empty());
    QCOMPARE(g->index(3, 11).data().toString(), QString::fromStdString(st.cell(11, 3)) + "件");
    QCOMPARE(g->index(3, 11).data(Qt::EditRole).toString(), QString::fromStdString(st.cell(11, 3)));
    QVERIFY(right(11, 3));
    QCOMPARE(g->index(3, 7).data().toString(), QStringLiteral("全利率平均"));
    QVERIFY(!right(7, 3));
    QCOMPARE(g->index(1, 3).data().toString(), QString::fromStdString(st.cell(3, 1)) + "日");
  }

  // From a short-term scan a term-dependent rule switches to the short set
  // first; S1 .. S3 do not depend on it.
  s = scanWith(rows, true);
  QVERIFY(s);
  events.clear();
  dblClick("1332");
  // The selection's long pass leaves term mode "1": two presses reach "短".
  QCOMPARE(sequence(),
           QStringLiteral("Edit1:%1 Edit1:%2:13 Button79:%3 Button79:%3 Button73:%3").arg(T, K, C));
  QCOMPARE(text("Edit5"), QStringLiteral("1332 日本水産"));
  QCOMPARE(text("Button79"), QStringLiteral("短"));
  QCOMPARE(win->workspace().StatsTable.cell(13, 3), std::string("G3短"));
  events.clear();
  dblClick("1801");
  QCOMPARE(sequence(), QStringLiteral("Edit1:%1 Edit1:%2:13 Button37:%3").arg(T, K, C));

  // A code the list does not hold: the selection says so, no rule runs.
  s = scanWith({row("9999", "無い銘柄", 4, "G4", 1, "1", "1")}, false);
  QVERIFY(s);
  events.clear();
  boxes.clear();
  dblClick("9999");
  QVERIFY(!sequence().contains("Button74"));
  QVERIFY(!boxes.empty());
  s->close();
}

void ScanTest::scanRunsBehindTheWindow() {
  ScanWindow* s = win->openScan();
  // Shared with the worker, which may outlive a test that fails early (the
  // window cancels and joins it when it goes).
  auto entered = std::make_shared<std::atomic<bool>>(false);
  std::vector<ScanRow> partial(1);
  partial[0].code = "1301";
  partial[0].rule = "S1";
  // Reports 3 of 10 stocks, then waits for the cancel.
  s->runner = [entered, partial](const WorkTable& list, const ScanOptions& o) {
    if (list.cell(1, 0) != "1301 極洋") throw std::runtime_error("not the stock list");
    o.progress(3, 10);
    *entered = true;
    while (!o.cancel->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return partial;
  };
  const auto before = stateVersions();
  s->start();
  QVERIFY(s->running());
  QVERIFY(!s->runButton()->isEnabled());
  QVERIFY(s->cancelButton()->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(entered->load(), kScanWait);
  QTRY_COMPARE_WITH_TIMEOUT(s->progressBar()->value(), 3, kScanWait);
  QCOMPARE(s->progressBar()->maximum(), 10);

  // The main window takes clicks while the scan runs.
  QVERIFY(!w("Panel11")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Label5"), Qt::LeftButton);
  QVERIFY(w("Panel11")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Label5"), Qt::LeftButton);
  QVERIFY(s->running());

  QTest::mouseClick(s->cancelButton(), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!s->running(), kScanWait);
  QVERIFY(s->statusLabel()->text().contains(QStringLiteral("中止")));
  QCOMPARE(s->model()->rowCount(), 1);
  QVERIFY(s->runButton()->isEnabled());
  // Only the Label5 toggles wrote to the window's state; the tables are
  // as they were.
  const auto after = stateVersions();
  for (std::size_t i = 0; i + 2 < before.size(); ++i) QCOMPARE(after[i], before[i]);
  QCOMPARE(after.back(), before.back());  // chart
}

void ScanTest::realScanMatchesTheRuleButton() {
  ScanWindow* s = win->openScan();
  s->runner = RunScan;
  s->setShortTerm(false);
  const auto before = stateVersions();
  QSignalSpy done(s, &ScanWindow::finished);
  s->start();
  // Events keep flowing while it works: the window's poll sees the end.
  QTRY_VERIFY_WITH_TIMEOUT(!s->running(), kScanWait);
  QCOMPARE(done.count(), 1);
  QVERIFY(stateVersions() == before);
  const auto rows = s->shownRows();
  if (rows.empty()) QSKIP("the stock list is too short for the scan");
  QCOMPARE(rows.size() % 10, std::size_t(0));
  // The S1 row of 1721 shows what "S1" shows in the main window.
  ScanRow want;
  for (const ScanRow& r : rows)
    if (r.code == "1721" && r.tag == 0) want = r;
  QCOMPARE(want.code, std::string("1721"));
  win->pickStockRule("1721", 0, false);
  const WorkTable& t = win->workspace().StatsTable;
  QCOMPARE(t.cell(13, 3), std::string("S1"));
  QCOMPARE(IsBlank(t.cell(11, 3)) ? 0 : std::stoi(t.cell(11, 3)), want.trades);
  QCOMPARE(t.cell(8, 4), want.annualRate);
  if (want.trades > 0) {
    QCOMPARE(t.cell(8, 3), want.average);
    QCOMPARE(t.cell(11, 4), want.perYear);
  }
  s->close();
}

void ScanTest::scanTableShowsTheFigureColumns() {
  auto row = [](const char* code, std::optional<double> pf, std::optional<double> dd) {
    ScanRow r;
    r.code = code;
    r.name = "名";
    r.rule = "S1";
    r.trades = 3;
    r.annualRate = "1";
    r.figures.trades = 3;
    r.figures.profitFactor = pf;
    r.figures.maxDrawdown = dd;
    return r;
  };
  // As text "9.5" would come before "10.25" and "1.5" between them.
  QPointer<ScanWindow> s = scanWith({row("1301", 9.5, 0.2), row("1332", std::nullopt, 0.05),
                                     row("1605", 10.25, 0.125), row("1721", 1.5, 0.3)},
                                    false);
  QVERIFY(s);
  ScanModel* model = s->model();
  QCOMPARE(model->columnCount(), 14);
  QCOMPARE(int(ScanModel::kColumns), 14);
  for (int c = 0; c < 14; ++c)
    QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString::fromStdString(ScanColumnHeadings()[static_cast<std::size_t>(c)]));
  QCOMPARE(model->headerData(ScanModel::ProfitFactor, Qt::Horizontal, Qt::DisplayRole).toString(),
           QStringLiteral("PF"));
  auto order = [&s] { return Order(s); };
  s->table()->sortByColumn(ScanModel::ProfitFactor, Qt::DescendingOrder);
  // No value counts below every number.
  QCOMPARE(order(), QStringLiteral("1605 1301 1721 1332"));
  s->table()->sortByColumn(ScanModel::ProfitFactor, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1332 1721 1301 1605"));
  s->table()->sortByColumn(ScanModel::MaxDrawdown, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1332 1605 1301 1721"));
  // The figures show in the engine's one form (the tooltip too), percentages
  // as %, right-aligned as numbers.
  const QModelIndex pf = model->index(3, ScanModel::ProfitFactor);  // 1721
  QCOMPARE(model->data(pf, Qt::DisplayRole).toString(), QStringLiteral("1.50"));
  QCOMPARE(model->data(pf, Qt::ToolTipRole).toString(), QStringLiteral("1.50"));
  const QModelIndex dd = model->index(1, ScanModel::MaxDrawdown);  // 1605
  QCOMPARE(model->data(dd, Qt::DisplayRole).toString(), QStringLiteral("12.5%"));
  const QModelIndex none = model->index(0, ScanModel::ProfitFactor);  // 1332
  QCOMPARE(model->data(none, Qt::DisplayRole).toString(),
           QString::fromStdString(FigureText(std::optional<double>())));
  for (int c = ScanModel::MaxDrawdown; c < ScanModel::kColumns; ++c)
    QVERIFY(model->data(model->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignRight);
  // Every column has room on screen.
  for (int c = 0; c < ScanModel::kColumns; ++c) QVERIFY(s->table()->columnWidth(c) >= 40);
  // The CSV carries them.
  const QString csv = home() + "/scan14.csv";
  QVERIFY(s->saveCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.cell(ScanModel::ProfitFactor, 0), std::string("PF"));
  QCOMPARE(back.cell(ScanModel::MaxDrawdown, 1), std::string("5.0%"));
  s->close();
}

QTEST_MAIN(ScanTest)
#include "scan_test.moc"
