#include "list/calendar_file.h"

#include <filesystem>

#include "store/paths.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine::calendar {

void Load(State& ws) {
  auto& dates = ws.DateTable;
  LoadTableFile(dates, RootPath(kFile), 200);
  // The stock list's dates replace the calendar's when they are newer. A
  // newest list date that is no date (an empty list too) stops the refresh
  // before any request, as its conversion error ends the chain.
  const int listNewest = StrToDate(ws.StockList.cell(0, 1));
  if (listNewest > StrToDate(dates.cell(0, 1)))
    for (int r = 1; r <= dates.rowCount() - 1; ++r) dates.set(0, r, ws.StockList.cell(0, r));
}

void Merge(State& ws, int n) {
  auto& dates = ws.DateTable;
  if (n > 0) {
    for (int r = stocklist::kLastDayRow; r >= n + 1; --r) dates.set(0, r, dates.cell(0, r - n));
    for (int r = 1; r <= n; ++r) dates.set(0, r, dates.cell(1, r));
  }
  if (n > 5) SaveTableFile(dates, RootPath(kFile));
}

void Save(const WorkTable& dates) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(RootPath(kFile)).parent_path(), ec);
  SaveTableFile(dates, RootPath(kFile));
}

}  // namespace tavrine::calendar
