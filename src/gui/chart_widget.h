// The chart: draws the engine's ChartModel (thirteen lines in their fixed
// order, then the trade markers as triangles) on a Qt chart with a reversed
// date axis at the bottom, one value axis on the right, a legend on the
// left, rectangle zoom and hit testing.
#pragma once

#include <QChartView>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/chart_model.h"

QT_BEGIN_NAMESPACE
class QLineSeries;
class QScatterSeries;
class QCategoryAxis;
class QValueAxis;
class QGraphicsLineItem;
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
  // Saves the chart at the size shown: a PNG image, or a PDF of one page
  // when the name ends in ".pdf". Empty on success, else the reason.
  QString saveImage(const QString& path);

  // The readout under the pointer: a vertical line at the nearest drawn day
  // and a box with that day's date, close and the averages drawn. Outside
  // the plot area, or with no close line drawn, it is hidden. Reads the
  // chart model only.
  void hoverAt(const QPointF& viewPos);
  void hideReadout();
  bool readoutShown() const;
  // Index into the close line's points of the day under the line (-1: none).
  int readoutIndex() const { return readoutIndex_; }
  // The readout's lines, joined with "\n".
  QString readoutText() const { return readoutLines_.join(QLatin1Char('\n')); }

  QLineSeries* series(int pos) const { return series_[static_cast<std::size_t>(pos)]; }
  // A marker line (ChartModel::buys or sells) as drawn: a point for each of
  // the model's points while the markers are shown, none while hidden.
  QScatterSeries* markers(int pos) const {
    return markers_[static_cast<std::size_t>(pos - ChartModel::kLines)];
  }
  QCategoryAxis* dateAxis() const { return axisX_; }
  QValueAxis* valueAxis() const { return axisY_; }
  // Names of the lines listed in the legend, top to bottom.
  QStringList legendEntries() const;
  QString dateAxisTitle() const;
  QStringList valueAxisTitles() const;

  // Called on a mouse press with the points under the pointer.
  std::function<void(const ChartHits&)> onPress;
  // Called by the left (true: one day back) and right arrow keys.
  std::function<void(bool back)> onStep;

  static constexpr double kHitPixels = 4.0;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void buildReadout();
  void buildLegend();
  void layoutDecorations();
  void relabel();

  const ChartModel& model_;
  std::uint64_t version_ = ~std::uint64_t{0};
  std::vector<QLineSeries*> series_;
  std::vector<QScatterSeries*> markers_;  // buys, sells
  QCategoryAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<std::pair<QGraphicsRectItem*, QGraphicsSimpleTextItem*>> legend_;
  QStringList legendNames_;
  QGraphicsSimpleTextItem* dateTitle_ = nullptr;
  QGraphicsSimpleTextItem* lowTitle_ = nullptr;     // "指数"
  QGraphicsSimpleTextItem* highTitle_ = nullptr;    // "株価"
  std::vector<std::pair<double, QString>> labels_;  // every date label, ascending x
  int labelStep_ = 0;
  bool laying_ = false;

  // Readout items, drawn over the lines.
  QGraphicsLineItem* crossLine_ = nullptr;
  QGraphicsRectItem* readoutBox_ = nullptr;
  std::vector<std::pair<QGraphicsRectItem*, QGraphicsSimpleTextItem*>> readoutRows_;
  QStringList readoutLines_;
  int readoutIndex_ = -1;
  bool hovering_ = false;
  QPointF hoverPos_;
};

}  // namespace tavrine::gui
