// The chart's candles, volume and lower pane over a stock whose prices sit
// in the price store: the candles carry the stored open, high, low and the
// list's close, a day whose stored close disagrees with the list is a close
// point, the panes keep their values apart, and 重ね表示 puts everything back
// on one axis.
#include <QCategoryAxis>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QImage>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <map>
#include <string>

#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "gui/window_memory.h"
#include "store/control_cells.h"
#include "store/price_store.h"
#include "store/text.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

// What was stored for a day of the first stock (list column 1).
struct Stored {
  double open, high, low, close, volume;
  bool matches;  // the stored close is the list's: the day has a candle
};

// Every list day of 1301: the close the list holds, or 3 yen off it on
// every seventh row; open, high and low around it, the volume growing.
std::map<int, Stored> StoreFirstStock() {
  std::map<int, Stored> out;
  std::vector<StoredBar> bars;
  for (int r = 1; r <= kDays; ++r) {
    const double listClose = std::stod(PriceOf(1, r));
    Stored s;
    s.matches = r % 7 != 0;
    s.close = s.matches ? listClose : listClose + 3;
    s.open = s.close + ((r % 3 == 0) ? 26.5 : -24);  // every third day a 陰線
    s.high = std::max(s.open, s.close) + 2 + r % 5;
    s.low = std::min(s.open, s.close) - 1 - r % 4;
    s.volume = 15000.0 * r;
    StoredBar b;
    b.code = "1301";
    TryParseDate(DateOfRow(r), b.day);
    b.open = s.open;
    b.high = s.high;
    b.low = s.low;
    b.close = s.close;
    b.volume = s.volume;
    bars.push_back(b);
    out[b.day] = s;
  }
  const auto notes = KeepPrices(bars);
  if (!notes.empty()) qWarning("%s", notes.front().c_str());
  return out;
}

int DayOf(const ChartPoint& p) {
  int day = 0;
  TryParseDate(p.label, day);
  return day;
}

// The share of a candle body's inner pixels on screen that pass `is`
// (lines drawn over the body take a few).
template <class Is>
double BodyShare(const QImage& shot, const ChartWidget* c, const ChartCandle& k, Is is) {
  const QRectF inner = k.body.adjusted(1.5, 1.5, -1.5, -1.5);
  int all = 0, pass = 0;
  for (double y = inner.top(); y <= inner.bottom(); y += 1)
    for (double x = inner.left(); x <= inner.right(); x += 1) {
      const QPointF at = c->mapFromScene(c->chart()->mapToScene(QPointF(x, y)));
      ++all;
      pass += is(shot.pixelColor((at * shot.devicePixelRatio()).toPoint())) ? 1 : 0;
    }
  return all == 0 ? 0 : static_cast<double>(pass) / all;
}

}  // namespace

class CandlesTest : public WindowTest {
  Q_OBJECT

 private slots:
  void candlesCarryTheStoredBars();
  void panesKeepTheirValuesApart();
  void overlayPutsEveryLineOnOneAxis();
  void stochasticsReadInPercent();
  void styleChoicesAndAxisTexts();
  void zoomAndPanByWheelAndMouse();
  void crosshairShowsTheStoredDay();
  void dateLabelsNeverOverlap();
  void weeksAndMonthsFromTheDays();
};

void CandlesTest::candlesCarryTheStoredBars() {
  const std::map<int, Stored> stored = StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const ChartModel& m = win->workspace().chart;
  const ChartLine& close = m.line(ChartModel::owarine);
  QVERIFY(close.points.size() > 100);

  const std::vector<ChartCandle> candles = c->candles();
  const std::vector<int> dots = c->closeOnlyPoints();
  QCOMPARE(candles.size() + dots.size(), close.points.size());
  QVERIFY(!dots.empty());
  // With candles the close is drawn by them, not as a line.
  QVERIFY(c->linePath(ChartModel::owarine).isEmpty());
  int yin = 0;
  for (const ChartCandle& k : candles) {
    const ChartPoint& p = close.points[static_cast<std::size_t>(k.point)];
    const Stored& s = stored.at(DayOf(p));
    QVERIFY2(s.matches, p.label.c_str());
    QCOMPARE(k.open, s.open);
    QCOMPARE(k.high, s.high);
    QCOMPARE(k.low, s.low);
    QCOMPARE(k.close, s.close);
    QCOMPARE(k.up, s.close >= s.open);
    yin += k.up ? 0 : 1;
    // The body spans open to close and the wick high to low on the price axis.
    QVERIFY(std::abs(k.body.top() - c->yOfPrice(std::max(s.open, s.close))) < 1e-6);
    QVERIFY(std::abs(k.body.bottom() - c->yOfPrice(std::min(s.open, s.close))) < 1.0 + 1e-6);
    QVERIFY(std::abs(k.wick.y1() - c->yOfPrice(s.high)) < 1e-6);
    QVERIFY(std::abs(k.wick.y2() - c->yOfPrice(s.low)) < 1e-6);
    QVERIFY(std::abs(k.body.center().x() - c->xOfRow(p.x)) < 1e-6);
    QVERIFY(c->pricePane().contains(QPointF(k.wick.x1(), k.wick.y1())));
  }
  QVERIFY(yin > 0 && yin < static_cast<int>(candles.size()));
  for (int i : dots) {
    const ChartPoint& p = close.points[static_cast<std::size_t>(i)];
    QVERIFY2(!stored.at(DayOf(p)).matches, p.label.c_str());
  }

  // An average's points are drawn on the price axis, and the geometry maps
  // back to the same day and value.
  const QPolygonF ma = c->linePath(ChartModel::idouheikinn25);
  const ChartLine& l25 = m.line(ChartModel::idouheikinn25);
  QVERIFY(!l25.points.empty());
  QCOMPARE(ma.size(), static_cast<qsizetype>(l25.points.size()));
  for (std::size_t i = 0; i < l25.points.size(); i += 17) {
    const QPointF q = ma[static_cast<qsizetype>(i)];
    QVERIFY(std::abs(c->rowOfX(q.x()) - l25.points[i].x) < 1e-6);
    QVERIFY(std::abs(c->priceOfY(q.y()) - l25.points[i].y) < 1e-6);
  }

  // On screen, on a few days for wide candles: a tall 陽線 body is red, a tall
  // 陰線 body blue.
  win->workspace().chart.setMarkersVisible(false);  // no trade marker over a body
  c->refresh();
  c->setView(1, 40);
  const QImage shot = c->grab().toImage();
  bool sawUp = false, sawDown = false;
  for (const ChartCandle& k : c->candles()) {
    if (k.body.height() < 6 || k.body.width() < 5 || !c->pricePane().contains(k.body)) continue;
    const double red = BodyShare(shot, c, k, [](const QColor& px) {
      return px.red() > 150 && px.red() > px.blue() + 80 && px.red() > px.green() + 80;
    });
    const double blue = BodyShare(
        shot, c, k, [](const QColor& px) { return px.blue() > 130 && px.blue() > px.red() + 80; });
    QVERIFY(k.up ? blue < 0.3 : red < 0.3);
    if (k.up ? red > 0.8 : blue > 0.8) (k.up ? sawUp : sawDown) = true;
  }
  QVERIFY(sawUp && sawDown);
  c->redraw();

  // Clicking a candle's day still picks that day.
  const int some = candles[candles.size() / 2].point;
  const ChartHits hits = c->hitTest(c->pointPosition(ChartModel::owarine, some));
  QVERIFY(std::find(hits.begin(), hits.end(), std::pair<std::string, int>{"owarine", some}) !=
          hits.end());
}

void CandlesTest::panesKeepTheirValuesApart() {
  const std::map<int, Stored> stored = StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const ChartModel& m = win->workspace().chart;
  const ChartLine& close = m.line(ChartModel::owarine);

  // Price, volume and lower lines top to bottom, none overlapping.
  QVERIFY(c->volumeShown());
  QVERIFY(c->lowerInOwnPane());
  const QRectF price = c->pricePane(), volume = c->volumePane(), lower = c->lowerPane();
  QVERIFY(price.height() > volume.height() && price.height() > lower.height());
  QVERIFY(volume.top() >= price.bottom() && lower.top() >= volume.bottom());
  QVERIFY(lower.height() > 40 && volume.height() > 30);

  // The volume axis starts at zero and holds the largest volume drawn;
  // each bar rises from the pane's foot to its day's volume.
  double most = 0;
  for (std::size_t i = 0; i < close.points.size(); ++i) {
    const Stored& s = stored.at(DayOf(close.points[i]));
    const QRectF bar = c->volumeBar(static_cast<int>(i));
    if (!s.matches) {
      QVERIFY(bar.isNull());  // the store's day is not the list's: no volume either
      continue;
    }
    most = std::max(most, s.volume);
    QVERIFY(std::abs(bar.top() - c->yOfVolume(s.volume)) < 1e-6 || bar.height() == 1.0);
    QVERIFY(std::abs(bar.bottom() - volume.bottom()) < 1e-6 || bar.height() == 1.0);
  }
  QCOMPARE(c->volumeRange().first, 0.0);
  QVERIFY(c->volumeRange().second >= most && c->volumeRange().second < most * 2);

  // Every price line and candle in the price pane, every lower line in the
  // lower pane: they never cross.
  const auto [plo, phi] = c->priceRange();
  for (const ChartCandle& k : c->candles()) QVERIFY(k.low >= plo && k.high <= phi);
  int lowerPoints = 0;
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = m.line(pos);
    if (!l.active || !l.visible) continue;
    const bool isLower = pos >= ChartModel::S1;
    for (std::size_t i = 0; i < l.points.size(); i += 5) {
      // Rows past the close's days lie outside the date axis: not drawn.
      const double row = l.points[i].x;
      if (row < c->viewRows().first || row > c->viewRows().second) continue;
      const QPointF at = c->chart()->mapFromScene(
          c->mapToScene(c->pointPosition(pos, static_cast<int>(i)).toPoint()));
      const QRectF pane = (isLower ? lower : price).adjusted(-1, -1, 1, 1);
      QVERIFY2(pane.contains(at), l.name.c_str());
      lowerPoints += isLower ? 1 : 0;
    }
  }
  QVERIFY(lowerPoints > 0);
  QVERIFY(lower.contains(c->linePath(ChartModel::S1).boundingRect().adjusted(1, 1, -1, -1)));
  // A click on a lower line in its pane picks its day, as on one axis.
  const int s2 = static_cast<int>(m.line(ChartModel::S2).points.size() / 2);
  const ChartHits hits = c->hitTest(c->pointPosition(ChartModel::S2, s2));
  QVERIFY(std::find(hits.begin(), hits.end(), std::pair<std::string, int>{"S2", s2}) != hits.end());
}

void CandlesTest::overlayPutsEveryLineOnOneAxis() {
  StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const ChartModel& m = win->workspace().chart;
  const ChartLine& s1 = m.line(ChartModel::S1);
  QVERIFY(!s1.points.empty());
  const double priceTop = c->priceRange().second;

  ChartStyle st = c->style();
  st.overlay = true;
  c->setStyle(st);
  QVERIFY(!c->lowerInOwnPane());
  QVERIFY(c->lowerPane().isNull());
  QVERIFY(
      c->pricePane().contains(c->linePath(ChartModel::S1).boundingRect().adjusted(1, 1, -1, -1)));
  // The lower lines back on the price axis: its range takes them in, and
  // their points are where the Qt series draws them.
  double lo = s1.points.front().y;
  for (const ChartPoint& p : s1.points) lo = std::min(lo, p.y);
  QVERIFY(c->priceRange().first <= lo);
  QVERIFY(c->priceRange().second >= priceTop - 1e-9 || c->priceRange().first < lo);
  const QPointF q = c->linePath(ChartModel::S1)[3];
  const QPointF at =
      c->chart()->mapFromScene(c->mapToScene(c->pointPosition(ChartModel::S1, 3).toPoint()));
  QVERIFY(std::abs(q.x() - at.x()) <= 1 && std::abs(q.y() - at.y()) <= 1);
  QVERIFY(std::abs(c->priceOfY(q.y()) - s1.points[3].y) < 1e-6);
  // The volume keeps its pane.
  QVERIFY(c->volumeShown());

  st.overlay = false;
  c->setStyle(st);
  QVERIFY(c->lowerInOwnPane());
  QVERIFY(
      c->lowerPane().contains(c->linePath(ChartModel::S1).boundingRect().adjusted(1, 1, -1, -1)));
}

void CandlesTest::stochasticsReadInPercent() {
  QVERIFY(win->workspace().selectCode("1301"));
  auto& t = win->workspace().SeriesTable;
  const int p = t.getInt(ctl::PriceScale);
  QVERIFY(p > 0);
  // The 9-day stochastics view: 100 % is half the price scale.
  ctl::OscillatorState.set(t, 3);
  ChartModel& m = win->workspace().chart;
  for (int pos = ChartModel::S1; pos < ChartModel::kLines; ++pos) m.clear(pos);
  m.add(ChartModel::S1, 1, 0.5 * p * 0.8, DateOfRow(1));
  m.add(ChartModel::S1, 2, 0.5 * p * 0.3, DateOfRow(2));
  ChartWidget* c = win->chart();
  c->redraw();
  QVERIFY(c->percentLower());
  QCOMPARE(c->lowerRange().first, 0.0);
  QCOMPARE(c->lowerRange().second, 100.0);
  QVERIFY(std::abs(c->lowerValue(0.5 * p * 0.8) - 80.0) < 1e-9);
  QVERIFY(std::abs(c->yOfLower(80) - (c->lowerPane().bottom() - 0.8 * c->lowerPane().height())) <
          1e-6);
  // The trend lines again: their own units.
  ctl::OscillatorState.set(t, 0);
  c->redraw();
  QVERIFY(!c->percentLower());
  QCOMPARE(c->lowerValue(123.0), 123.0);
}

void CandlesTest::styleChoicesAndAxisTexts() {
  StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  ChartStyle chosen;
  int told = 0;
  c->onStyleChanged = [&](const ChartStyle& s) {
    chosen = s;
    ++told;
  };
  // The close line instead of candles: no candle, the line drawn.
  ChartStyle st = c->style();
  st.candles = false;
  st.whiteBlack = true;
  c->setStyle(st);
  QCOMPARE(told, 1);
  QVERIFY(chosen == st);
  QVERIFY(c->candles().empty());
  QVERIFY(c->closeOnlyPoints().empty());
  QVERIFY(!c->linePath(ChartModel::owarine).isEmpty());
  c->setStyle(st);
  QCOMPARE(told, 1);  // no change, no report

  // White and black candles: a tall 陽線 white inside, a 陰線 black.
  st.candles = true;
  c->setStyle(st);
  win->workspace().chart.setMarkersVisible(false);  // no trade marker over a body
  c->refresh();
  c->setView(1, 40);
  const QImage shot = c->grab().toImage();
  bool sawUp = false, sawDown = false;
  for (const ChartCandle& k : c->candles()) {
    if (k.body.height() < 6 || k.body.width() < 5 || !c->pricePane().contains(k.body)) continue;
    const double white =
        BodyShare(shot, c, k, [](const QColor& px) { return px.lightness() > 220; });
    const double black =
        BodyShare(shot, c, k, [](const QColor& px) { return px.lightness() < 50; });
    // Lines over a body take some of it; never the other colour.
    QVERIFY(k.up ? black < 0.3 : white < 0.3);
    if (k.up ? white > 0.8 : black > 0.8) (k.up ? sawUp : sawDown) = true;
  }
  QVERIFY(sawUp && sawDown);

  // The choice survives the window: kept on closing, taken on the next start.
  {
    WindowOptions o;
    o.messageHook = [](const std::string&, bool) {};
    ChartStyle kept;
    kept.candles = false;
    kept.whiteBlack = true;
    kept.overlay = true;
    kept.bars = BarKind::Month;
    {
      MainWindow first(o);
      first.chart()->setStyle(kept);
      QCloseEvent close;
      QCoreApplication::sendEvent(&first, &close);
    }
    MainWindow second(o);
    QVERIFY(second.chart()->style() == kept);
    QVERIFY(WindowMemory::load().chart == kept);
  }

  // Axis texts: round steps with thousands separators, volume in 万 and 億.
  QCOMPARE(PriceAxisText(12500, 500), QStringLiteral("12,500"));
  QCOMPARE(PriceAxisText(1234567, 1000), QStringLiteral("1,234,567"));
  QCOMPARE(PriceAxisText(-2500, 500), QStringLiteral("-2,500"));
  QCOMPARE(PriceAxisText(999, 1), QStringLiteral("999"));
  QCOMPARE(PriceAxisText(1099.5, 0.5), QStringLiteral("1,099.5"));
  QCOMPARE(PriceAxisText(0.25, 0.05), QStringLiteral("0.25"));
  QCOMPARE(VolumeAxisText(800), QStringLiteral("800"));
  QCOMPARE(VolumeAxisText(35000), QStringLiteral("3.5万"));
  QCOMPARE(VolumeAxisText(1200000), QStringLiteral("120万"));
  QCOMPARE(VolumeAxisText(2e8), QStringLiteral("2億"));
  QCOMPARE(VolumeAxisText(1.2e9), QStringLiteral("12億"));
  QCOMPARE(RoundStep(0.7), 1.0);
  QCOMPARE(RoundStep(3.3), 5.0);
  QCOMPARE(RoundStep(23), 25.0);
  QCOMPARE(RoundStep(180), 200.0);
  QCOMPARE(RoundStep(0), 1.0);
}

namespace {

// A view position of a chart position (chart coordinates as plotArea()).
QPoint ViewOf(const ChartWidget* c, QPointF chartPos) {
  return c->mapFromScene(c->chart()->mapToScene(chartPos));
}

void Wheel(ChartWidget* c, QPoint at, int delta) {
  QWheelEvent e(at, c->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(c->viewport(), &e);
}

void Drag(ChartWidget* c, QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
  QTest::mousePress(c->viewport(), Qt::LeftButton, mods, from);
  // Moves in a few steps with the button held, as a hand does.
  for (int k = 1; k <= 4; ++k) {
    const QPoint at = from + (to - from) * k / 4;
    QMouseEvent move(QEvent::MouseMove, at, c->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::LeftButton, mods);
    QApplication::sendEvent(c->viewport(), &move);
  }
  QTest::mouseRelease(c->viewport(), Qt::LeftButton, mods, to);
}

}  // namespace

void CandlesTest::zoomAndPanByWheelAndMouse() {
  StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  int presses = 0;
  ChartHits lastHits;
  const auto wired = c->onPress;
  c->onPress = [&](const ChartHits& h) {
    ++presses;
    lastHits = h;
    wired(h);
  };
  const auto full = c->fullRows();
  QCOMPARE(c->viewRows(), full);
  const QRectF plot = c->chart()->plotArea();

  // The wheel zooms in around the pointer: the row under it stays there.
  const double x = plot.left() + plot.width() * 0.3;
  const double rowUnder = c->rowOfX(x);
  Wheel(c, ViewOf(c, {x, plot.center().y()}), 120);
  Wheel(c, ViewOf(c, {x, plot.center().y()}), 240);
  const auto zoomed = c->viewRows();
  QVERIFY(zoomed.second - zoomed.first < 0.6 * (full.second - full.first));
  QVERIFY(std::abs(c->rowOfX(x) - rowUnder) < 0.02 * (zoomed.second - zoomed.first));
  // The price axis fits the days shown: every shown candle inside, and the
  // range narrower than the whole term's.
  for (const ChartCandle& k : c->candles())
    if (k.wick.x1() >= plot.left() && k.wick.x1() <= plot.right())
      QVERIFY(c->pricePane().adjusted(0, -1, 0, 1).contains(QPointF(k.wick.x1(), k.wick.y1())));

  // A plain drag pans: the day under the press follows the pointer; no click.
  const double from = plot.left() + plot.width() * 0.6, by = -120;
  const double rowAtPress = c->rowOfX(from);
  Drag(c, ViewOf(c, {from, plot.center().y()}), ViewOf(c, {from + by, plot.center().y()}), {});
  QCOMPARE(presses, 0);
  const auto panned = c->viewRows();
  QVERIFY(std::abs((panned.second - panned.first) - (zoomed.second - zoomed.first)) < 1e-9);
  QVERIFY(std::abs(c->rowOfX(from + by) - rowAtPress) < 0.05);
  QVERIFY(panned.first < zoomed.first);  // dragged left: newer days come in
  // It never leaves the term's span.
  Drag(c, ViewOf(c, {plot.left() + 5, plot.center().y()}),
       ViewOf(c, {plot.right() - 5, plot.center().y()}), {});
  Drag(c, ViewOf(c, {plot.left() + 5, plot.center().y()}),
       ViewOf(c, {plot.right() - 5, plot.center().y()}), {});
  QVERIFY(c->viewRows().second <= full.second + 1e-9 && c->viewRows().first >= full.first - 1e-9);

  // Home shows the term's span again.
  c->setFocus();
  QTest::keyClick(c, Qt::Key_Home);
  QCOMPARE(c->viewRows(), full);

  // Shift+drag zooms to the rectangle's days.
  const double a = plot.left() + plot.width() * 0.2, b = plot.left() + plot.width() * 0.45;
  const double ra = c->rowOfX(a), rb = c->rowOfX(b);
  const double perPixel = (full.second - full.first) / plot.width();  // positions are whole pixels
  Drag(c, ViewOf(c, {a, plot.center().y()}), ViewOf(c, {b, plot.center().y()}), Qt::ShiftModifier);
  QCOMPARE(presses, 0);
  QVERIFY(std::abs(c->viewRows().first - std::min(ra, rb)) <= perPixel);
  QVERIFY(std::abs(c->viewRows().second - std::max(ra, rb)) <= perPixel);

  // A click (press and release in place) still picks the day under it.
  const ChartLine& close = win->workspace().chart.line(ChartModel::owarine);
  int some = -1;
  for (std::size_t i = 0; i < close.points.size(); ++i)
    if (close.points[i].x > c->viewRows().first + 2 &&
        close.points[i].x < c->viewRows().second - 2) {
      some = static_cast<int>(i);
      break;
    }
  QVERIFY(some >= 0);
  const QPoint at = c->pointPosition(ChartModel::owarine, some).toPoint();
  QTest::mousePress(c->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(c->viewport(), Qt::LeftButton, {}, at);
  QCOMPARE(presses, 1);
  QVERIFY(std::find(lastHits.begin(), lastHits.end(),
                    std::pair<std::string, int>{"owarine", some}) != lastHits.end());

  // A double click shows the term's span again.
  QTest::mouseDClick(c->viewport(), Qt::LeftButton, {}, at);
  QCOMPARE(c->viewRows(), full);
  // A redraw of the same span keeps a zoom.
  Wheel(c, ViewOf(c, {x, plot.center().y()}), 120);
  const auto kept = c->viewRows();
  c->redraw();
  QCOMPARE(c->viewRows(), kept);
}

void CandlesTest::crosshairShowsTheStoredDay() {
  const std::map<int, Stored> stored = StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const ChartModel& m = win->workspace().chart;
  const ChartLine& close = m.line(ChartModel::owarine);
  const std::vector<ChartCandle> candles = c->candles();
  QVERIFY(candles.size() > 20);
  const ChartCandle& k = candles[candles.size() / 3];
  const ChartPoint& day = close.points[static_cast<std::size_t>(k.point)];
  const Stored& s = stored.at(DayOf(day));
  const QPointF at = c->pointPosition(ChartModel::owarine, k.point) + QPointF(0, 7);
  hover(at);
  QVERIFY(c->readoutShown());
  QCOMPARE(c->readoutIndex(), k.point);
  const QStringList rows = c->readoutText().split('\n');
  const auto num = [](double v) {
    return QString::number(v, 'f', 2).remove(QRegularExpression("\\.?0+$"));
  };
  QCOMPARE(rows.value(0), QString::fromStdString(day.label));
  QCOMPARE(rows.value(1), QStringLiteral("始値 ") + num(s.open));
  QCOMPARE(rows.value(2), QStringLiteral("高値 ") + num(s.high));
  QCOMPARE(rows.value(3), QStringLiteral("安値 ") + num(s.low));
  QCOMPARE(rows.value(4), QStringLiteral("終値 ") + num(s.close));
  QCOMPARE(rows.value(5), QStringLiteral("出来高 ") + PriceAxisText(s.volume, 1));
  // Every shown average and lower line with a value that day, in order.
  int next = 6;
  for (int pos = 1; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = m.line(pos);
    if (!l.active || !l.visible || !l.inLegend) continue;
    const bool on = std::any_of(l.points.begin(), l.points.end(),
                                [&](const ChartPoint& p) { return p.x == day.x; });
    if (!on) continue;
    QString name = QString::fromStdString(l.legend.empty() ? l.name : l.legend);
    name.replace(QStringLiteral("移動平均線"), QStringLiteral("平均"));
    QVERIFY2(rows.value(next).startsWith(name + ' '), qPrintable(rows.value(next)));
    ++next;
  }
  QVERIFY(next > 7);
  // The lines and tags: the date on the date axis, the price at the pointer.
  const QPointF chartAt = c->chart()->mapFromScene(c->mapToScene(at.toPoint()));
  QCOMPARE(c->crossY(), chartAt.y());
  QCOMPARE(c->dateTagText(), QString::fromStdString(day.label));
  const double tagged = c->valueTagText().remove(',').toDouble();
  const auto [plo, phi] = c->priceRange();
  QVERIFY(std::abs(tagged - c->priceOfY(chartAt.y())) <= (phi - plo) / 50);
  // Over the volume pane the tag reads the volume.
  hover(c->mapFromScene(c->chart()->mapToScene(c->volumePane().center())));
  QVERIFY(c->valueTagText().endsWith(QStringLiteral("万")) ||
          c->valueTagText().endsWith(QStringLiteral("億")));
}

void CandlesTest::dateLabelsNeverOverlap() {
  StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const auto full = c->fullRows();
  bool sawMonths = false, sawDays = false;
  for (int width : {600, 900, 1366, 1920, 2560}) {
    c->resize(width, 560);
    QCoreApplication::processEvents();
    for (double share : {1.0, 0.5, 0.2, 0.05}) {
      const double span = (full.second - full.first) * share;
      c->setView(full.first, full.first + span);
      c->grab();
      const auto labels = c->dateLabels();
      QVERIFY2(labels.size() >= 2, qPrintable(QString::number(width)));
      for (std::size_t i = 1; i < labels.size(); ++i)
        QVERIFY2(
            labels[i - 1].first.right() < labels[i].first.left(),
            qPrintable(QStringLiteral("%1 %2 %3").arg(width).arg(share).arg(labels[i].second)));
      for (const auto& l : labels) {
        sawMonths = sawMonths || l.second.size() == 7;
        sawDays = sawDays || l.second.size() == 10;
      }
    }
  }
  QVERIFY(sawMonths && sawDays);
}

void CandlesTest::weeksAndMonthsFromTheDays() {
  const std::map<int, Stored> stored = StoreFirstStock();
  QVERIFY(win->workspace().selectCode("1301"));
  win->mirror();
  ChartWidget* c = win->chart();
  const ChartModel& m = win->workspace().chart;
  const ChartLine& close = m.line(ChartModel::owarine);
  ChartStyle st = c->style();
  st.bars = BarKind::Week;
  c->setStyle(st);
  QVERIFY(c->aggregated());

  // The weeks as the list's days make them: Monday to Friday, the first
  // day's open, the extremes, the last day's close, the summed volume; a
  // week with a day of the close alone has no candle.
  struct Week {
    double open = 0, high = -1e18, low = 1e18, close = 0, volume = 0;
    bool candle = true;
    int last = 0;
  };
  std::map<long long, Week> weeks;
  for (const auto& [day, s] : stored) {
    const QDate d = QDate::fromString(QString::fromStdString(DateToStr(day)), "yyyy/MM/dd");
    Week& w = weeks[d.addDays(1 - d.dayOfWeek()).toJulianDay()];
    if (w.last == 0) w.open = s.open;
    w.high = std::max(w.high, s.high);
    w.low = std::min(w.low, s.low);
    w.close = s.matches ? s.close : s.close - 3;  // the list's close (see StoreFirstStock)
    w.volume += s.volume;
    w.candle = w.candle && s.matches;
    w.last = day;
  }
  std::map<int, Week> byLast;
  for (const auto& [k, w] : weeks) byLast[w.last] = w;
  const std::vector<ChartCandle> candles = c->candles();
  QVERIFY(candles.size() > 10);
  std::size_t expected = 0;
  for (const ChartPoint& p : close.points) expected += byLast.count(DayOf(p)) ? 1 : 0;
  QCOMPARE(candles.size() + c->closeOnlyPoints().size(), expected);
  for (const ChartCandle& k : candles) {
    const int day = DayOf(close.points[static_cast<std::size_t>(k.point)]);
    QVERIFY2(byLast.count(day), qPrintable(QString::fromStdString(DateToStr(day))));
    const Week& w = byLast.at(day);
    QVERIFY(w.candle);
    QCOMPARE(k.open, w.open);
    QCOMPARE(k.high, w.high);
    QCOMPARE(k.low, w.low);
    QCOMPARE(k.close, w.close);
    QCOMPARE(*c->barOf(k.point)->volume, w.volume);
  }
  // The weeks' averages by name; the day averages leave the legend.
  const QStringList legend = c->legendEntries();
  QVERIFY(legend.contains(QStringLiteral("13週移動平均線")));
  QVERIFY(legend.contains(QStringLiteral("52週移動平均線")));
  QVERIFY(!legend.contains(QStringLiteral("25日移動平均線")));
  QVERIFY(c->linePath(ChartModel::idouheikinn25).isEmpty());
  // The 13-week average at the newest week: the mean of the 13 newest weeks' closes.
  const auto averages = c->barAverages();
  QCOMPARE(averages.size(), std::size_t{3});
  QCOMPARE(averages[0].first, QStringLiteral("13週移動平均線"));
  double sum = 0;
  int n = 0;
  for (auto it = byLast.rbegin(); it != byLast.rend() && n < 13; ++it, ++n) sum += it->second.close;
  QVERIFY(!averages[0].second.isEmpty());
  QVERIFY(std::abs(c->priceOfY(averages[0].second.front().y()) - sum / 13) < 1e-6);
  QVERIFY(std::abs(averages[0].second.front().x() - c->xOfRow(close.points.front().x)) < 1e-6);
  // The trade markers stand on the bar holding their day.
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const ChartLine& l = m.line(pos);
    const QList<QPointF> drawn = c->markers(pos)->points();
    QCOMPARE(drawn.size(), static_cast<qsizetype>(l.points.size()));
    for (qsizetype i = 0; i < drawn.size(); ++i) {
      const int day = DayOf(l.points[static_cast<std::size_t>(i)]);
      auto bar = byLast.lower_bound(day);
      QVERIFY(bar != byLast.end());
      auto at = std::find_if(close.points.begin(), close.points.end(),
                             [&](const ChartPoint& p) { return DayOf(p) == bar->first; });
      if (at == close.points.end()) continue;
      QCOMPARE(drawn[i].x(), at->x);
    }
  }
  // The crosshair reads the week.
  const ChartCandle& k = candles[candles.size() / 2];
  hover(c->pointPosition(ChartModel::owarine, k.point));
  QCOMPARE(c->readoutIndex(), k.point);
  QVERIFY(c->readoutText().contains(QStringLiteral("13週平均 ")));

  // Months: calendar months, the 12, 24 and 60 month averages.
  st.bars = BarKind::Month;
  c->setStyle(st);
  for (const ChartCandle& mk : c->candles()) {
    const QDate d = QDate::fromString(
        QString::fromStdString(close.points[static_cast<std::size_t>(mk.point)].label),
        "yyyy/MM/dd");
    // Its day is the month's last list day: the next list day is in another month.
    for (const auto& [day, s] : stored) {
      const QDate e = QDate::fromString(QString::fromStdString(DateToStr(day)), "yyyy/MM/dd");
      if (e > d) {
        QVERIFY(e.month() != d.month());
        break;
      }
    }
  }
  QVERIFY(c->legendEntries().contains(QStringLiteral("12ヶ月移動平均線")));
  st.bars = BarKind::Day;
  c->setStyle(st);
  QVERIFY(!c->aggregated());
  QVERIFY(c->legendEntries().contains(QStringLiteral("25日移動平均線")));
}

QTEST_MAIN(CandlesTest)
#include "candles_test.moc"
