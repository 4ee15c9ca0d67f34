// The way of judging in the window: the switch on the rule panel, the label
// over the statistics, the setting kept between runs, the scan judging the
// window's way, and the list of today's signals.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/stock_money.h"
#include "app/today_list.h"
#include "gui/backtest_view.h"
#include "gui/judging_ui.h"
#include "gui/main_window.h"
#include "gui/scan_window.h"
#include "gui/today_window.h"
#include "sample_folder.h"
#include "signals/today.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// Every cell of the statistics table, row by row.
std::vector<std::string> Statistics(const Workspace& ws) {
  std::vector<std::string> rows;
  for (int r = 0; r < ws.StatsTable.rowCount(); ++r) rows.push_back(ws.StatsTable.rowCommaText(r));
  return rows;
}

QString Caption(MainWindow& w, const char* name) { return TextOf(w.widget(name)); }

// The user picks the other way in the switch with the keyboard, as the
// arrow keys on a closed list do.
void Choose(MainWindow& w, Judging j) {
  auto* box = qobject_cast<QComboBox*>(w.widget("JudgingBox"));
  QVERIFY(box);
  QTest::keyClick(box, j == Judging::Hindsight ? Qt::Key_Down : Qt::Key_Up);
}

QString KeptJudging() {
  return QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine"))
      .value(QStringLiteral("rules/judging"))
      .toString();
}

}  // namespace

class JudgingTest : public QObject {
  Q_OBJECT

 private slots:
  // Each test on a data folder and settings of its own.
  void init();
  void cleanup();
  void cleanupTestCase() { cleanup(); }
  void switchJudgesAnewAndIsKept();
  void unattendedRunsStartHonestAndKeepNothing();
  void scanJudgesTheWindowsWay();
  void todayListsTheNewSignals();
  void costsAreSetInTheirDialogShownBesideTheWayAndKept();

 private:
  // A window of 1280x800 on the test's folder, shown; null when it is not.
  std::unique_ptr<MainWindow> makeWindow(bool remember);

  std::unique_ptr<DataFolder> folder;
  std::vector<std::string> boxes;
};

void JudgingTest::init() {
  // The last folder goes before the next takes the environment.
  folder.reset();
  folder = SampleFolder("2026/12/04", 24, 1300);
  folder->set("TAVRINE_MANUAL_HOST", "127.0.0.1:1");
  boxes.clear();
}

void JudgingTest::cleanup() { folder.reset(); }

std::unique_ptr<MainWindow> JudgingTest::makeWindow(bool remember) {
  WindowOptions o;
  o.remember = remember;
  o.messageHook = [this](const std::string& t, bool) { boxes.push_back(t); };
  return ShowWindow(o);
}

void JudgingTest::switchJudgesAnewAndIsKept() {
  std::vector<std::string> honest, hindsight;
  {
    auto w = makeWindow(true);
    QVERIFY(w);
    Workspace& ws = w->workspace();
    // A first start: 実売買, and the start-up's stock was judged so.
    QCOMPARE(ws.judging, Judging::Honest);
    QCOMPARE(Caption(*w, "JudgingBox"), QStringLiteral("実売買"));
    QCOMPARE(Caption(*w, "JudgingLabel"), QStringLiteral("検証方式: 実売買"));
    QCOMPARE(Caption(*w, "JudgingCaption"), QStringLiteral("検証方式"));
    QVERIFY(ws.StatsTable.cell(7, 1) != "");
    honest = Statistics(ws);
    const std::string code = ws.form.text("Edit1");

    // Another rule and the short-term set, so the switch must keep both.
    QTest::mouseClick(w->widget("Label5"), Qt::LeftButton);
    QTest::mouseClick(w->widget("Button79"), Qt::LeftButton);
    QTest::mouseClick(w->widget("Button74"), Qt::LeftButton);
    QCOMPARE(ws.StatsTable.cell(ctl::Condition), std::string("G4短"));
    const std::vector<std::string> honestG4 = Statistics(ws);

    Choose(*w, Judging::Hindsight);
    QCOMPARE(ws.judging, Judging::Hindsight);
    QCOMPARE(Caption(*w, "JudgingBox"), QStringLiteral("後知恵"));
    QCOMPARE(Caption(*w, "JudgingLabel"), QStringLiteral("検証方式: 後知恵（将来の株価を含む）"));
    QVERIFY(w->widget("JudgingLabel")->toolTip().contains(QStringLiteral("得られません")));
    QCOMPARE(ws.form.text("Edit1"), code);
    QCOMPARE(ws.StatsTable.cell(ctl::Condition), std::string("G4短"));
    const std::vector<std::string> hindsightG4 = Statistics(ws);
    QVERIFY(hindsightG4 != honestG4);
    // The statistics hold no mark of the way of judging.
    for (const std::string& row : hindsightG4)
      QVERIFY2(row.find("後知恵") == std::string::npos && row.find("実売買") == std::string::npos,
               row.c_str());
    QCOMPARE(KeptJudging(), QStringLiteral("hindsight"));
    // The backtest picture's heading says so too, before the direction.
    BacktestView* figures = w->openBacktest();
    QVERIFY2(figures->heading().contains(QStringLiteral("G4短　後知恵　入")),
             qPrintable(figures->heading()));

    // Back: the same figures as before.
    Choose(*w, Judging::Honest);
    QCOMPARE(ws.judging, Judging::Honest);
    QCOMPARE(Caption(*w, "JudgingLabel"), QStringLiteral("検証方式: 実売買"));
    QCOMPARE(Statistics(ws), honestG4);
    QVERIFY(figures->heading().contains(QStringLiteral("G4短　実売買　入")));
    figures->close();
    QCOMPARE(KeptJudging(), QStringLiteral("honest"));

    // The start-up's rule S1 in hindsight, for the next window.
    QTest::mouseClick(w->widget("Button79"), Qt::LeftButton);
    Choose(*w, Judging::Hindsight);
    QTest::mouseClick(w->widget("Button37"), Qt::LeftButton);
    hindsight = Statistics(ws);
    QVERIFY(hindsight != honest);
  }
  // The next window starts in the kept way, and its start-up already judged
  // the first stock so.
  auto again = makeWindow(true);
  QVERIFY(again);
  QCOMPARE(again->workspace().judging, Judging::Hindsight);
  QCOMPARE(Caption(*again, "JudgingBox"), QStringLiteral("後知恵"));
  QCOMPARE(Caption(*again, "JudgingLabel"), QStringLiteral("検証方式: 後知恵（将来の株価を含む）"));
  QCOMPARE(Statistics(again->workspace()), hindsight);
  Choose(*again, Judging::Honest);
  QCOMPARE(Statistics(again->workspace()), honest);
}

void JudgingTest::unattendedRunsStartHonestAndKeepNothing() {
  QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine"))
      .setValue(QStringLiteral("rules/judging"), QStringLiteral("hindsight"));
  auto w = makeWindow(false);
  QVERIFY(w);
  QCOMPARE(w->workspace().judging, Judging::Honest);
  QCOMPARE(Caption(*w, "JudgingLabel"), QStringLiteral("検証方式: 実売買"));
  Choose(*w, Judging::Hindsight);
  QCOMPARE(w->workspace().judging, Judging::Hindsight);
  Choose(*w, Judging::Honest);
  QCOMPARE(KeptJudging(), QStringLiteral("hindsight"));
}

void JudgingTest::scanJudgesTheWindowsWay() {
  auto w = makeWindow(false);
  QVERIFY(w);
  QPointer<ScanWindow> scan = w->openScan();
  std::vector<Judging> asked;
  scan->runner = [&asked](const WorkTable&, const ScanOptions& o) {
    asked.push_back(o.backtest.judging);
    return std::vector<ScanRow>{};
  };
  auto run = [&] {
    scan->start();
    QTRY_VERIFY_WITH_TIMEOUT(!scan->running(), 10000);
  };
  QCOMPARE(scan->judgingLabel()->text(), QStringLiteral("実売買"));
  // Beside the direction, in the same strip, covering nothing.
  QLabel* judging = scan->judgingLabel();
  QCOMPARE(judging->parentWidget(), scan->directionLabel()->parentWidget());
  QVERIFY(judging->x() > scan->directionLabel()->geometry().right());
  QCOMPARE(judging->y(), scan->directionLabel()->y());
  for (QWidget* other : judging->parentWidget()->findChildren<QWidget*>())
    if (other != judging && other->parentWidget() == judging->parentWidget())
      QVERIFY2(!other->geometry().intersects(judging->geometry()),
               qPrintable(other->objectName() + " " + other->metaObject()->className()));
  run();
  QVERIFY2(scan->statusLabel()->text().contains(QStringLiteral("実売買")),
           qPrintable(scan->statusLabel()->text()));
  Choose(*w, Judging::Hindsight);
  // The open scan window follows the switch at once.
  QCOMPARE(scan->judgingLabel()->text(), QStringLiteral("後知恵"));
  run();
  QVERIFY(scan->statusLabel()->text().contains(QStringLiteral("後知恵")));
  QCOMPARE(asked, (std::vector<Judging>{Judging::Honest, Judging::Hindsight}));

  // Its "本日の信号" opens the today window of the main window.
  QVERIFY(!w->todayWindow());
  auto* today = scan->findChild<QPushButton*>(QStringLiteral("ScanToday"));
  QVERIFY(today);
  QTest::mouseClick(today, Qt::LeftButton);
  QVERIFY(w->todayWindow() && w->todayWindow()->isVisible());
}

void JudgingTest::todayListsTheNewSignals() {
  auto w = makeWindow(false);
  QVERIFY(w);
  Workspace& ws = w->workspace();
  // Hindsight in the window: today's signals are judged honestly all the same.
  Choose(*w, Judging::Hindsight);
  QTest::mouseClick(w->widget("Label5"), Qt::LeftButton);
  QVERIFY(w->widget("TodayButton")->isVisible());
  QTest::mouseClick(w->widget("TodayButton"), Qt::LeftButton);
  QPointer<TodayWindow> today = w->todayWindow();
  QVERIFY(today && today->isVisible());

  // Every new + or - sign of both sets is one row, S1 .. S3 once.
  const auto longRows = TodaySignals(ws.StockList, true);
  const auto shortRows = TodaySignals(ws.StockList, false);
  std::multiset<std::string> expected;
  for (const auto* set : {&longRows, &shortRows})
    for (const TodayRow& s : *set)
      for (int i = set == &longRows ? 0 : 3; i < 10; ++i) {
        const TodaySignal& sig = s.rules[static_cast<std::size_t>(i)];
        if (!sig.known || !sig.isNew || sig.sign == 0) continue;
        expected.insert(std::to_string(s.column) + " " + std::to_string(i) +
                        (i >= 3 && set == &shortRows ? " 短 " : " 長 ") +
                        (sig.sign > 0 ? "買 " : "売 ") + s.date + " " + std::to_string(s.close));
      }
  std::multiset<std::string> shown;
  for (const TodayListRow& r : today->model()->rows())
    shown.insert(std::to_string(r.column) + " " + std::to_string(r.tag) +
                 (r.shortTerm ? " 短 " : " 長 ") + (r.buy ? "買 " : "売 ") + r.date + " " +
                 std::to_string(r.close));
  QVERIFY(expected.size() >= 3);
  QCOMPARE(shown, expected);
  QVERIFY2(today->statusLabel()->text().contains(
               QStringLiteral("、%1 件").arg(static_cast<int>(expected.size()))),
           qPrintable(today->statusLabel()->text()));

  // The filters, chosen with the keyboard on their closed lists.
  const int all = static_cast<int>(expected.size());
  auto count = [&today] { return today->model()->rowCount(); };
  auto every = [&today](auto pass) {
    for (const TodayListRow& r : today->model()->rows())
      if (!pass(r)) return false;
    return true;
  };
  int buys = 0;
  for (const std::string& e : expected) buys += e.find(" 買 ") != std::string::npos ? 1 : 0;
  QComboBox* side = today->sideBox();
  QTest::keyClick(side, Qt::Key_Down);  // 買い
  QCOMPARE(count(), buys);
  QVERIFY(every([](const TodayListRow& r) { return r.buy; }));
  QTest::keyClick(side, Qt::Key_Down);  // 売り
  QCOMPARE(count(), all - buys);
  QVERIFY(every([](const TodayListRow& r) { return !r.buy; }));
  QVERIFY(today->statusLabel()->text().contains(QStringLiteral("全 %1 件から").arg(all)));
  QTest::keyClick(side, Qt::Key_Up);
  QTest::keyClick(side, Qt::Key_Up);  // both again
  QCOMPARE(count(), all);
  // One rule: the rows of its tag only, fewer than all when the list has
  // signals of more than one rule.
  std::set<int> tags;
  for (const TodayListRow& r : today->model()->rows()) tags.insert(r.tag);
  const int tag = *tags.begin();
  int ofTag = 0;
  for (const TodayListRow& r : today->model()->rows()) ofTag += r.tag == tag ? 1 : 0;
  QComboBox* rule = today->ruleBox();
  for (int i = 0; i <= tag; ++i) QTest::keyClick(rule, Qt::Key_Down);
  QCOMPARE(rule->currentData().toInt(), tag);
  QCOMPARE(count(), ofTag);
  QVERIFY(every([tag](const TodayListRow& r) { return r.tag == tag; }));
  if (tags.size() > 1) QVERIFY(count() < all);
  for (int i = 0; i <= tag; ++i) QTest::keyClick(rule, Qt::Key_Up);
  QCOMPARE(count(), all);
  // Only the stocks priced to the newest day.
  std::string newest;
  for (const TodayRow& r : longRows) newest = std::max(newest, r.date);
  int onNewest = 0;
  for (const TodayListRow& r : today->model()->rows()) onNewest += r.date == newest ? 1 : 0;
  QTest::mouseClick(today->newestDayBox(), Qt::LeftButton);
  QCOMPARE(count(), onNewest);
  QVERIFY(every([&newest](const TodayListRow& r) { return r.date == newest; }));
  QTest::mouseClick(today->newestDayBox(), Qt::LeftButton);
  QCOMPARE(count(), all);
  // A filter is worked on the engine's rows as they come: all three at once.
  TodayFilter f;
  f.side = 1;
  f.tag = tag;
  f.newestDayOnly = true;
  int both = 0;
  for (const TodayListRow& r : today->model()->rows())
    both += r.buy && r.tag == tag && r.date == newest ? 1 : 0;
  QCOMPARE(static_cast<int>(FilterTodayRows(today->model()->rows(), f, newest).size()), both);

  // A click on the 終値 heading orders by the close.
  QTableView* table = today->table();
  QHeaderView* header = table->horizontalHeader();
  QTest::mouseClick(
      header->viewport(), Qt::LeftButton, {},
      QPoint(header->sectionViewportPosition(kTodayClose) + 10, header->height() / 2));
  const auto& rows = today->model()->rows();
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const bool up = header->sortIndicatorOrder() == Qt::AscendingOrder;
    QVERIFY(up ? rows[i - 1].close <= rows[i].close : rows[i - 1].close >= rows[i].close);
  }

  // A double click on a short-term row of a term rule charts that stock with
  // that rule and the short-term set.
  int pick = -1;
  for (std::size_t i = 0; i < rows.size() && pick < 0; ++i)
    if (rows[i].shortTerm) pick = static_cast<int>(i);
  QVERIFY(pick >= 0);
  const TodayListRow row = rows[static_cast<std::size_t>(pick)];
  const QModelIndex at = today->model()->index(pick, kTodayRule);
  table->scrollTo(at);
  // A real double click starts with a press; QTest sends only the second half.
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(at).center());
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(at).center());
  QCOMPARE(ws.form.text("Edit1"), row.code);
  QCOMPARE(ws.StatsTable.cell(ctl::Condition), row.rule);
  QCOMPARE(ws.judging, Judging::Hindsight);

  // The CSV holds the rows in the order shown, in Shift-JIS.
  const QString path = PathOf(*folder) + "/today.csv";
  QVERIFY(today->saveCsv(path));
  std::string text;
  for (const std::string& l : TodayCsvLines(today->model()->rows())) text += l + "\r\n";
  QCOMPARE(ReadBytes(path.toStdString()), Utf8ToCp932(text));
  QVERIFY(!today->saveCsv(PathOf(*folder) + "/none/today.csv"));

  // Escape closes the window.
  today->table()->setFocus();
  QTest::keyClick(today->table(), Qt::Key_Escape);
  QTRY_VERIFY_WITH_TIMEOUT(!today || !today->isVisible(), 5000);
}

QTEST_MAIN(JudgingTest)

// The dialog as the user fills it: while it is open, each step types into
// its fields and presses OK; what the dialog says back is collected.
namespace {
void FillCostsDialog(bool on, const QString& commission, const QString& tax, QString* said) {
  QTimer::singleShot(0, [=] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    d->findChild<QCheckBox*>(QStringLiteral("CostsOn"))->setChecked(on);
    auto* c = d->findChild<QLineEdit*>(QStringLiteral("CostsCommission"));
    c->setText(commission);
    auto* t = d->findChild<QLineEdit*>(QStringLiteral("CostsTax"));
    t->setText(tax);  // typed keys are ASCII only in Qt Test
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    if (d->isVisible()) {
      *said = d->findChild<QLabel*>(QStringLiteral("CostsError"))->text();
      d->reject();
    }
  });
}
}  // namespace

void JudgingTest::costsAreSetInTheirDialogShownBesideTheWayAndKept() {
  {
    auto w = makeWindow(true);
    QVERIFY(w);
    Workspace& ws = w->workspace();
    QVERIFY(!ws.costModel.set);
    QCOMPARE(Caption(*w, "JudgingLabel"), QStringLiteral("検証方式: 実売買"));
    auto* button = qobject_cast<QToolButton*>(w->widget("CostsButton"));
    QVERIFY(button && button->isVisible());

    // A bad commission is refused in the dialog, naming it; nothing changes.
    QString said;
    FillCostsDialog(true, QStringLiteral("rate:x"), QStringLiteral("20.315"), &said);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY2(said.contains(QStringLiteral("rate:x")), qPrintable(said));
    QVERIFY(!ws.costModel.set);

    // Full-width digits read as their half-width forms.
    said.clear();
    FillCostsDialog(true, QStringLiteral("rate:0.1:100"), QStringLiteral("２０．３１５"), &said);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY2(said.isEmpty(), qPrintable(said));
    QVERIFY(ws.costModel.set);
    QCOMPARE(money::CommissionText(ws.costModel.commission), std::string("rate:0.1:100"));
    QCOMPARE(static_cast<double>(ws.costModel.taxPercent), 20.315);
    const std::optional<StockMoney> m = CurrentStockMoney(ws);
    QVERIFY(m && !m->result.trades.empty() && m->result.costs > 0);
    QCOMPARE(Caption(*w, "JudgingLabel"),
             QStringLiteral("検証方式: 実売買") + MoneyLabelText(m->result));

    // 後知恵 has no money.
    Choose(*w, Judging::Hindsight);
    QVERIFY(!Caption(*w, "JudgingLabel").contains(QStringLiteral("コスト")));
  }
  // The model is kept for the next start.
  auto again = makeWindow(true);
  QVERIFY(again);
  QVERIFY(again->workspace().costModel.set);
  QCOMPARE(money::CommissionText(again->workspace().costModel.commission),
           std::string("rate:0.1:100"));
}

#include "judging_test.moc"
