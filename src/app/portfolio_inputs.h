// What a portfolio backtest starts from: one rule judged honestly over every
// stock of the list, as the rule scan walks it, with each stock's days,
// closes and trades. Nothing of the window is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "signals/backtest_options.h"

namespace tavrine {

class WorkTable;

// One trade of a stock by its days (DaysFromCivil). A decision read on a
// signal day is carried out at the close of the next list day, the day the
// rule button lists the trade with.
struct PortfolioTrade {
  int entrySignal = 0;
  int entryDay = 0;
  std::optional<int> exitSignal;  // none: still open on the newest day
  std::optional<int> exitDay;
  EntrySide side = EntrySide::Buy;
};

struct PortfolioStock {
  int column = 0;                      // StockList column
  std::string code;                    // first four characters of the heading
  std::vector<int> days;               // the stock's list days, oldest first
  std::vector<long long> closes;       // whole yen on those days
  std::vector<PortfolioTrade> trades;  // oldest first
};

struct PortfolioInputs {
  std::vector<PortfolioStock> stocks;  // in list column order
  std::vector<std::string> refused;    // one Japanese message a stock left out
};

struct PortfolioInputOptions {
  int tag = 0;  // the rule button's tag (kRules): S1 .. ST
  EntrySide entry = EntrySide::Buy;
  bool shortTerm = false;  // false: the long-term rule set
  int threads = 2;
};

// Every stock column of the list (ScanColumns) judged honestly by one rule.
// A stock whose closes are not all plain prices, whose history is shorter
// than the price scale reads, whose dates do not read, or whose rule column
// holds a cell the rule button stops on is left out and named in `refused`.
PortfolioInputs CollectPortfolioInputs(const WorkTable& stockList,
                                       const PortfolioInputOptions& options);

}  // namespace tavrine
