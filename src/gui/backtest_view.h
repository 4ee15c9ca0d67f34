// "検証図": the picture of one backtest. The equity curve as steps at each
// exit day with the buy-and-hold line of the same days, the drawdown below
// it, a one-line summary of the figures above, and the distributions of the
// ratio ranges and the holding days the statistics block holds. Draws the
// engine's figures and distributions when shown; keeps no reference to them.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <string>

#include "gui/tool_window.h"
#include "signals/figures.h"

QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QAbstractSeries;
class QAreaSeries;
class QBarCategoryAxis;
class QBarSet;
class QCheckBox;
class QLogValueAxis;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;
QT_END_NAMESPACE

QT_BEGIN_NAMESPACE
class QBarSeries;
class QGraphicsSimpleTextItem;
QT_END_NAMESPACE

namespace tavrine::gui {

using tavrine::WorkTable;

// One bar chart of counts and the parts that change with its data.
struct BarChart {
  QChartView* view = nullptr;
  QBarSeries* series = nullptr;
  QBarSet* set = nullptr;
  QBarCategoryAxis* axis = nullptr;
  QValueAxis* counts = nullptr;
};

// A multiple as the equity axis reads it: "0.5倍", "10倍", "250倍", "1万倍",
// "3.2億倍", "1兆倍" (three significant digits at most, no exponent).
QString MultipleText(double value);

// The colours of the equity, the buy-and-hold and the drawdown in both
// pictures.
inline const QColor kEquityColor(0x1F, 0x5F, 0xBF);
inline const QColor kHoldColor(0xE0, 0x8A, 0x1E);
inline const QColor kDrawdownColor(0xC8, 0x3C, 0x3C);

// Pieces the backtest picture and the portfolio window draw their charts
// with: an axis in the pictures' fonts and pens, a line of one pen, and a
// day (DaysFromCivil) on a date-time axis.
void StyleAxis(QAbstractAxis* axis);
QLineSeries* Line(const QColor& color, qreal width, Qt::PenStyle style = Qt::SolidLine);
qreal DayMsecs(int day);
// A chart in the pictures' plain style (white, no legend, no animation),
// and a view of it.
QChart* PlainChart();
QChartView* ChartViewOf(QChart* chart, QWidget* parent);
// The axes on the chart's bottom and left, and the series on both, drawn
// in the order given.
void PutOnAxes(QChart* chart, QAbstractAxis* x, QAbstractAxis* y,
               std::initializer_list<QAbstractSeries*> series);

// The drawdown under an equity chart: a filled area of the colour given
// hanging from 0 over a date axis, in percent.
struct DrawdownPane {
  QChartView* view = nullptr;
  QLineSeries *top = nullptr, *base = nullptr;  // the area's edges
  QAreaSeries* area = nullptr;
  QDateTimeAxis* dates = nullptr;
  QValueAxis* values = nullptr;

  // Draws points (x, minus the percent) over first .. last, the value axis
  // down past the deepest percent on round steps.
  void draw(const QList<QPointF>& points, qreal first, qreal last, double deepest) const;
};
DrawdownPane MakeDrawdownPane(const QColor& color, QWidget* parent);

// The equity above a drawdown pane: the equity and buy-and-hold lines of
// the widths given, a date axis whose labels take their room unseen (the
// pane below shows the dates) and a logarithmic axis of multiples. The
// caller puts the lines on the axes it chooses.
struct EquityPane {
  QChartView* view = nullptr;
  QLineSeries *line = nullptr, *hold = nullptr;
  QDateTimeAxis* dates = nullptr;
  QLogValueAxis* log = nullptr;

  // The logarithmic axis over lo .. hi on a base that suits the range.
  void setLogRange(double lo, double hi) const;
};
EquityPane MakeEquityPane(qreal lineWidth, qreal holdWidth, QWidget* parent);
// Date axes over first .. last (DayMsecs), labelled by month beyond three
// years, else by day.
void SetDateRange(std::initializer_list<QDateTimeAxis*> axes, qreal first, qreal last);

class BacktestView : public ToolWindow {
  Q_OBJECT
 public:
  explicit BacktestView(QWidget* parent = nullptr);

  using QWidget::show;
  // Redraws everything from the figures and distributions of one backtest.
  void show(const BacktestFigures& figures, const Distributions& distributions);
  // The same for the statistics block the figures came from.
  void show(const BacktestFigures& figures, const WorkTable& stats) {
    show(figures, ReadDistributions(stats));
  }
  // Saves the whole view as a PNG at the size shown; empty on success, else
  // the reason.
  QString saveImage(const QString& path);

  // What the picture shows, after "検証図" in the heading and the title
  // ("1721 コムシス　S1　入買"); also names the suggested image file.
  void setSubject(const QString& subject, const QString& fileStem);
  QString heading() const;
  // "画像保存": asks for a file, then saves; an error goes to messageHook
  // when set, else to a message box.
  void chooseImage();
  QPushButton* imageButton() const { return imageButton_; }

  // The summary line: 取引数, 勝率, 最終資産倍率, 最大DD, PF, 最長連敗, 保有率, 買持.
  QString summaryText() const;
  // The equity's scale: logarithmic (the default) or linear.
  bool logScale() const;
  void setLogScale(bool on);
  QLineSeries* equitySeries() const { return equity_.line; }
  QLineSeries* holdSeries() const { return equity_.hold; }
  QAreaSeries* drawdownSeries() const { return drawdown_.area; }
  QBarSet* rangeBars() const { return ranges_.set; }
  QBarSet* dayBars() const { return days_.set; }
  QStringList rangeCategories() const;
  QStringList dayCategories() const;
  // The labels the logarithmic equity axis shows, lowest first (empty on the
  // linear scale).
  QStringList equityAxisLabels() const;

 private:
  void showCurves(const BacktestFigures& figures);
  void showRanges(const Distributions& distributions);
  void showDays(const Distributions& distributions);
  void alignPlots();
  void applyEquityScale();
  // Places the logarithmic axis' labels and title beside the equity plot.
  void placeLogLabels();

  QLabel* title_ = nullptr;
  QLabel* summary_ = nullptr;
  QPushButton* imageButton_ = nullptr;
  QString fileStem_;
  EquityPane equity_;
  DrawdownPane drawdown_;
  QLineSeries* even_ = nullptr;  // the level 1, for reading gains and losses
  QValueAxis* equityValues_ = nullptr;
  QCheckBox* logScale_ = nullptr;
  // The logarithmic axis draws no text of its own (its printf labels read
  // 1e+08); these stand in its place while it is shown.
  QList<QGraphicsSimpleTextItem*> logLabels_;
  QGraphicsSimpleTextItem* logTitle_ = nullptr;
  double equityLo_ = 1, equityHi_ = 1;  // the lowest and highest value drawn

  BarChart ranges_;
  BarChart days_;
};

}  // namespace tavrine::gui
