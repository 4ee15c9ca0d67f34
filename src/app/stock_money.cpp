#include "app/stock_money.h"

#include <algorithm>
#include <filesystem>

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/price_store.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

namespace {

// The index of the first day on or after day, days.size() when none is.
int FirstOnOrAfter(const std::vector<money::MoneyDay>& days, int day) {
  const auto it = std::lower_bound(days.begin(), days.end(), day,
                                   [](const money::MoneyDay& d, int v) { return d.day < v; });
  return static_cast<int>(it - days.begin());
}

// The list's closes of a stock column, oldest first.
std::vector<ListClose> ListCloses(const WorkTable& list, int k) {
  std::vector<ListClose> closes;
  for (int r = list.rowCount() - 1; r >= 1; --r) {
    const std::string& close = list.cell(k, r);
    int day = 0;
    long double v = 0;
    if (TryParseDate(list.cell(0, r), day) && TryStrToFloat(close, v) && v > 0)
      closes.push_back({day, close});
  }
  std::sort(closes.begin(), closes.end(),
            [](const ListClose& a, const ListClose& b) { return a.day < b.day; });
  return closes;
}

}  // namespace

const std::vector<money::MoneyDay>& StockDaysCache::days(const WorkTable& list, int column,
                                                         const std::string& code) {
  Key now;
  now.path = PriceStorePath();
  now.code = code;
  std::error_code ec;
  now.size = std::filesystem::file_size(now.path, ec);
  now.time = std::filesystem::last_write_time(now.path, ec);
  const std::string wal = now.path + "-wal";
  now.walSize = std::filesystem::file_size(wal, ec);
  now.walTime = std::filesystem::last_write_time(wal, ec);
  now.listVersion = list.version();
  now.column = column;
  if (!held_ || !(*held_ == now)) {
    days_ = money::MoneyDays(DailyBars(ReadStoredBars(now.path, code), ListCloses(list, column)));
    held_ = std::move(now);
  }
  return days_;
}

StockMoney RunStockMoney(const std::vector<PriceBar>& daily, const std::vector<DayTrade>& trades,
                         bool entryBuy, const CostModel& model) {
  return RunStockMoneyOn(money::MoneyDays(daily), trades, entryBuy, model);
}

StockMoney RunStockMoneyOn(std::vector<money::MoneyDay> days, const std::vector<DayTrade>& trades,
                           bool entryBuy, const CostModel& model) {
  StockMoney m;
  m.days = std::move(days);
  m.trades = trades;
  m.entryBuy = entryBuy;
  m.borrowPercent = model.borrowPercent;
  std::vector<money::MoneyOrder> orders;
  orders.reserve(trades.size());
  for (const DayTrade& t : trades) {
    money::MoneyOrder o;
    o.entryFrom = FirstOnOrAfter(m.days, t.entryDay);
    if (t.exitDay) o.exitFrom = FirstOnOrAfter(m.days, *t.exitDay);
    orders.push_back(o);
  }
  m.result = money::RunMoney(m.days, orders, entryBuy, model);
  return m;
}

std::optional<StockMoney> CurrentStockMoney(Workspace& ws) {
  if (ws.judging != Judging::Honest || !ws.costModel.set) return std::nullopt;
  const WorkTable& st = ws.SeriesTable;
  const int k = st.getInt(ctl::StockColumn);
  const WorkTable& list = ws.StockList;
  if (k < stocklist::kFirstStockColumn || k > stocklist::kLastStockColumn || k >= list.colCount())
    return std::nullopt;
  const std::string code = LeftBytes(list.cell(k, 0), 4);
  if (IsBlank(code)) return std::nullopt;

  // The backtest's rows by the dates the walked table gives them.
  const WorkTable& calc = ws.CalcTable;
  const auto dayOf = [&calc](int row, int& day) { return TryParseDate(calc.cell(0, row), day); };
  std::vector<DayTrade> trades;
  for (const walk::Trade& t : ws.backtest.closedTrades()) {
    int in = 0, out = 0;
    if (!dayOf(t.entryRow, in) || !dayOf(t.exitRow, out)) continue;
    trades.push_back({in, out});
  }
  if (const int row = ws.backtest.openEntryRow(); row > 0) {
    int in = 0;
    if (dayOf(row, in)) trades.push_back({in, std::nullopt});
  }
  return RunStockMoneyOn(ws.stockDays.days(list, k, code), trades, ws.backtest.entryBuy(),
                         ws.costModel);
}

std::vector<TradeMoneyRow> TradeMoneyRows(const StockMoney& m) {
  std::vector<TradeMoneyRow> rows;
  rows.reserve(m.result.trades.size());
  const auto date = [&m](int index) {
    return index >= 0 ? DateToStr(m.days[static_cast<std::size_t>(index)].day) : std::string();
  };
  for (const money::MoneyTrade& t : m.result.trades) {
    TradeMoneyRow row;
    row.entryDate = date(t.entryDay);
    row.exitDate = date(t.exitDay);
    row.shares = t.shares;
    row.closed = t.closed;
    row.cost = t.entryFee + t.exitFee + t.borrow;
    if (t.closed) {
      row.pnl = t.pnl;
    } else if (t.entryDay >= 0 && !m.days.empty()) {
      // Open: valued at the last close, its cost the entry fee plus borrow so far.
      const money::MoneyDay& last = m.days.back();
      const long double shares = static_cast<long double>(t.shares);
      row.cost = t.entryFee;
      if (!m.entryBuy)
        row.cost += money::Borrow(t.shares, t.entryPrice, m.borrowPercent,
                                  last.day - m.days[static_cast<std::size_t>(t.entryDay)].day);
      const long double move = m.entryBuy ? last.close - t.entryPrice : t.entryPrice - last.close;
      row.pnl = shares * move - static_cast<long double>(row.cost);
    }
    rows.push_back(row);
  }
  return rows;
}

std::string MoneyFiguresText(const money::MoneyResult& r) {
  return " net=" + FloatToStr(r.net()) + " costs=" + FloatToStr(static_cast<long double>(r.costs)) +
         " tax=" + FloatToStr(static_cast<long double>(r.tax));
}

}  // namespace tavrine
