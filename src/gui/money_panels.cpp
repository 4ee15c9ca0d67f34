#include "gui/money_panels.h"

#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <string>
#include <vector>

#include "app/portfolio.h"
#include "app/portfolio_settings.h"
#include "gui/widgets.h"

namespace tavrine::gui {

QString YenText(const std::optional<double>& v) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QLocale(QLocale::English).toString(static_cast<qlonglong>(std::llround(*v)));
}

QString FixedText(const std::optional<double>& v, int decimals) {
  if (!v || !std::isfinite(*v)) return QStringLiteral("-");
  return QString::number(*v, 'f', decimals);
}

QString PercentText(const std::optional<double>& v) {
  return v ? FixedText(*v * 100, 2) : QStringLiteral("-");
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

QTableWidgetItem* TableCell(const QString& text, bool number) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
  return item;
}

// ---- the statistics --------------------------------------------------------

MoneyStatsPanel::MoneyStatsPanel(const QString& name, const QString& column, QWidget* parent)
    : QWidget(parent) {
  auto* lv = new QVBoxLayout(this);
  lv->setContentsMargins(6, 6, 0, 6);
  lv->setSpacing(6);
  summary_ =
      PlainTable(this, name + QStringLiteral("Summary"),
                 {QStringLiteral("項目"), column, QStringLiteral("買持"), QStringLiteral("単位")});
  for (const auto& [c, width] : {std::pair{0, 118}, {1, 96}, {2, 88}, {3, 44}})
    summary_->setColumnWidth(c, width);
  summary_->setSelectionMode(QAbstractItemView::NoSelection);
  lv->addWidget(summary_);
  years_ = PlainTable(this, name + QStringLiteral("Years"),
                      {QStringLiteral("年"), QStringLiteral("損益率(%)"),
                       QStringLiteral("最大DD(%)"), QStringLiteral("取引数")});
  for (const auto& [c, width] : {std::pair{0, 60}, {1, 96}, {2, 96}, {3, 70}})
    years_->setColumnWidth(c, width);
  lv->addWidget(years_, 1);
  setMinimumWidth(370);
}

void MoneyStatsPanel::show(const equity::Stats* shown, const equity::Stats* shownHold,
                           double capital, std::optional<int> skipped) {
  // Before the first run the items stand with no values.
  const equity::Stats before;
  const equity::Stats& s = shown ? *shown : before;
  const equity::Stats& h = shownHold ? *shownHold : before;
  const auto ratio = [capital](const std::optional<double>& v) -> std::optional<double> {
    if (!v || capital <= 0) return std::nullopt;
    return *v / capital;
  };
  const QString none;
  struct Row {
    QString item, value, hold, unit;
  };
  std::vector<Row> rows = {
      {QStringLiteral("最終資産"), YenText(s.finalEquity), YenText(h.finalEquity),
       QStringLiteral("円")},
      {QStringLiteral("資産倍率"), FixedText(ratio(s.finalEquity), 3),
       FixedText(ratio(h.finalEquity), 3), QStringLiteral("倍")},
      {QStringLiteral("年率(CAGR)"), PercentText(s.cagr), PercentText(h.cagr), QStringLiteral("%")},
      {QStringLiteral("最大DD"), PercentText(s.maxdd), PercentText(h.maxdd), QStringLiteral("%")},
      {QStringLiteral("最長DD期間"), QString::number(s.ddays), QString::number(h.ddays),
       QStringLiteral("日")},
      {QStringLiteral("シャープレシオ"), FixedText(s.sharpe, 2), FixedText(h.sharpe, 2), none},
      {QStringLiteral("ソルティノレシオ"), FixedText(s.sortino, 2), FixedText(h.sortino, 2), none},
      {QStringLiteral("取引数"), QString::number(s.trades), none, QStringLiteral("回")},
      {QStringLiteral("勝率"), PercentText(s.winRate), none, QStringLiteral("%")},
      {QStringLiteral("PF"), FixedText(s.profitFactor, 2), none, QStringLiteral("倍")},
      {QStringLiteral("期待値"), YenText(s.expectancy), none, QStringLiteral("円")},
      {QStringLiteral("期待値(率)"), PercentText(s.expectancyPct), none, QStringLiteral("%")},
      {QStringLiteral("平均保有日数"), FixedText(s.averageDays, 1), none, QStringLiteral("日")},
      {QStringLiteral("保有率"), PercentText(s.exposure), none, QStringLiteral("%")},
      {QStringLiteral("年間取引数"), FixedText(s.tradesPerYear, 1), none, QStringLiteral("回/年")},
      {QStringLiteral("売買コスト"), YenText(s.costs), none, QStringLiteral("円")},
      {QStringLiteral("税"), YenText(s.tax), none, QStringLiteral("円")},
  };
  if (skipped)
    rows.push_back(
        {QStringLiteral("見送り"), QString::number(*skipped), none, QStringLiteral("回")});
  const QString dash = QStringLiteral("-");
  summary_->setRowCount(static_cast<int>(rows.size()));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const Row& r = rows[static_cast<std::size_t>(i)];
    summary_->setItem(i, 0, TableCell(r.item, false));
    summary_->setItem(i, 1, TableCell(shown ? r.value : dash, true));
    summary_->setItem(i, 2, TableCell(shown || r.hold.isEmpty() ? r.hold : dash, true));
    summary_->setItem(i, 3, TableCell(r.unit, false));
  }
  // Every item in sight without scrolling.
  summary_->setFixedHeight(summary_->horizontalHeader()->sizeHint().height() +
                           summary_->rowCount() * summary_->verticalHeader()->defaultSectionSize() +
                           2 * summary_->frameWidth());
  showYears(s.years);
}

void MoneyStatsPanel::showYears(const std::vector<equity::YearRow>& ys) {
  years_->setRowCount(static_cast<int>(ys.size()));
  for (int i = 0; i < static_cast<int>(ys.size()); ++i) {
    const equity::YearRow& y = ys[static_cast<std::size_t>(i)];
    years_->setItem(i, 0, TableCell(QString::number(y.year), false));
    years_->setItem(i, 1, TableCell(PercentText(y.ret), true));
    years_->setItem(i, 2, TableCell(PercentText(y.maxdd), true));
    years_->setItem(i, 3, TableCell(QString::number(y.trades), true));
  }
}

QStringList MoneyStatsPanel::items() const {
  QStringList items;
  for (int i = 0; i < summary_->rowCount(); ++i) items << summary_->item(i, 0)->text();
  return items;
}

QString MoneyStatsPanel::value(const QString& item, int column) const {
  for (int i = 0; i < summary_->rowCount(); ++i)
    if (summary_->item(i, 0)->text() == item) {
      const QTableWidgetItem* cell = summary_->item(i, 1 + column);
      return cell ? cell->text() : QString();
    }
  return {};
}

// ---- the portfolio's trade list ----------------------------------------------

void PortfolioTradeModel::setRun(const PortfolioRun* run) {
  beginResetModel();
  run_ = run;
  endResetModel();
}

int PortfolioTradeModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !run_ ? 0 : static_cast<int>(run_->result.trades.size());
}

int PortfolioTradeModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(PortfolioTradeHeadings().size());
}

QVariant PortfolioTradeModel::data(const QModelIndex& index, int role) const {
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

QVariant PortfolioTradeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (section < 0 || section >= columnCount()) return {};
  return QString::fromStdString(PortfolioTradeHeadings()[static_cast<std::size_t>(section)]);
}

}  // namespace tavrine::gui
