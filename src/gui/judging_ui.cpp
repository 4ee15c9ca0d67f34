#include "gui/judging_ui.h"

#include <QLocale>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace tavrine::gui {

namespace {

constexpr const char* kKey = "rules/judging";
constexpr const char* kCostsKey = "rules/costs";
constexpr const char* kCostsOnKey = "rules/costsOn";

QString Yen(long double v) {
  return QLocale(QLocale::Japanese).toString(static_cast<qlonglong>(money::FloorYen(v))) +
         QStringLiteral("円");
}

}  // namespace

QString JudgingName(Judging j) {
  return j == Judging::Honest ? QStringLiteral("実売買") : QStringLiteral("後知恵");
}

QString JudgingLabelText(Judging j) {
  return j == Judging::Honest ? QStringLiteral("検証方式: 実売買")
                              : QStringLiteral("検証方式: 後知恵（将来の株価を含む）");
}

QString JudgingToolTip(Judging j) {
  return j == Judging::Honest ? QStringLiteral(
                                    "実売買: 各日の判定にはその日までの株価だけを使い、"
                                    "翌日の終値で売買します。実際に得られた成績です。")
                              : QStringLiteral(
                                    "後知恵: 各日の判定に後の日の株価を含みます。"
                                    "この成績は実際の売買では得られません。");
}

QString JudgingLabelStyle(Judging j) {
  return j == Judging::Honest ? QStringLiteral("QLabel { color: #1E4620; }")
                              : QStringLiteral("QLabel { color: #A00000; font-weight: bold; }");
}

Judging LoadJudging() {
  const QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  return s.value(kKey).toString() == QLatin1String("hindsight") ? Judging::Hindsight
                                                                : Judging::Honest;
}

void SaveJudging(Judging j) {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kKey, j == Judging::Honest ? QStringLiteral("honest") : QStringLiteral("hindsight"));
}

CostModel LoadCostModel() {
  const QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  CostModel m;
  std::string error;
  if (!money::ReadCostModelText(s.value(kCostsKey).toString().toStdString(), m, error))
    return CostModel{};
  m.set = s.value(kCostsOnKey).toBool();
  return m;
}

void SaveCostModel(const CostModel& m) {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kCostsKey, QString::fromStdString(money::CostModelText(m)));
  s.setValue(kCostsOnKey, m.set);
}

QString MoneyLabelText(const money::MoneyResult& r) {
  return QStringLiteral("  資金 %1→%2 (%3倍)  コスト %4  税 %5")
      .arg(Yen(r.capital), Yen(r.finalEquity),
           QString::number(static_cast<double>(r.net()), 'f', 3), Yen(r.costs), Yen(r.tax));
}

// ---- the money of the trade list ----------------------------------------------

bool TradeMoneyColumns::setRows(
    const std::optional<std::vector<std::optional<TradeMoneyRow>>>& rows) {
  std::vector<std::array<QString, kColumns>> cells;
  if (rows) {
    const QLocale grouped(QLocale::English);
    for (const std::optional<TradeMoneyRow>& r : *rows) {
      if (!r) {
        cells.push_back({});
        continue;
      }
      const auto pnl = static_cast<qlonglong>(std::llround(static_cast<double>(r->pnl)));
      cells.push_back(
          {grouped.toString(r->shares), grouped.toString(pnl), grouped.toString(r->cost)});
    }
  }
  const int first = firstColumn();
  const bool show = rows.has_value() && sourceModel();
  if (show != shown_) {
    // Columns come and go without a reset: the grid keeps its widths.
    if (show)
      beginInsertColumns({}, first, first + kColumns - 1);
    else
      beginRemoveColumns({}, first, first + kColumns - 1);
    shown_ = show;
    cells_ = std::move(cells);
    if (show)
      endInsertColumns();
    else
      endRemoveColumns();
    return true;
  }
  if (cells == cells_) return false;
  const std::size_t changed = std::max(cells.size(), cells_.size());
  cells_ = std::move(cells);
  if (shown_ && rowCount() > 0)
    emit dataChanged(index(0, first), index(std::min(rowCount() - 1, static_cast<int>(changed)),
                                            first + kColumns - 1));
  return true;
}

int TradeMoneyColumns::firstColumn() const {
  return sourceModel() ? sourceModel()->columnCount() : 0;
}

int TradeMoneyColumns::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return firstColumn() + (shown_ ? kColumns : 0);
}

QModelIndex TradeMoneyColumns::index(int row, int column, const QModelIndex& parent) const {
  if (!parent.isValid() && column >= firstColumn()) {
    if (row < 0 || row >= rowCount() || column >= columnCount()) return {};
    return createIndex(row, column);
  }
  return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex TradeMoneyColumns::parent(const QModelIndex&) const { return {}; }

QModelIndex TradeMoneyColumns::sibling(int row, int column, const QModelIndex&) const {
  return index(row, column);
}

QModelIndex TradeMoneyColumns::mapToSource(const QModelIndex& proxy) const {
  if (ours(proxy)) return {};
  return QIdentityProxyModel::mapToSource(proxy);
}

QVariant TradeMoneyColumns::data(const QModelIndex& index, int role) const {
  if (!ours(index)) return QIdentityProxyModel::data(index, role);
  const int c = index.column() - firstColumn();
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter |
                               (index.row() == 0 ? Qt::AlignLeft : Qt::AlignRight));
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  if (index.row() == 0) {
    static const QString heads[kColumns] = {QStringLiteral("株数"), QStringLiteral("損益(円)"),
                                            QStringLiteral("コスト")};
    return heads[c];
  }
  const auto r = static_cast<std::size_t>(index.row() - 1);
  return r < cells_.size() ? cells_[r][static_cast<std::size_t>(c)] : QString();
}

Qt::ItemFlags TradeMoneyColumns::flags(const QModelIndex& index) const {
  if (!ours(index)) return QIdentityProxyModel::flags(index);
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace tavrine::gui
