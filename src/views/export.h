// Saving what the window shows as CSV files a Japanese spreadsheet program
// opens directly: Shift-JIS (CP932) text with CR LF line ends, one comma-text
// line per row, written through the store's comma-text writer.
#pragma once

#include <string>
#include <vector>

namespace tavrine {

class WorkTable;

// Writes the trade list and the statistics block as they stand in StatsTable:
// every column of the table, rows 0 .. the last row with a non-blank cell
// outside the row-number column (column 0 numbers every row down to 2000, so
// it alone does not lengthen the file). Blank cells are written as empty
// fields. Throws FileError when the file cannot be written; an existing file
// is only replaced once the new one is complete.
void SaveStatsCsv(const WorkTable& stats, const std::string& path);

}  // namespace tavrine
