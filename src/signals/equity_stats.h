// The statistics of a money backtest: what its daily equity line, its trades
// and its buy-and-hold line say about it. Pure arithmetic on the numbers
// given; nothing is read from a table or a store. std::nullopt is "no value".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrine::equity {

// One day of a line: the day as DaysFromCivil and a value in yen.
struct Point {
  int day = 0;
  double value = 0;
};

// A closed trade. pnl is after costs and before tax.
struct ClosedTrade {
  int entryDay = 0, exitDay = 0;
  double pnl = 0;         // yen
  double entryValue = 0;  // yen paid (or received, selling first) at the entry
  double cost = 0;        // commission and slippage of both fills, yen
  double tax = 0;         // tax on the gain, yen (0 on a loss)
};

// A trade still open on the last day of the line.
struct OpenTrade {
  int entryDay = 0;
  double entryValue = 0;
  double cost = 0;  // paid at the entry so far
};

struct Inputs {
  std::vector<Point> equity;  // oldest first, one point an equity day
  double capital = 0;
  std::vector<ClosedTrade> closed;
  std::vector<OpenTrade> open;
  std::vector<double> hold;  // buy-and-hold value on the equity days (its last one counts)
  std::vector<bool> held;    // held[i]: a position was open on equity day i
};

// One calendar year of the line.
struct YearRow {
  int year = 0;
  // Last value of the year over the last value of the previous year (the
  // capital for the first year), minus 1; none over a base that is not above 0.
  std::optional<double> ret;
  double maxdd = 0;  // largest fall from a high within the year, as a fraction
  int trades = 0;    // trades closed in the year
};

struct Stats {
  std::optional<double> finalEquity;
  // (final / capital)^(365.25 / calendar days of the line) - 1.
  std::optional<double> cagr;
  double maxdd = 0;  // largest fall from a previous high, as a fraction
  // Calendar days from the peak to the recovery (or the last day) of the
  // drawdown that lasts longest; 0 without a drawdown.
  int ddays = 0;
  std::optional<double> sharpe, sortino;  // of daily returns, times sqrt(245)
  int trades = 0;
  int wins = 0;  // pnl above 0
  std::optional<double> winRate;
  std::optional<double> profitFactor;   // gains over losses; none when no trade lost
  std::optional<double> expectancy;     // mean pnl, yen
  std::optional<double> expectancyPct;  // mean of pnl / entry value, as a fraction
  std::optional<double> averageDays;    // calendar days from entry to exit
  std::optional<double> exposure;       // share of equity days with a position
  std::optional<double> tradesPerYear;  // closed trades over the years of the line
  double costs = 0;                     // of closed and open trades
  double tax = 0;
  std::optional<double> hold;  // buy-and-hold final value over the capital
  std::vector<YearRow> years;  // oldest first
};

// Trading days a year the ratios are annualised with.
inline constexpr double kTradingDaysAYear = 245;

Stats Compute(const Inputs& in);

// The numbers of the `portfolio` summary line, each in the 15-digit general
// form and "-" for no value: "final=F cagr=C maxdd=D ddays=N sharpe=S
// sortino=O trades=T wins=W winrate=R pf=P exp=E exppct=X days=A exposure=X
// peryear=Y costs=C tax=T hold=H".
std::string SummaryNumbers(const Stats& s);
// One year of the table: "year=Y ret=R maxdd=D trades=T".
std::string YearNumbers(const YearRow& y);

}  // namespace tavrine::equity
