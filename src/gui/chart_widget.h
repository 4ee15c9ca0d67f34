// The chart: draws the engine's ChartModel (thirteen lines in their fixed
// order, then the trade markers as triangles) over a reversed date axis at
// the bottom, a legend on the left, with wheel zoom, drag to pan, Shift+drag
// rectangle zoom, a crosshair and hit testing. The plot area holds up to
// three panes, top to bottom: the price (candlesticks from the price store's
// bars, or the close line, with the averages), the volume, and the lower
// lines on their own axis. The view paints the panes, the lines and the date
// labels itself; the Qt chart keeps the plot area, the axes' ranges and the
// trade markers. The geometry functions below map days and values to
// positions in chart coordinates (as plotArea()).
#pragma once

#include <QChartView>
#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/chart_bars.h"
#include "gui/chart_style.h"
#include "store/chart_model.h"

QT_BEGIN_NAMESPACE
class QScatterSeries;
class QCategoryAxis;
class QValueAxis;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
QT_END_NAMESPACE

namespace tavrine::gui {

// A candle as drawn, in chart coordinates.
struct ChartCandle {
  int point = 0;  // index into the close line's points
  double open = 0, high = 0, low = 0, close = 0;
  bool up = true;  // 陽線: the close at or above the open
  QRectF body;     // open to close, at least one pixel high
  QLineF wick;     // high to low through the middle of the body
};

// A price axis label: round steps with thousands separators ("12,500"),
// decimals only for steps under one yen.
QString PriceAxisText(double v, double step);
// A volume axis label in 万 and 億 ("3.5万", "12億", "800").
QString VolumeAxisText(double v);
// A round step near `rough` (1, 2, 2.5 or 5 times a power of ten).
double RoundStep(double rough);

// A value axis label: its value, its grid line's y and its text's top, in
// pixels.
struct AxisTick {
  double value = 0, y = 0, textTop = 0;
};
struct AxisScale {
  double step = 0;
  std::vector<AxisTick> ticks;  // ascending values, bottom to top
};
// The labels of a value axis showing lo at `bottom` and hi at `top`: the
// multiples of a round step, from about `ticks` steps upwards, at the first
// step whose texts (each `textHeight` high, centred on its value and kept
// inside the pane) stand at least `minGap` apart. A pane too low for one
// text gets none. Without `labelLow` the value lo itself gets no label (the
// volume's 0), so that a low pane keeps a label that says something.
AxisScale PickAxisTicks(double lo, double hi, double top, double bottom, int ticks,
                        double textHeight, double minGap, bool labelLow = true);

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

  // The crosshair under the pointer: a vertical line at the nearest drawn
  // day, a horizontal one at the pointer, the value at the pointer on its
  // pane's axis, the day on the date axis, and a box with that day's date,
  // open, high, low, close and volume (as far as the day has them), the
  // averages and the lower lines drawn. Outside the plot area, or with no
  // close line drawn, it is hidden. Reads the chart model and bars only.
  void hoverAt(const QPointF& viewPos);
  void hideReadout();
  bool readoutShown() const;
  // Index into the close line's points of the day under the line (-1: none).
  int readoutIndex() const { return readoutIndex_; }
  // The readout's lines, joined with "\n".
  QString readoutText() const { return readoutLines_.join(QLatin1Char('\n')); }
  // The crosshair's tags: the value on the value axis, the day on the date axis.
  QString valueTagText() const;
  QString dateTagText() const;
  // The horizontal line's y in chart coordinates (NaN while hidden).
  double crossY() const;

  // The days shown, as rows of the date axis (lower: newer). Zoom and pan
  // move them inside the term's span; a new span from the model shows it whole.
  std::pair<double, double> viewRows() const;
  std::pair<double, double> fullRows() const { return {fullLo_, fullHi_}; }
  void setView(double lo, double hi);
  void resetView() { setView(fullLo_, fullHi_); }
  // One wheel step's zoom around a view x (positive: in), as the wheel does.
  void zoomAt(double viewX, double steps);

  // How the chart draws; a change redraws and is reported to onStyleChanged.
  const ChartStyle& style() const { return style_; }
  void setStyle(const ChartStyle& style);
  std::function<void(const ChartStyle&)> onStyleChanged;
  // Read on every redraw: the charted stock's bars and the lower lines' unit.
  std::function<ChartExtras()> extrasSource;

  // Geometry, in chart coordinates. The panes share the plot area's width;
  // the volume and lower panes are empty rectangles when not drawn.
  QRectF pricePane() const;
  QRectF volumePane() const;
  QRectF lowerPane() const;
  // The date axis: a row (a point's x) to x and back; older rows to the left.
  double xOfRow(double row) const;
  double rowOfX(double x) const;
  // Each pane's value to y and back. Lower values are in the shown unit
  // (percent for the stochastics, see lowerValue).
  double yOfPrice(double v) const;
  double priceOfY(double y) const;
  double yOfVolume(double v) const;
  double yOfLower(double v) const;
  // A lower line's model value in the unit its axis shows.
  double lowerValue(double modelValue) const;
  // The value ranges the panes show, bottom to top.
  std::pair<double, double> priceRange() const;
  std::pair<double, double> volumeRange() const { return volumeRange_; }
  std::pair<double, double> lowerRange() const { return lowerRange_; }
  // True while the lower lines have their own pane (not 重ね表示).
  bool lowerInOwnPane() const;
  bool volumeShown() const { return volumeShown_; }
  bool percentLower() const { return extras_.percentOf > 0; }
  // The candles as drawn now (none while the close line is chosen), and the
  // close points drawn as a dot for lack of a candle.
  std::vector<ChartCandle> candles() const;
  std::vector<int> closeOnlyPoints() const;
  // True while weeks or months are drawn (足種 週足, 月足, and the stock has
  // bars): a close point carries a bar only on its week's or month's last
  // day, the day averages give way to the bars' own (13, 26, 52 weeks; 12,
  // 24, 60 months) and each trade marker stands on the bar holding its day.
  bool aggregated() const { return !aggBars_.empty(); }
  // The bars' averages as drawn: the legend's name and the points in chart
  // coordinates (none while days are drawn).
  std::vector<std::pair<QString, QPolygonF>> barAverages() const;
  // The bar of a close point, null when the price store has none for it.
  const PriceBar* barOf(int closePoint) const;
  // The volume bar of a close point (empty when the day has no volume).
  QRectF volumeBar(int closePoint) const;

  // A line as the view paints it: every point in chart coordinates, on its
  // pane's axis; empty while the line is not drawn (hidden, without points,
  // or the close under candles).
  QPolygonF linePath(int pos) const;
  // A pane's value axis labels as drawn, bottom to top, each with its
  // rectangle in chart coordinates (none for a pane not drawn).
  enum class Pane { Price, Volume, Lower };
  std::vector<std::pair<QRectF, QString>> axisLabels(Pane pane) const {
    return axisLabels_[static_cast<std::size_t>(pane)];
  }
  // The date labels as drawn, left to right, each with its rectangle in
  // chart coordinates.
  std::vector<std::pair<QRectF, QString>> dateLabels() const { return dateLabels_; }
  // A marker line (ChartModel::buys or sells) as drawn: the model's points
  // while the markers are shown (on weeks and months on the bar holding
  // their day), none while hidden; where they stand closer than a marker's
  // width on screen, only the newest of them. The view paints them, inside
  // the price pane only.
  QScatterSeries* markers(int pos) const {
    return markers_[static_cast<std::size_t>(pos - ChartModel::kLines)];
  }
  QCategoryAxis* dateAxis() const { return axisX_; }
  // The Qt price axis: it spans the whole plot area so that the price range
  // falls in the price pane; the panes' labels are drawn by the view.
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
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void drawBackground(QPainter* p, const QRectF& rect) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void buildReadout();
  void buildLegend();
  void layoutDecorations();
  void fitPriceAxis();
  void fitToView();
  bool linePainted(int pos) const;
  void paintLines(QPainter& p) const;
  void paintDates(QPainter& p);
  std::pair<std::size_t, std::size_t> visibleSpan(const ChartLine& l) const;
  void paintPanes(QPainter& p);
  void paintMarkers(QPainter& p) const;
  double candleWidth() const;
  QRectF volumeBar(int closePoint, double width) const;
  bool lowerLine(int pos) const;

  const ChartModel& model_;
  ChartStyle style_;
  ChartExtras extras_;
  std::vector<const PriceBar*> pointBars_;  // per close point, null without a bar
  std::vector<PriceBar> aggBars_;           // the weeks or months, oldest first
  struct BarAverage {
    QString name;
    int line;                                       // the day average whose colour it takes
    std::vector<std::pair<double, double>> points;  // (row, value), ascending row
  };
  std::vector<BarAverage> barAverages_;
  bool dayAverage(int pos) const { return aggregated() && pos >= 1 && pos <= 5; }
  void nameLegend();
  bool candleMode_ = false;  // candles chosen and the stock has some
  bool volumeShown_ = false;
  bool lowerShown_ = false;  // lower lines with points, out of 重ね表示
  std::pair<double, double> priceRange_{0, 1}, volumeRange_{0, 1}, lowerRange_{0, 1};
  double priceStep_ = 1, volumeStep_ = 1, lowerStep_ = 1;
  std::uint64_t version_ = ~std::uint64_t{0};
  std::vector<QScatterSeries*> markers_;         // buys, sells
  std::vector<QList<QPointF>> markerPoints_{2};  // every marker, before thinning
  void thinMarkers();
  QCategoryAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::vector<std::pair<QGraphicsRectItem*, QGraphicsSimpleTextItem*>> legend_;
  QStringList legendNames_;
  std::vector<int> legendLines_;  // the line of each legend entry
  QGraphicsSimpleTextItem* dateTitle_ = nullptr;
  QGraphicsSimpleTextItem* lowTitle_ = nullptr;            // "指数"
  QGraphicsSimpleTextItem* highTitle_ = nullptr;           // "株価"
  std::vector<std::pair<double, QString>> labels_;         // every date label, ascending x
  std::vector<std::pair<QRectF, QString>> dateLabels_;     // as drawn
  std::vector<double> dateGrid_;                           // x of each drawn label
  std::vector<std::pair<QRectF, QString>> axisLabels_[3];  // as drawn, by Pane
  bool laying_ = false;
  bool fitting_ = false;
  double fullLo_ = 0, fullHi_ = 1;  // the term's span in rows

  // Pointer gestures: a press, then a pan, a rectangle or (no move) a click.
  enum class Gesture { None, Press, Pan, Rect };
  Gesture gesture_ = Gesture::None;
  QPointF pressAt_;
  std::pair<double, double> pressView_;
  QGraphicsRectItem* rubber_ = nullptr;

  // Readout items, drawn over the lines.
  QGraphicsLineItem* crossLine_ = nullptr;
  QGraphicsLineItem* crossH_ = nullptr;
  QGraphicsRectItem* valueTag_ = nullptr;
  QGraphicsSimpleTextItem* valueTagText_ = nullptr;
  QGraphicsRectItem* dateTag_ = nullptr;
  QGraphicsSimpleTextItem* dateTagText_ = nullptr;
  QGraphicsRectItem* readoutBox_ = nullptr;
  std::vector<std::pair<QGraphicsRectItem*, QGraphicsSimpleTextItem*>> readoutRows_;
  QStringList readoutLines_;
  int readoutIndex_ = -1;
  bool hovering_ = false;
  QPointF hoverPos_;
};

}  // namespace tavrine::gui
