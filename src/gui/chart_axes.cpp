// The chart's axes and geometry: round steps and axis texts, the value
// ranges of the rows shown, the panes, and days and values to positions.
#include "gui/chart_widget.h"

#include <QCategoryAxis>
#include <QChart>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/navigation.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

// Pane layout: gaps between panes and their shares of the plot height.
constexpr double kPaneGap = 10;
constexpr double kVolumeShare = 0.16;
constexpr double kLowerShare = 0.26;
// Room above the highest and under the lowest price shown, in pixels, so
// that a trade marker on the highest or lowest close stands whole.
constexpr double kPriceMargin = 15;

// v's place between a0 and a1 carried to between b0 and b1; b0 when the
// first span is empty.
double Linear(double v, double a0, double a1, double b0, double b1) {
  if (a1 == a0) return b0;
  return b0 + (v - a0) / (a1 - a0) * (b1 - b0);
}

// A value's y in a pane showing `range` bottom to top.
double PaneY(const QRectF& pane, std::pair<double, double> range, double v) {
  return Linear(v, range.first, range.second, pane.bottom(), pane.top());
}

// A round range holding [lo, hi] in about `ticks` steps.
void RoundRange(double& lo, double& hi, double& step, int ticks) {
  if (!(lo <= hi)) {
    lo = 0;
    hi = 1;
  }
  if (hi - lo < 1e-9) {
    const double pad = std::max(1.0, std::abs(hi) * 0.01);
    lo -= pad;
    hi += pad;
  }
  step = RoundStep((hi - lo) / ticks);
  lo = std::floor(lo / step + 1e-9) * step;
  hi = std::ceil(hi / step - 1e-9) * step;
  if (hi <= lo) hi = lo + step;
}

}  // namespace

double RoundStep(double rough) {
  if (!(rough > 0) || !std::isfinite(rough)) return 1;
  const double mag = std::pow(10.0, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * mag >= rough * (1 - 1e-9)) return m * mag;
  return 10 * mag;
}

AxisScale PickAxisTicks(double lo, double hi, double top, double bottom, int ticks,
                        double textHeight, double minGap, bool labelLow) {
  AxisScale out;
  if (!(hi > lo) || !(bottom - top >= textHeight) || ticks < 1) return out;
  const auto place = [&](double step) {
    AxisScale s{step, {}};
    double first = std::ceil(lo / step - 1e-9) * step;
    if (!labelLow && first < lo + step * 1e-9) first += step;
    for (int i = 0; i < 1000; ++i) {
      const double v = first + i * step;
      if (v > hi + step * 1e-9) break;
      const double y = Linear(v, lo, hi, bottom, top);
      s.ticks.push_back({v, y, std::clamp(y - textHeight / 2, top, bottom - textHeight)});
    }
    return s;
  };
  const auto fits = [&](const AxisScale& s) {
    for (std::size_t i = 1; i < s.ticks.size(); ++i)
      if (s.ticks[i - 1].textTop - (s.ticks[i].textTop + textHeight) < minGap) return false;
    return true;
  };
  AxisScale s = place(RoundStep((hi - lo) / ticks));
  // Wider round steps until the texts stand apart; the last one left
  // always does.
  for (int guard = 0; guard < 64 && !fits(s); ++guard) {
    AxisScale wider = place(RoundStep(s.step * 1.01));
    if (wider.ticks.empty()) {
      s.ticks.resize(1);
      break;
    }
    s = std::move(wider);
  }
  return s;
}

QString PriceAxisText(double v, double step) {
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
  const double scaled = std::round(std::abs(v) * std::pow(10.0, decimals));
  QString digits = QString::number(static_cast<long long>(scaled));
  QString frac;
  if (decimals > 0) {
    while (digits.size() <= decimals) digits.prepend(QLatin1Char('0'));
    frac = QLatin1Char('.') + digits.right(decimals);
    digits.chop(decimals);
  }
  for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
  const bool negative = v < 0 && scaled != 0;
  return (negative ? QStringLiteral("-") : QString()) + digits + frac;
}

QString VolumeAxisText(double v) {
  const auto unit = [](double x, const QString& u) {
    QString t = QString::number(x, 'f', x < 10 ? 1 : 0);
    if (t.endsWith(QStringLiteral(".0"))) t.chop(2);
    return t + u;
  };
  if (v >= 1e8) return unit(v / 1e8, QStringLiteral("億"));
  if (v >= 1e4) return unit(v / 1e4, QStringLiteral("万"));
  return QString::number(static_cast<long long>(std::llround(v)));
}

std::vector<std::pair<QString, QPolygonF>> ChartWidget::barAverages() const {
  std::vector<std::pair<QString, QPolygonF>> out;
  for (const BarAverage& a : barAverages_) {
    QPolygonF poly;
    for (const auto& [row, v] : a.points) poly << QPointF(xOfRow(row), yOfPrice(v));
    out.push_back({a.name, poly});
  }
  return out;
}

std::pair<std::size_t, std::size_t> ChartWidget::visibleSpan(const ChartLine& l) const {
  // The points inside the shown rows and one beyond each end, so that a
  // line runs on to the pane's edge.
  const auto less = [](const ChartPoint& p, double x) { return p.x < x; };
  std::size_t a = static_cast<std::size_t>(
      std::lower_bound(l.points.begin(), l.points.end(), axisX_->min(), less) - l.points.begin());
  std::size_t b = static_cast<std::size_t>(
      std::lower_bound(l.points.begin(), l.points.end(), axisX_->max() + 1e-9, less) -
      l.points.begin());
  if (a > 0) --a;
  if (b < l.points.size()) ++b;
  return {a, b};
}

void ChartWidget::fitToView() {
  if (fitting_) return;
  fitting_ = true;
  // The value ranges over the days shown only.
  const double xlo = axisX_->min() - 1e-9, xhi = axisX_->max() + 1e-9;
  double minY = std::numeric_limits<double>::infinity(), maxY = -minY;
  double lowMin = minY, lowMax = -minY, maxVolume = 0;
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible || dayAverage(pos)) continue;
    const bool ownPane = lowerLine(pos) && !style_.overlay;
    const auto [a, b] = visibleSpan(l);
    for (std::size_t i = a; i < b; ++i) {
      const ChartPoint& p = l.points[i];
      if (p.x < xlo || p.x > xhi) continue;
      if (ownPane) {
        const double v = lowerValue(p.y);
        lowMin = std::min(lowMin, v);
        lowMax = std::max(lowMax, v);
      } else {
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
      }
    }
  }
  for (const BarAverage& avg : barAverages_)
    for (const auto& [row, v] : avg.points)
      if (row >= xlo && row <= xhi) {
        minY = std::min(minY, v);
        maxY = std::max(maxY, v);
      }
  const ChartLine& close = model_.line(ChartModel::owarine);
  for (std::size_t i = 0; i < pointBars_.size(); ++i) {
    const PriceBar* b = pointBars_[i];
    if (!b || close.points[i].x < xlo || close.points[i].x > xhi) continue;
    if (candleMode_ && b->high && b->low) {
      minY = std::min(minY, *b->low);
      maxY = std::max(maxY, *b->high);
    }
    if (b->volume) maxVolume = std::max(maxVolume, *b->volume);
  }
  RoundRange(minY, maxY, priceStep_, 6);
  priceRange_ = {minY, maxY};
  double vlo = 0, vhi = maxVolume;
  RoundRange(vlo, vhi, volumeStep_, 3);
  volumeRange_ = {0, vhi};
  if (percentLower()) {
    // The stochastics always on 0 to 100 %, wider only if a value strays.
    lowMin = std::min(lowMin, 0.0);
    lowMax = std::max(lowMax, 100.0);
  }
  RoundRange(lowMin, lowMax, lowerStep_, 4);
  lowerRange_ = {lowMin, lowMax};
  fitPriceAxis();
  thinMarkers();
  viewport()->update();
  fitting_ = false;
}

bool ChartWidget::lowerLine(int pos) const {
  return pos >= ChartModel::S1 && pos < ChartModel::kLines;
}

bool ChartWidget::lowerInOwnPane() const { return lowerShown_ && !style_.overlay; }

double ChartWidget::lowerValue(double modelValue) const {
  return percentLower() ? modelValue / extras_.percentOf * 100.0 : modelValue;
}

QRectF ChartWidget::pricePane() const {
  const QRectF plot = chart()->plotArea();
  const double v = volumeShown_ ? kVolumeShare : 0, l = lowerInOwnPane() ? kLowerShare : 0;
  const int gaps = (volumeShown_ ? 1 : 0) + (lowerInOwnPane() ? 1 : 0);
  const double room = std::max(0.0, plot.height() - gaps * kPaneGap);
  return QRectF(plot.left(), plot.top(), plot.width(), room * (1 - v - l));
}

QRectF ChartWidget::volumePane() const {
  if (!volumeShown_) return {};
  const QRectF plot = chart()->plotArea();
  const QRectF price = pricePane();
  const int gaps = 1 + (lowerInOwnPane() ? 1 : 0);
  const double room = std::max(0.0, plot.height() - gaps * kPaneGap);
  return QRectF(plot.left(), price.bottom() + kPaneGap, plot.width(), room * kVolumeShare);
}

QRectF ChartWidget::lowerPane() const {
  if (!lowerInOwnPane()) return {};
  const QRectF plot = chart()->plotArea();
  const QRectF above = volumeShown_ ? volumePane() : pricePane();
  const double top = above.bottom() + kPaneGap;
  return QRectF(plot.left(), top, plot.width(), std::max(0.0, plot.bottom() - top));
}

void ChartWidget::fitPriceAxis() {
  // The price range over the price pane: the axis spans the whole plot.
  const QRectF plot = chart()->plotArea();
  const QRectF pane = pricePane();
  const auto [lo, hi] = priceRange_;
  if (pane.height() < 1 || plot.height() < 1) {
    axisY_->setRange(lo, hi);
    return;
  }
  // A margin in the pane around the range; less of one in a low pane.
  const double margin = std::min(kPriceMargin, pane.height() / 6);
  const double perPixel = (hi - lo) / (pane.height() - 2 * margin);
  const double top = hi + (pane.top() + margin - plot.top()) * perPixel;
  axisY_->setRange(top - plot.height() * perPixel, top);
}

double ChartWidget::xOfRow(double row) const {
  const QRectF plot = chart()->plotArea();
  return Linear(row, axisX_->min(), axisX_->max(), plot.right(), plot.left());
}

double ChartWidget::rowOfX(double x) const {
  const QRectF plot = chart()->plotArea();
  return Linear(x, plot.right(), plot.left(), axisX_->min(), axisX_->max());
}

// The price axis spans the whole plot area (fitPriceAxis).
double ChartWidget::yOfPrice(double v) const {
  return PaneY(chart()->plotArea(), {axisY_->min(), axisY_->max()}, v);
}

double ChartWidget::priceOfY(double y) const {
  const QRectF plot = chart()->plotArea();
  return Linear(y, plot.bottom(), plot.top(), axisY_->min(), axisY_->max());
}

std::pair<double, double> ChartWidget::priceRange() const {
  const QRectF pane = pricePane();
  return {priceOfY(pane.bottom()), priceOfY(pane.top())};
}

double ChartWidget::yOfVolume(double v) const { return PaneY(volumePane(), volumeRange_, v); }
double ChartWidget::yOfLower(double v) const { return PaneY(lowerPane(), lowerRange_, v); }

double ChartWidget::candleWidth() const {
  const ChartLine& close = model_.line(ChartModel::owarine);
  int n = 0;
  for (std::size_t i = 0; i < close.points.size(); ++i)
    if (close.points[i].x >= axisX_->min() && close.points[i].x <= axisX_->max() &&
        (!aggregated() || pointBars_[i]))
      ++n;
  const double w = chart()->plotArea().width() / std::max(1, n) * 0.7;
  return std::clamp(w, 1.0, 15.0);
}

const PriceBar* ChartWidget::barOf(int closePoint) const {
  if (closePoint < 0 || static_cast<std::size_t>(closePoint) >= pointBars_.size()) return nullptr;
  return pointBars_[static_cast<std::size_t>(closePoint)];
}

std::vector<ChartCandle> ChartWidget::candles() const {
  std::vector<ChartCandle> out;
  if (!candleMode_) return out;
  const ChartLine& close = model_.line(ChartModel::owarine);
  const double w = candleWidth();
  for (std::size_t i = 0; i < pointBars_.size(); ++i) {
    const PriceBar* b = pointBars_[i];
    long double c = 0;
    if (!b || !b->open || !b->high || !b->low || !TryStrToFloat(b->close, c)) continue;
    ChartCandle k;
    k.point = static_cast<int>(i);
    k.open = *b->open;
    k.high = *b->high;
    k.low = *b->low;
    k.close = static_cast<double>(c);
    k.up = k.close >= k.open;
    const double x = xOfRow(close.points[i].x);
    const double yo = yOfPrice(k.open), yc = yOfPrice(k.close);
    const double top = std::min(yo, yc), h = std::max(1.0, std::abs(yo - yc));
    k.body = QRectF(x - w / 2, top, w, h);
    k.wick = QLineF(x, yOfPrice(k.high), x, yOfPrice(k.low));
    out.push_back(k);
  }
  return out;
}

std::vector<int> ChartWidget::closeOnlyPoints() const {
  std::vector<int> out;
  if (!candleMode_) return out;
  for (std::size_t i = 0; i < pointBars_.size(); ++i) {
    const PriceBar* b = pointBars_[i];
    // On weeks and months only the bars' last days are drawn.
    if (aggregated() && !b) continue;
    if (!b || !b->open || !b->high || !b->low) out.push_back(static_cast<int>(i));
  }
  return out;
}

QRectF ChartWidget::volumeBar(int closePoint) const { return volumeBar(closePoint, candleWidth()); }

QRectF ChartWidget::volumeBar(int closePoint, double w) const {
  const PriceBar* b = barOf(closePoint);
  if (!volumeShown_ || !b || !b->volume) return {};
  const double x =
      xOfRow(model_.line(ChartModel::owarine).points[static_cast<std::size_t>(closePoint)].x);
  const double top = yOfVolume(*b->volume), bottom = volumePane().bottom();
  return QRectF(x - w / 2, top, w, std::max(1.0, bottom - top));
}

QPointF ChartWidget::pointPosition(int line, int index) const {
  const auto& pts = model_.line(line).points;
  if (index < 0 || static_cast<std::size_t>(index) >= pts.size()) return {};
  const ChartPoint& p = pts[static_cast<std::size_t>(index)];
  const double y = lowerLine(line) && lowerInOwnPane() ? yOfLower(lowerValue(p.y)) : yOfPrice(p.y);
  return mapFromScene(chart()->mapToScene(QPointF(xOfRow(p.x), y)));
}

ChartHits ChartWidget::hitTest(const QPointF& viewPos) const {
  ChartHits hits;
  const QPointF at = chart()->mapFromScene(mapToScene(viewPos.toPoint()));
  const double limit = kHitPixels * kHitPixels;
  // The engine's pickable lines in its order: a later hit wins there.
  for (int pos : Navigation::PickableLines()) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible || l.points.empty()) continue;
    const bool lower = lowerLine(pos) && lowerInOwnPane();
    int best = -1;
    double bestD = limit;
    for (std::size_t i = 0; i < l.points.size(); ++i) {
      const double px = xOfRow(l.points[i].x);
      const double py = lower ? yOfLower(lowerValue(l.points[i].y)) : yOfPrice(l.points[i].y);
      const double dx = px - at.x(), dy = py - at.y();
      const double d = dx * dx + dy * dy;
      if (d <= bestD) {
        bestD = d;
        best = static_cast<int>(i);
      }
    }
    if (best >= 0) hits.push_back({l.name, best});
  }
  return hits;
}

}  // namespace tavrine::gui
