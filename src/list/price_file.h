// One daily-price file as users download it from a broker or a free price
// site, read into the closes the stock list keeps. The form is told apart by
// the header line, never by the file name:
//   Date,Open,High,Low,Close,Adj Close,Volume   (null marks a missing value)
//   Date,Open,High,Low,Close,Volume
//   日付,始値,高値,安値,終値,出来高[,終値調整値]  (optionally after one title
//                                              line "7203 トヨタ自動車 東証プライム")
//   date,close                                  (two columns: any header words, or none)
// In a header the date and close columns are found by name, so extra or
// reordered columns are fine. Words are compared with quotes, blanks (also
// full-width), '_', '.', '-' and a trailing unit in brackets ("(円)",
// "（円）", "[JPY]") dropped, ASCII case ignored. The close is Close, Close
// Price, Closing Price, Last, Last Price or 終値; Price or 株価 only when no
// column names the close and no other is a price. The date is Date, Trade
// Date, 日付, 日付け, 年月日 or 取引日. A header of more than two columns
// without exactly one close (or with two dates) is refused with its line;
// so is a two-column header naming an open, high, low, volume or adjusted
// column: such a column is never taken for the close. Without a header a
// line holds a date and a close only (empty trailing fields allowed); a
// third filled field ("2026/12/09,1,000") is refused, since it leaves no
// way to tell the close.
// Fields are separated by comma, tab or semicolon (chosen per file from the
// header or first data line). Text is UTF-8 (with or without a byte-order
// mark) or Shift-JIS; lines end in CR LF, LF or CR; blank lines and lines of
// bare separators (as spreadsheets write them) are passed over.
// A day after today, and a close that would round past 2147483647 yen (the
// list's prices are read as 32-bit whole yen), refuse the file with the line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/text.h"

namespace tavrine {

struct PriceRow {
  int day;            // DaysFromCivil
  std::string close;  // plain decimal text: "1234.5", no separators, no exponent
  int line = 0;       // 1-based line of the file it came from
  // The day's open, high, low (positive) and volume where the header names
  // them and the field reads as a number; empty otherwise. They never
  // refuse a file: only the close is the list's.
  std::optional<double> open, high, low, volume;
};

struct PriceFile {
  std::string code;            // 4 characters when known, else empty
  std::string name;            // from the title line when there is one, else empty
  std::string titleCode;       // the code starting the title line, else empty
  int titleLine = 0;           // that line's number when it gave a code
  std::string fileNameCode;    // the code starting the file's name, else empty
  std::string fileNameName;    // the name the file's name gives after it, else empty
  std::vector<PriceRow> rows;  // newest first, whatever order the file had
  int skipped = 0;             // rows whose close is null, left out
  bool candles = false;        // the header names an open, a high and a low column
};

// A file that cannot be taken. The message is Japanese and names the file and,
// when one line is at fault, its 1-based number:
// "7203.csv: 12行目: 日付を読めません (2023-02-30)". line() is that number, 0
// when the fault is the file as a whole (too large, empty, no rows).
class PriceFileError : public FileError {
 public:
  PriceFileError(const std::string& message, int line) : FileError(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Files above this size are refused before reading a line.
inline constexpr std::size_t kPriceFileMaxBytes = 16u * 1024 * 1024;
// At most this many data lines; a daily file holds a few tens of thousands.
inline constexpr int kPriceFileMaxRows = 100000;
// The largest close taken: the chart and the rules read whole yen as 32-bit
// integers, so a close must round to at most this.
inline constexpr long long kPriceFileMaxClose = 2147483647;

// Reads one file's bytes. fileName is used for the code (first four characters
// of its last path component when they form a stock code: four digits, or
// three digits and a letter, not followed by another letter or digit), for a
// name (its words after the code that hold other than ASCII, the extension
// and the period words left out) and, as its last component, in messages.
// Without a code there, the code starting the title line is taken. A day after today (in whole
// days) is refused with its line; the two-argument form takes Today(). Throws PriceFileError.
PriceFile ParsePriceFile(std::string_view bytes, const std::string& fileName, int today);
PriceFile ParsePriceFile(std::string_view bytes, const std::string& fileName);

// Reads the file at path and parses it. A file that cannot be opened or read
// is refused the same way (line 0); one above kPriceFileMaxBytes is refused
// before it is read.
PriceFile ReadPriceFile(const std::string& path);

// The last component of a path as the messages show it.
std::string ShownFileName(std::string_view path);

// The stock's name for the code it is imported under: the title line's
// name (without the code and the period words 日足, 週足, 月足, 株価, 時系列;
// a legal form such as (株) stays), else the name in the file's name
// ("6758_ソニー.csv" gives ソニー); a name that comes with another code
// than this one is none. Empty when neither gives one.
std::string StockName(const PriceFile& file, const std::string& code);

// "CODE NAME" when a name is known for the file's own code, else the code
// alone (the name alone when only the name is known).
std::string Heading(const PriceFile& file);

}  // namespace tavrine
