// The crosshair: its lines, the value and date tags and the readout box.
#include "gui/chart_widget.h"

#include <QChart>
#include <QFontMetrics>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui/chart_parts.h"
#include "gui/style.h"

namespace tavrine::gui {

namespace {

using chart_parts::kLegendSwatch;
using chart_parts::Rgb;

// Readout: the averages listed under the close, in the fixed line order,
// then the trade markers of the day.
constexpr int kReadoutRows = 1 + 5 + ChartModel::kLines + ChartModel::kMarkerLines;
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

}  // namespace

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

}  // namespace tavrine::gui
