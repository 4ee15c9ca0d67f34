#include "web/calendar.h"

#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/stock_list.h"
#include "store/table_file.h"
#include "web/quote_page.h"

namespace tavrine {

namespace {
constexpr const char* kHizuke = "tavrine/hizuke.csv";
}

void Calendar::Button113Click() {
  WaitCursor wait(ws_.platform);
  auto& dates = ws_.DateTable;
  LoadTableFile(dates, RootPath(kHizuke), 200);
  // The stock list's dates replace the calendar's when they are newer. A
  // newest list date that is no date (an empty list too) stops the refresh
  // before any request, as its conversion error ends the chain.
  const int listNewest = StrToDate(ws_.StockList.cell(0, 1));
  if (listNewest > StrToDate(dates.cell(0, 1)))
    for (int r = 1; r <= dates.rowCount() - 1; ++r) dates.set(0, r, ws_.StockList.cell(0, r));
}

void Calendar::Button112Click() {
  WaitCursor wait(ws_.platform);
  SuspendRedraw redraw(ws_.StockList);
  // The refresh is a start-up convenience: a missing date file, an
  // unreachable site or an unreadable date ends the refresh, never the
  // start-up that called it.
  try {
    Probe();
  } catch (const FileError&) {  // also HttpError
    ws_.setStatus("営業日カレンダーを更新できませんでした。");
  } catch (const ConversionError&) {
    ws_.setStatus("営業日カレンダーを更新できませんでした。");
  }
}

void Calendar::Probe() {
  auto& dates = ws_.DateTable;
  Button113Click();
  const int newest = StrToDate(dates.cell(0, 1));
  const int today = Today();
  int n = 0;
  for (int i = 0; i < quote::kProbeDays; ++i) {
    const int d = today - i;
    if (d <= newest) continue;
    const std::string body = http_.Get(QuoteHost(), quote::ProbePath(d));
    if (!quote::ProbeIsTradingDay(body)) continue;
    ++n;
    dates.set(1, n, quote::ProbeDateText(d));
  }
  for (int r = n + 1; r <= 82; ++r) dates.set(1, r, "");
  ws_.SeriesTable.set(ctl::NewTradingDays, IntToStr(n));
  Button117Click();
}

void Calendar::Button117Click() {
  WaitCursor wait(ws_.platform);
  auto& dates = ws_.DateTable;
  const int n = StrToInt(ws_.SeriesTable.cell(ctl::NewTradingDays));
  if (n > 0) {
    for (int r = stocklist::kLastDayRow; r >= n + 1; --r) dates.set(0, r, dates.cell(0, r - n));
    for (int r = 1; r <= n; ++r) dates.set(0, r, dates.cell(1, r));
  }
  if (n > 5) SaveTableFile(dates, RootPath(kHizuke));
}

}  // namespace tavrine
