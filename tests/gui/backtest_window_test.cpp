// The backtest on the window: the trade markers on the chart follow the
// rule and the "売買" toggle, and the backtest view ("検証図") follows each
// rule press and direction while it is open.
#include <QApplication>
#include <QCategoryAxis>
#include <QEvent>
#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>
#include <string>

#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// The marker line as drawn, as (x, y) pairs.
QList<QPointF> Drawn(ChartWidget* c, int pos) { return c->markers(pos)->points(); }

QList<QPointF> InModel(const ChartModel& m, int pos) {
  QList<QPointF> pts;
  for (const ChartPoint& p : m.line(pos).points) pts.append(QPointF(p.x, p.y));
  return pts;
}

}  // namespace

class BacktestWindowTest : public WindowTest {
  Q_OBJECT

 private slots:
  void tradeMarkersFollowTheRuleAndTheToggle();
  void backtestViewFollowsTheRule();
};

void BacktestWindowTest::tradeMarkersFollowTheRuleAndTheToggle() {
  Workspace& ws = win->workspace();
  ChartWidget* c = win->chart();
  const ChartModel& m = ws.chart;
  // A fresh window shows them.
  QVERIFY(m.markersVisible());
  win->pickStockRule("1721", 0, false);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S1"));
  QVERIFY(m.markersVisible());
  QVERIFY(!m.line(ChartModel::buys).points.empty());
  QVERIFY(!m.line(ChartModel::sells).points.empty());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(Drawn(c, pos), InModel(m, pos));
    QVERIFY(c->markers(pos)->isVisible());
    QCOMPARE(c->markers(pos)->objectName(), QString::fromStdString(m.line(pos).name));
    QCOMPARE(c->markers(pos)->attachedAxes().size(), 2);
  }
  // Each marker sits on a close the chart draws.
  const QList<QPointF> closes = InModel(m, ChartModel::owarine);
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)})
    for (const QPointF& p : Drawn(c, pos)) QVERIFY(closes.contains(p));
  const double lo = c->valueAxis()->min(), hi = c->valueAxis()->max();
  const double left = c->dateAxis()->min(), right = c->dateAxis()->max();

  // A press on a buy marker picks what the lines under it give, never a marker.
  const ChartPoint& buy = m.line(ChartModel::buys).points.front();
  int onClose = -1;
  for (int i = 0; i < closes.size(); ++i)
    if (closes[i] == QPointF(buy.x, buy.y)) onClose = i;
  QVERIFY(onClose >= 0);
  const ChartHits hits = c->hitTest(c->pointPosition(ChartModel::owarine, onClose));
  QVERIFY(!hits.empty());
  for (const auto& [line, index] : hits) QVERIFY(line != "buys" && line != "sells");
  // The readout lists the trade under the day.
  hover(c->pointPosition(ChartModel::owarine, onClose));
  QVERIFY(c->readoutText().contains(QStringLiteral("仕掛け")));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(c, &leave);

  // "売買" hides them, its second press brings them back; the ranges stay.
  QCOMPARE(w("Button130")->toolTip(), QStringLiteral("売買の印を表示/非表示"));
  QVERIFY(w("Button130")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(!m.markersVisible());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(c->markers(pos)->count(), 0);
    QVERIFY(!c->markers(pos)->isVisible());
  }
  QVERIFY(!m.line(ChartModel::buys).points.empty());  // kept for the next press
  QCOMPARE(c->valueAxis()->min(), lo);
  QCOMPARE(c->valueAxis()->max(), hi);
  QCOMPARE(c->dateAxis()->min(), left);
  QCOMPARE(c->dateAxis()->max(), right);
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(m.markersVisible());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(Drawn(c, pos), InModel(m, pos));
    QVERIFY(c->markers(pos)->isVisible());
  }

  // Another rule: the markers are those of its trades.
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S2"));
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)})
    QCOMPARE(Drawn(c, pos), InModel(m, pos));

  // The pictures of the lines are the same with the markers shown or not:
  // the marker colours show only while they are.
  auto hasColour = [c](QRgb colour) {
    const QImage img = c->grab().toImage();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) == colour) return true;
    return false;
  };
  QVERIFY(hasColour(m.line(ChartModel::buys).color));
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(!hasColour(m.line(ChartModel::buys).color));
}

void BacktestWindowTest::backtestViewFollowsTheRule() {
  Workspace& ws = win->workspace();
  win->pickStockRule("1721", 0, false);
  QVERIFY(!win->backtestView() || !win->backtestView()->isVisible());
  QTest::mouseClick(w("BacktestButton"), Qt::LeftButton);
  BacktestView* v = win->backtestView();
  QVERIFY(v);
  QVERIFY(v->isVisible());
  QVERIFY(v->isWindow());
  QCOMPARE(static_cast<QPushButton*>(w("BacktestButton"))->text(), QStringLiteral("検証図"));
  // What a view of the same figures shows.
  auto expected = [&ws] {
    BacktestView ref;
    ref.show(ws.backtest.figures(), ws.StatsTable);
    return ref.summaryText();
  };
  QVERIFY(ws.backtest.figures().trades > 0);
  QCOMPARE(v->summaryText(), expected());
  QVERIFY(
      v->summaryText().startsWith(QStringLiteral("取引数 %1").arg(ws.backtest.figures().trades)));
  QCOMPARE(v->equitySeries()->count() > 0, true);
  QVERIFY(v->heading().contains(QStringLiteral("1721")));
  QVERIFY(v->heading().contains(QStringLiteral("S1")));
  const QString s1 = v->summaryText();

  // A second rule press: the open view follows.
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S2"));
  QCOMPARE(v->summaryText(), expected());
  QVERIFY(v->heading().contains(QStringLiteral("S2")));
  QVERIFY(!v->heading().contains(QStringLiteral("S1")));
  const bool buy = ws.SeriesTable.cell(7, 4863) == "1";
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入買") : QStringLiteral("入売")));
  // The direction: the heading says which.
  QTest::mouseClick(w("Button47"), Qt::LeftButton);
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入売") : QStringLiteral("入買")));
  QCOMPARE(v->summaryText(), expected());
  QTest::mouseClick(w("Button47"), Qt::LeftButton);
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入買") : QStringLiteral("入売")));
  // Back to S1: the same figures as at first.
  QTest::mouseClick(w("Button37"), Qt::LeftButton);
  QCOMPARE(v->summaryText(), s1);

  // Saved as a PNG the size of the view, without its own button.
  QVERIFY(v->imageButton()->isVisible());
  const QString png = home() + "/figures.png";
  QVERIFY(v->saveImage(png).isEmpty());
  QImage img(png);
  QCOMPARE(img.size(), v->size() * v->devicePixelRatio());
  QVERIFY(v->imageButton()->isVisible());
  QVERIFY(!v->saveImage(home() + "/none/figures.png").isEmpty());

  // Closed, it no longer follows; opened again, it catches up.
  v->close();
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QVERIFY(v->heading().contains(QStringLiteral("S1")));
  QCOMPARE(win->openBacktest(), v);
  QVERIFY(v->heading().contains(QStringLiteral("S2")));
  QCOMPARE(v->summaryText(), expected());
  v->close();
}

QTEST_MAIN(BacktestWindowTest)
#include "backtest_window_test.moc"
