// The main window's way of judging and today's signals: the switch
// "検証方式" and the button "本日の信号" on the rule panel's third row, the
// label over the statistics with the per-stock cost model's button and the
// money's statistics (資金の成績) beside it, the money columns of the trade
// list, and the today window.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/scan.h"
#include "app/stock_money.h"
#include "app/stock_money_stats.h"
#include "gui/judging_ui.h"
#include "gui/main_window.h"
#include "gui/main_window_layout.h"
#include "gui/stock_money_window.h"
#include "gui/style.h"
#include "gui/today_window.h"
#include "gui/widgets.h"
#include "store/control_cells.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

// The rule panel's third row, under the term and scan buttons.
constexpr int kThirdRowTop = 64;
constexpr QRect kJudgingCaption{4, kThirdRowTop, 52, 26};
constexpr QRect kJudgingBox{58, kThirdRowTop, 76, 26};
constexpr QRect kTodayButton{138, kThirdRowTop, 74, 26};
// The line over the statistics grid.
constexpr int kJudgingLabelHeight = 18;
constexpr int kJudgingLabelIndent = 6;

// What the money's statistics are of: the stock and the rule as the
// statistics name it ("1721 コムシス　S1").
QString MoneySubject(const Workspace& ws) {
  const int k = ws.SeriesTable.getInt(ctl::StockColumn);
  const WorkTable& list = ws.StockList;
  if (k < stocklist::kFirstStockColumn || k >= list.colCount()) return {};
  return Shown(list.cell(k, 0)).trimmed() + QStringLiteral("　") + Shown(ws.backtest.condition()) +
         (ws.backtest.entryBuy() ? QStringLiteral("　入買") : QStringLiteral("　入売"));
}

}  // namespace

void MainWindow::buildJudgingControls(QWidget* rulePanel) {
  auto* caption = new QLabel(QStringLiteral("検証方式"), rulePanel);
  bind("JudgingCaption", caption);
  caption->setGeometry(kJudgingCaption);
  caption->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);

  auto* box = new QComboBox(rulePanel);
  bind("JudgingBox", box);
  box->setGeometry(kJudgingBox);
  box->addItem(JudgingName(Judging::Honest), static_cast<int>(Judging::Honest));
  box->addItem(JudgingName(Judging::Hindsight), static_cast<int>(Judging::Hindsight));
  box->setItemData(0, JudgingToolTip(Judging::Honest), Qt::ToolTipRole);
  box->setItemData(1, JudgingToolTip(Judging::Hindsight), Qt::ToolTipRole);
  box->setToolTip(
      QStringLiteral("実売買: その日までの株価で判定し翌日の終値で売買します。\n"
                     "後知恵: 後の日の株価を含む元の計算です。"));
  connect(box, &QComboBox::activated, this, [this, box](int index) {
    setJudging(static_cast<Judging>(box->itemData(index).toInt()));
  });

  auto* today = new QPushButton(QStringLiteral("本日の信号"), rulePanel);
  bind("TodayButton", today);
  today->setGeometry(kTodayButton);
  today->setToolTip(QStringLiteral("最新の日に買い・売りに変わった銘柄と規則を一覧にします"));
  connect(today, &QPushButton::clicked, this, [this] { openToday(); });

  // The label stands over the statistics grid, in a column of its own with
  // it, so the grid keeps no mark of the way of judging.
  GridView* stats = grid("StringGrid4");
  QWidget* area = stats->parentWidget();
  auto* column = new QWidget(area);
  auto* v = new QVBoxLayout(column);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* line = new QWidget(column);
  auto* h = new QHBoxLayout(line);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(4);
  auto* label = new QLabel(line);
  bind("JudgingLabel", label);
  label->setFixedHeight(kJudgingLabelHeight);
  label->setIndent(kJudgingLabelIndent);
  label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  const auto lineButton = [this, line](const char* name, const QString& text, const QString& tip) {
    auto* b = new QToolButton(line);
    bind(name, b);
    b->setText(text);
    b->setFixedHeight(kJudgingLabelHeight);
    b->setToolTip(tip);
    return b;
  };
  QToolButton* costs =
      lineButton("CostsButton", QStringLiteral("売買コスト…"),
                 QStringLiteral("実売買の検証に手数料・スリッページ・税・貸株料・元手を入れ、"
                                "100株単位の損益(円)を計算します"));
  connect(costs, &QToolButton::clicked, this, [this] { editCosts(); });
  QToolButton* figures = lineButton(
      "MoneyStatsButton", QStringLiteral("資金の成績…"),
      QStringLiteral("売買コストを入れた検証の最終資産・年率・最大DD・シャープレシオなどを、"
                     "同じ銘柄の買持と並べて出します"));
  connect(figures, &QToolButton::clicked, this, [this] {
    auto* w = findChild<StockMoneyWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!w) {
      w = new StockMoneyWindow(this);
      w->messageHook = platform_.messageHook;
    }
    BringToFront(w);
    mirrorJudging();
  });
  h->addWidget(label, 1);
  h->addWidget(figures);
  h->addWidget(costs);
  delete area->layout()->replaceWidget(stats, column);
  // The grid keeps the height it may shrink to; the area grows by the line.
  area->setMinimumHeight(area->minimumHeight() + kJudgingLabelHeight);
  v->addWidget(line);
  v->addWidget(stats, 1);
}

void MainWindow::startJudging() {
  // Unattended runs judge as a first start does, whatever the user chose.
  ws_.judging = remember_ ? LoadJudging() : Judging::Honest;
  ws_.costModel = remember_ ? LoadCostModel() : CostModel{};
  // The money columns go beside the trade list through a model over the
  // grid's own, put in once the grid's own model is set up; the widths the
  // grid was given stay.
  GridView* stats = grid("StringGrid4");
  if (!stats || dynamic_cast<TradeMoneyColumns*>(stats->model())) return;
  QHeaderView* h = stats->horizontalHeader();
  std::vector<int> widths;
  for (int c = 0; c < h->count(); ++c) widths.push_back(h->sectionSize(c));
  auto* money = new TradeMoneyColumns(stats);
  money->setSourceModel(stats->model());
  stats->setModel(money);
  for (int c = 0; c < h->count() && c < static_cast<int>(widths.size()); ++c)
    if (h->sectionSize(c) != widths[static_cast<std::size_t>(c)])
      h->resizeSection(c, widths[static_cast<std::size_t>(c)]);
}

bool MainWindow::editCosts() {
  const CostModel& m = ws_.costModel;
  QDialog d(this);
  d.setObjectName(QStringLiteral("CostsDialog"));
  d.setWindowTitle(QStringLiteral("売買コスト"));
  auto* form = new QFormLayout(&d);
  auto* on =
      new QCheckBox(QStringLiteral("実売買の検証で売買コストと100株単位の損益を計算する"), &d);
  on->setObjectName(QStringLiteral("CostsOn"));
  on->setChecked(m.set);
  form->addRow(on);
  const auto field = [&](const char* name, const QString& caption, const std::string& text,
                         const QString& tip) {
    auto* e = new QLineEdit(QString::fromStdString(text), &d);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(tip);
    form->addRow(caption, e);
    return e;
  };
  QLineEdit* commission = field(
      "CostsCommission", QStringLiteral("手数料"), money::CommissionText(m.commission),
      QStringLiteral("zero: 無料\nrate:率%[:最低円[:最高円]] 例 rate:0.099:0:1000\n"
                     "tiers:約定代金=手数料;…;それ以上の手数料 例 tiers:50000=55;100000=99;1070"));
  auto* slip = new QSpinBox(&d);
  slip->setObjectName(QStringLiteral("CostsSlip"));
  slip->setRange(0, 1000);
  slip->setValue(m.slipTicks);
  slip->setToolTip(QStringLiteral("買いは呼値n本上、売りはn本下で約定します"));
  form->addRow(QStringLiteral("スリッページ(呼値)"), slip);
  QLineEdit* tax = field("CostsTax", QStringLiteral("税率(%)"), FloatToStr(m.taxPercent),
                         QStringLiteral("暦年ごとの利益(損失と通算)に掛かります。NISAは0"));
  QLineEdit* borrow =
      field("CostsBorrow", QStringLiteral("貸株料(年%)"), FloatToStr(m.borrowPercent),
            QStringLiteral("売りから入る取引の建玉に暦日で掛かります"));
  QLineEdit* capital =
      field("CostsCapital", QStringLiteral("元手(円)"), IntToStr(m.capital),
            QStringLiteral("1単元がこれを超える株では10単元分(10万円単位に切上げ)"));
  auto* fill = new QComboBox(&d);
  fill->setObjectName(QStringLiteral("CostsFill"));
  fill->addItem(QStringLiteral("翌日の始値"));
  fill->addItem(QStringLiteral("翌日の終値"));
  fill->setCurrentIndex(m.fill == FillAt::Open ? 0 : 1);
  form->addRow(QStringLiteral("約定"), fill);
  auto* error = new QLabel(&d);
  error->setObjectName(QStringLiteral("CostsError"));
  error->setStyleSheet(QStringLiteral("QLabel { color: #A00000; }"));
  error->setWordWrap(true);
  form->addRow(error);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  form->addRow(buttons);
  CostModel read = m;
  const auto text = [](const QLineEdit* e) { return HalfWidth(e->text().trimmed().toStdString()); };
  connect(buttons, &QDialogButtonBox::accepted, &d, [&] {
    std::string why;
    const std::string settings = "commission=" + text(commission) +
                                 " slip=" + IntToStr(slip->value()) + " tax=" + text(tax) +
                                 " borrow=" + text(borrow) + " capital=" + text(capital) +
                                 " fill=" + (fill->currentIndex() == 0 ? "open" : "close");
    CostModel next = m;
    if (!money::ReadCostModelText(settings, next, why)) {
      error->setText(QString::fromStdString(why));
      return;
    }
    next.set = on->isChecked();
    read = next;
    d.accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  if (d.exec() != QDialog::Accepted || read == m) return false;
  ws_.costModel = read;
  if (remember_) SaveCostModel(read);
  mirror();
  return true;
}

void MainWindow::setJudging(Judging j) {
  platform_.beginWait();
  ws_.setJudging(j);
  platform_.endWait();
  // A handler waiting for a page leaves the way as it was.
  if (remember_ && ws_.judging == j) SaveJudging(j);
  mirror();
}

void MainWindow::mirrorJudging() {
  const Judging j = ws_.judging;
  if (auto* box = qobject_cast<QComboBox*>(widget("JudgingBox"))) {
    const int index = box->findData(static_cast<int>(j));
    if (box->currentIndex() != index) box->setCurrentIndex(index);
  }
  const std::optional<StockMoney> money = CurrentStockMoney(ws_);
  if (GridView* stats = grid("StringGrid4"))
    if (auto* columns = dynamic_cast<TradeMoneyColumns*>(stats->model())) {
      // New money texts read whole, as the grid's own do after a backtest.
      if (columns->setRows(money ? std::optional(ListedTradeMoney(*money, ws_.StatsTable))
                                 : std::nullopt) &&
          columns->shown())
        stats->fitColumnsToTexts(layout::kStatsRowsFitted);
    }
  if (QWidget* figures = widget("MoneyStatsButton")) figures->setEnabled(money.has_value());
  if (auto* w = findChild<StockMoneyWindow*>(QString(), Qt::FindDirectChildrenOnly);
      w && w->isVisible())
    w->showMoney(money ? &*money : nullptr, ws_.costModel.taxPercent,
                 money ? MoneySubject(ws_) : QString());
  if (auto* label = qobject_cast<QLabel*>(widget("JudgingLabel"))) {
    QString text = JudgingLabelText(j);
    if (money) text += MoneyLabelText(money->result);
    if (label->text() != text) {
      label->setText(text);
      label->setToolTip(JudgingToolTip(j));
      label->setStyleSheet(JudgingLabelStyle(j));
    }
  }
}

TodayWindow* MainWindow::openToday() {
  if (!today_) {
    TodaySource source;
    source.stockList = [this] { return ws_.StockList; };
    source.pick = [this](const TodayListRow& row) {
      pickStockRule(row.code, row.tag, row.shortTerm);
    };
    today_ = new TodayWindow(std::move(source), this);
    today_->messageHook = platform_.messageHook;
  }
  today_->refresh();
  BringToFront(today_);
  return today_;
}

}  // namespace tavrine::gui
