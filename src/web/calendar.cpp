#include "web/calendar.h"

#include "list/calendar_file.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "web/quote_page.h"

namespace tavrine {

void Calendar::Button113Click() {
  WaitCursor wait(ws_.platform);
  calendar::Load(ws_);
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
  ctl::NewTradingDays.set(ws_.SeriesTable, n);
  Button117Click();
}

void Calendar::Button117Click() {
  WaitCursor wait(ws_.platform);
  calendar::Merge(ws_, ctl::NewTradingDays.get(ws_.SeriesTable));
}

}  // namespace tavrine
