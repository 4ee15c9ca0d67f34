// The chart's own painting: the panes with their grids and axis labels, the
// candles and volume, the lines and the date labels.
#include "gui/chart_widget.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui/chart_parts.h"
#include "gui/style.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

using chart_parts::kAxisRoom;
using chart_parts::Rgb;

QColor UpColor(const ChartStyle& s) {
  return s.whiteBlack ? QColor(Qt::white) : QColor(0xE0, 0x24, 0x24);
}
QColor DownColor(const ChartStyle& s) {
  return s.whiteBlack ? QColor(Qt::black) : QColor(0x1E, 0x50, 0xC8);
}
QColor EdgeColor(const ChartStyle& s, bool up) {
  if (s.whiteBlack) return Qt::black;
  return up ? QColor(0xB0, 0x10, 0x10) : QColor(0x10, 0x30, 0x90);
}

// A polyline with at most four points a pixel column (the first, the lowest,
// the highest and the last of the column, in their order): the same picture
// as every point, far quicker to stroke when days outnumber pixels.
QPolygonF Decimated(const QPolygonF& in) {
  if (in.size() < 8) return in;
  QPolygonF out;
  out.reserve(in.size());
  qsizetype i = 0;
  while (i < in.size()) {
    const double col = std::floor(in[i].x());
    qsizetype j = i, lo = i, hi = i;
    while (j + 1 < in.size() && std::floor(in[j + 1].x()) == col) {
      ++j;
      if (in[j].y() < in[lo].y()) lo = j;
      if (in[j].y() > in[hi].y()) hi = j;
    }
    out << in[i];
    const qsizetype a = std::min(lo, hi), b = std::max(lo, hi);
    if (a != i && a != j) out << in[a];
    if (b != i && b != j && b != a) out << in[b];
    if (j != i) out << in[j];
    i = j + 1;
  }
  return out;
}

}  // namespace

void ChartWidget::drawBackground(QPainter* p, const QRectF& rect) {
  QChartView::drawBackground(p, rect);
  p->save();
  p->setTransform(chart()->sceneTransform(), true);
  paintPanes(*p);
  p->restore();
}

void ChartWidget::paintPanes(QPainter& p) {
  const QRectF plot = chart()->plotArea();
  if (plot.width() < 2 || plot.height() < 2) return;
  const QFont font = PixelFont(12);
  p.setFont(font);
  const QFontMetricsF fm(font);
  const QPen gridPen(QColor(0xD4, 0xD4, 0xD4), 0);
  const QPen framePen(QColor(0xA0, 0xA0, 0xA0), 0);
  p.setRenderHint(QPainter::Antialiasing, false);

  // One pane's value axis: grid lines across it, labels at its right, no
  // two labels closer than a few pixels at any pane height.
  constexpr double kLabelGap = 4;
  const auto axis = [&](Pane which, const QRectF& pane, std::pair<double, double> range, int ticks,
                        auto text, bool labelLow = true) {
    auto& drawn = axisLabels_[static_cast<std::size_t>(which)];
    drawn.clear();
    if (pane.isNull()) return;
    const AxisScale scale = PickAxisTicks(range.first, range.second, pane.top(), pane.bottom(),
                                          ticks, fm.height(), kLabelGap, labelLow);
    for (const AxisTick& t : scale.ticks) {
      p.setPen(gridPen);
      p.drawLine(QPointF(pane.left(), t.y), QPointF(pane.right(), t.y));
      p.setPen(Qt::black);
      const QString label = text(t.value, scale.step);
      p.drawText(QPointF(pane.right() + 5, t.textTop + fm.ascent()), label);
      drawn.push_back(
          {QRectF(pane.right() + 5, t.textTop, fm.horizontalAdvance(label), fm.height()), label});
    }
    p.setPen(framePen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(pane);
  };

  const QRectF price = pricePane();
  axis(Pane::Price, price, priceRange(), 6,
       [](double v, double step) { return PriceAxisText(v, step); });
  axis(
      Pane::Volume, volumeShown_ ? volumePane() : QRectF(), volumeRange_, 3,
      [](double v, double) { return VolumeAxisText(v); }, false);
  const bool pct = percentLower();
  axis(Pane::Lower, lowerPane(), lowerRange_, 4, [pct](double v, double step) {
    return PriceAxisText(v, step) + (pct ? QStringLiteral("%") : QString());
  });

  paintDates(p);

  // Volume bars, coloured as the day's candle; grey without one. With
  // several days a pixel column, the column's largest volume stands for it.
  const double cw = candleWidth();
  const bool dense = cw < 3;
  if (volumeShown_) {
    p.save();
    const QRectF pane = volumePane();
    p.setClipRect(pane);
    const ChartLine& close = model_.line(ChartModel::owarine);
    std::size_t i = 0;
    while (i < pointBars_.size()) {
      const double x = xOfRow(close.points[i].x);
      std::size_t j = i + 1, top = i;
      if (dense)
        for (; j < pointBars_.size() && std::floor(xOfRow(close.points[j].x)) == std::floor(x); ++j)
          if (pointBars_[j] && pointBars_[j]->volume &&
              (!pointBars_[top] || !pointBars_[top]->volume ||
               *pointBars_[j]->volume > *pointBars_[top]->volume))
            top = j;
      const std::size_t at = top;
      i = j;
      const PriceBar* b = pointBars_[at];
      if (!b || !b->volume || x < pane.left() - cw || x > pane.right() + cw) continue;
      const QRectF r = volumeBar(static_cast<int>(at), cw);
      bool up = true, candle = b->open.has_value();
      long double c = 0;
      if (candle && TryStrToFloat(b->close, c)) up = static_cast<double>(c) >= *b->open;
      const QColor fill = !candle ? QColor(0xA8, 0xA8, 0xA8)
                          : up    ? UpColor(style_)
                                  : DownColor(style_);
      p.setPen(candle ? QPen(EdgeColor(style_, up), 0) : QPen(fill.darker(130), 0));
      p.setBrush(fill);
      p.drawRect(r);
    }
    p.restore();
  }

  // Candles, then the closes of the days without one as dots. With several
  // days a pixel column, one candle a column: the oldest day's open, the
  // newest's close, the column's high and low.
  if (candleMode_) {
    p.save();
    p.setClipRect(price);
    const std::vector<ChartCandle> all = candles();
    std::size_t i = 0;
    while (i < all.size()) {
      ChartCandle k = all[i];
      std::size_t j = i + 1;
      if (dense) {
        const double col = std::floor(k.wick.x1());
        for (; j < all.size() && std::floor(all[j].wick.x1()) == col; ++j) {
          k.high = std::max(k.high, all[j].high);
          k.low = std::min(k.low, all[j].low);
          k.open = all[j].open;  // points run newest first
        }
        if (j > i + 1) {
          k.up = k.close >= k.open;
          const double yo = yOfPrice(k.open), yc = yOfPrice(k.close);
          k.body = QRectF(k.body.left(), std::min(yo, yc), k.body.width(),
                          std::max(1.0, std::abs(yo - yc)));
          k.wick = QLineF(k.wick.x1(), yOfPrice(k.high), k.wick.x1(), yOfPrice(k.low));
        }
      }
      i = j;
      if (k.body.right() < price.left() || k.body.left() > price.right()) continue;
      const QColor edge = EdgeColor(style_, k.up);
      p.setPen(QPen(edge, 0));
      p.drawLine(k.wick);
      p.setBrush(k.up ? UpColor(style_) : DownColor(style_));
      p.drawRect(k.body);
    }
    const ChartLine& close = model_.line(ChartModel::owarine);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Rgb(close.color));
    for (int i : closeOnlyPoints()) {
      const ChartPoint& pt = close.points[static_cast<std::size_t>(i)];
      p.drawEllipse(QPointF(xOfRow(pt.x), yOfPrice(pt.y)), 2.2, 2.2);
    }
    p.restore();
  }

  paintLines(p);
  paintMarkers(p);
}

void ChartWidget::paintMarkers(QPainter& p) const {
  // Inside the price pane only: a marker at the pane's edge is cut there
  // rather than drawn over the volume, the lower pane or the axis.
  p.save();
  p.setClipRect(pricePane());
  p.setRenderHint(QPainter::Antialiasing, true);
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const QScatterSeries* s = markers(pos);
    if (!s->isVisible()) continue;
    const ChartLine& l = model_.line(pos);
    const QColor color = Rgb(l.color);
    p.setPen(QPen(color.darker(150), 1));
    p.setBrush(color);
    const bool buy = l.style != PointStyle::DownTriangles;
    for (const QPointF& q : s->points())
      p.drawPolygon(chart_parts::MarkerTriangle(QPointF(xOfRow(q.x()), yOfPrice(q.y())), buy));
  }
  p.restore();
}

bool ChartWidget::linePainted(int pos) const {
  const ChartLine& l = model_.line(pos);
  if (!l.active || !l.visible || l.points.empty() || dayAverage(pos)) return false;
  return !(pos == ChartModel::owarine && candleMode_);
}

QPolygonF ChartWidget::linePath(int pos) const {
  QPolygonF poly;
  if (pos < 0 || pos >= ChartModel::kLines || !linePainted(pos)) return poly;
  const ChartLine& l = model_.line(pos);
  const bool lower = lowerLine(pos) && lowerInOwnPane();
  poly.reserve(static_cast<qsizetype>(l.points.size()));
  const bool barsOnly = pos == ChartModel::owarine && aggregated();
  for (std::size_t i = 0; i < l.points.size(); ++i) {
    const ChartPoint& pt = l.points[i];
    if (barsOnly && !pointBars_[i]) continue;  // the close of a week's or month's last day
    poly << QPointF(xOfRow(pt.x), lower ? yOfLower(lowerValue(pt.y)) : yOfPrice(pt.y));
  }
  return poly;
}

void ChartWidget::paintLines(QPainter& p) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    if (!linePainted(pos)) continue;
    const ChartLine& l = model_.line(pos);
    const bool lower = lowerLine(pos) && lowerInOwnPane();
    p.setClipRect(lower ? lowerPane() : pricePane());
    // Only the points shown, at most four a pixel column.
    const auto [a, b] = visibleSpan(l);
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(b - a));
    const bool barsOnly = pos == ChartModel::owarine && aggregated();
    for (std::size_t i = a; i < b; ++i) {
      const ChartPoint& pt = l.points[i];
      if (barsOnly && !pointBars_[i]) continue;
      poly << QPointF(xOfRow(pt.x), lower ? yOfLower(lowerValue(pt.y)) : yOfPrice(pt.y));
    }
    // A wide line as one-pixel strokes side by side: the painter's quick
    // path takes only one-pixel pens, and the look is the same.
    QPen pen(Rgb(l.color), 1);
    pen.setCosmetic(true);
    p.setPen(pen);
    const QPolygonF drawn = Decimated(poly);
    const int width = std::max(1, l.penWidth);
    if (drawn.size() == 1) {
      p.setBrush(Rgb(l.color));
      p.drawEllipse(drawn.front(), 1.5 + width / 2.0, 1.5 + width / 2.0);
      p.setBrush(Qt::NoBrush);
    }
    for (int k = 0; k < width; ++k) p.drawPolyline(drawn.translated(0, k - (width - 1) / 2.0));
  }
  // The bars' averages, in the colours of the day averages they stand for.
  p.setClipRect(pricePane());
  for (const BarAverage& a : barAverages_) {
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(a.points.size()));
    for (const auto& [row, v] : a.points) poly << QPointF(xOfRow(row), yOfPrice(v));
    QPen pen(Rgb(model_.line(a.line).color), 1);
    pen.setCosmetic(true);
    p.setPen(pen);
    const QPolygonF drawn = Decimated(poly);
    const int width = std::max(1, model_.line(a.line).penWidth);
    for (int k = 0; k < width; ++k) p.drawPolyline(drawn.translated(0, k - (width - 1) / 2.0));
  }
  p.restore();
}

void ChartWidget::paintDates(QPainter& p) {
  dateLabels_.clear();
  dateGrid_.clear();
  const QRectF plot = chart()->plotArea();
  if (labels_.empty() || plot.width() < 2) return;
  const QFont font = PixelFont(12);
  const QFontMetricsF fm(font);
  const double gap = 14;
  // The labels shown, left (older) to right: a label's row and text.
  std::vector<std::pair<double, QString>> shown;
  for (auto it = labels_.rbegin(); it != labels_.rend(); ++it)
    if (it->first >= axisX_->min() - 1e-9 && it->first <= axisX_->max() + 1e-9)
      shown.push_back(*it);
  if (shown.empty()) return;
  const double perRow = plot.width() / std::max(1e-9, axisX_->max() - axisX_->min());
  // Days when a day label fits every few days; else the first day of each
  // month (every 1, 2, 3 or 6 months) as "2026/11"; else of each year
  // (every 1, 2, 5, 10 years) as "2026".
  std::vector<std::pair<double, QString>> picked;
  const double dayW = fm.horizontalAdvance(QStringLiteral("0000/00/00")) + gap;
  const double monthW = fm.horizontalAdvance(QStringLiteral("0000/00")) + gap;
  const double yearW = fm.horizontalAdvance(QStringLiteral("0000")) + gap;
  const int rowsPerDay = static_cast<int>(std::ceil(dayW / perRow));
  if (rowsPerDay <= 10) {
    // From the newest day leftwards, so the right end always carries one,
    // each a label's width from the last (the days may stand apart).
    double last = std::numeric_limits<double>::infinity();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
      const double x = xOfRow(it->first);
      if (last - x < dayW) continue;
      picked.push_back(*it);
      last = x;
    }
    std::reverse(picked.begin(), picked.end());
  } else {
    // Month starts: a day whose month differs from the day before it.
    struct Start {
      double row;
      int year, month;
    };
    std::vector<Start> starts;
    int prev = -1;
    for (const auto& [row, t] : shown) {
      const int y = t.left(4).toInt(), m = t.mid(5, 2).toInt();
      if (y * 12 + m != prev && prev != -1) starts.push_back({row, y, m});
      prev = y * 12 + m;
    }
    // Rows a month and a year take, from the shown span.
    const double monthPx = perRow * 21;
    bool done = false;
    for (int every : {1, 2, 3, 6}) {
      if (monthPx * every < monthW) continue;
      for (const Start& s : starts)
        if ((s.month - 1) % every == 0)
          picked.push_back(
              {s.row, QStringLiteral("%1/%2").arg(s.year).arg(s.month, 2, 10, QLatin1Char('0'))});
      done = true;
      break;
    }
    if (!done) {
      int every = 10;
      for (int e : {1, 2, 5, 10})
        if (monthPx * 12 * e >= yearW) {
          every = e;
          break;
        }
      for (const Start& s : starts)
        if (s.month == 1 && s.year % every == 0) picked.push_back({s.row, QString::number(s.year)});
    }
  }
  // Whatever still touches its left neighbour, or leaves the plot, goes.
  p.setFont(font);
  p.setPen(Qt::black);
  double lastRight = -std::numeric_limits<double>::infinity();
  const double y = plot.bottom() + 3;
  for (const auto& [row, t] : picked) {
    const double x = xOfRow(row), w = fm.horizontalAdvance(t);
    QRectF r(x - w / 2, y, w, fm.height());
    if (r.right() > plot.right() + kAxisRoom) r.moveRight(plot.right() + kAxisRoom);
    if (r.left() < plot.left() - 20 || r.left() < lastRight + gap / 2) continue;
    lastRight = r.right();
    dateLabels_.push_back({r, t});
    dateGrid_.push_back(x);
    p.drawText(QPointF(r.left(), y + fm.ascent()), t);
  }
  // A dotted grid line at each label, across every pane.
  p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 0, Qt::DotLine));
  for (double x : dateGrid_) {
    for (const QRectF& pane : {pricePane(), volumePane(), lowerPane()})
      if (!pane.isNull()) p.drawLine(QPointF(x, pane.top()), QPointF(x, pane.bottom()));
  }
}

}  // namespace tavrine::gui
