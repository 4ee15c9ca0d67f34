// Sample data folder: a stock list, its calendar, the all-codes list, the
// candidate and portfolio lists, the sibling tool files and the market folder
// that the stand-in quote site serves. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrine::sample {

struct Options {
  std::string dir;   // written as both TAVRINE_HOME and TAVRINE_ROOT
  int stocks = 199;  // list stocks; at most 197 (columns 198, 199 stay empty)
  int days = 4860;   // trading days in the stock list
  std::uint64_t seed = 1;
  int today = 0;         // whole days (tavrine::DaysFromCivil); 0: $TAVRINE_TODAY or the clock
  int lag = 0;           // the list ends this many trading days before today
  int marketExtra = 40;  // codes in the all-codes list and the market that are not in the list
  int badColumn = 0;     // list column that gets "1,234" in row 10 (0: none)
};

// Codes the market folder always holds, whatever the seed.
inline constexpr const char* kShort120 = "1001";  // 120 market rows
inline constexpr const char* kShort30 = "1002";   // 30 market rows
inline constexpr const char* kEmpty = "1003";     // no rows at all
inline constexpr const char* kHuge = "9997";      // values of 8 digits (10 bytes with commas)
inline constexpr const char* kMax9 = "9998";      // values up to 9999999 (9 bytes with commas)
inline constexpr const char* kUnlisted = "9999";  // market file, but not in zenncode.txt
inline constexpr const char* kIndex = "998407";   // the index: one row per trading day
inline constexpr const char* kTopix = "998405";

struct Stock {
  std::string code;
  std::string name;
  std::string market;  // "東証1部" ...
  int column = 0;      // StockList column, 0 when not in the list
  int tick = 100;      // price step in hundredths of a yen (100, 50, or 1 for indices)
  int topBlanks = 0;   // list rows 1..topBlanks are blank
  bool inZenncode = true;
  // Close in hundredths of a yen per market day, index 0 = the newest trading
  // day up to today; -1 where the stock has no price that day.
  std::vector<std::int64_t> close;
};

struct Result {
  std::vector<int> marketDays;  // trading days newest first, up to today
  int lag = 0;                  // list row r is marketDays[lag + r - 1]
  int days = 0;                 // list rows 1..days
  std::vector<Stock> stocks;    // list stocks in column order, then the rest
  std::string memoCode;         // the code written to memo.txt
};

// Builds the data without writing anything.
Result Build(const Options& opt);
// Builds and writes the whole folder; throws std::runtime_error on failure.
Result Generate(const Options& opt);

// Decimal text of a price held in hundredths ("1234", "1234.5", "10676.64").
std::string PriceText(std::int64_t hundredths);

// Parses the command line (program name first). Returns an empty text on
// success, else the problem.
std::string ParseArgs(int argc, char** argv, Options& opt);
const char* Usage();

}  // namespace tavrine::sample
