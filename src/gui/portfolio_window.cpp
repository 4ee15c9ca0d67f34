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
#include "gui/money_panels.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "signals/rules.h"
#include "store/price_store.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

// The rules in the order of their buttons' tags, as the settings name them.
QStringList RuleNames() {
  QStringList names;
  for (int t = 0; t < kRuleCount; ++t) names << QString::fromStdString(PortfolioRuleName(t));
  return names;
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
  timer_ = pollTimer([this] { poll(); });
  takeCurrent();
  showSummary();
  setRunning(false);
  status_->setText(QStringLiteral("設定を確かめて「実行」を押して下さい。"));
}

PortfolioWindow::~PortfolioWindow() = default;

void PortfolioWindow::buildSettings() {
  QBoxLayout* sv = addControlStrip(QBoxLayout::TopToBottom);
  QWidget* strip = sv->parentWidget();
  auto* row1 = new QHBoxLayout;
  row1->setSpacing(6);
  row1->addWidget(new QLabel(QStringLiteral("規則"), strip));
  rule_ = new QComboBox(strip);
  rule_->setObjectName(QStringLiteral("PortfolioRule"));
  rule_->addItems(RuleNames());
  rule_->setFixedWidth(70);
  row1->addWidget(rule_);
  // A caption and two choices of one group, the first checked.
  struct Pair {
    const char *caption, *first, *firstName, *second, *secondName;
    QRadioButton **a, **b;
  };
  const Pair pairs[] = {
      {"方向", "買い", "PortfolioBuy", "売り", "PortfolioSell", &buy_, &sell_},
      {"期間", "長期", "PortfolioLong", "短期", "PortfolioShort", &long_, &short_},
      {"約定", "始値", "PortfolioFillOpen", "終値", "PortfolioFillClose", &fillOpen_, &fillClose_},
      {"優先", "売買代金", "PortfolioByTurnover", "コード順", "PortfolioByCode", &byTurnover_,
       &byCode_},
  };
  for (const Pair& p : pairs) {
    row1->addSpacing(10);
    row1->addWidget(new QLabel(QString::fromUtf8(p.caption), strip));
    *p.a = Choice(strip, row1, QString::fromUtf8(p.first), p.firstName);
    *p.b = Choice(strip, row1, QString::fromUtf8(p.second), p.secondName);
    auto* g = new QButtonGroup(this);
    g->addButton(*p.a);
    g->addButton(*p.b);
    (*p.a)->setChecked(true);
  }
  row1->addStretch(1);
  runButton_ = stripButton(strip, QStringLiteral("実行"), "PortfolioRun", 70);
  csv_ = addCsvButton(strip, "PortfolioCsv", QStringLiteral("資金管理検証.csv"),
                      [this](const QString& p) { return saveCsv(p); });
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
    TakeHalfWidth(e);
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

  bar_ = addProgressLine(sv, "PortfolioStatus", false);
  bar_->setFixedHeight(16);
  bar_->setTextVisible(false);
  bar_->setFixedWidth(160);

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
}

void PortfolioWindow::buildResults() {
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName(QStringLiteral("PortfolioSplit"));
  split->setChildrenCollapsible(false);

  // Left: the summary beside the buy-and-hold, the table by year under it.
  stats_ = new MoneyStatsPanel(QStringLiteral("Portfolio"), QStringLiteral("資金管理"), split);

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

  equity_ = MakeEquityPane(1.5, 1.2, charts);
  PutOnAxes(equity_.view->chart(), equity_.dates, equity_.log, {equity_.hold, equity_.line});
  equity_.view->setObjectName(QStringLiteral("PortfolioEquity"));

  drawdown_ = MakeDrawdownPane(kDrawdownColor, charts);
  drawdown_.view->setObjectName(QStringLiteral("PortfolioDrawdown"));
  drawdown_.view->setMinimumHeight(120);
  cv->addWidget(equity_.view, 5);
  cv->addWidget(drawdown_.view, 2);

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

  split->addWidget(stats_);
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
  bar_->setRange(0, 0);  // busy
  status_->setText(QStringLiteral("検証中…"));
  setRunning(true);
  work_.start([settings, store, list = std::move(list)] {
    return std::make_unique<PortfolioRun>(
        RunPortfolio(list, settings.inputs, settings.options, store));
  });
  timer_->start();
  return true;
}

void PortfolioWindow::poll() {
  if (work_.done()) collect();
}

void PortfolioWindow::collect() {
  timer_->stop();
  std::unique_ptr<PortfolioRun> run;
  const std::string error = work_.take(run);
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
  holdStats_ = PortfolioHoldStats(r.result, runSettings_.options.capital);
  tradeModel_->setRun(run_.get());
  showSummary();
  showChart();
  refused_->setRowCount(0);
  for (const std::string& m : r.refused) {
    const int row = refused_->rowCount();
    refused_->insertRow(row);
    refused_->setItem(row, 0, TableCell(Shown(m), false));
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
  stats_->show(run_ ? &run_->stats : nullptr, run_ ? &holdStats_ : nullptr,
               static_cast<double>(runSettings_.options.capital), run_ ? run_->result.skipped : 0);
}

QStringList PortfolioWindow::summaryItems() const { return stats_->items(); }

QString PortfolioWindow::summaryValue(const QString& item, int column) const {
  return stats_->value(item, column);
}

QTableWidget* PortfolioWindow::summaryTable() const { return stats_->summary(); }
QTableWidget* PortfolioWindow::yearTable() const { return stats_->years(); }

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
  equity_.line->replace(equity);
  equity_.hold->replace(hold);
  if (line.empty()) {
    drawdown_.top->replace(drawdown);
    drawdown_.base->clear();
    return;
  }
  const qreal first = DayMsecs(line.front().day), last = DayMsecs(line.back().day);
  drawdown_.draw(drawdown, first, last, deepest);
  SetDateRange({equity_.dates, drawdown_.dates}, first, last);
  equity_.setLogRange(lo / 1.1, hi * 1.1);
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
