// The way of judging ("検証方式") as the windows show it and the user's
// settings keep it: "実売買" (every value a rule reads for a day comes from
// closes up to that day) or "後知恵" (the original computation, which reads
// later closes).
#pragma once

#include <QIdentityProxyModel>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "app/stock_money.h"
#include "signals/money.h"
#include "store/state.h"

namespace tavrine::gui {

// "実売買" or "後知恵", as the switch offers them.
QString JudgingName(Judging j);
// The line beside the statistics: "検証方式: 実売買" or
// "検証方式: 後知恵（将来の株価を含む）".
QString JudgingLabelText(Judging j);
// What the way of judging means for the figures, for tooltips.
QString JudgingToolTip(Judging j);
// Style of the label: hindsight stands out, since its figures could not
// have been earned.
QString JudgingLabelStyle(Judging j);

// The way kept in the user's settings; 実売買 when none was kept or the
// kept value is unknown.
Judging LoadJudging();
void SaveJudging(Judging j);

// The per-stock cost model (売買コスト) kept in the user's settings as its
// text; not set when none was kept or the kept text does not read.
CostModel LoadCostModel();
void SaveCostModel(const CostModel& m);

// What the money of the current backtest adds to the label: final equity
// over the capital, costs and tax in yen.
QString MoneyLabelText(const money::MoneyResult& r);

// The statistics grid with the money of its listed trades after the grid's
// own columns: 株数, 損益(円), コスト, shown only while the current backtest
// has money (実売買 with a cost model set). The grid's own columns keep
// their numbers, so everything that reads them reads as before.
class TradeMoneyColumns : public QIdentityProxyModel {
 public:
  static constexpr int kColumns = 3;
  explicit TradeMoneyColumns(QObject* parent) : QIdentityProxyModel(parent) {}

  // rows[i] is the money of the list's row i + 1 (none: a row without a
  // trade of the money); no rows at all takes the columns away. True when
  // anything shown changed.
  bool setRows(const std::optional<std::vector<std::optional<TradeMoneyRow>>>& rows);
  bool shown() const { return shown_; }
  // The first money column: the grid's own column count.
  int firstColumn() const;

  int columnCount(const QModelIndex& parent = {}) const override;
  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  QModelIndex sibling(int row, int column, const QModelIndex& idx) const override;
  QModelIndex mapToSource(const QModelIndex& proxy) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool ours(const QModelIndex& index) const {
    return index.isValid() && index.column() >= firstColumn();
  }
  bool shown_ = false;
  std::vector<std::array<QString, kColumns>> cells_;  // the list's rows 1 ..
};

}  // namespace tavrine::gui
