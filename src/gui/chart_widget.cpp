#include "gui/chart_widget.h"

#include <QCategoryAxis>
#include <QChart>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "chart/navigation.h"
#include "gui/style.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

constexpr int kLegendLeft = 6;
constexpr int kLegendSwatch = 10;
constexpr int kLegendRow = 17;
constexpr int kLegendTop = 8;

// Readout: the averages listed under the close, in the fixed line order,
// then the trade markers of the day.
constexpr int kReadoutRows = 1 + 5 + ChartModel::kLines + ChartModel::kMarkerLines;
// The fewest rows a zoom shows.
constexpr double kMinSpan = 8;
// A press moved less than this (pixels) is a click.
constexpr double kClickSlop = 3;
// Room under the plot area for the date labels.
constexpr int kDateRow = 18;

// Trade markers: a triangle beside the close it marks, pointing at it, a
// buy below the close and a sell above, so both show on a day with both.
constexpr int kMarkerWidth = 13;
constexpr int kMarkerHeight = 11;
constexpr int kMarkerGap = 3;  // between the close and the triangle's tip

// The picture drawn centred on each marker point (a square, as the chart
// scales it into one): twice the triangle's height so that the point sits
// at its middle, the triangle in one half.
QImage MarkerImage(const QColor& color, bool up) {
  const int h = 2 * (kMarkerHeight + kMarkerGap);
  QImage img(h, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(color.darker(150), 1));
  p.setBrush(color);
  const double mid = h / 2.0, cx = img.width() / 2.0, half = kMarkerWidth / 2.0;
  QPolygonF t;
  if (up)
    t << QPointF(cx, mid + kMarkerGap) << QPointF(cx + half, mid + kMarkerGap + kMarkerHeight)
      << QPointF(cx - half, mid + kMarkerGap + kMarkerHeight);
  else
    t << QPointF(cx, mid - kMarkerGap) << QPointF(cx + half, mid - kMarkerGap - kMarkerHeight)
      << QPointF(cx - half, mid - kMarkerGap - kMarkerHeight);
  p.drawPolygon(t);
  return img;
}
constexpr int kReadoutRow = 17;
constexpr int kReadoutPad = 6;

// A drawn value as the readout shows it: whole numbers without decimals,
// others with up to two.
QString ValueText(double v) {
  if (std::abs(v - std::round(v)) < 1e-9)
    return QString::number(static_cast<long long>(std::llround(v)));
  QString t = QString::number(v, 'f', 2);
  while (t.endsWith(QLatin1Char('0'))) t.chop(1);
  if (t.endsWith(QLatin1Char('.'))) t.chop(1);
  return t;
}

// "25日移動平均線" -> "25日平均": short enough for the readout box.
QString ShortName(const std::string& legend) {
  QString n = QString::fromStdString(legend);
  n.replace(QStringLiteral("移動平均線"), QStringLiteral("平均"));
  return n;
}

// Pane layout: gaps between panes and their shares of the plot height.
constexpr double kPaneGap = 10;
constexpr double kVolumeShare = 0.16;
constexpr double kLowerShare = 0.26;
constexpr int kAxisRoom = 64;  // right margin for the panes' axis labels

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

double RoundStep(double rough) {
  if (!(rough > 0) || !std::isfinite(rough)) return 1;
  const double mag = std::pow(10.0, std::floor(std::log10(rough)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * mag >= rough * (1 - 1e-9)) return m * mag;
  return 10 * mag;
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

ChartWidget::ChartWidget(const ChartModel& model, QWidget* parent)
    : QChartView(parent), model_(model) {
  auto* chart = new QChart;
  // The view paints the white ground, the panes and the candles under the
  // chart's lines (drawBackground), so the chart's own background is off.
  chart->setBackgroundVisible(false);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->legend()->hide();  // drawn by hand: 10 px swatches, listed in the fixed order
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setAnimationDuration(300);

  axisX_ = new QCategoryAxis;
  axisX_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axisX_->setReverse(true);  // older days to the left, the newest at the right end
  // The date labels and their grid are drawn by the view (paintDates).
  axisX_->setLabelsVisible(false);
  axisX_->setGridLineVisible(false);
  axisX_->setRange(0, 1);

  axisY_ = new QValueAxis;
  // The price axis maps over the whole plot height so that the price range
  // falls in the price pane; its labels and grid are drawn per pane.
  axisY_->setLabelsVisible(false);
  axisY_->setGridLineVisible(false);
  axisY_->setLineVisible(false);
  axisY_->setRange(0, 1);

  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignRight);

  // The markers over every line, on the close's axes.
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    auto* s = new QScatterSeries;
    s->setObjectName(QString::fromStdString(l.name));
    s->setName(QString::fromStdString(l.legend.empty() ? l.name : l.legend));
    const QImage marker = MarkerImage(Rgb(l.color), l.style != PointStyle::DownTriangles);
    s->setLightMarker(marker);
    s->setMarkerSize(marker.height());
    s->setColor(Rgb(l.color));
    s->setBorderColor(Qt::transparent);
    s->setPointLabelsVisible(false);
    chart->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
    s->setVisible(false);
    markers_.push_back(s);
  }

  setChart(chart);
  setBackgroundBrush(Qt::white);
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::NoRubberBand);  // the gestures are the view's own
  setFrameShape(QFrame::NoFrame);

  QFont tf = PixelFont(12);
  dateTitle_ = new QGraphicsSimpleTextItem(QStringLiteral("年月日"), chart);
  dateTitle_->setFont(tf);
  lowTitle_ = new QGraphicsSimpleTextItem(QStringLiteral("指数"), chart);
  lowTitle_->setFont(tf);
  lowTitle_->setRotation(-90);
  highTitle_ = new QGraphicsSimpleTextItem(QStringLiteral("株価"), chart);
  highTitle_->setFont(tf);
  highTitle_->setRotation(-90);
  buildLegend();
  buildReadout();
  rubber_ = new QGraphicsRectItem(chart);
  rubber_->setPen(QPen(QColor(0x30, 0x60, 0xC0), 0));
  rubber_->setBrush(QColor(0x30, 0x60, 0xC0, 0x30));
  rubber_->setZValue(1002);
  rubber_->hide();

  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);

  connect(chart, &QChart::plotAreaChanged, this, [this] { layoutDecorations(); });
  connect(axisX_, &QValueAxis::rangeChanged, this, [this] { fitToView(); });
}

void ChartWidget::buildLegend() {
  const QFont lf = PixelFont(15);
  const QFontMetrics fm(lf);
  int width = 0;
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.inLegend) continue;
    const QString name = QString::fromStdString(l.legend.empty() ? l.name : l.legend);
    auto* box = new QGraphicsRectItem(0, 0, kLegendSwatch, kLegendSwatch, chart());
    box->setBrush(Rgb(l.color));
    box->setPen(QPen(Qt::black, 0));
    auto* text = new QGraphicsSimpleTextItem(name, chart());
    text->setFont(lf);
    legend_.push_back({box, text});
    legendLines_.push_back(pos);
    legendNames_ << name;
    width = std::max(width, fm.horizontalAdvance(name));
  }
  const int legendWidth = kLegendLeft + kLegendSwatch + 6 + width + 10;
  // The left margin holds the legend, the right one the turned axis titles,
  // the bottom one the date axis title under the labels.
  chart()->setMargins(QMargins(legendWidth, 8, 24 + kAxisRoom, 18 + kDateRow));
}

void ChartWidget::nameLegend() {
  // On weeks and months the bars' averages take the 25, 75 and 200 day
  // lines' places and colours; the 5 and 1000 day lines leave the legend.
  legendNames_.clear();
  for (std::size_t i = 0; i < legend_.size(); ++i) {
    const int pos = legendLines_[i];
    const ChartLine& l = model_.line(pos);
    QString name = QString::fromStdString(l.legend.empty() ? l.name : l.legend);
    bool shown = true;
    if (dayAverage(pos)) {
      shown = false;
      for (const BarAverage& a : barAverages_)
        if (a.line == pos) {
          name = a.name;
          shown = true;
        }
    }
    legend_[i].first->setVisible(shown);
    legend_[i].second->setVisible(shown);
    legend_[i].second->setText(name);
    if (shown) legendNames_ << name;
  }
  layoutDecorations();
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

void ChartWidget::buildReadout() {
  QPen pen(QColor(0x50, 0x50, 0x50), 1, Qt::DashLine);
  pen.setCosmetic(true);
  crossLine_ = new QGraphicsLineItem(chart());
  crossH_ = new QGraphicsLineItem(chart());
  for (QGraphicsLineItem* l : {crossLine_, crossH_}) {
    l->setPen(pen);
    l->setZValue(1000);
    l->hide();
  }
  for (auto [box, text] : {std::pair{&valueTag_, &valueTagText_}, {&dateTag_, &dateTagText_}}) {
    *box = new QGraphicsRectItem(chart());
    (*box)->setBrush(QColor(0x40, 0x40, 0x40));
    (*box)->setPen(Qt::NoPen);
    (*box)->setZValue(1001);
    (*box)->hide();
    *text = new QGraphicsSimpleTextItem(*box);
    (*text)->setFont(PixelFont(12));
    (*text)->setBrush(Qt::white);
  }
  readoutBox_ = new QGraphicsRectItem(chart());
  readoutBox_->setBrush(QColor(0xFF, 0xFF, 0xF4, 0xEE));
  readoutBox_->setPen(QPen(QColor(0x80, 0x80, 0x80), 0));
  readoutBox_->setZValue(1001);
  readoutBox_->hide();
  for (int i = 0; i < kReadoutRows; ++i) {
    auto* swatch = new QGraphicsRectItem(0, 0, kLegendSwatch, kLegendSwatch, readoutBox_);
    swatch->setPen(QPen(Qt::black, 0));
    auto* text = new QGraphicsSimpleTextItem(readoutBox_);
    text->setFont(PixelFont(12, i == 0));
    readoutRows_.push_back({swatch, text});
  }
}

bool ChartWidget::readoutShown() const { return readoutBox_->isVisible(); }
QString ChartWidget::valueTagText() const {
  return valueTag_->isVisible() ? valueTagText_->text() : QString();
}
QString ChartWidget::dateTagText() const {
  return dateTag_->isVisible() ? dateTagText_->text() : QString();
}
double ChartWidget::crossY() const {
  return crossH_->isVisible() ? crossH_->line().y1() : std::numeric_limits<double>::quiet_NaN();
}

void ChartWidget::hideReadout() {
  crossLine_->hide();
  crossH_->hide();
  valueTag_->hide();
  dateTag_->hide();
  readoutBox_->hide();
  readoutLines_.clear();
  readoutIndex_ = -1;
}

void ChartWidget::hoverAt(const QPointF& viewPos) {
  hovering_ = true;
  hoverPos_ = viewPos;
  const QPointF at = chart()->mapFromScene(mapToScene(viewPos.toPoint()));
  const QRectF plot = chart()->plotArea();
  const ChartLine& close = model_.line(ChartModel::owarine);
  if (!plot.contains(at) || !close.active || !close.visible || close.points.empty()) {
    hideReadout();
    return;
  }
  // The nearest day by horizontal distance: the points stand in ascending x.
  const double row = rowOfX(at.x());
  auto it = std::lower_bound(close.points.begin(), close.points.end(), row,
                             [](const ChartPoint& p, double x) { return p.x < x; });
  int best = -1;
  if (it != close.points.end()) best = static_cast<int>(it - close.points.begin());
  if (it != close.points.begin() &&
      (it == close.points.end() || std::abs(std::prev(it)->x - row) < std::abs(it->x - row)))
    best = static_cast<int>(it - close.points.begin()) - 1;
  if (best < 0 || xOfRow(close.points[static_cast<std::size_t>(best)].x) < plot.left() - 1 ||
      xOfRow(close.points[static_cast<std::size_t>(best)].x) > plot.right() + 1) {
    hideReadout();
    return;
  }
  // On weeks and months: the bar holding the day, dated by its last day
  // (the newer rows stand at lower indices).
  if (aggregated()) {
    while (best >= 0 && !pointBars_[static_cast<std::size_t>(best)]) --best;
    if (best < 0) {
      hideReadout();
      return;
    }
  }
  const double bestX = xOfRow(close.points[static_cast<std::size_t>(best)].x);
  const ChartPoint& day = close.points[static_cast<std::size_t>(best)];
  readoutIndex_ = best;

  struct Row {
    QString text;
    QColor color;
    bool swatch;
  };
  std::vector<Row> rows;
  rows.push_back({QString::fromStdString(day.label), Qt::black, false});
  const PriceBar* bar = barOf(best);
  const QColor closeColor = Rgb(close.color);
  if (bar && bar->open && bar->high && bar->low) {
    rows.push_back({QStringLiteral("始値 ") + ValueText(*bar->open), closeColor, false});
    rows.push_back({QStringLiteral("高値 ") + ValueText(*bar->high), closeColor, false});
    rows.push_back({QStringLiteral("安値 ") + ValueText(*bar->low), closeColor, false});
  }
  rows.push_back({QStringLiteral("終値 ") + ValueText(day.y), closeColor, true});
  if (bar && bar->volume)
    rows.push_back({QStringLiteral("出来高 ") + PriceAxisText(*bar->volume, 1), closeColor, false});
  // Every drawn average, then the lower lines, on the same row.
  const auto valueOn = [&](const ChartLine& l) -> const ChartPoint* {
    auto p = std::lower_bound(l.points.begin(), l.points.end(), day.x,
                              [](const ChartPoint& q, double x) { return q.x < x; });
    return p == l.points.end() || p->x != day.x ? nullptr : &*p;
  };
  for (const BarAverage& a : barAverages_) {
    auto p =
        std::lower_bound(a.points.begin(), a.points.end(), day.x,
                         [](const std::pair<double, double>& q, double x) { return q.first < x; });
    if (p != a.points.end() && p->first == day.x)
      rows.push_back({ShortName(a.name.toStdString()) + QStringLiteral(" ") + ValueText(p->second),
                      Rgb(model_.line(a.line).color), true});
  }
  for (int pos = 1; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible || !l.inLegend || dayAverage(pos)) continue;
    const ChartPoint* p = valueOn(l);
    if (!p) continue;
    const bool lower = lowerLine(pos);
    const QString v =
        lower ? ValueText(lowerValue(p->y)) + (percentLower() ? "%" : "") : ValueText(p->y);
    rows.push_back({ShortName(l.legend.empty() ? l.name : l.legend) + QStringLiteral(" ") + v,
                    Rgb(l.color), true});
  }
  // A trade on this day: "仕掛け" and "手仕舞い" under the lines.
  if (model_.markersVisible()) {
    for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
      const ChartLine& l = model_.line(pos);
      if (!l.active) continue;
      const bool on = std::any_of(l.points.begin(), l.points.end(),
                                  [&](const ChartPoint& p) { return p.x == day.x; });
      if (on) rows.push_back({QString::fromStdString(l.legend), Rgb(l.color), true});
    }
  }
  if (rows.size() > readoutRows_.size()) rows.resize(readoutRows_.size());

  readoutLines_.clear();
  double textWidth = 0;
  for (std::size_t i = 0; i < readoutRows_.size(); ++i) {
    auto [swatch, text] = readoutRows_[i];
    if (i >= rows.size()) {
      swatch->hide();
      text->hide();
      continue;
    }
    readoutLines_ << rows[i].text;
    text->setText(rows[i].text);
    text->show();
    swatch->setVisible(rows[i].swatch);
    swatch->setBrush(rows[i].color);
    const double indent = i > 0 ? kLegendSwatch + 5 : 0;
    const double y = kReadoutPad + static_cast<double>(i) * kReadoutRow;
    swatch->setPos(kReadoutPad, y + (kReadoutRow - kLegendSwatch) / 2.0);
    text->setPos(kReadoutPad + indent, y + (kReadoutRow - text->boundingRect().height()) / 2.0);
    textWidth = std::max(textWidth, indent + text->boundingRect().width());
  }
  const double w = textWidth + 2 * kReadoutPad;
  const double h = static_cast<double>(rows.size()) * kReadoutRow + 2 * kReadoutPad;
  readoutBox_->setRect(0, 0, w, h);
  // Beside the line, on the side with room for the box.
  double x = bestX + 12;
  if (x + w > plot.right()) x = bestX - 12 - w;
  readoutBox_->setPos(std::max(plot.left(), x), plot.top() + 8);
  crossLine_->setLine(bestX, plot.top(), bestX, plot.bottom());
  crossLine_->show();
  readoutBox_->show();

  // The horizontal line and the value of its pane at the pointer.
  crossH_->setLine(plot.left(), at.y(), plot.right(), at.y());
  crossH_->show();
  QString value;
  const QRectF price = pricePane(), volume = volumePane(), lower = lowerPane();
  if (price.contains(at)) {
    value =
        PriceAxisText(priceOfY(at.y()), RoundStep((priceRange().second - priceRange().first) / 60));
  } else if (volumeShown_ && volume.contains(at)) {
    const double span = volumeRange_.second - volumeRange_.first;
    value =
        VolumeAxisText(volumeRange_.first + (volume.bottom() - at.y()) / volume.height() * span);
  } else if (lowerInOwnPane() && lower.contains(at)) {
    const double span = lowerRange_.second - lowerRange_.first;
    value = PriceAxisText(lowerRange_.first + (lower.bottom() - at.y()) / lower.height() * span,
                          RoundStep(span / 60)) +
            (percentLower() ? QStringLiteral("%") : QString());
  }
  const auto tag = [](QGraphicsRectItem* box, QGraphicsSimpleTextItem* text, const QString& t,
                      double x, double y) {
    text->setText(t);
    const QRectF r = text->boundingRect();
    box->setRect(0, 0, r.width() + 6, r.height() + 2);
    text->setPos(3, 1);
    box->setPos(x, y);
    box->show();
  };
  if (value.isEmpty()) {
    valueTag_->hide();
  } else {
    tag(valueTag_, valueTagText_, value, plot.right() + 1,
        at.y() - valueTagText_->boundingRect().height() / 2 - 1);
  }
  const QString date = QString::fromStdString(day.label);
  const double dw = QFontMetricsF(dateTagText_->font()).horizontalAdvance(date) + 6;
  tag(dateTag_, dateTagText_, date,
      std::clamp(bestX - dw / 2, plot.left(), std::max(plot.left(), plot.right() - dw)),
      plot.bottom() + 2);
}

void ChartWidget::mouseMoveEvent(QMouseEvent* e) {
  const QPointF at = e->position();
  if (gesture_ == Gesture::Press && (at - pressAt_).manhattanLength() >= kClickSlop)
    gesture_ = (e->modifiers() & Qt::ShiftModifier) ? Gesture::Rect : Gesture::Pan;
  const QRectF plot = chart()->plotArea();
  if (gesture_ == Gesture::Pan && plot.width() > 0) {
    // The day under the press follows the pointer.
    const double shift =
        (at.x() - pressAt_.x()) / plot.width() * (pressView_.second - pressView_.first);
    setView(pressView_.first + shift, pressView_.second + shift);
  } else if (gesture_ == Gesture::Rect) {
    const QPointF a = chart()->mapFromScene(mapToScene(pressAt_.toPoint()));
    const QPointF b = chart()->mapFromScene(mapToScene(at.toPoint()));
    const double l = std::clamp(std::min(a.x(), b.x()), plot.left(), plot.right());
    const double r = std::clamp(std::max(a.x(), b.x()), plot.left(), plot.right());
    rubber_->setRect(l, plot.top(), r - l, plot.height());
    rubber_->show();
  }
  hoverAt(at);
  e->accept();
}

void ChartWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    gesture_ = Gesture::Press;
    pressAt_ = e->position();
    pressView_ = viewRows();
  }
  e->accept();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* e) {
  // The right button opens the drawing menu (contextMenuEvent).
  if (e->button() != Qt::LeftButton) {
    e->accept();
    return;
  }
  const Gesture g = gesture_;
  gesture_ = Gesture::None;
  if (g == Gesture::Press) {
    // A click: the points under the press pick their day.
    const ChartHits hits = hitTest(pressAt_);
    if (onPress) onPress(hits);
  } else if (g == Gesture::Rect) {
    rubber_->hide();
    const QPointF a = chart()->mapFromScene(mapToScene(pressAt_.toPoint()));
    const QPointF b = chart()->mapFromScene(mapToScene(e->position().toPoint()));
    if (std::abs(a.x() - b.x()) >= kClickSlop) {
      const double r1 = rowOfX(a.x()), r2 = rowOfX(b.x());
      setView(std::min(r1, r2), std::max(r1, r2));
    }
  }
  e->accept();
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) resetView();
  gesture_ = Gesture::None;
  e->accept();
}

void ChartWidget::wheelEvent(QWheelEvent* e) {
  const double steps = e->angleDelta().y() / 120.0;
  if (steps != 0) zoomAt(e->position().x(), steps);
  e->accept();
}

void ChartWidget::zoomAt(double viewX, double steps) {
  const QRectF plot = chart()->plotArea();
  if (plot.width() <= 0) return;
  const double x = chart()->mapFromScene(mapToScene(QPoint(static_cast<int>(viewX), 0))).x();
  const auto [lo, hi] = viewRows();
  const double full = fullHi_ - fullLo_;
  const double span = std::clamp((hi - lo) * std::pow(0.8, steps), std::min(kMinSpan, full), full);
  // The row under the pointer stays under it.
  const double anchor = rowOfX(x);
  const double fromRight = (plot.right() - x) / plot.width();
  const double nlo = anchor - fromRight * span;
  setView(nlo, nlo + span);
}

std::pair<double, double> ChartWidget::viewRows() const { return {axisX_->min(), axisX_->max()}; }

void ChartWidget::setView(double lo, double hi) {
  const double full = fullHi_ - fullLo_;
  double span = std::clamp(hi - lo, std::min(kMinSpan, full), full);
  // Shifted back inside the term's span, keeping its width.
  lo = std::clamp(lo + ((hi - lo) - span) / 2, fullLo_, fullHi_ - span);
  if (lo == axisX_->min() && lo + span == axisX_->max()) return;
  axisX_->setRange(lo, lo + span);  // refits the panes (rangeChanged)
}

void ChartWidget::leaveEvent(QEvent* e) {
  hovering_ = false;
  hideReadout();
  QChartView::leaveEvent(e);
}

void ChartWidget::keyPressEvent(QKeyEvent* e) {
  if ((e->key() == Qt::Key_Left || e->key() == Qt::Key_Right) && e->modifiers() == Qt::NoModifier) {
    if (onStep) onStep(e->key() == Qt::Key_Left);
    e->accept();
    return;
  }
  if (e->key() == Qt::Key_Home) {
    resetView();
    e->accept();
    return;
  }
  QChartView::keyPressEvent(e);
}

void ChartWidget::contextMenuEvent(QContextMenuEvent* e) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* candle = menu->addAction(QStringLiteral("ローソク足"));
  candle->setCheckable(true);
  candle->setChecked(style_.candles);
  QAction* line = menu->addAction(QStringLiteral("終値の線"));
  line->setCheckable(true);
  line->setChecked(!style_.candles);
  QAction* bw = menu->addAction(QStringLiteral("白黒のローソク足"));
  bw->setCheckable(true);
  bw->setChecked(style_.whiteBlack);
  menu->addSeparator();
  const std::pair<BarKind, QString> kinds[] = {{BarKind::Day, QStringLiteral("日足")},
                                               {BarKind::Week, QStringLiteral("週足")},
                                               {BarKind::Month, QStringLiteral("月足")}};
  for (const auto& [kind, name] : kinds) {
    QAction* a = menu->addAction(name);
    a->setCheckable(true);
    a->setChecked(style_.bars == kind);
    connect(a, &QAction::triggered, this, [this, k = kind] {
      ChartStyle s = style_;
      s.bars = k;
      setStyle(s);
    });
  }
  menu->addSeparator();
  QAction* overlay = menu->addAction(QStringLiteral("重ね表示"));
  overlay->setCheckable(true);
  overlay->setChecked(style_.overlay);
  connect(candle, &QAction::triggered, this, [this] {
    ChartStyle s = style_;
    s.candles = true;
    setStyle(s);
  });
  connect(line, &QAction::triggered, this, [this] {
    ChartStyle s = style_;
    s.candles = false;
    setStyle(s);
  });
  connect(bw, &QAction::triggered, this, [this](bool on) {
    ChartStyle s = style_;
    s.whiteBlack = on;
    setStyle(s);
  });
  connect(overlay, &QAction::triggered, this, [this](bool on) {
    ChartStyle s = style_;
    s.overlay = on;
    setStyle(s);
  });
  menu->popup(e->globalPos());
  e->accept();
}

QStringList ChartWidget::legendEntries() const { return legendNames_; }
QString ChartWidget::dateAxisTitle() const { return dateTitle_->text(); }
QStringList ChartWidget::valueAxisTitles() const { return {lowTitle_->text(), highTitle_->text()}; }

void ChartWidget::layoutDecorations() {
  if (laying_) return;
  laying_ = true;
  const QRectF plot = chart()->plotArea();
  const QRectF whole = chart()->rect();
  // Legend: a column at the upper left, clear of the memo panel below it.
  const double top = whole.top() + kLegendTop;
  std::size_t row = 0;
  for (std::size_t i = 0; i < legend_.size(); ++i) {
    if (!legend_[i].second->isVisible()) continue;
    const double y = top + static_cast<double>(row++) * kLegendRow;
    const QRectF tb = legend_[i].second->boundingRect();
    legend_[i].first->setPos(kLegendLeft, y + (kLegendRow - kLegendSwatch) / 2.0);
    legend_[i].second->setPos(kLegendLeft + kLegendSwatch + 6,
                              y + (kLegendRow - tb.height()) / 2.0);
  }
  // "年月日" under the right end of the date axis.
  const QRectF db = dateTitle_->boundingRect();
  dateTitle_->setPos(plot.right() - db.width(), whole.bottom() - db.height() - 2);
  // "指数" at the lower end and "株価" at the upper end of the value axis,
  // turned to read upwards, in the right margin.
  const QRectF lb = lowTitle_->boundingRect();
  const QRectF hb = highTitle_->boundingRect();
  const double x = whole.right() - lb.height() - 4;
  const QRectF lowPane = lowerInOwnPane() ? lowerPane() : plot;
  lowTitle_->setPos(x, lowPane.bottom());
  highTitle_->setPos(x, plot.top() + hb.width());
  fitPriceAxis();
  thinMarkers();
  laying_ = false;
}

void ChartWidget::resizeEvent(QResizeEvent* e) {
  QChartView::resizeEvent(e);
  layoutDecorations();
}

bool ChartWidget::refresh() {
  if (model_.version() == version_) return false;
  redraw();
  return true;
}

void ChartWidget::redraw() {
  version_ = model_.version();
  chart()->setAnimationOptions(QChart::NoAnimation);
  extras_ = extrasSource ? extrasSource() : ChartExtras{};

  // The weeks or months of the stock's days, when chosen.
  aggBars_.clear();
  if (!extras_.bars.empty() && style_.bars == BarKind::Week) aggBars_ = WeeklyBars(extras_.bars);
  if (!extras_.bars.empty() && style_.bars == BarKind::Month) aggBars_ = MonthlyBars(extras_.bars);
  const std::vector<PriceBar>& bars = aggregated() ? aggBars_ : extras_.bars;

  // Each close point's bar, by the day of its label.
  const ChartLine& close = model_.line(ChartModel::owarine);
  pointBars_.assign(close.points.size(), nullptr);
  const bool closeShown = close.active && close.visible;
  bool anyCandle = false;
  volumeShown_ = false;
  std::vector<double> barRow(bars.size(), std::numeric_limits<double>::quiet_NaN());
  if (!bars.empty()) {
    for (std::size_t i = 0; i < close.points.size(); ++i) {
      int day = 0;
      if (!TryParseDate(close.points[i].label, day)) continue;
      auto it = std::lower_bound(bars.begin(), bars.end(), day,
                                 [](const PriceBar& b, int d) { return b.day < d; });
      // On days the bar of the day; on weeks and months the bar holding the
      // day, drawn at its newest drawn day (the points run newest first, and
      // 長期 draws only every few days).
      if (it == bars.end() || (!aggregated() && it->day != day)) continue;
      const std::size_t at = static_cast<std::size_t>(it - bars.begin());
      if (aggregated() && !std::isnan(barRow[at])) continue;
      barRow[at] = close.points[i].x;
      pointBars_[i] = &*it;
      anyCandle = anyCandle || (it->open && it->high && it->low);
      volumeShown_ = volumeShown_ || (it->volume && closeShown);
    }
  }
  candleMode_ = style_.candles && closeShown && anyCandle;

  // The bars' own averages of their closes, on the bars drawn.
  barAverages_.clear();
  if (aggregated()) {
    const bool week = style_.bars == BarKind::Week;
    const int periods[] = {week ? 13 : 12, week ? 26 : 24, week ? 52 : 60};
    const int lines[] = {ChartModel::idouheikinn25, ChartModel::idouheikinn75,
                         ChartModel::idouheikinn200};
    std::vector<double> closes(aggBars_.size(), 0);
    for (std::size_t i = 0; i < aggBars_.size(); ++i) {
      long double c = 0;
      TryStrToFloat(aggBars_[i].close, c);
      closes[i] = static_cast<double>(c);
    }
    for (int k = 0; k < 3; ++k) {
      const int n = periods[k];
      BarAverage a;
      a.name = QStringLiteral("%1%2移動平均線")
                   .arg(n)
                   .arg(week ? QStringLiteral("週") : QStringLiteral("ヶ月"));
      a.line = lines[k];
      // A bar without a close starts the count again.
      double sum = 0;
      std::size_t run = 0;
      for (std::size_t i = 0; i < closes.size(); ++i) {
        if (!(closes[i] > 0)) {
          sum = 0;
          run = 0;
          continue;
        }
        sum += closes[i];
        if (++run > static_cast<std::size_t>(n)) sum -= closes[i - static_cast<std::size_t>(n)];
        if (run >= static_cast<std::size_t>(n) && !std::isnan(barRow[i]))
          a.points.push_back({barRow[i], sum / n});
      }
      // Rows stand newest first: ascending rows run back in time.
      std::reverse(a.points.begin(), a.points.end());
      barAverages_.push_back(std::move(a));
    }
  }
  nameLegend();

  // The term's span: the close's days when it has any (lines that run on
  // past the data, as the zero line, do not stretch it), else every line's.
  double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
  lowerShown_ = false;
  std::map<double, std::string> labels;
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible || l.points.empty()) continue;
    lowerShown_ = lowerShown_ || (lowerLine(pos) && !style_.overlay);
    // The dates come from the lines that set the span.
    if (closeShown && !close.points.empty() && pos != ChartModel::owarine) continue;
    for (const ChartPoint& p : l.points)
      if (!p.label.empty()) labels.try_emplace(labels.end(), p.x, p.label);
    minX = std::min(minX, l.points.front().x);
    maxX = std::max(maxX, l.points.back().x);
  }
  if (!(minX <= maxX)) {
    minX = 0;
    maxX = 1;
  }
  if (minX == maxX) {
    minX -= 1;
    maxX += 1;
  }
  // Half a step between drawn days beyond each end, so the end candles
  // stand whole.
  if (closeShown && close.points.size() > 1) {
    const double pad = 0.5 * (maxX - minX) / static_cast<double>(close.points.size() - 1);
    minX -= pad;
    maxX += pad;
  }
  labels_.clear();
  labels_.reserve(labels.size());
  for (const auto& [x, t] : labels) labels_.push_back({x, QString::fromStdString(t)});

  // A new span is shown whole; the same span keeps its zoom.
  const bool newSpan = minX != fullLo_ || maxX != fullHi_;
  fullLo_ = minX;
  fullHi_ = maxX;
  const auto [lo, hi] = viewRows();
  if (newSpan || lo < fullLo_ || hi > fullHi_) {
    const QSignalBlocker quiet(axisX_);
    axisX_->setRange(fullLo_, fullHi_);
  }
  fitToView();
  // The markers sit on closes: they follow the ranges, never widen them.
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    QScatterSeries* s = markers_[static_cast<std::size_t>(pos - ChartModel::kLines)];
    const bool shown = l.active && l.visible && !l.points.empty();
    QList<QPointF> pts;
    if (shown) {
      pts.reserve(static_cast<qsizetype>(l.points.size()));
      for (const ChartPoint& p : l.points) {
        int day = 0;
        if (aggregated() && TryParseDate(p.label, day)) {
          // The bar holding the day: the first ending on or after it.
          auto it = std::lower_bound(aggBars_.begin(), aggBars_.end(), day,
                                     [](const PriceBar& b, int d) { return b.day < d; });
          const std::size_t at = static_cast<std::size_t>(it - aggBars_.begin());
          if (it != aggBars_.end() && !std::isnan(barRow[at])) {
            long double c = 0;
            TryStrToFloat(it->close, c);
            pts.append(QPointF(barRow[at], static_cast<double>(c)));
            continue;
          }
        }
        pts.append(QPointF(p.x, p.y));
      }
    }
    markerPoints_[static_cast<std::size_t>(pos - ChartModel::kLines)] = pts;
    s->setVisible(shown);
  }
  thinMarkers();
  // A readout under a still pointer follows the new picture.
  if (hovering_)
    hoverAt(hoverPos_);
  else
    hideReadout();
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

void ChartWidget::thinMarkers() {
  // Markers closer than a marker's width would merge into a band: in the
  // model's order, each kept one a width from the last kept.
  const double plotWidth = chart()->plotArea().width();
  const double span = axisX_->max() - axisX_->min();
  const double minRows = plotWidth > 0 && span > 0 ? kMarkerWidth * span / plotWidth : 0;
  for (std::size_t k = 0; k < markers_.size(); ++k) {
    const QList<QPointF>& all = markerPoints_[k];
    QList<QPointF> kept;
    kept.reserve(all.size());
    double last = std::numeric_limits<double>::infinity();
    for (const QPointF& q : all) {  // in the model's order, one way along the days
      if (std::abs(q.x() - last) < minRows) continue;
      kept.append(q);
      last = q.x();
    }
    if (kept != markers_[k]->points()) markers_[k]->replace(kept);
  }
}

bool ChartWidget::lowerLine(int pos) const {
  return pos >= ChartModel::S1 && pos < ChartModel::kLines;
}

bool ChartWidget::lowerInOwnPane() const { return lowerShown_ && !style_.overlay; }

double ChartWidget::lowerValue(double modelValue) const {
  return percentLower() ? modelValue / extras_.percentOf * 100.0 : modelValue;
}

void ChartWidget::setStyle(const ChartStyle& style) {
  if (style == style_) return;
  style_ = style;
  redraw();
  if (onStyleChanged) onStyleChanged(style_);
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
  const double perPixel = (hi - lo) / pane.height();
  const double top = hi + (pane.top() - plot.top()) * perPixel;
  axisY_->setRange(top - plot.height() * perPixel, top);
}

double ChartWidget::xOfRow(double row) const {
  const QRectF plot = chart()->plotArea();
  const double span = axisX_->max() - axisX_->min();
  if (span <= 0) return plot.right();
  return plot.right() - (row - axisX_->min()) / span * plot.width();
}

double ChartWidget::rowOfX(double x) const {
  const QRectF plot = chart()->plotArea();
  if (plot.width() <= 0) return axisX_->min();
  return axisX_->min() + (plot.right() - x) / plot.width() * (axisX_->max() - axisX_->min());
}

double ChartWidget::yOfPrice(double v) const {
  const QRectF plot = chart()->plotArea();
  const double span = axisY_->max() - axisY_->min();
  if (span <= 0) return plot.bottom();
  return plot.bottom() - (v - axisY_->min()) / span * plot.height();
}

double ChartWidget::priceOfY(double y) const {
  const QRectF plot = chart()->plotArea();
  if (plot.height() <= 0) return axisY_->min();
  return axisY_->min() + (plot.bottom() - y) / plot.height() * (axisY_->max() - axisY_->min());
}

std::pair<double, double> ChartWidget::priceRange() const {
  const QRectF pane = pricePane();
  return {priceOfY(pane.bottom()), priceOfY(pane.top())};
}

namespace {
double PaneY(const QRectF& pane, std::pair<double, double> range, double v) {
  const double span = range.second - range.first;
  if (span <= 0) return pane.bottom();
  return pane.bottom() - (v - range.first) / span * pane.height();
}
}  // namespace

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

  // One pane's value axis: grid lines across it, labels at its right.
  const auto axis = [&](const QRectF& pane, double lo, double hi, double step, auto toY,
                        auto text) {
    if (pane.height() < 4 || !(step > 0)) return;
    p.setPen(gridPen);
    const double first = std::ceil(lo / step - 1e-9) * step;
    for (int i = 0;; ++i) {
      const double v = first + i * step;
      if (v > hi + step * 1e-9 || i > 200) break;
      const double y = toY(v);
      if (y < pane.top() - 0.5 || y > pane.bottom() + 0.5) continue;
      p.setPen(gridPen);
      p.drawLine(QPointF(pane.left(), y), QPointF(pane.right(), y));
      p.setPen(Qt::black);
      const QString t = text(v);
      const double ty =
          std::clamp(y + fm.ascent() / 2 - 1, pane.top() + fm.ascent(), pane.bottom());
      p.drawText(QPointF(pane.right() + 5, ty), t);
    }
    p.setPen(framePen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(pane);
  };

  const QRectF price = pricePane();
  const auto [plo, phi] = priceRange();
  const double pstep = RoundStep((phi - plo) / 6);
  axis(
      price, plo, phi, pstep, [this](double v) { return yOfPrice(v); },
      [pstep](double v) { return PriceAxisText(v, pstep); });
  if (volumeShown_)
    axis(
        volumePane(), volumeRange_.first, volumeRange_.second, volumeStep_,
        [this](double v) { return yOfVolume(v); }, [](double v) { return VolumeAxisText(v); });
  if (lowerInOwnPane()) {
    const bool pct = percentLower();
    const double lstep = lowerStep_;
    axis(
        lowerPane(), lowerRange_.first, lowerRange_.second, lstep,
        [this](double v) { return yOfLower(v); },
        [pct, lstep](double v) {
          return PriceAxisText(v, lstep) + (pct ? QStringLiteral("%") : QString());
        });
  }

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

QString ChartWidget::print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("chart1"));
  const QByteArray pdf = qgetenv("TAVRINE_PRINT_PDF");
  if (!pdf.isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromLocal8Bit(pdf));
  } else {
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (def.isNull()) return QStringLiteral("既定のプリンタがありません。");
    printer.setPrinterName(def.printerName());
  }
  printer.setPageOrientation(width() >= height() ? QPageLayout::Landscape : QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(&printer)) return QStringLiteral("印刷を開始できませんでした。");
  // The whole chart on one page, in its on-screen proportions.
  const QRect page = painter.viewport();
  render(&painter, QRectF(page), viewport()->rect(), Qt::KeepAspectRatio);
  if (!painter.end()) {
    printer.abort();
    return QStringLiteral("印刷に失敗しました。");
  }
  return {};
}

QString ChartWidget::saveImage(const QString& path) {
  // The readout belongs to the pointer, not to the picture.
  const bool line = crossLine_->isVisible(), box = readoutBox_->isVisible();
  crossLine_->hide();
  readoutBox_->hide();
  struct Restore {
    QGraphicsItem* a;
    QGraphicsItem* b;
    bool va, vb;
    ~Restore() {
      a->setVisible(va);
      b->setVisible(vb);
    }
  } restore{crossLine_, readoutBox_, line, box};

  const QString cannot = QStringLiteral("ファイル \"%1\" に保存できません。").arg(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return cannot;
  bool ok = false;
  if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    // One page the size of the chart on screen, a point for a pixel.
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("tavrine"));
    writer.setTitle(QStringLiteral("chart1"));
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(
        QPageSize(QSizeF(width(), height()), QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter painter;
    if (painter.begin(&writer)) {
      render(&painter, QRectF(painter.viewport()), viewport()->rect(), Qt::KeepAspectRatio);
      ok = painter.end();
    }
  } else {
    ok = grab().save(&file, "PNG");
  }
  if (!ok) {
    file.cancelWriting();
    return cannot;
  }
  return file.commit() ? QString() : cannot;
}

}  // namespace tavrine::gui
