// Money in the per-stock backtest: what a fill costs (commission, slippage
// on the exchange's tick table, borrow for a short, the yearly tax on gains)
// and the trades replayed with shares and yen. Pure: the caller gives the
// days the store and the list hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/price_bars.h"

namespace tavrine {

// The commission of one fill from its value in yen, whole yen rounded down.
struct Commission {
  enum class Kind : std::uint8_t { Zero, Rate, Tiers };
  Kind kind = Kind::Zero;
  long double ratePercent = 0;   // Rate: percent of the fill's value
  std::optional<long long> min;  // Rate: fee at least this
  std::optional<long long> max;  // Rate: fee at most this
  // Tiers: (value up to and including, fee), values rising; above is the fee
  // for a value above the last bound.
  std::vector<std::pair<long long, long long>> tiers;
  long long above = 0;
  bool operator==(const Commission&) const = default;
};

enum class FillAt : std::uint8_t { Open, Close };

// What the per-stock backtest of 実売買 takes off in money. Not set, the
// backtest is judged by its ratios alone and nothing here is read.
struct CostModel {
  bool set = false;
  Commission commission;
  int slipTicks = 0;                  // ticks against the order at each fill
  long double taxPercent = 20.315L;   // on each year's net gains; 0 for NISA
  long double borrowPercent = 1.15L;  // a year, on a short's entry value
  long long capital = 1000000;        // yen a stock
  FillAt fill = FillAt::Open;
  bool operator==(const CostModel&) const = default;
};

namespace money {

// The standard tick (呼値) at a price, "up to" including the bound.
long long TickSize(long double price);
// A buy fills n ticks above the price, a sell n ticks below, each tick the
// one at the price itself, off the grid as it comes.
long double SlippedPrice(long double price, int ticks, bool buy);
// The commission of a fill of this value, whole yen rounded down.
long long Fee(const Commission& c, long double value);
// Borrow of a short of shares at entry held for calendarDays, whole yen
// rounded down.
long long Borrow(long long shares, long double entry, long double percentYear, int calendarDays);
// A value rounded down to whole yen, forgiving binary noise just below a
// whole yen.
long long FloorYen(long double v);

// Each form read into a model field; false with a Japanese message naming
// the text and a good example.
bool ParseCommission(const std::string& text, Commission& out, std::string& error);
bool ParseTicks(const std::string& text, int& out, std::string& error);
bool ParsePercent(const std::string& text, const char* what, long double& out, std::string& error);
bool ParseCapital(const std::string& text, long long& out, std::string& error);
bool ParseFill(const std::string& text, FillAt& out, std::string& error);

// One setting of the model by its key (commission, slip, tax, borrow,
// capital, fill), as the driver and the window's settings write them.
enum class CostSetting : std::uint8_t { Unknown, Read, Refused };
CostSetting ReadCostSetting(const std::string& key, const std::string& value, CostModel& m,
                            std::string& error);
// The commission in the form ParseCommission reads.
std::string CommissionText(const Commission& c);
// The model as "commission=… slip=… tax=… borrow=… capital=… fill=…", each
// setting in the form ReadCostSetting reads back.
std::string CostModelText(const CostModel& m);
// A text of space-separated KEY=VALUE settings over m; false with the first
// refusal's message (or the unknown key named) and m unchanged.
bool ReadCostModelText(const std::string& text, CostModel& m, std::string& error);

// The yearly tax: gains of closed trades (losses offset within a calendar
// year) summed by the year of their exit; a year's tax is due once a later
// year's day comes, the open year's on the list's last day.
class YearTax {
 public:
  explicit YearTax(long double percent) : percent_(percent) {}
  // The day (DaysFromCivil) of a fill or of the list's end: the tax of a
  // finished year before it, 0 when none is due.
  long long turn(int day);
  // A closed trade's gain (negative for a loss) in the current year.
  void add(long double gain) { sum_ += gain; }
  // The tax of the year still open.
  long long finish();

 private:
  long double percent_;
  int year_ = 0;
  long double sum_ = 0;
};

// A day of the list as the fills read it, oldest first: its close on the
// list's basis and, where the store agrees with the list, its open and the
// limit flags.
struct MoneyDay {
  int day = 0;  // DaysFromCivil
  long double close = 0;
  std::optional<long double> open;
  bool stopHigh = false, stopLow = false;
};

// The list's daily bars (DailyBars) as the fills read them; a day whose
// close is no positive number is left out.
std::vector<MoneyDay> MoneyDays(const std::vector<PriceBar>& daily);
// The index of a day (DaysFromCivil) in days, -1 when it is none of them.
int DayIndex(const std::vector<MoneyDay>& days, int day);

// A trade the walk closed or opened, by the days (indices into the days)
// whose orders it fills on: the first day the order can fill from.
struct MoneyOrder {
  int entryFrom = 0;
  int exitFrom = -1;  // -1 while the trade is still open
};

struct MoneyTrade {
  int entryDay = -1, exitDay = -1;  // indices of the fills; -1 not filled
  long double entryPrice = 0, exitPrice = 0;
  long long shares = 0;
  long long entryFee = 0, exitFee = 0, borrow = 0;
  long double pnl = 0;  // shares x price difference - cost, closed trades
  bool closed = false;
};

struct MoneyResult {
  long long capital = 0;
  std::vector<MoneyTrade> trades;  // one a given order, same order
  long double finalEquity = 0;     // cash plus open positions at the last close, after tax
  long long costs = 0;             // commissions, slippage is in the prices, and borrow
  long long tax = 0;
  long double net() const {
    return capital > 0 ? finalEquity / static_cast<long double>(capital) : 0;
  }
};

// The trades replayed with money over the days, starting from the capital
// and reinvesting. Each fill reads only its own day.
MoneyResult RunMoney(const std::vector<MoneyDay>& days, const std::vector<MoneyOrder>& orders,
                     bool entryBuy, const CostModel& model);

}  // namespace money
}  // namespace tavrine
