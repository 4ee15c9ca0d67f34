#include "gui/backtest_view.h"
#include "gui/file_dialogs.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
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

namespace {

const QColor kEquityColor(0x1F, 0x5F, 0xBF);
const QColor kHoldColor(0xE0, 0x8A, 0x1E);
const QColor kEvenColor(0x90, 0x90, 0x90);
const QColor kDrawdownColor(0xC8, 0x3C, 0x3C);
const QColor kGainColor(0x3A, 0x9A, 0x5B);
const QColor kDaysColor(0x5B, 0x7D, 0xA8);

// The charts' own margin around everything they draw.
constexpr int kChartMargin = 4;

// The highest histogram row of the statistics block.
constexpr int kLastHistogramRow = 1999;
// Holding days are shown one bar a day up to this many bars, in wider
// ranges beyond: more bars leave too little room for their captions.
constexpr int kMaxDayBars = 10;

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

QChartView* ViewOf(QChart* chart, QWidget* parent) {
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setFrameShape(QFrame::NoFrame);
  return view;
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

// A cell as a number, none for a cell that holds no number.
std::optional<double> CellNumber(const WorkTable& t, int c, int r) {
  const std::string& s = t.cell(c, r);
  if (IsBlank(s)) return std::nullopt;
  try {
    return static_cast<double>(StrToFloat(s));
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

qreal DayMsecs(int day) {
  return static_cast<qreal>(QDate(1899, 12, 30).addDays(day).startOfDay().toMSecsSinceEpoch());
}

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

QString Fixed(const std::optional<double>& v, int decimals) {
  return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}

QString Percent(const std::optional<double>& v) {
  return v ? QString::number(*v * 100, 'f', 1) + QLatin1Char('%') : QStringLiteral("-");
}

QString Whole(const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); }

QStringList CategoriesOf(QBarCategoryAxis* axis) {
  return axis ? axis->categories() : QStringList();
}

}  // namespace

BacktestView::BacktestView(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("BacktestView"));
  setWindowTitle(QStringLiteral("検証図"));
  setFont(PixelFont(12));
  Fill(this, QColor(0xF7, 0xF7, 0xF4));
  resize(920, 700);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  title_ = AddHeadingStrip(this, root, QStringLiteral("検証図"));
  title_->setObjectName(QStringLiteral("BacktestHeading"));

  // The figures in one line, and the key of the curves below.
  auto* strip = new QWidget(this);
  Fill(strip, QColor(0xEC, 0xEC, 0xE8));
  auto* sv = new QVBoxLayout(strip);
  sv->setContentsMargins(10, 6, 10, 6);
  sv->setSpacing(4);
  summary_ = new QLabel(strip);
  summary_->setObjectName(QStringLiteral("BacktestSummary"));
  summary_->setFont(PixelFont(13, true));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summaryRow = new QHBoxLayout;
  summaryRow->setSpacing(8);
  summaryRow->addWidget(summary_, 1);
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
  root->addWidget(strip);

  // Equity and buy and hold.
  QChart* equityChart = PlainChart();
  equity_ = Line(kEquityColor, 2, Qt::SolidLine);
  equity_->setName(QStringLiteral("資産倍率"));
  hold_ = Line(kHoldColor, 1.5, Qt::DashLine);
  hold_->setName(QStringLiteral("買持"));
  even_ = Line(kEvenColor, 1, Qt::DotLine);
  equityDates_ = new QDateTimeAxis;
  equityValues_ = new QValueAxis;
  StyleAxis(equityDates_);
  StyleAxis(equityValues_);
  // The drawdown chart below shows the dates. These take the same room
  // unseen, so that both plots end at the same x as well.
  equityDates_->setLabelsColor(Qt::transparent);
  equityValues_->setTitleText(QStringLiteral("資産倍率"));
  equityChart->addAxis(equityDates_, Qt::AlignBottom);
  equityChart->addAxis(equityValues_, Qt::AlignLeft);
  for (QLineSeries* s : {even_, hold_, equity_}) {
    equityChart->addSeries(s);
    s->attachAxis(equityDates_);
    s->attachAxis(equityValues_);
  }
  equityView_ = ViewOf(equityChart, this);
  equityView_->setObjectName(QStringLiteral("BacktestEquity"));

  // Drawdown as a filled area hanging from 0.
  QChart* drawdownChart = PlainChart();
  drawdownTop_ = new QLineSeries;
  drawdownBase_ = new QLineSeries;
  drawdown_ = new QAreaSeries(drawdownTop_, drawdownBase_);
  drawdown_->setName(QStringLiteral("ドローダウン"));
  QColor fill = kDrawdownColor;
  fill.setAlpha(110);
  drawdown_->setBrush(fill);
  QPen edge(kDrawdownColor, 1);
  edge.setCosmetic(true);
  drawdown_->setPen(edge);
  drawdownDates_ = new QDateTimeAxis;
  drawdownValues_ = new QValueAxis;
  StyleAxis(drawdownDates_);
  StyleAxis(drawdownValues_);
  drawdownValues_->setTitleText(QStringLiteral("DD %"));
  drawdownChart->addAxis(drawdownDates_, Qt::AlignBottom);
  drawdownChart->addAxis(drawdownValues_, Qt::AlignLeft);
  drawdownChart->addSeries(drawdown_);
  drawdown_->attachAxis(drawdownDates_);
  drawdown_->attachAxis(drawdownValues_);
  drawdownView_ = ViewOf(drawdownChart, this);
  drawdownView_->setObjectName(QStringLiteral("BacktestDrawdown"));

  // The ratio ranges: losing ranges in red, the others in green.
  QChart* rangeChart = PlainChart();
  rangeChart->setTitle(QStringLiteral("売値/買値の分布（件）"));
  rangeSet_ = new QBarSet(QStringLiteral("件数"));
  rangeSet_->setColor(kGainColor);
  rangeSet_->setBorderColor(kGainColor.darker(130));
  rangeSet_->setSelectedColor(kDrawdownColor);
  auto* rangeSeries = new QBarSeries;
  rangeSeries->append(rangeSet_);
  rangeSeries->setBarWidth(0.7);
  rangeSeries->setLabelsVisible(true);
  rangeSeries->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
  rangeSet_->setLabelFont(PixelFont(11));
  rangeSet_->setLabelColor(QColor(0x30, 0x30, 0x30));
  rangeAxis_ = new QBarCategoryAxis;
  rangeCounts_ = new QValueAxis;
  StyleAxis(rangeAxis_);
  StyleAxis(rangeCounts_);
  rangeAxis_->setGridLineVisible(false);
  rangeChart->addSeries(rangeSeries);
  rangeChart->addAxis(rangeAxis_, Qt::AlignBottom);
  rangeChart->addAxis(rangeCounts_, Qt::AlignLeft);
  rangeSeries->attachAxis(rangeAxis_);
  rangeSeries->attachAxis(rangeCounts_);
  rangeView_ = ViewOf(rangeChart, this);
  rangeView_->setObjectName(QStringLiteral("BacktestRanges"));

  // The holding days.
  QChart* dayChart = PlainChart();
  dayChart->setTitle(QStringLiteral("保有日数（日）の分布（件）"));
  daySet_ = new QBarSet(QStringLiteral("件数"));
  daySet_->setColor(kDaysColor);
  daySet_->setBorderColor(kDaysColor.darker(130));
  daySet_->setLabelFont(PixelFont(11));
  daySet_->setLabelColor(QColor(0x30, 0x30, 0x30));
  auto* daySeries = new QBarSeries;
  daySeries->append(daySet_);
  daySeries->setBarWidth(0.8);
  daySeries->setLabelsVisible(true);
  daySeries->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
  dayAxis_ = new QBarCategoryAxis;
  dayCounts_ = new QValueAxis;
  StyleAxis(dayAxis_);
  StyleAxis(dayCounts_);
  dayAxis_->setGridLineVisible(false);
  dayChart->addSeries(daySeries);
  dayChart->addAxis(dayAxis_, Qt::AlignBottom);
  dayChart->addAxis(dayCounts_, Qt::AlignLeft);
  daySeries->attachAxis(dayAxis_);
  daySeries->attachAxis(dayCounts_);
  dayView_ = ViewOf(dayChart, this);
  dayView_->setObjectName(QStringLiteral("BacktestDays"));

  auto* charts = new QVBoxLayout;
  charts->setContentsMargins(6, 6, 6, 6);
  charts->setSpacing(4);
  charts->addWidget(equityView_, 9);
  charts->addWidget(drawdownView_, 4);
  auto* bars = new QHBoxLayout;
  bars->setSpacing(6);
  bars->addWidget(rangeView_, 1);
  bars->addWidget(dayView_, 1);
  charts->addLayout(bars, 6);
  root->addLayout(charts, 1);

  show(BacktestFigures{}, WorkTable("StatsTable", 15, 2000));
}

void BacktestView::show(const BacktestFigures& figures, const WorkTable& stats) {
  const auto& f = figures;
  summary_->setText(
      QStringLiteral(
          "取引数 %1　勝率 %2　最終資産倍率 %3　最大DD %4　PF %5　最長連敗 %6　保有率 %7　買持 %8")
          .arg(QString::number(f.trades), Percent(f.winRate), Fixed(f.equity, 3),
               Percent(f.maxDrawdown), Fixed(f.profitFactor, 2), Whole(f.longestLosingStreak),
               Percent(f.exposure), Fixed(f.buyAndHold, 3)));
  showCurves(figures, stats);
  showRanges(stats);
  showDays(stats);
  alignPlots();
}

void BacktestView::showCurves(const BacktestFigures& figures, const WorkTable& stats) {
  const int m = figures.trades;
  QList<QPointF> equity, hold, drawdown;
  double lo = 1, hi = 1, deepest = 0;
  qreal first = 0, last = 0;
  if (m > 0 && static_cast<int>(figures.curve.size()) == m) {
    // The curve starts at 1 on the oldest entry day; steps at each exit.
    // The figures have read the oldest entry date already; should it not be
    // a date after all, the first exit stands in for it.
    int startDay = 0;
    if (!TryParseDate(stats.cell(1, m), startDay))
      TryParseDate(figures.curve.front().exitDate, startDay);
    first = last = DayMsecs(startDay);
    const std::optional<double> firstClose = CellNumber(stats, 4, m);
    const bool holdShown = firstClose && *firstClose > 0;
    equity.append({first, 1});
    drawdown.append({first, 0});
    if (holdShown) hold.append({first, 1});
    double prevEquity = 1, prevDrawdown = 0;
    for (int k = 0; k < m; ++k) {
      const EquityPoint& p = figures.curve[static_cast<std::size_t>(k)];
      int day = 0;
      if (TryParseDate(p.exitDate, day)) {
        const qreal x = DayMsecs(day);
        equity.append({x, prevEquity});
        equity.append({x, p.equity});
        drawdown.append({x, -prevDrawdown * 100});
        drawdown.append({x, -p.drawdown * 100});
        if (holdShown) {
          // Trade k stands in row m - k, newest first.
          if (const auto close = CellNumber(stats, 5, m - k)) {
            hold.append({x, *close / *firstClose});
            lo = std::min(lo, hold.back().y());
            hi = std::max(hi, hold.back().y());
          }
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

  equity_->replace(equity);
  hold_->replace(hold);
  even_->replace(QList<QPointF>{{first, 1}, {last, 1}});
  drawdownTop_->replace(drawdown);
  drawdownBase_->replace(QList<QPointF>{{first, 0}, {last, 0}});

  const QDateTime from = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first));
  const QDateTime to = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last));
  const QString format =
      from.daysTo(to) > 3 * 365 ? QStringLiteral("yyyy/MM") : QStringLiteral("yyyy/MM/dd");
  for (QDateTimeAxis* axis : {equityDates_, drawdownDates_}) {
    axis->setRange(from, to);
    axis->setFormat(format);
    axis->setTickCount(7);
  }
  const double pad = (hi - lo) * 0.05;
  ValueRange(equityValues_, lo - pad, hi + pad);
  // A low chart: 0, the middle and the bottom are enough.
  const double deep = std::max(1.0, deepest * 1.05);
  const double step = NiceStep(deep / 2);
  const double bottom = std::ceil(deep / step) * step;
  drawdownValues_->setRange(-bottom, 0);
  drawdownValues_->setTickCount(static_cast<int>(std::lround(bottom / step)) + 1);
  drawdownValues_->setLabelFormat(step >= 1 ? QStringLiteral("%.0f") : QStringLiteral("%.1f"));
}

void BacktestView::showRanges(const WorkTable& stats) {
  // Captions from the header row, counts from the frequency row (columns 8..14).
  QStringList captions;
  QList<qreal> counts;
  double highest = 0;
  for (int c = 8; c <= 14; ++c) {
    QString caption = QString::fromStdString(stats.cell(c, 0)).trimmed();
    if (caption.isEmpty() || captions.contains(caption))
      caption = QStringLiteral("範囲%1").arg(c - 7);
    // "0.95-1.00" on two lines: the axis cuts captions wider than their bar.
    const int dash = caption.indexOf(QLatin1Char('-'), 1);
    if (dash > 0 && dash < caption.size() - 1) caption.insert(dash, QStringLiteral("<br>"));
    captions << caption;
    const double n = CellNumber(stats, c, 2).value_or(0);
    counts << n;
    highest = std::max(highest, n);
  }
  rangeAxis_->setCategories(captions);
  rangeSet_->remove(0, rangeSet_->count());
  rangeSet_->append(counts);
  // The first two ranges (up to 1.00) hold the losing and even trades.
  rangeSet_->deselectAllBars();
  rangeSet_->selectBars({0, 1});
  CountRange(rangeCounts_, highest);
}

void BacktestView::showDays(const WorkTable& stats) {
  // Histogram rows 7..: column 7 the holding days, column 8 how many trades.
  std::map<int, double> byDay;
  for (int r = 7; r <= kLastHistogramRow; ++r) {
    const auto day = CellNumber(stats, 7, r);
    const auto count = CellNumber(stats, 8, r);
    if (!day || !count || *day < 1) continue;
    byDay[static_cast<int>(*day)] += *count;
  }
  QStringList captions;
  QList<qreal> counts;
  double highest = 0;
  if (!byDay.empty()) {
    const int longest = byDay.rbegin()->first;
    // One bar a day when they fit, else ranges of a round width.
    int width = 1;
    if (longest > kMaxDayBars) {
      static const int kWidths[] = {2, 5, 10, 20, 50, 100, 200};
      width = 500;
      for (int w : kWidths)
        if ((longest + w - 1) / w <= kMaxDayBars) {
          width = w;
          break;
        }
    }
    const int bins = (longest + width - 1) / width;
    std::vector<double> sums(static_cast<std::size_t>(bins), 0);
    for (const auto& [day, count] : byDay)
      sums[static_cast<std::size_t>((day - 1) / width)] += count;
    for (int b = 0; b < bins; ++b) {
      const int from = b * width + 1, to = (b + 1) * width;
      // A range on two lines: the axis cuts captions wider than their bar.
      captions << (width == 1 ? QString::number(from)
                              : QStringLiteral("%1<br>-%2").arg(from).arg(to));
      counts << sums[static_cast<std::size_t>(b)];
      highest = std::max(highest, sums[static_cast<std::size_t>(b)]);
    }
  } else {
    captions << QStringLiteral("-");
    counts << 0;
  }
  dayAxis_->setCategories(captions);
  daySet_->remove(0, daySet_->count());
  daySet_->append(counts);
  CountRange(dayCounts_, highest);
  // Many narrow bars: the counts above them would overlap.
  static_cast<QBarSeries*>(dayView_->chart()->series().front())
      ->setLabelsVisible(counts.size() <= 14);
}

// The equity and the drawdown chart share their dates: the chart whose value
// labels are narrower gets that much more left margin, so that both plots
// start at the same x and the two curves stand exactly above each other.
void BacktestView::alignPlots() {
  const qreal widths[] = {WidestLabel(equityValues_), WidestLabel(drawdownValues_)};
  const qreal widest = std::max(widths[0], widths[1]);
  QChart* charts[] = {equityView_->chart(), drawdownView_->chart()};
  for (int i = 0; i < 2; ++i) {
    QMargins m = charts[i]->margins();
    m.setLeft(kChartMargin + static_cast<int>(std::lround(widest - widths[i])));
    charts[i]->setMargins(m);
  }
}

QString BacktestView::summaryText() const { return summary_->text(); }

QStringList BacktestView::rangeCategories() const { return CategoriesOf(rangeAxis_); }

QStringList BacktestView::dayCategories() const { return CategoriesOf(dayAxis_); }

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
  if (failed.isEmpty()) return;
  if (messageHook)
    messageHook(failed.toStdString(), true);
  else
    QMessageBox::critical(this, QStringLiteral("tavrine"), failed);
}

QString BacktestView::saveImage(const QString& path) {
  const QString cannot = QStringLiteral("ファイル \"%1\" に保存できません。").arg(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return cannot;
  // The button belongs to the window, not to the picture.
  const bool hidden = imageButton_->isHidden();
  imageButton_->hide();
  const QPixmap picture = grab();
  if (!hidden) imageButton_->show();
  if (!picture.save(&file, "PNG")) {
    file.cancelWriting();
    return cannot;
  }
  return file.commit() ? QString() : cannot;
}

}  // namespace tavrine::gui
