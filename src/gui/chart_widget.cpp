#include "gui/chart_widget.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QKeyEvent>
#include <QLineSeries>
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
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "chart/navigation.h"
#include "gui/style.h"

namespace tavrine::gui {

namespace {

QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

constexpr int kLegendLeft = 6;
constexpr int kLegendSwatch = 10;
constexpr int kLegendRow = 17;
constexpr int kLegendTop = 8;

// Readout: the averages listed under the close, in the fixed line order,
// then the trade markers of the day.
constexpr int kAverages[] = {1, 2, 3, 4, 5};
constexpr int kReadoutRows = 2 + 5 + ChartModel::kMarkerLines;

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

}  // namespace

ChartWidget::ChartWidget(const ChartModel& model, QWidget* parent)
    : QChartView(parent), model_(model) {
  auto* chart = new QChart;
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->legend()->hide();  // drawn by hand: 10 px swatches, listed in the fixed order
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setAnimationDuration(300);

  axisX_ = new QCategoryAxis;
  axisX_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axisX_->setReverse(true);  // older days to the left, the newest at the right end
  axisX_->setLabelsFont(PixelFont(12));
  axisX_->setGridLinePen(QPen(QColor(0xDD, 0xDD, 0xDD), 1, Qt::DotLine));
  axisX_->setRange(0, 1);

  axisY_ = new QValueAxis;
  axisY_->setLabelsFont(PixelFont(12));
  axisY_->setLabelFormat("%.0f");
  axisY_->setGridLinePen(QPen(QColor(0xC8, 0xC8, 0xC8), 1));
  axisY_->setGridLineVisible(true);
  axisY_->setRange(0, 1);

  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignRight);

  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    auto* s = new QLineSeries;
    s->setObjectName(QString::fromStdString(l.name));
    s->setName(QString::fromStdString(l.legend.empty() ? l.name : l.legend));
    QPen pen(Rgb(l.color));
    pen.setWidth(l.penWidth);
    pen.setCosmetic(true);
    s->setPen(pen);
    s->setPointsVisible(false);
    s->setPointLabelsVisible(false);
    chart->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
    s->setVisible(l.active && l.visible);
    series_.push_back(s);
  }
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
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
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

  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);

  connect(chart, &QChart::plotAreaChanged, this, [this] { layoutDecorations(); });
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
    legendNames_ << name;
    width = std::max(width, fm.horizontalAdvance(name));
  }
  const int legendWidth = kLegendLeft + kLegendSwatch + 6 + width + 10;
  // The left margin holds the legend, the right one the turned axis titles,
  // the bottom one the date axis title under the labels.
  chart()->setMargins(QMargins(legendWidth, 8, 24, 18));
}

void ChartWidget::buildReadout() {
  crossLine_ = new QGraphicsLineItem(chart());
  QPen pen(QColor(0x50, 0x50, 0x50), 1, Qt::DashLine);
  pen.setCosmetic(true);
  crossLine_->setPen(pen);
  crossLine_->setZValue(1000);
  crossLine_->hide();
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

void ChartWidget::hideReadout() {
  crossLine_->hide();
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
  // The nearest day by horizontal distance on screen.
  QLineSeries* s0 = series_[ChartModel::owarine];
  int best = -1;
  double bestD = std::numeric_limits<double>::infinity(), bestX = 0;
  for (std::size_t i = 0; i < close.points.size(); ++i) {
    const double px = chart()->mapToPosition(QPointF(close.points[i].x, close.points[i].y), s0).x();
    const double d = std::abs(px - at.x());
    if (d < bestD) {
      bestD = d;
      best = static_cast<int>(i);
      bestX = px;
    }
  }
  if (best < 0 || bestX < plot.left() - 1 || bestX > plot.right() + 1) {
    hideReadout();
    return;
  }
  const ChartPoint& day = close.points[static_cast<std::size_t>(best)];
  readoutIndex_ = best;

  struct Row {
    QString text;
    QColor color;
    bool swatch;
  };
  std::vector<Row> rows;
  rows.push_back({QString::fromStdString(day.label), Qt::black, false});
  rows.push_back({QStringLiteral("終値 ") + ValueText(day.y), Rgb(close.color), true});
  for (int pos : kAverages) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible) continue;
    // Points stand in ascending x; the average drawn on the same row.
    auto it = std::lower_bound(l.points.begin(), l.points.end(), day.x,
                               [](const ChartPoint& p, double x) { return p.x < x; });
    if (it == l.points.end() || it->x != day.x) continue;
    rows.push_back(
        {ShortName(l.legend.empty() ? l.name : l.legend) + QStringLiteral(" ") + ValueText(it->y),
         Rgb(l.color), true});
  }
  // A trade on this day: "仕掛け" and "手仕舞い" under the averages.
  if (model_.markersVisible()) {
    for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
      const ChartLine& l = model_.line(pos);
      if (!l.active) continue;
      const bool on = std::any_of(l.points.begin(), l.points.end(),
                                  [&](const ChartPoint& p) { return p.x == day.x; });
      if (on) rows.push_back({QString::fromStdString(l.legend), Rgb(l.color), true});
    }
  }

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
    const double indent = rows[i].swatch ? kLegendSwatch + 5 : 0;
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
}

void ChartWidget::mouseMoveEvent(QMouseEvent* e) {
  hoverAt(e->position());
  QChartView::mouseMoveEvent(e);
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
  QChartView::keyPressEvent(e);
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
  for (std::size_t i = 0; i < legend_.size(); ++i) {
    const double y = top + static_cast<double>(i) * kLegendRow;
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
  lowTitle_->setPos(x, plot.bottom());
  highTitle_->setPos(x, plot.top() + hb.width());
  relabel();
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
  chart()->zoomReset();
  double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
  double minY = minX, maxY = -minX;
  std::map<double, std::string> labels;
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    QList<QPointF> pts;
    pts.reserve(static_cast<qsizetype>(l.points.size()));
    for (const ChartPoint& p : l.points) pts.append(QPointF(p.x, p.y));
    series_[pos]->replace(pts);  // one call: appending point by point is far slower
    const bool shown = l.active && l.visible;
    series_[pos]->setVisible(shown);
    if (!shown) continue;
    for (const ChartPoint& p : l.points) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
      if (!p.label.empty()) labels.emplace(p.x, p.label);
    }
  }
  // The markers sit on closes: they follow the ranges, never widen them.
  for (int pos = ChartModel::kLines; pos < ChartModel::kAllLines; ++pos) {
    const ChartLine& l = model_.line(pos);
    QScatterSeries* s = markers_[static_cast<std::size_t>(pos - ChartModel::kLines)];
    const bool shown = l.active && l.visible && !l.points.empty();
    QList<QPointF> pts;
    if (shown) {
      pts.reserve(static_cast<qsizetype>(l.points.size()));
      for (const ChartPoint& p : l.points) pts.append(QPointF(p.x, p.y));
    }
    s->replace(pts);
    s->setVisible(shown);
  }
  if (!(minX <= maxX)) {
    minX = 0;
    maxX = 1;
    minY = 0;
    maxY = 1;
  }
  if (minX == maxX) {
    minX -= 1;
    maxX += 1;
  }
  if (minY == maxY) {
    minY -= 1;
    maxY += 1;
  }
  // Ranges fit the points; the value axis rounds out to whole steps.
  const double step = NiceStep((maxY - minY) / 8);
  axisY_->setTickType(QValueAxis::TicksDynamic);
  axisY_->setTickAnchor(0);
  axisY_->setTickInterval(step);
  axisY_->setRange(std::floor(minY / step) * step, std::ceil(maxY / step) * step);
  axisY_->setLabelFormat(step < 1 ? "%.2f" : "%.0f");
  axisX_->setRange(minX, maxX);

  labels_.clear();
  labels_.reserve(labels.size());
  for (const auto& [x, t] : labels) labels_.push_back({x, QString::fromStdString(t)});
  labelStep_ = 0;
  relabel();
  // A readout under a still pointer follows the new picture.
  if (hovering_)
    hoverAt(hoverPos_);
  else
    hideReadout();
}

void ChartWidget::relabel() {
  const double width = chart()->plotArea().width();
  const int labelWidth =
      QFontMetrics(axisX_->labelsFont()).horizontalAdvance(QStringLiteral("0000/00/00")) + 24;
  const int room = std::max(2, static_cast<int>(width / labelWidth));
  const int n = static_cast<int>(labels_.size());
  const int step = std::max(1, (n + room - 1) / room);
  if (step == labelStep_) return;
  labelStep_ = step;
  for (const QString& l : axisX_->categoriesLabels()) axisX_->remove(l);
  if (n == 0) return;
  axisX_->setStartValue(axisX_->min());
  // Labels count from the newest point so the right end always carries one.
  for (int i = 0; i < n; i += step)
    axisX_->append(labels_[static_cast<std::size_t>(i)].second,
                   labels_[static_cast<std::size_t>(i)].first);
}

QPointF ChartWidget::pointPosition(int line, int index) const {
  const auto& pts = model_.line(line).points;
  if (index < 0 || static_cast<std::size_t>(index) >= pts.size()) return {};
  const ChartPoint& p = pts[static_cast<std::size_t>(index)];
  const QPointF scene =
      chart()->mapToPosition(QPointF(p.x, p.y), series_[static_cast<std::size_t>(line)]);
  return mapFromScene(chart()->mapToScene(scene));
}

ChartHits ChartWidget::hitTest(const QPointF& viewPos) const {
  ChartHits hits;
  const QPointF at = chart()->mapFromScene(mapToScene(viewPos.toPoint()));
  const double limit = kHitPixels * kHitPixels;
  // The engine's pickable lines in its order: a later hit wins there.
  for (int pos : Navigation::PickableLines()) {
    const ChartLine& l = model_.line(pos);
    if (!l.active || !l.visible || l.points.empty()) continue;
    QLineSeries* s = series_[static_cast<std::size_t>(pos)];
    int best = -1;
    double bestD = limit;
    for (std::size_t i = 0; i < l.points.size(); ++i) {
      const QPointF p = chart()->mapToPosition(QPointF(l.points[i].x, l.points[i].y), s);
      const double dx = p.x() - at.x(), dy = p.y() - at.y();
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

void ChartWidget::mousePressEvent(QMouseEvent* e) {
  const ChartHits hits = hitTest(e->position());
  if (onPress) onPress(hits);
  QChartView::mousePressEvent(e);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* e) {
  // The rectangle zoom is animated; redraws are not.
  chart()->setAnimationOptions(QChart::GridAxisAnimations);
  QChartView::mouseReleaseEvent(e);
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
