// The chart: draws the engine's ChartModel (thirteen lines in their fixed
// order) on a Qt chart with a reversed date axis at the bottom, one value
// axis on the right, a legend on the left, rectangle zoom and hit testing.
#pragma once

#include <QChartView>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "chart/chart_model.h"

QT_BEGIN_NAMESPACE
class QLineSeries;
class QCategoryAxis;
class QValueAxis;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
QT_END_NAMESPACE

namespace tavrine::gui {

using ChartHits = std::vector<std::pair<std::string, int>>;

class ChartWidget : public QChartView {
  Q_OBJECT
 public:
  explicit ChartWidget(const ChartModel& model, QWidget* parent = nullptr);

  // Redraws when the model changed since the last draw; true when it did.
  bool refresh();
  void redraw();

  // The points of the tested lines within a few pixels of a position in the
  // view, as (line name, point index) in the fixed line order.
  ChartHits hitTest(const QPointF& viewPos) const;
  // The view position of a point of a line (for tests and the hit test).
  QPointF pointPosition(int line, int index) const;

  // Prints the chart as one page; empty on success, else the reason.
  QString print();

  QLineSeries* series(int pos) const { return series_[static_cast<std::size_t>(pos)]; }
  QCategoryAxis* dateAxis() const { return axisX_; }
  QValueAxis* valueAxis() const { return axisY_; }
  // Names of the lines listed in the legend, top to bottom.
  QStringList legendEntries() const;
  QString dateAxisTitle() const;
  QStringList valueAxisTitles() const;

  // Called on a mouse press with the points under the pointer.
  std::function<void(const ChartHits&)> onPress;

  static constexpr double kHitPixels = 4.0;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void buildLegend();
  void layoutDecorations();
  void relabel();

  const ChartModel& model_;
  std::uint64_t version_ = ~std::uint64_t{0};
  std::vector<QLineSeries*> series_;
  QCategoryAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<std::pair<QGraphicsRectItem*, QGraphicsSimpleTextItem*>> legend_;
  QStringList legendNames_;
  QGraphicsSimpleTextItem* dateTitle_ = nullptr;
  QGraphicsSimpleTextItem* lowTitle_ = nullptr;   // "指数"
  QGraphicsSimpleTextItem* highTitle_ = nullptr;  // "株価"
  std::vector<std::pair<double, QString>> labels_;  // every date label, ascending x
  int labelStep_ = 0;
  bool laying_ = false;
};

}  // namespace tavrine::gui
