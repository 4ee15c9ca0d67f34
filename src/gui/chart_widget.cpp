// The chart widget: the model and bars taken in, the legend, the pointer,
// wheel and key gestures, the menu, the layout, printing and saving. Its
// axes, painting and crosshair live in chart_axes.cpp, chart_paint.cpp and
// chart_crosshair.cpp.
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

#include "gui/chart_parts.h"
#include "gui/style.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

using chart_parts::kAxisRoom;
using chart_parts::kLegendSwatch;
using chart_parts::Rgb;

// The legend: a column of swatches and names at the upper left.
constexpr int kLegendLeft = 6;
constexpr int kLegendRow = 17;
constexpr int kLegendTop = 8;

// The fewest rows a zoom shows.
constexpr double kMinSpan = 8;
// A press moved less than this (pixels) is a click.
constexpr double kClickSlop = 3;
// Room under the plot area for the date labels.
constexpr int kDateRow = 18;

}  // namespace

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

  // The markers as drawn, on the close's axes. The view paints them
  // (paintMarkers) inside the price pane, which the chart could not clip
  // them to: the series stay transparent.
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    auto* s = new QScatterSeries;
    s->setObjectName(QString::fromStdString(l.name));
    s->setName(QString::fromStdString(l.legend.empty() ? l.name : l.legend));
    s->setOpacity(0);
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

void ChartWidget::thinMarkers() {
  // Markers closer than a marker's width would merge into a band: in the
  // model's order, each kept one a width from the last kept.
  const double plotWidth = chart()->plotArea().width();
  const double span = axisX_->max() - axisX_->min();
  const double minRows =
      plotWidth > 0 && span > 0 ? chart_parts::kMarkerWidth * span / plotWidth : 0;
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

void ChartWidget::setStyle(const ChartStyle& style) {
  if (style == style_) return;
  style_ = style;
  redraw();
  if (onStyleChanged) onStyleChanged(style_);
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
