// Reading the stock list's file: the checks that keep a file this program
// could not write back as it stands from being read (and later saved over),
// and the heading line of lists saved by spreadsheet programs.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "store/work_table.h"

namespace tavrine {

// How a list file was read.
struct StockListReading {
  // The heading line held headings with unquoted spaces and was read at its
  // commas alone (see ReadStockList).
  bool headingAtCommas = false;
};

// Throws FileError, its Japanese message naming the file `name` and the line,
// when the bytes are no list this program can keep: a NUL byte (the line would
// be cut at the next save), a line separated by tabs or semicolons instead of
// commas, or UTF-8 text (valid UTF-8 with characters of more than one byte
// that is not valid Shift-JIS).
void CheckStockListBytes(std::string_view bytes, const std::string& name);

// The checks, then the lines into t (200 columns, as the start-up reads the
// list). When the heading line read as comma text has more fields than any
// data line while read at its commas alone it has as many as the widest, its
// headings are read at the commas (each trimmed of blanks). progress(a, n) is
// called before each block of 100 lines from line a. Throws FileError.
StockListReading ReadStockList(WorkTable& t, std::string_view bytes, const std::string& name,
                               const std::function<void(int, int)>& progress = {});

// The fields of a line cut at its commas alone (quoted fields as in comma
// text, blanks around a field dropped, an empty field " ").
std::vector<std::string> SplitAtCommas(std::string_view line, std::size_t maxFields = 200);

}  // namespace tavrine
