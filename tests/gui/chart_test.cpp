// The chart draws the chart model (lines, legend, axes, date labels), reads
// the day under the pointer without writing anything, and steps the days
// with the arrow keys.
#include <QApplication>
#include <QCategoryAxis>
#include <QEvent>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>
#include <string>

#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class ChartTest : public WindowTest {
  Q_OBJECT

 private slots:
  void chartDrawsTheModel();
  void crosshairReadsTheDayUnderThePointer();
  void arrowKeysStepTheDays();
  void denseMarkersThinOut();
};

void ChartTest::chartDrawsTheModel() {
  ChartWidget* c = win->chart();
  ChartModel& m = win->workspace().chart;
  m.clearAll();
  // Point counts per line, some lines empty; the 5-day line is filled too.
  const int counts[ChartModel::kLines] = {40, 40, 38, 0, 12, 1, 30, 30, 0, 5, 7, 40, 39};
  for (int pos = 0; pos < ChartModel::kLines; ++pos)
    for (int i = 0; i < counts[pos]; ++i) m.add(pos, i + 1, 500 + pos * 10 + i, DateOfRow(i + 1));
  QVERIFY(c->refresh());
  QVERIFY(!c->refresh());  // nothing moved since
  // Every line with points is drawn on its pane's axis: the lower lines in
  // their own pane, in 重ね表示 on the price axis.
  for (int pos = 0; pos < ChartModel::kLines; ++pos)
    QCOMPARE(c->linePath(pos).size(), pos == ChartModel::idouheikin5 ? 0 : counts[pos]);
  QCOMPARE(c->linePath(0)[5], QPointF(c->xOfRow(6), c->yOfPrice(505)));
  const auto s1 = m.line(ChartModel::S1).points[2];
  QCOMPARE(c->linePath(ChartModel::S1)[2],
           QPointF(c->xOfRow(s1.x), c->yOfLower(c->lowerValue(s1.y))));
  ChartStyle overlay = c->style();
  overlay.overlay = true;
  c->setStyle(overlay);
  for (int pos = 0; pos < ChartModel::kLines; ++pos)
    QCOMPARE(c->linePath(pos).size(), pos == ChartModel::idouheikin5 ? 0 : counts[pos]);
  QCOMPARE(c->linePath(ChartModel::S1)[2], QPointF(c->xOfRow(s1.x), c->yOfPrice(s1.y)));
  overlay.overlay = false;
  c->setStyle(overlay);
  const QStringList legend = c->legendEntries();
  QCOMPARE(legend.size(), 11);
  QCOMPARE(legend.first(), QStringLiteral("終値"));
  QCOMPARE(legend.last(), QStringLiteral("0軸"));
  QVERIFY(!legend.contains(QStringLiteral("下線")));
  QVERIFY(!legend.contains(QStringLiteral("5日移動平均線")));
  // Automatic ranges: x over the rows drawn, y over every shown value
  // (the 5-day line, not shown, does not count).
  // (half a day's step beyond each end, so the end candles stand whole).
  QCOMPARE(c->dateAxis()->min(), 0.5);
  QCOMPARE(c->dateAxis()->max(), 40.5);
  QVERIFY(c->dateAxis()->isReverse());
  // The price lines on the price axis, the lower lines (S1 .. 下線) in a
  // pane of their own under it.
  QVERIFY(c->priceRange().first <= 500 && c->priceRange().second >= 520 + 37);
  QVERIFY(c->priceRange().second < 600);
  QVERIFY(c->lowerInOwnPane());
  QVERIFY(c->lowerRange().first <= 560 && c->lowerRange().second >= 500 + 120 + 38);
  QVERIFY(c->lowerPane().top() > c->pricePane().bottom());
  // Date labels: the newest row carries one, and no two overlap.
  c->grab();
  const auto labels = c->dateLabels();
  QVERIFY(!labels.empty());
  QCOMPARE(labels.back().second, QString::fromStdString(DateOfRow(1)));
  QVERIFY(std::abs(labels.back().first.center().x() - c->xOfRow(1)) < 1 ||
          labels.back().first.right() >= c->chart()->plotArea().right());
  for (std::size_t i = 1; i < labels.size(); ++i)
    QVERIFY(labels[i - 1].first.right() < labels[i].first.left());
  QCOMPARE(c->dateAxisTitle(), QStringLiteral("年月日"));
  QCOMPARE(c->valueAxisTitles(), (QStringList{QStringLiteral("指数"), QStringLiteral("株価")}));

  // The engine clears a line: the next mirror empties it on screen.
  m.clear(ChartModel::owarine);
  win->mirror();
  QVERIFY(c->linePath(0).isEmpty());
}

void ChartTest::crosshairReadsTheDayUnderThePointer() {
  setChart();
  ChartModel& m = win->workspace().chart;
  // 25-day average on every day, 75-day only from day 5 on, the inactive
  // 5-day line on every day (never listed).
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::idouheikinn25, i + 1, 95.5 + i, "2026/11/" + std::to_string(10 + i));
  for (int i = 5; i < 10; ++i)
    m.add(ChartModel::idouheikinn75, i + 1, 90 + i, "2026/11/" + std::to_string(10 + i));
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::idouheikin5, i + 1, 1, "2026/11/" + std::to_string(10 + i));
  win->mirror();
  ChartWidget* c = win->chart();
  const QString edit2 = text("Edit2");
  const auto before = stateVersions();

  // A little beside the fourth day, closer to it than to its neighbours.
  const QPointF p3 = c->pointPosition(ChartModel::owarine, 3);
  const QPointF p4 = c->pointPosition(ChartModel::owarine, 4);
  hover(QPointF(p3.x() + (p4.x() - p3.x()) / 4, p3.y() + 30));
  QVERIFY(c->readoutShown());
  QCOMPARE(c->readoutIndex(), 3);
  QCOMPARE(c->readoutText(), QStringLiteral("2026/11/13\n終値 130\n25日平均 98.5\nS2 -100"));

  // Day 7 has both averages.
  hover(c->pointPosition(ChartModel::owarine, 7));
  QCOMPARE(c->readoutIndex(), 7);
  QCOMPARE(c->readoutText(),
           QStringLiteral("2026/11/17\n終値 170\n25日平均 102.5\n75日平均 97\nS2 -100"));

  // Moving the pointer writes nothing anywhere.
  QCOMPARE(text("Edit2"), edit2);
  QVERIFY(stateVersions() == before);

  // Outside the plot area, and when the pointer leaves the chart, it goes.
  hover(QPointF(2, 2));
  QVERIFY(!c->readoutShown());
  hover(c->pointPosition(ChartModel::owarine, 2));
  QVERIFY(c->readoutShown());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(c, &leave);
  QVERIFY(!c->readoutShown());

  // A press still picks the date as before.
  act("chart1", "press", "5");
  QCOMPARE(text("Edit2"), QStringLiteral("2026/11/15"));
}

void ChartTest::arrowKeysStepTheDays() {
  ChartWidget* c = win->chart();
  c->setFocus();
  events.clear();
  QTest::keyClick(c, Qt::Key_Left);
  QTest::keyClick(c, Qt::Key_Right);
  QTest::keyClick(c, Qt::Key_Up);  // not a day step
  QCOMPARE(eventSequence(), QStringLiteral("Button62:%1 Button61:%1").arg(int(Event::Click)));
}

void ChartTest::denseMarkersThinOut() {
  ChartWidget* c = win->chart();
  ChartModel& m = win->workspace().chart;
  m.clearAll();
  m.setMarkersVisible(true);
  // A buy on every one of 600 days: at full span they would form a band.
  for (int i = 0; i < 600; ++i) {
    m.add(ChartModel::owarine, i + 1, 500 + i % 40, DateOfRow(i + 1));
    m.add(ChartModel::buys, i + 1, 500 + i % 40, DateOfRow(i + 1));
  }
  win->mirror();
  const auto spaced = [&] {
    const QList<QPointF> drawn = c->markers(ChartModel::buys)->points();
    for (qsizetype i = 1; i < drawn.size(); ++i)
      if (std::abs(c->xOfRow(drawn[i].x()) - c->xOfRow(drawn[i - 1].x())) < 13 - 1e-6) return false;
    return true;
  };
  const qsizetype full = c->markers(ChartModel::buys)->points().size();
  QVERIFY(full > 10 && full < 600);
  QVERIFY(spaced());
  // Each drawn marker is one of the model's, and the newest day keeps one.
  QCOMPARE(c->markers(ChartModel::buys)->points().first(), QPointF(1, 500));
  // Zoomed in, more of them show, still apart.
  c->setView(1, 60);
  const qsizetype zoomed = c->markers(ChartModel::buys)->points().size();
  QVERIFY(zoomed > full && spaced());
  // A day a marker's width or more apart: every shown day keeps its marker.
  int shown = 0;
  for (const QPointF& q : c->markers(ChartModel::buys)->points()) shown += q.x() <= 60 ? 1 : 0;
  QCOMPARE(shown, 60);
}

QTEST_MAIN(ChartTest)
#include "chart_test.moc"
