// The per-stock backtest of 実売買 with money: the current backtest's trades
// replayed with shares and yen over the stock's days as the price store
// gives them (open, limit flags), by the workspace's cost model. The
// entries and exits stay the backtest's; only the money comes from here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "signals/money.h"
#include "store/price_bars.h"

namespace tavrine {

class Workspace;
class WorkTable;

// A stock's days as the fills read them, kept between rule presses: built
// again only when the stock, the list or the price store has changed.
class StockDaysCache {
 public:
  const std::vector<money::MoneyDay>& days(const WorkTable& list, int column,
                                           const std::string& code);

  struct Key {
    std::string path, code;
    std::uintmax_t size = 0, walSize = 0;  // the store file and its write-ahead log
    std::filesystem::file_time_type time{}, walTime{};
    std::uint64_t listVersion = 0;
    int column = 0;
    bool operator==(const Key&) const = default;
  };

 private:
  std::optional<Key> held_;
  std::vector<money::MoneyDay> days_;
};

// A trade of the backtest by its days (DaysFromCivil): the day each
// decision is carried out on, the day after its signal.
struct DayTrade {
  int entryDay = 0;
  std::optional<int> exitDay;  // none: still open on the newest day
};

struct StockMoney {
  std::vector<money::MoneyDay> days;  // the list's days as the fills read them
  std::vector<DayTrade> trades;       // the backtest's, oldest first, the open one last
  money::MoneyResult result;          // one money trade a trade above
  bool entryBuy = true;
  long double borrowPercent = 0;  // a year, for an open short's borrow so far
};

// The trades replayed from the list's daily bars. An order carried out on
// a day fills from that day (its open where the store has it); a day the
// list does not price moves it to the next day it does.
StockMoney RunStockMoney(const std::vector<PriceBar>& daily, const std::vector<DayTrade>& trades,
                         bool entryBuy, const CostModel& model);
// The same over days already read (MoneyDays).
StockMoney RunStockMoneyOn(std::vector<money::MoneyDay> days, const std::vector<DayTrade>& trades,
                           bool entryBuy, const CostModel& model);

// The current stock's current backtest with money, when judged honestly
// with a cost model set and a stock charted; none otherwise.
std::optional<StockMoney> CurrentStockMoney(Workspace& ws);

// One trade as the trade list shows its money: dates as the list writes
// them ("" where not filled), 株数, 損益(円) and コスト (commissions of both
// fills plus borrow, whole yen).
struct TradeMoneyRow {
  std::string entryDate, exitDate;
  long long shares = 0;
  long double pnl = 0;  // closed trades; an open one is valued at the last close
  long long cost = 0;
  bool closed = false;
};
std::vector<TradeMoneyRow> TradeMoneyRows(const StockMoney& m);

// " net=X costs=N tax=N" for the driver's figures line, numbers in the
// 15-digit general form.
std::string MoneyFiguresText(const money::MoneyResult& r);

}  // namespace tavrine
