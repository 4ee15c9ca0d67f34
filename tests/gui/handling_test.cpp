// What a user does by hand beside the buttons: ←/→ after a click on a
// button, Escape in the tool windows, the picker's context menu, the scan's
// stock count before a run, and the backtest picture's scale.
#include <QApplication>
#include <QHeaderView>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QValueAxis>
#include <string>

#include "gui/backtest_view.h"
#include "gui/main_window.h"
#include "gui/scan_window.h"
#include "gui/today_window.h"
#include "store/control_cells.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class HandlingTest : public WindowTest {
  Q_OBJECT

 private slots:
  void arrowsStepTheDateAfterAButtonButNotInABox();
  void escapeClosesTheToolWindows();
  void pickerRenamesAndRemovesAfterTheQuestion();
  void scanCountsTheStocksBeforeARun();
  void backtestEquityScaleIsLogarithmicUntilSwitched();
};

void HandlingTest::arrowsStepTheDateAfterAButtonButNotInABox() {
  const std::string newest = win->workspace().form.text("Edit2");
  // A click on 長期 gives the button the focus; ← steps back a day from it.
  auto* button = qobject_cast<QPushButton*>(w("Button2"));
  QTest::mouseClick(button, Qt::LeftButton);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Left);
  QCOMPARE(win->workspace().form.text("Edit2"), DateOfRow(2));
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(button));
  QTest::keyClick(button, Qt::Key_Right);
  QCOMPARE(win->workspace().form.text("Edit2"), newest);
  // In the code box the keys move the cursor and leave the date alone.
  QWidget* box = w("Edit1");
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Left);
  QCOMPARE(win->workspace().form.text("Edit2"), newest);
}

void HandlingTest::escapeClosesTheToolWindows() {
  QWidget* tools[] = {win->openScan(), win->openToday(), win->openBacktest()};
  for (QWidget* tool : tools) {
    QTRY_VERIFY_WITH_TIMEOUT(tool->isVisible(), 5000);
    QTest::keyClick(tool, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!tool->isVisible(), 5000);
  }
}

void HandlingTest::pickerRenamesAndRemovesAfterTheQuestion() {
  Workspace& ws = win->workspace();
  const std::string first = Headings()[0], second = Headings()[1];
  const QString code = QString::fromStdString(first.substr(0, 4));
  int asked = 0;
  win->askName = [&](const QString& heading) {
    ++asked;
    return heading == QString::fromStdString(first) ? QStringLiteral("新しい名前") : QString();
  };
  win->chooseRename(QString::fromStdString(first));
  QCOMPARE(asked, 1);
  QCOMPARE(ws.StockList.cell(1, 0), first.substr(0, 4) + " 新しい名前");

  // A removal answered no changes nothing; yes takes the stock out.
  const std::string before = ws.StockList.cell(2, 0);
  win->askRemove = [](const QString&) { return false; };
  win->chooseRemove(code + QStringLiteral(" 新しい名前"));
  QCOMPARE(ws.StockList.cell(1, 0), first.substr(0, 4) + " 新しい名前");
  win->askRemove = [](const QString&) { return true; };
  win->chooseRemove(code + QStringLiteral(" 新しい名前"));
  QCOMPARE(ws.StockList.cell(1, 0), second);
  QCOMPARE(ws.StockList.cell(1, 0), before);
  QVERIFY(!boxes.empty());
  QVERIFY(!boxes.back().error);
}

void HandlingTest::scanCountsTheStocksBeforeARun() {
  ScanWindow* scan = win->openScan();
  QTRY_VERIFY_WITH_TIMEOUT(scan->isVisible(), 5000);
  const int stocks = static_cast<int>(Headings().size());
  QCOMPARE(scan->progressBar()->text(), QStringLiteral("0 / %1 銘柄").arg(stocks));
  scan->close();
}

void HandlingTest::backtestEquityScaleIsLogarithmicUntilSwitched() {
  BacktestView* view = win->openBacktest();
  QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 5000);
  auto scaleOf = [view]() -> QAbstractAxis* {
    const auto axes = view->equitySeries()->attachedAxes();
    for (QAbstractAxis* a : axes)
      if (a->orientation() == Qt::Vertical) return a;
    return nullptr;
  };
  QVERIFY(view->logScale());
  auto* log = qobject_cast<QLogValueAxis*>(scaleOf());
  QVERIFY(log);
  QVERIFY(log->min() > 0);
  view->setLogScale(false);
  auto* linear = qobject_cast<QValueAxis*>(scaleOf());
  QVERIFY(linear);
  QVERIFY(linear->min() >= 0);
  view->setLogScale(true);
  QVERIFY(qobject_cast<QLogValueAxis*>(scaleOf()));
}

QTEST_MAIN(HandlingTest)
#include "handling_test.moc"
