// The window explains and fits itself: every button has a tooltip, the
// term, lower-line and rule buttons show the engine's choice pressed, no
// narrow dead strip lies between two buttons, the grids show their rows and
// whole dates at the common screen sizes, the tool windows and dialogs open
// inside the screen, and a rename in the open picker keeps the picker, the
// heading and the stock button in step.
#include <QAbstractButton>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/file_dialogs.h"
#include "gui/main_window.h"
#include "gui/main_window_layout.h"
#include "gui/scan_window.h"
#include "gui/today_window.h"
#include "gui/widgets.h"
#include "store/control_cells.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

bool Pressed(QWidget* w) {
  auto* b = qobject_cast<QAbstractButton*>(w);
  return b && b->isCheckable() && b->isChecked();
}

// Rows of a grid whose whole height is in sight.
int RowsInSight(const GridView* g) {
  return g->viewport()->height() / g->verticalHeader()->defaultSectionSize();
}

// The first date text of a row in sight that the grid shows cut, as
// "row,col text"; empty when every date is whole. A column only partly in
// the viewport counts as cut too.
QString CutDate(const GridView* g) {
  static const QRegularExpression date(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
  const QAbstractItemModel* m = g->model();
  const int first = g->rowAt(0);
  const int rows = RowsInSight(g);
  const QFontMetrics fm(g->font());
  for (int r = std::max(0, first); r < std::min(m->rowCount(), first + rows); ++r)
    for (int c = 0; c < m->columnCount(); ++c) {
      const int x = g->columnViewportPosition(c);
      if (g->isColumnHidden(c) || x >= g->viewport()->width()) continue;
      const QString t = m->index(r, c).data().toString().trimmed();
      if (!date.match(t).hasMatch()) continue;
      const int width = g->columnWidth(c);
      if (fm.horizontalAdvance(t) + 4 > width || x + width > g->viewport()->width() || x < 0)
        return QStringLiteral("%1,%2 %3 (text %4 px, column %5 px)")
            .arg(r)
            .arg(c)
            .arg(t)
            .arg(fm.horizontalAdvance(t))
            .arg(width);
    }
  return {};
}

}  // namespace

class FitTest : public WindowTest {
  Q_OBJECT

 private slots:
  void everyButtonExplainsItself();
  void termAndLowerLineButtonsShowTheView();
  void ruleButtonsShowTheChosenRule();
  void noDeadStripBetweenButtons();
  void layoutFitsTheScreen_data();
  void layoutFitsTheScreen();
  void heightIsSharedOut();
  void toolWindowsOpenInsideTheScreen();
  void fileDialogHasRoomForItsColumns();
  void renameInTheOpenPickerKeepsTheHeading();
};

void FitTest::everyButtonExplainsItself() {
  // The rule panel, the memo, the picker with its collection panel: every
  // button of the window in sight at least once.
  QStringList without;
  int seen = 0;
  auto check = [&] {
    for (QAbstractButton* b : win->findChildren<QAbstractButton*>()) {
      if (b->window() != win.get() || !b->isVisibleTo(win.get())) continue;
      ++seen;
      if (b->toolTip().trimmed().isEmpty())
        without << (b->objectName().isEmpty() ? b->text() : b->objectName());
    }
  };
  show(QStringLiteral("Panel11,Panel7"));
  check();
  show(QStringLiteral("Panel4,Panel14"));
  check();
  QVERIFY2(seen > 50, qPrintable(QString::number(seen)));
  without.removeDuplicates();
  QVERIFY2(without.isEmpty(), qPrintable(without.join(QStringLiteral(", "))));
  // A button with a key names it.
  QVERIFY(w("Button62")->toolTip().contains(QStringLiteral("←")));
  QVERIFY(w("Button59")->toolTip().contains(QStringLiteral("Ctrl+P")));
  QVERIFY(w("ImportButton")->toolTip().contains(QStringLiteral("Ctrl+I")));
}

void FitTest::termAndLowerLineButtonsShowTheView() {
  const char* terms[] = {"Button2", "DrawChart", "Button4"};
  auto onlyPressed = [&](const char* chosen) {
    for (const char* t : terms)
      if (Pressed(w(t)) != (qstrcmp(t, chosen) == 0)) return false;
    return true;
  };
  // The start-up draws the middle term.
  QVERIFY(onlyPressed("DrawChart"));
  QTest::mouseClick(w("Button4"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(onlyPressed("Button4"), 5000);
  QTest::mouseClick(w("Button2"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(onlyPressed("Button2"), 5000);
  // A second click on the pressed term leaves it pressed.
  QTest::mouseClick(w("Button2"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(onlyPressed("Button2"), 5000);
  QVERIFY(ctl::ChartSpan.is(win->workspace().SeriesTable, 4800));

  // The lower lines: pressed exactly while they show another view than S.
  QVERIFY(!Pressed(w("Button81")));
  for (int i = 0; i < 4; ++i) {
    QTest::mouseClick(w("Button81"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Pressed(w("Button81")), text("Button81") != QStringLiteral("S"),
                              5000);
  }
}

void FitTest::ruleButtonsShowTheChosenRule() {
  show(QStringLiteral("Panel11"));
  const char* rules[] = {"Button37", "Button38", "Button39", "Button73", "Button74",
                         "Button75", "Button76", "Button77", "Button1",  "Button83"};
  auto onlyPressed = [&](const char* chosen) {
    for (const char* r : rules)
      if (Pressed(w(r)) != (qstrcmp(r, chosen) == 0)) return false;
    return true;
  };
  QString pressed;
  for (const char* r : rules)
    if (Pressed(w(r))) pressed += QString::fromLatin1(r) + QLatin1Char(' ');
  QVERIFY2(onlyPressed("Button37"),
           qPrintable(pressed +
                      QString::fromStdString(win->workspace().SeriesTable.cell(ctl::RuleNumber))));
  for (const char* r : {"Button38", "Button73", "Button83", "Button39"}) {
    QTest::mouseClick(w(r), Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(onlyPressed(r), r, 5000);
  }
  // A term click keeps the rule shown.
  QTest::mouseClick(w("Button4"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(Pressed(w("Button4")), 5000);
  QVERIFY(onlyPressed("Button37") || onlyPressed("Button39"));
  QVERIFY(ctl::RuleNumber.is(win->workspace().SeriesTable, 7) ? onlyPressed("Button37")
                                                              : onlyPressed("Button39"));
}

void FitTest::noDeadStripBetweenButtons() {
  show(QStringLiteral("Panel11"));
  // Between a button and the control at its right in its row either a
  // clear space stands or none: a point just right of a button is on the
  // button or on its neighbour.
  int joined = 0;
  for (const char* panelName : {"Panel1", "Panel11"}) {
    QWidget* panel = w(panelName);
    for (QWidget* a : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!qobject_cast<QAbstractButton*>(a) || !a->isVisibleTo(win.get())) continue;
      for (QWidget* b : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (b == a || !b->isVisibleTo(win.get()) || b->y() != a->y()) continue;
        const int gap = b->x() - (a->geometry().right() + 1);
        QVERIFY2(gap <= 0 || gap > 3, qPrintable(QStringLiteral("%1 px dead between %2 and %3")
                                                     .arg(gap)
                                                     .arg(a->objectName(), b->objectName())));
        if (gap == 0) {
          ++joined;
          QWidget* hit = panel->childAt(QPoint(a->geometry().right(), a->y() + a->height() / 2));
          QVERIFY(hit == a || a->isAncestorOf(hit));
        }
      }
    }
  }
  QVERIFY(joined >= 10);
}

void FitTest::layoutFitsTheScreen_data() {
  QTest::addColumn<QSize>("size");
  QTest::addColumn<int>("rows");       // of each grid at the least
  QTest::addColumn<int>("tradeRows");  // of the trade list at the least, its heading row too
  QTest::newRow("1366x768") << QSize(1366, 768) << 8 << 9;
  QTest::newRow("1200x700") << QSize(1200, 700) << 5 << 3;
  QTest::newRow("2560x1440") << QSize(2560, 1440) << 8 << 9;
}

void FitTest::layoutFitsTheScreen() {
  QFETCH(QSize, size);
  QFETCH(int, rows);
  QFETCH(int, tradeRows);
  // A backtest with trades, so the trade list has its dates.
  QTest::mouseClick(w("Button4"), Qt::LeftButton);
  const int chartAtDesign = win->chart()->height();
  win->resize(size);
  WAIT_FOR_LAYOUT(win.get(), size);
  for (const char* name : {"StringGrid2", "StringGrid1", "StringGrid4"}) {
    GridView* g = win->grid(name);
    const int want = qstrcmp(name, "StringGrid4") == 0 ? tradeRows : rows;
    QVERIFY2(RowsInSight(g) >= want,
             qPrintable(QStringLiteral("%1 shows %2 rows").arg(name).arg(RowsInSight(g))));
    const QString cut = CutDate(g);
    QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("%1 cuts %2").arg(name, cut)));
  }
  // No button of the window cuts its caption.
  for (QAbstractButton* b : win->findChildren<QAbstractButton*>()) {
    if (!b->isVisibleTo(win.get()) || b->text().isEmpty()) continue;
    const int need = b->fontMetrics().horizontalAdvance(b->text());
    QVERIFY2(need <= b->width(), qPrintable(QStringLiteral("%1 「%2」 needs %3 px of %4")
                                                .arg(b->objectName(), b->text())
                                                .arg(need)
                                                .arg(b->width())));
  }
  // The value grid is in sight with its date column.
  QVERIFY(win->grid("StringGrid2")->model()->rowCount() > rows);
  if (size.height() >= 1440) {
    // A large screen gives its height to the chart, the grids growing too.
    QVERIFY(win->chart()->height() > size.height() / 2);
    QVERIFY(win->chart()->height() > chartAtDesign);
    QVERIFY(RowsInSight(win->grid("StringGrid4")) > 10);
  }
  // A splitter dragged by the user stays where it was put.
  QSplitter* sp = win->splitter();
  QList<int> sizes = sp->sizes();
  sizes[0] -= 40;
  sizes[1] += 40;
  sp->setSizes(sizes);
  emit sp->splitterMoved(sizes[0], 1);
  win->resize(size + QSize(0, 10));
  WAIT_FOR_LAYOUT(win.get(), size + QSize(0, 10));
  QCOMPARE(sp->sizes()[0], sizes[0]);
}

void FitTest::heightIsSharedOut() {
  using namespace layout;
  // The panes fill a room that holds the chart's kept height and the
  // grids' minimums; none is ever below its minimum.
  for (int room : {300, 530, 690, 758, 1000, 1430, 2100}) {
    const QList<int> p = SplitForHeight(room, 200, 190);
    QCOMPARE(p.size(), 3);
    if (room >= kChartKeptHeight + kStatsMinHeight + kBottomMinHeight)
      QCOMPARE(p[0] + p[1] + p[2], room);
    QVERIFY(p[0] >= kChartMinHeight && p[1] >= kStatsMinHeight && p[2] >= kBottomMinHeight);
  }
  // Room enough: the grids get what they want and the chart the rest.
  QCOMPARE(SplitForHeight(758, 200, 190), QList<int>({368, 200, 190}));
  // Little room: the chart keeps its height, the statistics give way first.
  const QList<int> low = SplitForHeight(530, 200, 190);
  QCOMPARE(low[0], kChartKeptHeight);
  QCOMPARE(low[1], kStatsMinHeight);
  QCOMPARE(low[2], 530 - kChartKeptHeight - kStatsMinHeight);
  // Much room: all three grow, the chart most.
  const QList<int> high = SplitForHeight(1430, 200, 190);
  QVERIFY(high[0] > 1430 / 2);
  QVERIFY(high[1] > 200 && high[2] > 190);
}

void FitTest::toolWindowsOpenInsideTheScreen() {
  const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
  // The main window at the lower right corner of the screen.
  win->move(avail.right() - win->width() + 200, avail.bottom() - win->height() + 150);
  QWidget* tools[] = {win->openToday(), win->openScan(), win->openBacktest()};
  for (QWidget* tool : tools) {
    QTRY_VERIFY_WITH_TIMEOUT(tool->isVisible(), 5000);
    QVERIFY2(avail.contains(tool->frameGeometry()),
             qPrintable(tool->objectName() + QStringLiteral(" at %1,%2 %3x%4")
                                                 .arg(tool->x())
                                                 .arg(tool->y())
                                                 .arg(tool->width())
                                                 .arg(tool->height())));
    tool->close();
  }
  // The help window too.
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(help->isVisible(), 5000);
  QVERIFY(avail.contains(help->frameGeometry()));

  // A window larger than the screen is made to fit it; one crossing an
  // edge is pushed back in.
  const QRect screen(0, 0, 1366, 728);
  QCOMPARE(FitInside(QRect(100, 100, 1600, 900), screen), screen);
  QCOMPARE(FitInside(QRect(1000, 600, 600, 400), screen), QRect(766, 328, 600, 400));
  QCOMPARE(FitInside(QRect(-50, -20, 300, 200), screen), QRect(0, 0, 300, 200));
  QCOMPARE(FitInside(QRect(10, 20, 300, 200), screen), QRect(10, 20, 300, 200));
}

void FitTest::fileDialogHasRoomForItsColumns() {
  QFileDialog d(win.get(), QStringLiteral("開く"), home());
  d.setOption(QFileDialog::DontUseNativeDialog, true);
  FitDialog(d, win.get());
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(d.frameGeometry()));
  QTreeView* list = nullptr;
  for (QTreeView* v : d.findChildren<QTreeView*>())
    if (v->isVisible()) list = v;
  QVERIFY(list);
  int columns = 0;
  for (int c = 0; c < list->header()->count(); ++c)
    if (!list->header()->isSectionHidden(c)) columns += list->header()->sectionSize(c);
  QVERIFY2(
      columns <= list->viewport()->width(),
      qPrintable(
          QStringLiteral("columns %1 px, list %2 px").arg(columns).arg(list->viewport()->width())));
  d.reject();
}

void FitTest::renameInTheOpenPickerKeepsTheHeading() {
  const std::string charted = text("Edit5").left(4).toStdString();
  QVERIFY(!charted.empty());
  std::string heading;
  for (const std::string& h : Headings())
    if (h.substr(0, 4) == charted) heading = h;
  QVERIFY(!heading.empty());
  QTest::mouseClick(w("Button17"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(w("Panel4")->isVisible(), 5000);
  win->askName = [](const QString&) { return QStringLiteral("改名後"); };
  win->chooseRename(QString::fromStdString(heading));
  QTRY_COMPARE_WITH_TIMEOUT(win->workspace().form.text("Edit5"), charted + " 改名後", 5000);
  // The picker stays open; the stock button closes it and the heading is back.
  QVERIFY(w("Panel4")->isVisible());
  QTest::mouseClick(w("Button17"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!w("Panel4")->isVisible(), 5000);
  QVERIFY(w("Edit5")->isVisible());
  QCOMPARE(text("Edit5"), QString::fromStdString(charted) + QStringLiteral(" 改名後"));
  // Removing another stock from the open picker keeps the chart's stock.
  QTest::mouseClick(w("Button17"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(w("Panel4")->isVisible(), 5000);
  std::string other;
  for (const std::string& h : Headings())
    if (h.substr(0, 4) != charted) other = h;
  win->askRemove = [](const QString&) { return true; };
  win->chooseRemove(QString::fromStdString(other));
  QTRY_VERIFY_WITH_TIMEOUT(
      win->workspace().StockList.cell(1, 0).find(other.substr(0, 4)) == std::string::npos &&
          win->workspace().StockList.cell(2, 0).find(other.substr(0, 4)) == std::string::npos,
      5000);
  QVERIFY(w("Panel4")->isVisible());
  QTest::mouseClick(w("Button17"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(w("Edit5")->isVisible(), 5000);
  QCOMPARE(text("Edit5"), QString::fromStdString(charted) + QStringLiteral(" 改名後"));
}

QTEST_MAIN(FitTest)
#include "fit_test.moc"
