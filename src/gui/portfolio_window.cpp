#include "gui/portfolio_window.h"

#include "gui/backtest_view.h"

#include <QAbstractTableModel>
#include <QAreaSeries>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "gui/judging_ui.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "signals/rules.h"
#include "store/price_store.h"
#include "store/text.h"

namespace tavrine::gui {

// ---- the trade list ------------------------------------------------------

// The run's trades as the engine's cells, yen grouped by thousands, an open
// trade's exit day as 保有中.
class PortfolioTradeModel : public QAbstractTableModel {
 public:
  explicit PortfolioTradeModel(QObject* parent) : QAbstractTableModel(parent) {}

  void setRun(const PortfolioRun* run) {
    beginResetModel();
    run_ = run;
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() || !run_ ? 0 : static_cast<int>(run_->result.trades.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(PortfolioTradeHeadings().size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!run_ || !index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (index.column() >= 3 ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole) return {};
    const portfolio::Trade& t = run_->result.trades[static_cast<std::size_t>(index.row())];
    const QLocale grouped(QLocale::English);
    switch (index.column()) {
      case 2:
        if (!t.exitDay) return QStringLiteral("保有中");
        break;
      case 3:
        return grouped.toString(t.shares);
      case 6:
        return grouped.toString(t.cost);
      case 7:
        return grouped.toString(static_cast<qlonglong>(std::llround(static_cast<double>(t.pnl))));
      default:
        break;
    }
    const std::vector<std::string> cells = PortfolioTradeCells(*run_, t);
    return Shown(cells[static_cast<std::size_t>(index.column())]);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return {};
    return QString::fromStdString(PortfolioTradeHeadings()[static_cast<std::size_t>(section)]);
  }

 private:
  const PortfolioRun* run_ = nullptr;
};

namespace {

const QColor kEquityColor(0x1F, 0x5F, 0xBF);
const QColor kHoldColor(0xE0, 0x8A, 0x1E);
const QColor kDrawdownColor(0xC8, 0x3C, 0x3C);

// The rules in the order of their buttons' tags, as the settings name them.
QStringList RuleNames() {
  QStringList names;
  for (int t = 0; t < kRuleCount; ++t) names << QString::fromStdString(PortfolioRuleName(t));
  return names;
}

QChart* PlainChart() {
  auto* chart = new QChart;
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->legend()->hide();
  return chart;
}

// A base for the logarithmic axis that gives it at most eight powers.
double LogBase(double lo, double hi) {
  for (const double base : {1.1, 1.2, 1.5, 2.0, 3.0, 10.0, 100.0})
    if (std::log(hi / lo) / std::log(base) <= 8) return base;
  return 1000;
}

// The summary's numbers: "-" for no value.
QString Yen(const std::optional<double>& v) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QLocale(QLocale::English).toString(static_cast<qlonglong>(std::llround(*v)));
}
QString Fixed(const std::optional<double>& v, int decimals) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QString::number(*v, 'f', decimals);
}
QString Percent(const std::optional<double>& v) {
  return v ? Fixed(*v * 100, 2) : QStringLiteral("-");
}

// The statistics of the buy-and-hold line as if it were the equity.
equity::Stats HoldStats(const portfolio::Result& r, long long capital) {
  equity::Inputs in;
  in.capital = static_cast<double>(capital);
  for (const portfolio::EquityDay& e : r.equity) {
    in.equity.push_back({e.day, static_cast<double>(e.hold)});
    in.hold.push_back(static_cast<double>(e.hold));
    in.held.push_back(true);
  }
  return equity::Compute(in);
}

QTableWidget* PlainTable(QWidget* parent, const QString& name, const QStringList& headings) {
  auto* t = new QTableWidget(0, static_cast<int>(headings.size()), parent);
  t->setObjectName(name);
  t->setHorizontalHeaderLabels(headings);
  t->verticalHeader()->hide();
  t->verticalHeader()->setDefaultSectionSize(20);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setAlternatingRowColors(true);
  t->horizontalHeader()->setHighlightSections(false);
  return t;
}

QTableWidgetItem* Cell(const QString& text, bool number) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
  return item;
}

QRadioButton* Choice(QWidget* parent, QHBoxLayout* row, const QString& caption, const char* name) {
  auto* b = new QRadioButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  row->addWidget(b);
  return b;
}

}  // namespace

// ---- window --------------------------------------------------------------

PortfolioWindow::PortfolioWindow(PortfolioSource source, QWidget* parent)
    : ToolWindow(QStringLiteral("PortfolioWindow"), QStringLiteral("資金管理検証"),
                 QStringLiteral("資金管理検証　全銘柄 × 1規則 × 共通の資金"), {1240, 700}, parent),
      source_(std::move(source)) {
  buildSettings();
  buildResults();
  timer_ = new QTimer(this);
  timer_->setInterval(50);
  connect(timer_, &QTimer::timeout, this, [this] { poll(); });
  takeCurrent();
  showSummary();
  setRunning(false);
  status_->setText(QStringLiteral("設定を確かめて「実行」を押して下さい。"));
}

PortfolioWindow::~PortfolioWindow() {
  if (worker_.joinable()) worker_.join();
}

void PortfolioWindow::buildSettings() {
  QBoxLayout* sv = addControlStrip(QBoxLayout::TopToBottom);
  QWidget* strip = sv->parentWidget();
  const auto group = [this](QRadioButton* a, QRadioButton* b) {
    auto* g = new QButtonGroup(this);
    g->addButton(a);
    g->addButton(b);
    a->setChecked(true);
  };
  const auto caption = [strip](QHBoxLayout* row, const char* text) {
    row->addSpacing(10);
    row->addWidget(new QLabel(QString::fromUtf8(text), strip));
  };

  auto* row1 = new QHBoxLayout;
  row1->setSpacing(6);
  row1->addWidget(new QLabel(QStringLiteral("規則"), strip));
  rule_ = new QComboBox(strip);
  rule_->setObjectName(QStringLiteral("PortfolioRule"));
  rule_->addItems(RuleNames());
  rule_->setFixedWidth(70);
  row1->addWidget(rule_);
  caption(row1, "方向");
  buy_ = Choice(strip, row1, QStringLiteral("買い"), "PortfolioBuy");
  sell_ = Choice(strip, row1, QStringLiteral("売り"), "PortfolioSell");
  group(buy_, sell_);
  caption(row1, "期間");
  long_ = Choice(strip, row1, QStringLiteral("長期"), "PortfolioLong");
  short_ = Choice(strip, row1, QStringLiteral("短期"), "PortfolioShort");
  group(long_, short_);
  caption(row1, "約定");
  fillOpen_ = Choice(strip, row1, QStringLiteral("始値"), "PortfolioFillOpen");
  fillClose_ = Choice(strip, row1, QStringLiteral("終値"), "PortfolioFillClose");
  group(fillOpen_, fillClose_);
  caption(row1, "優先");
  byTurnover_ = Choice(strip, row1, QStringLiteral("売買代金"), "PortfolioByTurnover");
  byCode_ = Choice(strip, row1, QStringLiteral("コード順"), "PortfolioByCode");
  group(byTurnover_, byCode_);
  row1->addStretch(1);
  runButton_ = new QPushButton(QStringLiteral("実行"), strip);
  runButton_->setObjectName(QStringLiteral("PortfolioRun"));
  runButton_->setFixedSize(70, 26);
  csv_ = new QPushButton(QStringLiteral("CSV保存"), strip);
  csv_->setObjectName(QStringLiteral("PortfolioCsv"));
  csv_->setFixedSize(78, 26);
  csv_->setToolTip(QStringLiteral("取引一覧をCSVファイルに保存します"));
  row1->addWidget(runButton_);
  row1->addSpacing(8);
  row1->addWidget(csv_);
  sv->addLayout(row1);

  auto* row2 = new QHBoxLayout;
  row2->setSpacing(6);
  const auto box = [strip, row2](const char* text, const char* name, int width, const char* tip) {
    row2->addWidget(new QLabel(QString::fromUtf8(text), strip));
    auto* e = new QLineEdit(strip);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(width);
    e->setToolTip(QString::fromUtf8(tip));
    row2->addWidget(e);
    row2->addSpacing(8);
    return e;
  };
  capital_ = box("元手(円)", "PortfolioCapital", 84, "全銘柄で共通の初めの資金");
  slots_ = box("同時保有", "PortfolioSlots", 36, "同時に持つ銘柄数の上限");
  commission_ = box("手数料", "PortfolioCommission", 150,
                    "zero: 無料\nrate:率%[:最低円[:最高円]] 例 rate:0.1:100:1000\n"
                    "tiers:約定代金=手数料;...;それ以上の手数料 例 tiers:50000=55;100000=99;"
                    "535");
  slip_ = box("スリッページ(呼値)", "PortfolioSlip", 36, "約定値を不利な向きにずらす呼値の数");
  tax_ = box("税(%)", "PortfolioTax", 54, "年ごとの実現益にかかる税率。NISAは0");
  borrow_ = box("貸株料(年%)", "PortfolioBorrow", 48, "売りから入る取引の貸株料、年率");
  row2->addStretch(1);
  sv->addLayout(row2);

  auto* row3 = new QHBoxLayout;
  row3->setSpacing(8);
  bar_ = new QProgressBar(strip);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setFixedHeight(16);
  bar_->setTextVisible(false);
  bar_->setFixedWidth(160);
  status_ = new QLabel(strip);
  status_->setObjectName(QStringLiteral("PortfolioStatus"));
  row3->addWidget(bar_);
  row3->addWidget(status_, 1);
  sv->addLayout(row3);

  const PortfolioMemory m = source_.remember ? PortfolioMemory::load() : PortfolioMemory{};
  capital_->setText(m.capital);
  slots_->setText(m.positions);
  commission_->setText(m.commission);
  slip_->setText(m.slip);
  tax_->setText(m.tax);
  borrow_->setText(m.borrow);
  (m.fillClose ? fillClose_ : fillOpen_)->setChecked(true);
  (m.priorityCode ? byCode_ : byTurnover_)->setChecked(true);

  connect(runButton_, &QPushButton::clicked, this, [this] { start(); });
  for (QLineEdit* e : {capital_, slots_, commission_, slip_, tax_, borrow_})
    connect(e, &QLineEdit::returnPressed, this, [this] { start(); });
  connect(csv_, &QPushButton::clicked, this, [this] {
    askCsv(QStringLiteral("資金管理検証.csv"), [this](const QString& p) { return saveCsv(p); });
  });
}

void PortfolioWindow::buildResults() {
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName(QStringLiteral("PortfolioSplit"));
  split->setChildrenCollapsible(false);

  // Left: the summary beside the buy-and-hold, the table by year under it.
  auto* left = new QWidget(split);
  auto* lv = new QVBoxLayout(left);
  lv->setContentsMargins(6, 6, 0, 6);
  lv->setSpacing(6);
  summary_ = PlainTable(left, QStringLiteral("PortfolioSummary"),
                        {QStringLiteral("項目"), QStringLiteral("資金管理"), QStringLiteral("買持"),
                         QStringLiteral("単位")});
  summary_->setColumnWidth(0, 118);
  summary_->setColumnWidth(1, 96);
  summary_->setColumnWidth(2, 88);
  summary_->setColumnWidth(3, 44);
  summary_->setSelectionMode(QAbstractItemView::NoSelection);
  lv->addWidget(summary_);
  years_ = PlainTable(left, QStringLiteral("PortfolioYears"),
                      {QStringLiteral("年"), QStringLiteral("損益率(%)"),
                       QStringLiteral("最大DD(%)"), QStringLiteral("取引数")});
  years_->setColumnWidth(0, 60);
  years_->setColumnWidth(1, 96);
  years_->setColumnWidth(2, 96);
  years_->setColumnWidth(3, 70);
  lv->addWidget(years_, 1);
  left->setMinimumWidth(370);

  // Right: the equity and drawdown chart, the trades and the stocks left out.
  auto* right = new QSplitter(Qt::Vertical, split);
  right->setChildrenCollapsible(false);
  auto* charts = new QWidget(right);
  auto* cv = new QVBoxLayout(charts);
  cv->setContentsMargins(0, 4, 6, 0);
  cv->setSpacing(0);
  auto* key = new QLabel(charts);
  key->setTextFormat(Qt::RichText);
  key->setText(QStringLiteral("<span style='color:%1'>━━</span> 資産倍率（資金管理）　"
                              "<span style='color:%2'>╍╍</span> 買持（等金額）　"
                              "<span style='color:%3'>■</span> ドローダウン")
                   .arg(kEquityColor.name(), kHoldColor.name(), kDrawdownColor.name()));
  cv->addWidget(key);

  QChart* equityChart = PlainChart();
  equity_ = Line(kEquityColor, 1.5, Qt::SolidLine);
  hold_ = Line(kHoldColor, 1.2, Qt::DashLine);
  equityDates_ = new QDateTimeAxis;
  equityLog_ = new QLogValueAxis;
  StyleAxis(equityDates_);
  StyleAxis(equityLog_);
  equityDates_->setLabelsColor(Qt::transparent);
  equityLog_->setTitleText(QStringLiteral("資産倍率"));
  equityLog_->setLabelFormat(QStringLiteral("%.3g"));
  equityLog_->setMinorTickCount(0);
  equityChart->addAxis(equityDates_, Qt::AlignBottom);
  equityChart->addAxis(equityLog_, Qt::AlignLeft);
  for (QLineSeries* s : {hold_, equity_}) {
    equityChart->addSeries(s);
    s->attachAxis(equityDates_);
    s->attachAxis(equityLog_);
  }
  equityView_ = new QChartView(equityChart, charts);
  equityView_->setObjectName(QStringLiteral("PortfolioEquity"));
  equityView_->setRenderHint(QPainter::Antialiasing);
  equityView_->setFrameShape(QFrame::NoFrame);

  QChart* drawdownChart = PlainChart();
  drawdownTop_ = new QLineSeries;
  drawdownBase_ = new QLineSeries;
  drawdown_ = new QAreaSeries(drawdownTop_, drawdownBase_);
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
  drawdownView_ = new QChartView(drawdownChart, charts);
  drawdownView_->setObjectName(QStringLiteral("PortfolioDrawdown"));
  drawdownView_->setRenderHint(QPainter::Antialiasing);
  drawdownView_->setFrameShape(QFrame::NoFrame);
  drawdownView_->setMinimumHeight(120);
  cv->addWidget(equityView_, 5);
  cv->addWidget(drawdownView_, 2);

  tabs_ = new QTabWidget(right);
  tradeModel_ = new PortfolioTradeModel(this);
  trades_ = MakeRowList(tabs_, QStringLiteral("PortfolioTrades"), tradeModel_,
                        {60, 84, 84, 72, 80, 80, 76, 96}, 7);
  trades_->setSortingEnabled(false);
  tabs_->addTab(trades_, QStringLiteral("取引一覧"));
  refused_ = PlainTable(tabs_, QStringLiteral("PortfolioRefused"), {QStringLiteral("除いた銘柄")});
  refused_->horizontalHeader()->setStretchLastSection(true);
  tabs_->addTab(refused_, QStringLiteral("除いた銘柄"));
  right->addWidget(charts);
  right->addWidget(tabs_);
  right->setStretchFactor(0, 2);
  right->setStretchFactor(1, 1);

  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  root()->addWidget(split, 1);
}

void PortfolioWindow::takeCurrent() {
  if (running() || !source_.current) return;
  const PortfolioSettings s = source_.current();
  rule_->setCurrentIndex(s.inputs.tag);
  (s.inputs.entry == EntrySide::Buy ? buy_ : sell_)->setChecked(true);
  (s.inputs.shortTerm ? short_ : long_)->setChecked(true);
}

bool PortfolioWindow::readSettings(PortfolioSettings& out, std::string& error) const {
  PortfolioSettings s;
  const auto text = [](const QLineEdit* e) { return e->text().trimmed().toStdString(); };
  const std::pair<const char*, std::string> keys[] = {
      {"rule", PortfolioRuleName(rule_->currentIndex())},
      {"entry", buy_->isChecked() ? "buy" : "sell"},
      {"term", short_->isChecked() ? "short" : "long"},
      {"fill", fillClose_->isChecked() ? "close" : "open"},
      {"priority", byCode_->isChecked() ? "code" : "turnover"},
      {"capital", text(capital_)},
      {"slots", text(slots_)},
      {"commission", text(commission_)},
      {"slip", text(slip_)},
      {"tax", text(tax_)},
      {"borrow", text(borrow_)},
  };
  for (const auto& [key, value] : keys)
    if (!SetPortfolioKey(s, key, value, error)) return false;
  out = std::move(s);
  return true;
}

void PortfolioWindow::keepSettings() const {
  if (!source_.remember) return;
  PortfolioMemory m;
  m.capital = capital_->text().trimmed();
  m.positions = slots_->text().trimmed();
  m.commission = commission_->text().trimmed();
  m.slip = slip_->text().trimmed();
  m.tax = tax_->text().trimmed();
  m.borrow = borrow_->text().trimmed();
  m.fillClose = fillClose_->isChecked();
  m.priorityCode = byCode_->isChecked();
  m.save();
}

bool PortfolioWindow::start() {
  if (running()) return false;
  if (source_.judging && source_.judging() != Judging::Honest) {
    box(QStringLiteral("資金管理検証は実売買でのみ行えます。\n"
                       "主画面の検証方式を「実売買」にしてから実行して下さい。"),
        true);
    return false;
  }
  PortfolioSettings settings;
  std::string error;
  if (!readSettings(settings, error)) {
    status_->setText(QStringLiteral("設定が正しくありません。"));
    box(QString::fromStdString(error), true);
    return false;
  }
  keepSettings();
  runSettings_ = settings;
  // The copy is taken here, on the window's thread, so the main window may
  // go on editing its own list while the run reads this one.
  WorkTable list = source_.stockList ? source_.stockList() : WorkTable("StockList", 200, 0);
  const std::string store = source_.storePath ? source_.storePath() : PriceStorePath();
  done_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.reset();
    error_.clear();
  }
  bar_->setRange(0, 0);  // busy
  status_->setText(QStringLiteral("検証中…"));
  setRunning(true);
  worker_ = std::thread([this, settings, store, list = std::move(list)] {
    std::unique_ptr<PortfolioRun> run;
    std::string error;
    try {
      run = std::make_unique<PortfolioRun>(
          RunPortfolio(list, settings.inputs, settings.options, store));
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = "検証中に不明なエラーが起きました。";
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      result_ = std::move(run);
      error_ = std::move(error);
    }
    done_ = true;
  });
  timer_->start();
  return true;
}

void PortfolioWindow::poll() {
  if (done_) collect();
}

void PortfolioWindow::collect() {
  timer_->stop();
  if (worker_.joinable()) worker_.join();
  std::unique_ptr<PortfolioRun> run;
  std::string error;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    run = std::move(result_);
    error = std::move(error_);
  }
  bar_->setRange(0, 1);
  bar_->setValue(1);
  setRunning(false);
  if (!error.empty() || !run) {
    bar_->setValue(0);
    status_->setText(QStringLiteral("検証を続けられませんでした。"));
    box(QString::fromStdString(error.empty() ? std::string("検証できませんでした。") : error),
        true);
    emit finished();
    return;
  }
  run_ = std::move(run);
  showRun();
  emit finished();
}

void PortfolioWindow::setRunning(bool on) {
  runButton_->setEnabled(!on);
  csv_->setEnabled(!on && run_ && !run_->result.trades.empty());
  for (QWidget* w : std::initializer_list<QWidget*>{rule_, buy_, sell_, long_, short_, fillOpen_,
                                                    fillClose_, byTurnover_, byCode_, capital_,
                                                    slots_, commission_, slip_, tax_, borrow_})
    w->setEnabled(!on);
  if (on)
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
}

void PortfolioWindow::showRun() {
  const PortfolioRun& r = *run_;
  holdStats_ = HoldStats(r.result, runSettings_.options.capital);
  tradeModel_->setRun(run_.get());
  showSummary();
  showYears();
  showChart();
  refused_->setRowCount(0);
  for (const std::string& m : r.refused) {
    const int row = refused_->rowCount();
    refused_->insertRow(row);
    refused_->setItem(row, 0, Cell(Shown(m), false));
  }
  tabs_->setTabText(1, QStringLiteral("除いた銘柄 (%1)").arg(r.refused.size()));
  const PortfolioInputOptions& in = runSettings_.inputs;
  const QString what =
      QStringLiteral("（%1・%2・%3）")
          .arg(QString::fromStdString(PortfolioRuleName(in.tag)),
               in.entry == EntrySide::Buy ? QStringLiteral("入買") : QStringLiteral("入売"),
               in.shortTerm ? QStringLiteral("短期") : QStringLiteral("長期"));
  QString text = QStringLiteral("完了：%1 銘柄、取引 %2 件、見送り %3 件")
                     .arg(r.codes.size())
                     .arg(r.result.trades.size())
                     .arg(r.result.skipped);
  if (!r.refused.empty()) text += QStringLiteral("、除いた銘柄 %1").arg(r.refused.size());
  status_->setText(text + what);
  csv_->setEnabled(!r.result.trades.empty());
}

void PortfolioWindow::showSummary() {
  // Before the first run the items stand with no values.
  const equity::Stats before;
  const equity::Stats& s = run_ ? run_->stats : before;
  const equity::Stats& h = run_ ? holdStats_ : before;
  const double capital = static_cast<double>(runSettings_.options.capital);
  const auto ratio = [capital](const std::optional<double>& v) -> std::optional<double> {
    if (!v || capital <= 0) return std::nullopt;
    return *v / capital;
  };
  const QString none;
  struct Row {
    QString item, value, hold, unit;
  };
  const std::vector<Row> rows = {
      {QStringLiteral("最終資産"), Yen(s.finalEquity), Yen(h.finalEquity), QStringLiteral("円")},
      {QStringLiteral("資産倍率"), Fixed(ratio(s.finalEquity), 3), Fixed(ratio(h.finalEquity), 3),
       QStringLiteral("倍")},
      {QStringLiteral("年率(CAGR)"), Percent(s.cagr), Percent(h.cagr), QStringLiteral("%")},
      {QStringLiteral("最大DD"), Percent(s.maxdd), Percent(h.maxdd), QStringLiteral("%")},
      {QStringLiteral("最長DD期間"), QString::number(s.ddays), QString::number(h.ddays),
       QStringLiteral("日")},
      {QStringLiteral("シャープレシオ"), Fixed(s.sharpe, 2), Fixed(h.sharpe, 2), none},
      {QStringLiteral("ソルティノレシオ"), Fixed(s.sortino, 2), Fixed(h.sortino, 2), none},
      {QStringLiteral("取引数"), QString::number(s.trades), none, QStringLiteral("回")},
      {QStringLiteral("勝率"), Percent(s.winRate), none, QStringLiteral("%")},
      {QStringLiteral("PF"), Fixed(s.profitFactor, 2), none, QStringLiteral("倍")},
      {QStringLiteral("期待値"), Yen(s.expectancy), none, QStringLiteral("円")},
      {QStringLiteral("期待値(率)"), Percent(s.expectancyPct), none, QStringLiteral("%")},
      {QStringLiteral("平均保有日数"), Fixed(s.averageDays, 1), none, QStringLiteral("日")},
      {QStringLiteral("保有率"), Percent(s.exposure), none, QStringLiteral("%")},
      {QStringLiteral("年間取引数"), Fixed(s.tradesPerYear, 1), none, QStringLiteral("回/年")},
      {QStringLiteral("売買コスト"), Yen(s.costs), none, QStringLiteral("円")},
      {QStringLiteral("税"), Yen(s.tax), none, QStringLiteral("円")},
      {QStringLiteral("見送り"), QString::number(run_ ? run_->result.skipped : 0), none,
       QStringLiteral("回")},
  };
  const QString dash = QStringLiteral("-");
  summary_->setRowCount(static_cast<int>(rows.size()));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const Row& r = rows[static_cast<std::size_t>(i)];
    summary_->setItem(i, 0, Cell(r.item, false));
    summary_->setItem(i, 1, Cell(run_ ? r.value : dash, true));
    summary_->setItem(i, 2, Cell(run_ || r.hold.isEmpty() ? r.hold : dash, true));
    summary_->setItem(i, 3, Cell(r.unit, false));
  }
  // Every item in sight without scrolling.
  summary_->setFixedHeight(summary_->horizontalHeader()->sizeHint().height() +
                           summary_->rowCount() * summary_->verticalHeader()->defaultSectionSize() +
                           2 * summary_->frameWidth());
}

QStringList PortfolioWindow::summaryItems() const {
  QStringList items;
  for (int i = 0; i < summary_->rowCount(); ++i) items << summary_->item(i, 0)->text();
  return items;
}

QString PortfolioWindow::summaryValue(const QString& item, int column) const {
  for (int i = 0; i < summary_->rowCount(); ++i)
    if (summary_->item(i, 0)->text() == item) {
      const QTableWidgetItem* cell = summary_->item(i, 1 + column);
      return cell ? cell->text() : QString();
    }
  return {};
}

void PortfolioWindow::showYears() {
  const std::vector<equity::YearRow>& ys = run_->stats.years;
  years_->setRowCount(static_cast<int>(ys.size()));
  for (int i = 0; i < static_cast<int>(ys.size()); ++i) {
    const equity::YearRow& y = ys[static_cast<std::size_t>(i)];
    years_->setItem(i, 0, Cell(QString::number(y.year), false));
    years_->setItem(i, 1, Cell(Percent(y.ret), true));
    years_->setItem(i, 2, Cell(Percent(y.maxdd), true));
    years_->setItem(i, 3, Cell(QString::number(y.trades), true));
  }
}

void PortfolioWindow::showChart() {
  const std::vector<portfolio::EquityDay>& line = run_->result.equity;
  const double capital = static_cast<double>(runSettings_.options.capital);
  QList<QPointF> equity, hold, drawdown;
  double lo = 1, hi = 1, peak = 0, deepest = 0;
  for (const portfolio::EquityDay& e : line) {
    const qreal x = DayMsecs(e.day);
    const double v = static_cast<double>(e.value) / capital;
    const double b = static_cast<double>(e.hold) / capital;
    peak = std::max(peak, v);
    const double dd = peak > 0 ? (peak - v) / peak * 100 : 0;
    deepest = std::max(deepest, dd);
    // The logarithmic scale draws only values above zero.
    if (v > 0) {
      equity.append({x, v});
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    if (b > 0) {
      hold.append({x, b});
      lo = std::min(lo, b);
      hi = std::max(hi, b);
    }
    drawdown.append({x, -dd});
  }
  equity_->replace(equity);
  hold_->replace(hold);
  drawdownTop_->replace(drawdown);
  if (line.empty()) {
    drawdownBase_->clear();
    return;
  }
  const qreal first = DayMsecs(line.front().day), last = DayMsecs(line.back().day);
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
  const double low = lo / 1.1, high = hi * 1.1;
  equityLog_->setBase(LogBase(low, high));
  equityLog_->setRange(low, high);
  const double deep = std::max(1.0, deepest * 1.05);
  const double step = NiceStep(deep / 2);
  const double bottom = std::ceil(deep / step) * step;
  drawdownValues_->setRange(-bottom, 0);
  drawdownValues_->setTickCount(static_cast<int>(std::lround(bottom / step)) + 1);
  drawdownValues_->setLabelFormat(step >= 1 ? QStringLiteral("%.0f") : QStringLiteral("%.1f"));
}

bool PortfolioWindow::saveCsv(const QString& path) {
  if (!run_) return false;
  return saveOrSay([&] { SavePortfolioTradesCsv(*run_, path.toStdString()); });
}

void PortfolioWindow::closeEvent(QCloseEvent* e) {
  // A run goes on to its end; its result is shown the next time the window
  // is open.
  e->accept();
}

}  // namespace tavrine::gui
