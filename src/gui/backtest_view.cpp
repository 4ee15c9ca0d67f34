#include "gui/backtest_view.h"
#include "gui/file_dialogs.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDate>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "gui/style.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine::gui {

QString MultipleText(double value) {
  struct Unit {
    double size;
    const char* name;
  };
  static const Unit units[] = {{1e12, "兆倍"}, {1e8, "億倍"}, {1e4, "万倍"}, {1, "倍"}};
  for (const Unit& u : units) {
    const double n = value / u.size;
    // 9999.6万 rounds to 1億: the next unit up takes it.
    if (u.size > 1 && n < 1 - 5e-4) continue;
    QString digits = QString::number(n, 'f', n >= 100 ? 0 : n >= 10 ? 1 : 2);
    if (digits.contains(QLatin1Char('.'))) {
      while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
      if (digits.endsWith(QLatin1Char('.'))) digits.chop(1);
    }
    return digits + QString::fromUtf8(u.name);
  }
  return {};
}

// The charts' own margin around everything they draw.
constexpr int kChartMargin = 4;

QChart* PlainChart() {
  auto* chart = new QChart;
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(kChartMargin, kChartMargin, kChartMargin, kChartMargin));
  chart->legend()->hide();
  chart->setTitleFont(PixelFont(13, true));
  return chart;
}

void PutOnAxes(QChart* chart, QAbstractAxis* x, QAbstractAxis* y,
               std::initializer_list<QAbstractSeries*> series) {
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
  }
}

QChartView* ChartViewOf(QChart* chart, QWidget* parent) {
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setFrameShape(QFrame::NoFrame);
  return view;
}

DrawdownPane MakeDrawdownPane(const QColor& color, QWidget* parent) {
  DrawdownPane p;
  QChart* chart = PlainChart();
  p.top = new QLineSeries;
  p.base = new QLineSeries;
  p.area = new QAreaSeries(p.top, p.base);
  QColor fill = color;
  fill.setAlpha(110);
  p.area->setBrush(fill);
  QPen edge(color, 1);
  edge.setCosmetic(true);
  p.area->setPen(edge);
  p.dates = new QDateTimeAxis;
  p.values = new QValueAxis;
  StyleAxis(p.dates);
  StyleAxis(p.values);
  p.values->setTitleText(QStringLiteral("DD %"));
  PutOnAxes(chart, p.dates, p.values, {p.area});
  p.view = ChartViewOf(chart, parent);
  return p;
}

void DrawdownPane::draw(const QList<QPointF>& points, qreal first, qreal last,
                        double deepest) const {
  // A low chart: 0, the middle and the bottom are enough.
  top->replace(points);
  base->replace(QList<QPointF>{{first, 0}, {last, 0}});
  const double deep = std::max(1.0, deepest * 1.05);
  const double step = NiceStep(deep / 2);
  const double bottom = std::ceil(deep / step) * step;
  values->setRange(-bottom, 0);
  values->setTickCount(static_cast<int>(std::lround(bottom / step)) + 1);
  values->setLabelFormat(step >= 1 ? QStringLiteral("%.0f") : QStringLiteral("%.1f"));
}

void SetDateRange(std::initializer_list<QDateTimeAxis*> axes, qreal first, qreal last) {
  const QDateTime from = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first));
  const QDateTime to = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last));
  const QString format =
      from.daysTo(to) > 3 * 365 ? QStringLiteral("yyyy/MM") : QStringLiteral("yyyy/MM/dd");
  for (QDateTimeAxis* axis : axes) {
    axis->setRange(from, to);
    axis->setFormat(format);
    axis->setTickCount(7);
  }
}

namespace {

const QColor kEvenColor(0x90, 0x90, 0x90);
const QColor kGainColor(0x3A, 0x9A, 0x5B);
const QColor kDaysColor(0x5B, 0x7D, 0xA8);

// Holding days are shown one bar a day up to this many bars, in wider
// ranges beyond: more bars leave too little room for their captions.
constexpr int kMaxDayBars = 10;

// A count axis from 0 with whole-number steps.
void CountRange(QValueAxis* axis, double highest) {
  const double step = std::max(1.0, NiceStep(std::max(1.0, highest) / 4));
  const double top = std::ceil(std::max(1.0, highest) * 1.15 / step) * step;
  axis->setRange(0, top);
  axis->setTickCount(static_cast<int>(std::lround(top / step)) + 1);
  axis->setLabelFormat(QStringLiteral("%d"));
}

// A value axis covering lo .. hi on whole steps, about five of them.
void ValueRange(QValueAxis* axis, double lo, double hi) {
  if (!(hi > lo)) {
    lo -= 0.5;
    hi += 0.5;
  }
  const double step = NiceStep((hi - lo) / 5);
  lo = std::floor(lo / step) * step;
  hi = std::ceil(hi / step) * step;
  axis->setRange(lo, hi);
  axis->setTickCount(static_cast<int>(std::lround((hi - lo) / step)) + 1);
  const int decimals = step >= 1 ? 0 : std::min(4, static_cast<int>(std::ceil(-std::log10(step))));
  axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f"));
}

// Width of the widest label a value axis draws at its ticks.
qreal WidestLabel(QValueAxis* axis) {
  const QFontMetricsF fm(axis->labelsFont());
  const QByteArray format = axis->labelFormat().toLatin1();
  const int ticks = std::max(2, axis->tickCount());
  qreal widest = 0;
  for (int i = 0; i < ticks; ++i) {
    const double v = axis->min() + (axis->max() - axis->min()) * i / (ticks - 1);
    widest = std::max(widest, fm.horizontalAdvance(QString::asprintf(format.constData(), v)));
  }
  return widest;
}

// Width of the labels beside a logarithmic axis at the powers of its
// base.
qreal WidestLabel(QLogValueAxis* axis) {
  const QFontMetricsF fm(axis->labelsFont());
  const double b = std::log(axis->base());
  qreal widest = 0;
  for (double k = std::ceil(std::log(axis->min()) / b - 1e-9);
       k <= std::log(axis->max()) / b + 1e-9; ++k)
    widest = std::max(widest, fm.horizontalAdvance(MultipleText(std::exp(k * b))));
  return widest;
}

// The base of a logarithmic axis over lo .. hi: the smallest of a few round
// ones that draws at most eight labels.
double LogBase(double lo, double hi) {
  for (const double base : {1.1, 1.2, 1.5, 2.0, 3.0, 10.0, 100.0})
    if (std::log(hi / lo) / std::log(base) <= 8) return base;
  return 1000;
}

// The figures in the engine's forms, as the scan and its CSV show them.
QString Fixed(const std::optional<double>& v, int decimals) {
  return QString::fromStdString(RoundedText(v, decimals));
}

QString Percent(const std::optional<double>& v) { return QString::fromStdString(PercentText(v)); }

QString Whole(const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); }

// A bar chart of counts: one bar set with its counts above the bars,
// categories below, a count axis from 0.
BarChart MakeBars(const QString& title, const QColor& color, qreal barWidth, QWidget* parent) {
  BarChart b;
  QChart* chart = PlainChart();
  chart->setTitle(title);
  b.set = new QBarSet(QStringLiteral("件数"));
  b.set->setColor(color);
  b.set->setBorderColor(color.darker(130));
  b.set->setLabelFont(PixelFont(11));
  b.set->setLabelColor(QColor(0x30, 0x30, 0x30));
  b.series = new QBarSeries;
  b.series->append(b.set);
  b.series->setBarWidth(barWidth);
  b.series->setLabelsVisible(true);
  b.series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
  b.axis = new QBarCategoryAxis;
  b.counts = new QValueAxis;
  StyleAxis(b.axis);
  StyleAxis(b.counts);
  b.axis->setGridLineVisible(false);
  chart->addSeries(b.series);
  chart->addAxis(b.axis, Qt::AlignBottom);
  chart->addAxis(b.counts, Qt::AlignLeft);
  b.series->attachAxis(b.axis);
  b.series->attachAxis(b.counts);
  b.view = ChartViewOf(chart, parent);
  return b;
}

void FillBars(BarChart& b, const QStringList& captions, const QList<qreal>& counts) {
  b.axis->setCategories(captions);
  b.set->remove(0, b.set->count());
  b.set->append(counts);
  CountRange(b.counts, counts.isEmpty() ? 0 : *std::max_element(counts.begin(), counts.end()));
}

}  // namespace

EquityPane MakeEquityPane(qreal lineWidth, qreal holdWidth, QWidget* parent) {
  EquityPane p;
  p.view = ChartViewOf(PlainChart(), parent);
  p.line = Line(kEquityColor, lineWidth, Qt::SolidLine);
  p.hold = Line(kHoldColor, holdWidth, Qt::DashLine);
  p.dates = new QDateTimeAxis;
  StyleAxis(p.dates);
  // Both plots end at the same x when the dates take the same room.
  p.dates->setLabelsColor(Qt::transparent);
  p.log = new QLogValueAxis(p.view);
  StyleAxis(p.log);
  p.log->setTitleText(QStringLiteral("資産倍率"));
  p.log->setLabelFormat(QStringLiteral("%.3g"));
  p.log->setMinorTickCount(0);
  return p;
}

void EquityPane::setLogRange(double lo, double hi) const {
  log->setBase(LogBase(lo, hi));
  log->setRange(lo, hi);
}

void StyleAxis(QAbstractAxis* axis) {
  axis->setLabelsFont(PixelFont(11));
  axis->setTitleFont(PixelFont(11));
  axis->setGridLinePen(QPen(QColor(0xE2, 0xE2, 0xE2), 1));
  axis->setLinePen(QPen(QColor(0xA0, 0xA0, 0xA0), 1));
}

QLineSeries* Line(const QColor& color, qreal width, Qt::PenStyle style) {
  auto* s = new QLineSeries;
  QPen pen(color, width, style);
  pen.setCosmetic(true);
  s->setPen(pen);
  return s;
}

qreal DayMsecs(int day) {
  return static_cast<qreal>(QDate(1899, 12, 30).addDays(day).startOfDay().toMSecsSinceEpoch());
}

BacktestView::BacktestView(QWidget* parent)
    : ToolWindow(QStringLiteral("BacktestView"), QStringLiteral("検証図"), QStringLiteral("検証図"),
                 {920, 700}, parent) {
  Fill(this, QColor(0xF7, 0xF7, 0xF4));
  title_ = headingLabel();
  title_->setObjectName(QStringLiteral("BacktestHeading"));

  // The figures in one line, and the key of the curves below.
  QBoxLayout* sv = addControlStrip(QBoxLayout::TopToBottom, 10, 4);
  QWidget* strip = sv->parentWidget();
  summary_ = new QLabel(strip);
  summary_->setObjectName(QStringLiteral("BacktestSummary"));
  summary_->setFont(PixelFont(13, true));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summaryRow = new QHBoxLayout;
  summaryRow->setSpacing(8);
  summaryRow->addWidget(summary_, 1);
  // A strategy that multiplies its capital a thousandfold leaves a linear
  // scale nothing to show of the early years, nor of buying and holding.
  logScale_ = new QCheckBox(QStringLiteral("対数目盛"), strip);
  logScale_->setObjectName(QStringLiteral("BacktestLogScale"));
  logScale_->setChecked(true);
  logScale_->setToolTip(QStringLiteral("資産倍率を対数目盛で描きます（同じ比率の増減が同じ高さ）"));
  connect(logScale_, &QCheckBox::toggled, this, [this] {
    applyEquityScale();
    alignPlots();
  });
  summaryRow->addWidget(logScale_, 0, Qt::AlignVCenter);
  imageButton_ = new QPushButton(QStringLiteral("画像保存"), strip);
  imageButton_->setObjectName(QStringLiteral("BacktestImage"));
  imageButton_->setFixedSize(78, 26);
  imageButton_->setToolTip(QStringLiteral("検証図を表示中の大きさでPNGに保存します"));
  // Left out of the saved picture, its room kept so nothing moves.
  QSizePolicy keep = imageButton_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  imageButton_->setSizePolicy(keep);
  summaryRow->addWidget(imageButton_, 0, Qt::AlignTop);
  sv->addLayout(summaryRow);
  connect(imageButton_, &QPushButton::clicked, this, [this] { chooseImage(); });
  auto* key = new QLabel(strip);
  key->setFont(PixelFont(12));
  key->setTextFormat(Qt::RichText);
  key->setText(
      QStringLiteral("<span style='color:%1'>━━</span> 資産倍率（検証）　"
                     "<span style='color:%2'>╍╍</span> 買持（最古の買い値から）　"
                     "<span style='color:%3'>┈┈</span> 1.0　"
                     "<span style='color:%4'>■</span> ドローダウン")
          .arg(kEquityColor.name(), kHoldColor.name(), kEvenColor.name(), kDrawdownColor.name()));
  sv->addWidget(key);

  // Equity and buy and hold over the level 1, on the linear scale first:
  // the logarithmic one is put in its place when chosen.
  equity_ = MakeEquityPane(2, 1.5, this);
  QChart* equityChart = equity_.view->chart();
  equity_.line->setName(QStringLiteral("資産倍率"));
  equity_.hold->setName(QStringLiteral("買持"));
  even_ = Line(kEvenColor, 1, Qt::DotLine);
  equityValues_ = new QValueAxis;
  StyleAxis(equityValues_);
  equityValues_->setTitleText(QStringLiteral("資産倍率"));
  equity_.log->setLabelsVisible(false);
  equity_.log->setTitleVisible(false);
  PutOnAxes(equityChart, equity_.dates, equityValues_, {even_, equity_.hold, equity_.line});
  equity_.view->setObjectName(QStringLiteral("BacktestEquity"));
  logTitle_ = new QGraphicsSimpleTextItem(QStringLiteral("資産倍率"), equityChart);
  logTitle_->setFont(PixelFont(11));
  logTitle_->setRotation(-90);
  logTitle_->hide();
  connect(equityChart, &QChart::plotAreaChanged, this, [this] { placeLogLabels(); });

  // Drawdown as a filled area hanging from 0.
  drawdown_ = MakeDrawdownPane(kDrawdownColor, this);
  drawdown_.area->setName(QStringLiteral("ドローダウン"));
  drawdown_.view->setObjectName(QStringLiteral("BacktestDrawdown"));
  connect(drawdown_.view->chart(), &QChart::plotAreaChanged, this, [this] { placeLogLabels(); });

  // The ratio ranges: losing ranges in red, the others in green.
  ranges_ = MakeBars(QStringLiteral("売値/買値の分布（件）"), kGainColor, 0.7, this);
  ranges_.set->setSelectedColor(kDrawdownColor);
  ranges_.view->setObjectName(QStringLiteral("BacktestRanges"));
  // The holding days.
  days_ = MakeBars(QStringLiteral("保有日数（日）の分布（件）"), kDaysColor, 0.8, this);
  days_.view->setObjectName(QStringLiteral("BacktestDays"));

  auto* charts = new QVBoxLayout;
  charts->setContentsMargins(6, 6, 6, 6);
  charts->setSpacing(4);
  charts->addWidget(equity_.view, 9);
  charts->addWidget(drawdown_.view, 4);
  auto* bars = new QHBoxLayout;
  bars->setSpacing(6);
  bars->addWidget(ranges_.view, 1);
  bars->addWidget(days_.view, 1);
  charts->addLayout(bars, 6);
  root()->addLayout(charts, 1);

  show(BacktestFigures{}, Distributions{});
}

void BacktestView::show(const BacktestFigures& figures, const Distributions& distributions) {
  const auto& f = figures;
  summary_->setText(
      QStringLiteral(
          "取引数 %1　勝率 %2　最終資産倍率 %3　最大DD %4　PF %5　最長連敗 %6　保有率 %7　買持 %8")
          .arg(QString::number(f.trades), Percent(f.winRate), Fixed(f.equity, 3),
               Percent(f.maxDrawdown), Fixed(f.profitFactor, 2), Whole(f.longestLosingStreak),
               Percent(f.exposure), Fixed(f.buyAndHold, 3)));
  showCurves(figures);
  showRanges(distributions);
  showDays(distributions);
  alignPlots();
}

void BacktestView::showCurves(const BacktestFigures& figures) {
  QList<QPointF> equity, hold, drawdown;
  double lo = 1, hi = 1, deepest = 0;
  qreal first = 0, last = 0;
  if (figures.trades > 0 && static_cast<int>(figures.curve.size()) == figures.trades) {
    // The curve starts at 1 on the oldest entry day; steps at each exit.
    first = last = DayMsecs(figures.startDay.value_or(0));
    const bool holdShown = std::any_of(figures.curve.begin(), figures.curve.end(),
                                       [](const EquityPoint& p) { return p.hold.has_value(); });
    equity.append({first, 1});
    drawdown.append({first, 0});
    if (holdShown) hold.append({first, 1});
    double prevEquity = 1, prevDrawdown = 0;
    for (const EquityPoint& p : figures.curve) {
      int day = 0;
      if (TryParseDate(p.exitDate, day)) {
        const qreal x = DayMsecs(day);
        equity.append({x, prevEquity});
        equity.append({x, p.equity});
        drawdown.append({x, -prevDrawdown * 100});
        drawdown.append({x, -p.drawdown * 100});
        if (p.hold) {
          hold.append({x, *p.hold});
          lo = std::min(lo, *p.hold);
          hi = std::max(hi, *p.hold);
        }
        first = std::min(first, x);
        last = std::max(last, x);
      }
      prevEquity = p.equity;
      prevDrawdown = p.drawdown;
      lo = std::min(lo, p.equity);
      hi = std::max(hi, p.equity);
      deepest = std::max(deepest, p.drawdown * 100);
    }
  } else {
    const int today = DaysFromCivil(QDate::currentDate().year(), QDate::currentDate().month(),
                                    QDate::currentDate().day());
    first = DayMsecs(today - 365);
    last = DayMsecs(today);
  }
  if (last <= first) {
    first -= 86400000.0;
    last += 86400000.0;
  }

  equity_.line->replace(equity);
  equity_.hold->replace(hold);
  even_->replace(QList<QPointF>{{first, 1}, {last, 1}});
  SetDateRange({equity_.dates, drawdown_.dates}, first, last);
  equityLo_ = lo;
  equityHi_ = hi;
  applyEquityScale();
  drawdown_.draw(drawdown, first, last, deepest);
}

void BacktestView::showRanges(const Distributions& distributions) {
  QStringList captions;
  QList<qreal> counts;
  for (const Distributions::Range& range : distributions.ranges) {
    QString caption = QString::fromStdString(range.caption).trimmed();
    if (caption.isEmpty() || captions.contains(caption))
      caption = QStringLiteral("範囲%1").arg(captions.size() + 1);
    // "0.95-1.00" on two lines: the axis cuts captions wider than their bar.
    const int dash = caption.indexOf(QLatin1Char('-'), 1);
    if (dash > 0 && dash < caption.size() - 1) caption.insert(dash, QStringLiteral("<br>"));
    captions << caption;
    counts << range.count;
  }
  FillBars(ranges_, captions, counts);
  // The first two ranges (up to 1.00) hold the losing and even trades.
  ranges_.set->deselectAllBars();
  ranges_.set->selectBars({0, 1});
}

void BacktestView::showDays(const Distributions& distributions) {
  QStringList captions;
  QList<qreal> counts;
  for (const DayBin& bin : BinHeldDays(distributions.heldDays, kMaxDayBars)) {
    // A range on two lines: the axis cuts captions wider than their bar.
    captions << (bin.from == bin.to ? QString::number(bin.from)
                                    : QStringLiteral("%1<br>-%2").arg(bin.from).arg(bin.to));
    counts << bin.count;
  }
  if (captions.isEmpty()) {
    captions << QStringLiteral("-");
    counts << 0;
  }
  FillBars(days_, captions, counts);
  // Many narrow bars: the counts above them would overlap.
  days_.series->setLabelsVisible(counts.size() <= 14);
}

void BacktestView::applyEquityScale() {
  // Logarithmic as chosen, while every value is above zero (a trade that
  // lost everything can only be drawn on the linear scale).
  const bool log = logScale_->isChecked() && equityLo_ > 0;
  QAbstractAxis* shown = log ? static_cast<QAbstractAxis*>(equity_.log) : equityValues_;
  QAbstractAxis* hidden = log ? static_cast<QAbstractAxis*>(equityValues_) : equity_.log;
  QChart* chart = equity_.view->chart();
  if (!chart->axes(Qt::Vertical).contains(shown)) {
    for (QLineSeries* s : {even_, equity_.hold, equity_.line}) s->detachAxis(hidden);
    chart->removeAxis(hidden);
    hidden->setParent(this);
    chart->addAxis(shown, Qt::AlignLeft);
    for (QLineSeries* s : {even_, equity_.hold, equity_.line}) s->attachAxis(shown);
  }
  if (log) {
    equity_.setLogRange(equityLo_ / 1.1, equityHi_ * 1.1);
  } else {
    // From the data, never below zero.
    const double pad = (equityHi_ - equityLo_) * 0.05;
    ValueRange(equityValues_, std::max(0.0, equityLo_ - pad), equityHi_ + pad);
  }
}

void BacktestView::placeLogLabels() {
  QChart* chart = equity_.view->chart();
  const bool log = chart->axes(Qt::Vertical).contains(equity_.log);
  const double lo = equity_.log->min(), hi = equity_.log->max();
  const double b = std::log(equity_.log->base());
  std::vector<double> ticks;
  if (log && lo > 0 && hi > lo && b > 0)
    for (double k = std::ceil(std::log(lo) / b - 1e-9); k <= std::log(hi) / b + 1e-9; ++k)
      ticks.push_back(std::exp(k * b));
  while (logLabels_.size() > static_cast<qsizetype>(ticks.size())) delete logLabels_.takeLast();
  while (logLabels_.size() < static_cast<qsizetype>(ticks.size())) {
    auto* item = new QGraphicsSimpleTextItem(chart);
    item->setFont(PixelFont(11));
    item->setBrush(equityValues_->labelsBrush());
    logLabels_.push_back(item);
  }
  logTitle_->setVisible(log);
  if (!log) return;
  // The room estimated for the labels is set right by what the layout made
  // of it: the plot starts where the drawdown plot below starts.
  const qreal off =
      drawdown_.view ? chart->plotArea().left() - drawdown_.view->chart()->plotArea().left() : 0;
  if (std::abs(off) >= 1 && drawdown_.view->chart()->plotArea().width() > 0) {
    QMargins m = chart->margins();
    const int left = std::max(0, m.left() - static_cast<int>(std::lround(off)));
    if (left != m.left()) {
      m.setLeft(left);
      chart->setMargins(m);  // the plot area moves, and this runs again
      return;
    }
  }
  const QRectF plot = chart->plotArea();
  const double span = std::log(hi) - std::log(lo);
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    QGraphicsSimpleTextItem* item = logLabels_[static_cast<qsizetype>(i)];
    item->setText(MultipleText(ticks[i]));
    const QRectF r = item->boundingRect();
    const double y = plot.bottom() - (std::log(ticks[i]) - std::log(lo)) / span * plot.height();
    item->setPos(plot.left() - 5 - r.width(), y - r.height() / 2);
  }
  const QRectF t = logTitle_->boundingRect();
  logTitle_->setPos(kChartMargin, plot.center().y() + t.width() / 2);
}

QStringList BacktestView::equityAxisLabels() const {
  QStringList out;
  if (!logTitle_->isVisible()) return out;
  for (const QGraphicsSimpleTextItem* item : logLabels_) out << item->text();
  return out;
}

bool BacktestView::logScale() const { return logScale_->isChecked(); }

void BacktestView::setLogScale(bool on) { logScale_->setChecked(on); }

// The equity and the drawdown chart share their dates: the chart whose value
// labels are narrower gets that much more left margin, so that both plots
// start at the same x and the two curves stand exactly above each other.
void BacktestView::alignPlots() {
  const bool log = equity_.view->chart()->axes(Qt::Vertical).contains(equity_.log);
  const qreal widths[] = {log ? WidestLabel(equity_.log) : WidestLabel(equityValues_),
                          WidestLabel(drawdown_.values)};
  const qreal widest = std::max(widths[0], widths[1]);
  // The logarithmic axis takes no room of its own: its labels and title are
  // drawn in the margin, which gets the room an axis would have taken.
  const qreal own = log ? widths[0] + QFontMetricsF(PixelFont(11)).height() - 7 : 0;
  QChart* charts[] = {equity_.view->chart(), drawdown_.view->chart()};
  for (int i = 0; i < 2; ++i) {
    QMargins m = charts[i]->margins();
    m.setLeft(kChartMargin + static_cast<int>(std::lround(widest - widths[i] + (i ? 0 : own))));
    charts[i]->setMargins(m);
  }
  placeLogLabels();
}

QString BacktestView::summaryText() const { return summary_->text(); }

QStringList BacktestView::rangeCategories() const { return ranges_.axis->categories(); }

QStringList BacktestView::dayCategories() const { return days_.axis->categories(); }

void BacktestView::setSubject(const QString& subject, const QString& fileStem) {
  const QString t =
      subject.isEmpty() ? QStringLiteral("検証図") : QStringLiteral("検証図　") + subject;
  title_->setText(t);
  setWindowTitle(t);
  fileStem_ = fileStem;
}

QString BacktestView::heading() const { return title_->text(); }

void BacktestView::chooseImage() {
  const QString stem = fileStem_.isEmpty() ? QStringLiteral("検証図") : fileStem_;
  const QString path = AskSavePath(this, QStringLiteral("画像保存"), stem + QStringLiteral(".png"),
                                   {{QStringLiteral("PNG 画像 (*.png)"), QStringLiteral(".png")}});
  if (path.isEmpty()) return;
  const QString failed = saveImage(path);
  if (!failed.isEmpty()) box(failed, true);
}

QString BacktestView::saveImage(const QString& path) {
  const QString cannot = QStringLiteral("ファイル \"%1\" に保存できません。").arg(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return cannot;
  // The button belongs to the window, not to the picture.
  const bool hidden = imageButton_->isHidden();
  imageButton_->hide();
  // The picture says which day it was made, beside what it shows.
  const QString shown = title_->text();
  title_->setText(shown + QStringLiteral("　") +
                  QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
  const QPixmap picture = grab();
  title_->setText(shown);
  if (!hidden) imageButton_->show();
  if (!picture.save(&file, "PNG")) {
    file.cancelWriting();
    return cannot;
  }
  return file.commit() ? QString() : cannot;
}

}  // namespace tavrine::gui
