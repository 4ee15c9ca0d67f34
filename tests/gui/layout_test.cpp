// The window's layout: the rule panel makes room instead of covering the
// controls, no control covers another or outgrows its parent at 1280x800
// and at 960x540, grid columns fit their texts, and the window remembers
// its place, splitter and columns within the screens there are.
#include <QCloseEvent>
#include <QGraphicsSimpleTextItem>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <utility>
#include <vector>

#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "gui/widgets.h"
#include "gui/window_memory.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// The controls the window places (those bound by name), each with its
// rectangle in the window's coordinates.
std::vector<std::pair<QWidget*, QRect>> PlacedControls(MainWindow* win) {
  std::vector<std::pair<QWidget*, QRect>> out;
  for (QWidget* c : win->findChildren<QWidget*>()) {
    if (c->objectName().isEmpty() || win->widget(c->objectName().toStdString()) != c) continue;
    if (c->isWindow() || !c->isVisibleTo(win)) continue;
    out.push_back({c, QRect(c->mapTo(win, QPoint(0, 0)), c->size())});
  }
  return out;
}

// The lowest edge of the chart's legend as drawn, in the coordinates of
// `in` (an ancestor of the chart); -1 without a legend.
int LegendBottom(ChartWidget* c, QWidget* in) {
  const QStringList names = c->legendEntries();
  int bottom = -1;
  for (QGraphicsItem* item : c->chart()->childItems()) {
    const auto* t = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item);
    if (!t || !names.contains(t->text())) continue;
    const QRect r = c->mapFromScene(t->sceneBoundingRect()).boundingRect();
    bottom = std::max(bottom, c->viewport()->mapTo(in, r.bottomLeft()).y());
  }
  return bottom;
}

}  // namespace

class LayoutTest : public WindowTest {
  Q_OBJECT

 private slots:
  void rulePanelMakesRoomForTheScanButton();
  void columnsFitTheirTextsAndCutCellsShowTheirText();
  void nothingCoversAnything();
  void savedPlaceIsKeptWithinTheScreens();
  void rememberedSplitterFitsTheWindow();
  void windowRemembersItsPlace();
};

void LayoutTest::rulePanelMakesRoomForTheScanButton() {
  show(QStringLiteral("Panel11"));
  QWidget* panel = w("Panel11");
  QWidget* scan = w("ScanButton");
  QVERIFY(scan && scan->parentWidget() == panel);
  QVERIFY(scan->isVisibleTo(win.get()));
  QVERIFY(panel->rect().contains(scan->geometry()));
  for (const char* b : {"Button73", "Button74", "Button75", "Button76", "Button77", "Button1",
                        "Button83", "Button79", "Button78"}) {
    QVERIFY2(!w(b)->geometry().intersects(scan->geometry()), b);
    QVERIFY2(panel->rect().contains(w(b)->geometry()), b);
  }
  // The direction toggle stays in sight beside the panel.
  QVERIFY(!panel->geometry().intersects(w("Button47")->geometry()));
  QCOMPARE(static_cast<QPushButton*>(scan)->text(), QStringLiteral("一括検証"));
  // The save buttons sit beside the statistics grid.
  QVERIFY(w("StatsCsvButton")->isVisibleTo(win.get()));
  QVERIFY(w("ChartImageButton")->isVisibleTo(win.get()));
  // "資金管理検証" with them, its caption whole.
  auto* money = static_cast<QPushButton*>(w("PortfolioButton"));
  QVERIFY(money && money->parentWidget() == w("StatsStrip"));
  QVERIFY(money->isVisibleTo(win.get()));
  QCOMPARE(money->text(), QStringLiteral("資金管理検証"));
  QVERIFY(money->fontMetrics().horizontalAdvance(money->text()) + 8 <= money->width());
}

void LayoutTest::columnsFitTheirTextsAndCutCellsShowTheirText() {
  // A first start: the grids' designed column widths, the statistics grid's
  // widened to its dates and labels.
  GridView* stats = win->grid("StringGrid4");
  QHeaderView* header = stats->horizontalHeader();
  QCOMPARE(win->grid("StringGrid2")->horizontalHeader()->sectionSize(1), 85);
  QCOMPARE(win->grid("StringGrid1")->horizontalHeader()->sectionSize(1), 85);
  QVERIFY(header->isVisibleTo(win.get()));
  QCOMPARE(header->sectionResizeMode(1), QHeaderView::Interactive);

  // The start-up's rule S1 listed trades: no date and no label is cut.
  QModelIndex date;
  const WorkTable& t = win->workspace().StatsTable;
  for (int c = 0; c < t.colCount() && !date.isValid(); ++c)
    for (int r = 1; r <= 3 && !date.isValid(); ++r)
      if (QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d$"))
              .match(QString::fromStdString(t.cell(c, r)))
              .hasMatch())
        date = stats->model()->index(r, c);
  QVERIFY2(date.isValid(), (t.rowCommaText(1) + " / " + t.rowCommaText(2)).c_str());
  for (int c = 0; c < t.colCount(); ++c)
    for (int r = 0; r <= 8; ++r)
      QVERIFY2(stats->cutText(stats->model()->index(r, c)).isEmpty(),
               qPrintable(stats->model()->index(r, c).data().toString()));

  // A column the user narrows cuts its dates and shows them whole as a
  // tooltip; the next backtest leaves the user's width alone.
  const int c = date.column();
  header->resizeSection(c, 45);
  stats->scrollTo(date);
  QCOMPARE(stats->cutText(date), date.data().toString());
  // A short text that fits has no tooltip.
  QVERIFY(stats->cutText(stats->model()->index(date.row(), date.column() + 100)).isEmpty());
  // The tooltip event over the cut cell shows the whole text.
  const QPoint at = stats->visualRect(date).center();
  QHelpEvent help(QEvent::ToolTip, at, stats->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(stats->viewport(), &help);
  QTRY_COMPARE(QToolTip::text(), date.data().toString());
  QToolTip::hideText();
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(header->sectionSize(c), 45);

  // A double click on the column's right border fits it to its texts.
  const int border = header->sectionViewportPosition(c) + header->sectionSize(c) - 1;
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(border, header->height() / 2));
  QTRY_VERIFY(header->sectionSize(c) > 45);
  QVERIFY(stats->cutText(date).isEmpty());
}

void LayoutTest::nothingCoversAnything() {
  const int panelWidth = w("Panel1")->width();
  const QPoint termAt = w("DrawChart")->mapTo(win.get(), QPoint(0, 0));
  // Every panel that can be shown together with the rule panel.
  show(QStringLiteral("Panel11,Panel7"));
  QVERIFY(w("Panel11")->isVisibleTo(win.get()));
  // A window this wide kept the room for it: nothing of the block moves.
  WAIT_FOR_LAYOUT(win.get(), QSize(1280, 800));
  QCOMPARE(w("Panel1")->width(), panelWidth);
  QCOMPARE(w("DrawChart")->mapTo(win.get(), QPoint(0, 0)), termAt);
  QVERIFY(w("ScanButton")->isVisibleTo(win.get()));
  QVERIFY(w("StatsCsvButton")->isVisibleTo(win.get()));
  // The panels over the chart lie on the chart by design; among themselves
  // and everywhere else no two controls of one parent meet, and each stands
  // whole inside its parent.
  auto check = [this](QSize asked) {
    WAIT_FOR_LAYOUT(win.get(), asked);
    const QString size = QStringLiteral("%1x%2").arg(asked.width()).arg(asked.height());
    const std::vector<std::pair<QWidget*, QRect>> placed = PlacedControls(win.get());
    QVERIFY(placed.size() > 40);
    auto overChart = [](const QWidget* a, const QWidget* b) {
      return a->objectName() == "chart1" || b->objectName() == "chart1";
    };
    for (std::size_t i = 0; i < placed.size(); ++i) {
      const auto& [a, ra] = placed[i];
      const QRect parent(a->parentWidget()->mapTo(win.get(), QPoint(0, 0)),
                         a->parentWidget()->size());
      QVERIFY2(parent.contains(ra),
               qPrintable(a->objectName() + " is cut by its parent at " + size));
      for (std::size_t j = i + 1; j < placed.size(); ++j) {
        const auto& [b, rb] = placed[j];
        if (a->parentWidget() != b->parentWidget() || overChart(a, b)) continue;
        QVERIFY2(!ra.intersects(rb),
                 qPrintable(a->objectName() + " covers " + b->objectName() + " at " + size));
      }
    }
    // The memo lies under the chart's legend.
    QWidget* memo = w("Panel7");
    const int legend = LegendBottom(win->chart(), memo->parentWidget());
    QVERIFY(legend > 0);
    QVERIFY2(memo->y() > legend, qPrintable(QStringLiteral("memo at %1, legend down to %2 at %3")
                                                .arg(memo->y())
                                                .arg(legend)
                                                .arg(size)));
  };
  check(QSize(1280, 800));
  if (QTest::currentTestFailed()) return;
  // The rule panel stands at the right of the rows it used to cover.
  QVERIFY(w("Panel11")->x() > w("BitBtn1")->geometry().right());
  QVERIFY(w("Panel11")->geometry().top() < w("Button59")->geometry().bottom());

  // A short statistics area puts the save buttons side by side, whole.
  QSplitter* sp = win->splitter();
  const QList<int> sizes = sp->sizes();
  sp->setSizes({sizes[0] + sizes[1] - 32, 32, sizes[2]});
  WAIT_FOR_LAYOUT(win.get(), QSize(1280, 800));
  QWidget* strip = w("StatsStrip");
  for (const char* b : {"StatsCsvButton", "ChartImageButton", "BacktestButton", "PortfolioButton"})
    QVERIFY2(strip->rect().contains(w(b)->geometry()), b);
  QCOMPARE(w("StatsCsvButton")->y(), w("BacktestButton")->y());
  QCOMPARE(w("StatsCsvButton")->y(), w("PortfolioButton")->y());
  sp->setSizes(sizes);
  WAIT_FOR_LAYOUT(win.get(), QSize(1280, 800));
  QVERIFY(w("StatsCsvButton")->x() == w("BacktestButton")->x());

  // A 1920x1080 screen at scale 2 gives 960x540: the window fits in it
  // with the rule panel open, the memo under the chart's legend.
  QVERIFY(win->minimumSizeHint().width() <= 960);
  QVERIFY(win->minimumSizeHint().height() <= 540);
  win->resize(960, 540);
  check(QSize(960, 540));
  if (QTest::currentTestFailed()) return;
  QCOMPARE(win->size(), QSize(960, 540));
  win->resize(1280, 800);
  WAIT_FOR_LAYOUT(win.get(), QSize(1280, 800));

  win->workspace().form.setVisible("Panel11", false);
  win->mirror();
  QCOMPARE(w("Panel1")->width(), panelWidth);
  // A narrow window makes the room only while the panel is shown.
  win->resize(960, 540);
  WAIT_FOR_LAYOUT(win.get(), QSize(960, 540));
  const int narrow = w("Panel1")->width();
  show(QStringLiteral("Panel11"));
  QVERIFY(w("Panel1")->width() > narrow);
}

void LayoutTest::savedPlaceIsKeptWithinTheScreens() {
  const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  // Whole on a screen: kept.
  QCOMPARE(FitToScreens(QRect(100, 50, 1000, 700), screens), QRect(100, 50, 1000, 700));
  QCOMPARE(FitToScreens(QRect(2000, 10, 900, 600), screens), QRect(2000, 10, 900, 600));
  // Hanging over an edge: moved inside the screen it mostly lies on.
  QCOMPARE(FitToScreens(QRect(-200, -30, 1000, 700), screens), QRect(0, 0, 1000, 700));
  QCOMPARE(FitToScreens(QRect(2900, 500, 900, 600), screens), QRect(2300, 424, 900, 600));
  // Larger than its screen: shrunk to it.
  QCOMPARE(FitToScreens(QRect(1900, 0, 1500, 1200), screens), QRect(1920, 0, 1280, 1024));
  // Off every screen, or never saved: none.
  QVERIFY(FitToScreens(QRect(5000, 5000, 800, 600), screens).isNull());
  QVERIFY(FitToScreens(QRect(-900, 0, 800, 600), screens).isNull());
  QVERIFY(FitToScreens(QRect(), screens).isNull());
}

void LayoutTest::rememberedSplitterFitsTheWindow() {
  const QList<int> mins = {120, 30, 102};
  // Sizes that fit stay as they were.
  QCOMPARE(FitSplitter({400, 200, 102}, 800, mins), (QList<int>{400, 200, 102}));
  // A size past every screen no longer hides the other panes.
  const QList<int> huge = FitSplitter({2147483647, 300, 200}, 800, mins);
  QCOMPARE(huge.size(), 3);
  QVERIFY(huge[0] + huge[1] + huge[2] <= 800);
  for (int i = 0; i < 3; ++i) QVERIFY(huge[i] >= mins[i]);
  // Too few sizes, or a room the minimums alone overflow: the designed sizes.
  QVERIFY(FitSplitter({400, 200}, 800, mins).isEmpty());
  QVERIFY(FitSplitter({400, 200, 102}, 200, mins).isEmpty());
  // A layout with a pane squeezed away is never kept.
  QVERIFY(SplitterWorthKeeping({400, 200, 102}, mins));
  QVERIFY(!SplitterWorthKeeping({700, 0, 102}, mins));
  QVERIFY(!SplitterWorthKeeping({400, 200, 50}, mins));
}

void LayoutTest::windowRemembersItsPlace() {
  WindowOptions o;
  o.messageHook = [](const std::string&, bool) {};
  const QRect place(60, 40, 1180, 820);
  QList<int> sizes;
  {
    MainWindow first(o);
    first.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    first.showNormal();
    first.setGeometry(place);
    QTRY_COMPARE(first.geometry(), place);
    // The user drags the lower splitter up and widens a column of the list.
    QSplitter* sp = first.splitter();
    sizes = sp->sizes();
    sizes[1] -= 40;
    sizes[2] += 40;
    sp->setSizes(sizes);
    emit sp->splitterMoved(sizes[0] + sizes[1], 2);
    WAIT_FOR_LAYOUT(&first, place.size());
    sizes = sp->sizes();
    first.grid("StringGrid1")->horizontalHeader()->resizeSection(3, 140);
    QCloseEvent close;
    QCoreApplication::sendEvent(&first, &close);
    QVERIFY(close.isAccepted());
  }
  {
    MainWindow again(o);
    again.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_COMPARE(again.geometry(), place);
    QTRY_COMPARE(again.splitter()->sizes(), sizes);
    QHeaderView* h = again.grid("StringGrid1")->horizontalHeader();
    QCOMPARE(h->sectionSize(3), 140);
    QCOMPARE(h->sectionSize(2), 85);
  }
  // Saved off every screen: the window takes the place the start-up asks.
  QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine"))
      .setValue("window/geometry", QRect(9000, 9000, 900, 700));
  {
    MainWindow off(o);
    off.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&off));
    QVERIFY(off.screen()->availableGeometry().contains(off.geometry()));
  }
}

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
