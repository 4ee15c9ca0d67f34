// The chart draws the chart model (lines, legend, axes, date labels), reads
// the day under the pointer without writing anything, and steps the days
// with the arrow keys.
#include <QApplication>
#include <QCategoryAxis>
#include <QDate>
#include <QEvent>
#include <QImage>
#include <QScatterSeries>
#include <QTest>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "gui/chart_style.h"
#include "gui/chart_widget.h"
#include "gui/main_window.h"
#include "store/price_store.h"
#include "store/text.h"
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
  void markersStayInThePricePane();
  void axisTicksKeepApart();
  void axisLabelsNeverOverlapAtAnyHeight();
  void priceAxisStartsNearTheLowestLow();
  void priceAxisOfTheWindowInEveryBarKind();
  void styleWordsOfAnUnattendedRun();
};

namespace {

// A chart of its own over `days` weekdays back from 2026/12/04 (row 1 the
// newest): the close line, and in `bars` the days' open, high, low and
// volume when `ohlc`, else their closes alone. The close swings between
// about 700 and 1300 yen.
struct OwnChart {
  ChartModel model;
  ChartExtras extras;
  std::unique_ptr<ChartWidget> view;
  std::function<double(int)> close = [](int r) {
    return 1000 + 300 * std::sin(r / 40.0) + (r % 7) * 5;
  };

  OwnChart(int days, bool ohlc, int every = 1, std::function<double(int)> price = {}) {
    if (price) close = price;
    model.clearAll();
    QDate d(2026, 12, 4);
    std::vector<PriceBar> bars;
    for (int r = 1; r <= days; ++r) {
      const std::string label = d.toString(QStringLiteral("yyyy/MM/dd")).toStdString();
      const double c = close(r);
      if ((r - 1) % every == 0) model.add(ChartModel::owarine, r, c, label);
      PriceBar b;
      TryParseDate(label, b.day);
      b.close = std::to_string(c);
      if (ohlc) {
        b.open = c + (r % 2 ? 6 : -6);
        b.high = std::max(*b.open, c) + 8;
        b.low = std::min(*b.open, c) - 8;
      }
      if (ohlc || price) b.volume = 1e5 * (1 + r % 13);
      bars.push_back(b);
      do d = d.addDays(-1);
      while (d.dayOfWeek() > 5);
    }
    std::reverse(bars.begin(), bars.end());
    extras.bars = bars;
    view = std::make_unique<ChartWidget>(model);
    view->extrasSource = [this] { return extras; };
  }
  void show(int width, int height) {
    view->resize(width, height);
    view->show();
    QApplication::processEvents();
    view->redraw();
    view->grab();  // lays out and paints the labels
  }
  // A chart coordinate's pixel in a picture of the view.
  QPoint pixel(const QPointF& at) const {
    return view->mapFromScene(view->chart()->mapToScene(at));
  }
};

// The lowest low (or close) of the bars drawn in the view's rows.
double LowestShown(const ChartWidget& c, const ChartModel& m) {
  double low = 1e300;
  const auto [lo, hi] = c.viewRows();
  const ChartLine& close = m.line(ChartModel::owarine);
  for (std::size_t i = 0; i < close.points.size(); ++i) {
    const ChartPoint& p = close.points[i];
    if (p.x < lo || p.x > hi) continue;
    const PriceBar* b = c.barOf(static_cast<int>(i));
    if (c.aggregated() && !b) continue;
    if (!c.aggregated()) low = std::min(low, p.y);
    if (b) {
      long double v = 0;
      TryStrToFloat(b->close, v);
      low = std::min(low, static_cast<double>(v));
      if (b->low && c.style().candles) low = std::min(low, *b->low);
    }
  }
  return low;
}

}  // namespace

void ChartTest::markersStayInThePricePane() {
  // Closes with a volume but no candles, between 1000 (row 80) and 1300
  // (row 40) yen: round ends, so the extreme closes lie on the range's ends.
  const int lowRow = 80, highRow = 40, midRow = 60;
  OwnChart oc(120, false, 1, [](int r) {
    return r == lowRow ? 1000.0 : r == highRow ? 1300.0 : 1150 + 140 * std::sin(r / 12.0);
  });
  ChartModel& m = oc.model;
  m.setMarkersVisible(true);
  m.add(ChartModel::buys, lowRow, 1000, "");    // under the lowest close
  m.add(ChartModel::sells, highRow, 1300, "");  // over the highest
  m.add(ChartModel::buys, midRow, oc.close(midRow), "");
  // Values off the price range: they must not draw over the volume pane
  // under the price or over the chart's top margin.
  m.add(ChartModel::buys, 20, 955, "");
  m.add(ChartModel::sells, 100, 1320, "");
  for (int i = 0; i < 120; ++i) m.add(ChartModel::S2, i + 1, std::sin(i / 9.0) * 50, "");
  std::sort(m.line(ChartModel::buys).points.begin(), m.line(ChartModel::buys).points.end(),
            [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
  oc.show(900, 560);
  ChartWidget* c = oc.view.get();
  QVERIFY(c->volumeShown() && c->lowerInOwnPane() && c->candles().empty());
  QCOMPARE(c->markers(ChartModel::buys)->points().size(), 3);
  QCOMPARE(c->markers(ChartModel::sells)->points().size(), 2);
  const QImage shot = c->grab().toImage();
  const QColor buy = QColor(0xE8, 0x38, 0x0D), sell = QColor(0x00, 0x95, 0xD9);
  const QRect pane =
      QRect(oc.pixel(c->pricePane().topLeft()), oc.pixel(c->pricePane().bottomRight()));
  // Filled marker pixels only inside the price pane.
  int inside = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor px = shot.pixelColor(x, y);
      if (px != buy && px != sell) continue;
      QVERIFY2(
          pane.adjusted(-1, -1, 1, 1).contains(x, y),
          qPrintable(QStringLiteral("marker pixel at %1,%2 outside the price pane").arg(x).arg(y)));
      ++inside;
    }
  QVERIFY(inside > 0);
  // The markers on the extreme closes stand whole, as one in mid pane.
  const auto filled = [&](int row, double price, const QColor& color) {
    const QPoint at = oc.pixel(QPointF(c->xOfRow(row), c->yOfPrice(price)));
    int n = 0;
    for (int y = at.y() - 20; y <= at.y() + 20; ++y)
      for (int x = at.x() - 9; x <= at.x() + 9; ++x)
        if (shot.rect().contains(x, y) && shot.pixelColor(x, y) == color) ++n;
    return n;
  };
  const int whole = filled(midRow, oc.close(midRow), buy);
  QVERIFY(whole > 30);
  QVERIFY(filled(lowRow, oc.close(lowRow), buy) >= whole - 3);
  QVERIFY(filled(highRow, oc.close(highRow), sell) >= whole - 3);
}

void ChartTest::axisTicksKeepApart() {
  // Over many ranges and heights: multiples of one round step inside the
  // range, in order, each text inside the pane and a gap from the next;
  // and the step no wider than needed (the next smaller round step would
  // crowd, or is under the first guess).
  const double ranges[][2] = {{0, 1}, {0, 3.5e6}, {987, 1213}, {-120, 80}, {0, 100}, {0.3, 0.9}};
  for (const auto& r : ranges)
    for (double h : {8.0, 14.0, 20.0, 31.0, 47.0, 64.0, 90.0, 130.0, 240.0, 700.0}) {
      const double top = 40, bottom = top + h, text = 14, gap = 4;
      const AxisScale s = PickAxisTicks(r[0], r[1], top, bottom, 6, text, gap);
      const QString what = QStringLiteral("%1..%2 in %3 px").arg(r[0]).arg(r[1]).arg(h);
      if (h < text) {
        QVERIFY2(s.ticks.empty(), qPrintable(what));
        continue;
      }
      QVERIFY2(!s.ticks.empty(), qPrintable(what));
      QCOMPARE(RoundStep(s.step), s.step);
      for (std::size_t i = 0; i < s.ticks.size(); ++i) {
        const AxisTick& t = s.ticks[i];
        QVERIFY2(t.value >= r[0] - 1e-9 && t.value <= r[1] + 1e-9, qPrintable(what));
        const double k = t.value / s.step;
        QVERIFY2(std::abs(k - std::round(k)) < 1e-6, qPrintable(what));
        QVERIFY2(t.y >= top - 1e-9 && t.y <= bottom + 1e-9, qPrintable(what));
        QVERIFY2(t.textTop >= top - 1e-9 && t.textTop + text <= bottom + 1e-9, qPrintable(what));
        if (i > 0) {
          QVERIFY2(std::abs(t.value - s.ticks[i - 1].value - s.step) < 1e-9 * s.step,
                   qPrintable(what));
          QVERIFY2(s.ticks[i - 1].textTop - (t.textTop + text) >= gap - 1e-9, qPrintable(what));
        }
      }
      // The round step under the one picked would crowd: its pitch is
      // under a text and the gap, with up to a text more where the end
      // texts are held inside the pane.
      const double first = RoundStep((r[1] - r[0]) / 6);
      if (s.step > first * 1.001) {
        double smaller = first;
        while (RoundStep(smaller * 1.01) < s.step * 0.999) smaller = RoundStep(smaller * 1.01);
        const double pitch = smaller / (r[1] - r[0]) * h;
        QVERIFY2(pitch < 2 * text + gap + 1e-9, qPrintable(what));
      }
    }
  // Without the low end's label: never lo, and one label left at least
  // while a round step fits in the range.
  for (double h : {20.0, 40.0, 90.0, 300.0}) {
    const AxisScale s = PickAxisTicks(0, 3e6, 0, h, 3, 14, 4, false);
    QVERIFY(!s.ticks.empty());
    for (const AxisTick& t : s.ticks) QVERIFY(t.value > 0 && t.value <= 3e6);
  }
  // A flat or reversed range, or a pane lower than a text: no labels.
  QVERIFY(PickAxisTicks(5, 5, 0, 100, 6, 14, 4).ticks.empty());
  QVERIFY(PickAxisTicks(9, 1, 0, 100, 6, 14, 4).ticks.empty());
}

void ChartTest::axisLabelsNeverOverlapAtAnyHeight() {
  OwnChart oc(300, true);
  for (int i = 0; i < 300; ++i) oc.model.add(ChartModel::S1, i + 1, 40 * std::sin(i / 17.0), "");
  // At every height each pane's labels (bottom to top) keep a few pixels
  // apart and stay beside their pane; the price pane always has some.
  for (int height : {230, 260, 300, 340, 420, 520, 700, 1000}) {
    oc.show(800, height);
    ChartWidget* c = oc.view.get();
    QVERIFY(c->volumeShown() && c->lowerInOwnPane());
    const std::pair<ChartWidget::Pane, QRectF> panes[] = {
        {ChartWidget::Pane::Price, c->pricePane()},
        {ChartWidget::Pane::Volume, c->volumePane()},
        {ChartWidget::Pane::Lower, c->lowerPane()}};
    for (const auto& [which, pane] : panes) {
      const auto labels = c->axisLabels(which);
      const QString what = QStringLiteral("pane %1 at height %2").arg(int(which)).arg(height);
      if (which == ChartWidget::Pane::Price) QVERIFY2(labels.size() >= 2, qPrintable(what));
      for (std::size_t i = 0; i < labels.size(); ++i) {
        const QRectF& r = labels[i].first;
        QVERIFY2(r.top() >= pane.top() - 0.5 && r.bottom() <= pane.bottom() + 0.5,
                 qPrintable(what));
        QVERIFY2(r.left() >= pane.right(), qPrintable(what));
        if (i > 0)
          QVERIFY2(labels[i - 1].first.top() - r.bottom() >= 4 - 1e-6,
                   qPrintable(what + QStringLiteral(": ") + labels[i - 1].second +
                              QStringLiteral(" / ") + labels[i].second));
      }
    }
    // The volume texts are the volume axis's, in 万 at these volumes; its
    // 0 goes unlabelled, so even a low pane keeps a volume label.
    const auto vol = c->axisLabels(ChartWidget::Pane::Volume);
    QVERIFY(!vol.empty());
    for (const auto& [r, t] : vol) QVERIFY2(t.endsWith(QStringLiteral("万")), qPrintable(t));
  }
}

void ChartTest::priceAxisStartsNearTheLowestLow() {
  // Short and long histories, every day or every fourth drawn (as 長期
  // draws), with and without open, high and low: in every 足種 the price
  // axis starts under the lowest price drawn, and not far under it.
  for (int days : {60, 300, 4860})
    for (int every : {1, 4})
      for (bool ohlc : {true, false}) {
        OwnChart oc(days, ohlc, every);
        oc.show(900, 560);
        ChartWidget* c = oc.view.get();
        for (BarKind kind : {BarKind::Day, BarKind::Week, BarKind::Month}) {
          ChartStyle st = c->style();
          st.bars = kind;
          c->setStyle(st);
          const QString what = QStringLiteral("%1 days every %2 %3, kind %4")
                                   .arg(days)
                                   .arg(every)
                                   .arg(ohlc ? "ohlc" : "closes")
                                   .arg(int(kind));
          QCOMPARE(c->aggregated(), kind != BarKind::Day);
          const double low = LowestShown(*c, oc.model);
          const auto [bottom, top] = c->priceRange();
          QVERIFY2(bottom <= low, qPrintable(what));
          QVERIFY2(low - bottom < 0.35 * (top - bottom), qPrintable(what));
          QVERIFY2(bottom > 0.5 * low, qPrintable(what));
        }
      }
}

void ChartTest::priceAxisOfTheWindowInEveryBarKind() {
  // The window's own chart of a stock with stored open, high and low
  // (1301) and of one with closes only (1332), in 長期, 中期 and 短期.
  std::vector<StoredBar> stored;
  for (int r = 1; r <= kDays; ++r) {
    StoredBar b;
    b.code = "1301";
    TryParseDate(DateOfRow(r), b.day);
    b.close = std::stod(PriceOf(1, r));
    b.open = *b.close + (r % 2 ? 5 : -5);
    b.high = std::max(*b.open, *b.close) + 3;
    b.low = std::min(*b.open, *b.close) - 3;
    b.volume = 1000.0 * r;
    stored.push_back(b);
  }
  const auto notes = KeepPrices(stored);
  QVERIFY2(notes.empty(), notes.empty() ? "" : notes.front().c_str());
  ChartWidget* c = win->chart();
  for (const char* code : {"1301", "1332"})
    for (const char* term : {"Button2", "DrawChart", "Button4"}) {
      QVERIFY(win->workspace().selectCode(code));
      QTest::mouseClick(win->widget(term), Qt::LeftButton);
      win->mirror();
      for (BarKind kind : {BarKind::Day, BarKind::Week, BarKind::Month}) {
        ChartStyle st = c->style();
        st.bars = kind;
        c->setStyle(st);
        const QString what = QStringLiteral("%1 %2 kind %3").arg(code, term).arg(int(kind));
        QVERIFY2(!c->linePath(ChartModel::owarine).isEmpty() || !c->candles().empty(),
                 qPrintable(what));
        const double low = LowestShown(*c, win->workspace().chart);
        const auto [bottom, top] = c->priceRange();
        QVERIFY2(
            bottom <= low && low - bottom < 0.35 * (top - bottom),
            qPrintable(what + QStringLiteral(": %1 under %2..%3").arg(low).arg(bottom).arg(top)));
      }
    }
}

void ChartTest::styleWordsOfAnUnattendedRun() {
  ChartStyle s;
  QVERIFY(ApplyChartStyleWords("week", s));
  QVERIFY(s.bars == BarKind::Week && s.candles && !s.overlay);
  QVERIFY(ApplyChartStyleWords("month,line,overlay", s));
  QVERIFY(s.bars == BarKind::Month && !s.candles && s.overlay && !s.whiteBlack);
  QVERIFY(ApplyChartStyleWords("day,candles,whiteblack", s));
  QVERIFY(s.bars == BarKind::Day && s.candles && s.whiteBlack && s.overlay);
  // An unknown or empty word changes nothing.
  const ChartStyle before = s;
  for (const char* bad : {"", "week,", "weeks", "week,,line", "line,year", "Week"}) {
    QVERIFY2(!ApplyChartStyleWords(bad, s), bad);
    QVERIFY2(s == before, bad);
  }
}

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
