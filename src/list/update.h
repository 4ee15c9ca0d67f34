// The update of the whole list from the data service's daily closes (一括更新),
// as list logic without the network: the fetched days go on top of the list
// as the import places new days, each listed stock's adjusted close on its
// day; the days the list held before are multiplied by the product of the
// stock's split factors over the fetched days; a stock held by code alone
// takes its name from the service's master. The summary is what the window
// and the driver show.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "list/list_work.h"

namespace tavrine {

// One stock's record of a day: its adjusted close as decimal text (empty:
// no trade that day), the adjustment factor that takes effect that day (1
// otherwise; 0.5 for a 1:2 split, 0.9437 for a rights issue) and the
// service's kind of the event (ExRT: "3" a rights issue; empty when not
// given).
struct DailyClose {
  std::string code;  // four characters, as the list keeps it
  std::string close;
  double factor = 1;
  std::string exRT;
};

// A trading day's records, as the service delivered them.
struct FetchedDay {
  int day = 0;  // DaysFromCivil
  std::vector<DailyClose> closes;
};

// A stock whose adjusted closes the service has since changed where the
// fetched days do not show why (a split inside the free plan's delay, a
// revision): its adjusted closes by day over the plan's window, up to the
// list's newest day, that day included.
struct MovedStock {
  std::string code;
  std::map<int, std::string> closes;  // DaysFromCivil -> decimal text, priced days only
};

// What a run fetched: trading days after the list's newest, oldest first,
// and the master's names by four-character code (may be empty).
struct UpdateData {
  std::vector<FetchedDay> days;
  std::map<std::string, std::string> names;
  std::string source = "J-Quants API";  // as adjust.log names it
  std::vector<MovedStock> moved;
  // The fetched days do not follow the list's newest (days the plan does not
  // cover lie between): no new day is filled from a stored one.
  bool gapBefore = false;
};

// The codes of the list's stocks in column order (first four characters of
// each heading), whether each is held by code alone (no name), and its
// close on the list's newest day (blank when it has none).
struct ListedStock {
  std::string code;
  bool nameless = false;
  std::string newest;
};
std::vector<ListedStock> ListedStocks(const WorkTable& list);

// What applying changed.
struct UpdateApplied {
  int days = 0;     // new day rows
  int stocks = 0;   // stocks that got at least one close
  int filled = 0;   // new days inside a stock's range given the previous day's close
  int dropped = 0;  // oldest days pushed past kLastDayRow rows
  int moved = 0;    // stocks whose stored closes were rebuilt from the service's
  std::vector<ListAdjustment> adjustments;
  std::vector<std::string> notes;  // adjustments and headings, Japanese
};

// Takes the fetched days into the working list. Days not after the list's
// newest are left out. The older closes of a stock with factors are
// multiplied by their product and rounded to one decimal, as the service
// rounds its adjusted closes. A factor outside (0, 1000], or one that takes
// an older close out of what the list holds, refuses that stock alone: a
// note names it and the day, and its column stays as it was. Throws
// ListRefused, naming the day and the stock, for a close the list cannot
// hold (the list is then as it was).
// A moved stock's column is rebuilt instead: each stored day the service
// priced takes its adjusted close, each older one is multiplied by the ratio
// of the service's close to the stored one on the list's newest day (a
// ratio of small whole numbers when one lies within the rounding of that
// close), rounded to one decimal; the fetched days' factors are in it.
UpdateApplied ApplyUpdate(WorkingList& w, const UpdateData& data);

// The adjustment's kind: 株主割当 for ExRT "3", else 分割 or 併合 for a
// factor that is a ratio of small whole numbers below or above one, else 調整.
std::string AdjustmentKind(const std::string& exRT, double factor);

// The result of a whole run, as the window and the driver show it.
struct UpdateSummary {
  int days = 0, stocks = 0, filled = 0, dropped = 0;
  int newest = 0;       // the list's newest day after the run (0: no list)
  int undelivered = 0;  // a trading day the service has not delivered yet (0: none)
  int requests = 0;     // requests made to the service
  std::vector<ListAdjustment> adjustments;
  std::vector<std::string> notes;
  std::string failure;              // why nothing changed (Japanese), empty when it ran
  std::vector<std::string> errors;  // files that could not be saved after the list
  bool busy = false;                // refused as a whole: a handler waits for a page
  bool cancelled = false;           // stopped by the user: nothing was written

  bool updated() const { return days > 0 || !notes.empty(); }
  bool failed() const { return !failure.empty() || cancelled; }
  // "一括更新完了: 2024/01/05 まで 3日分、更新 197銘柄", that nothing was new,
  // or that nothing changed and why.
  std::string Headline() const;
  // The headline, then the notes and the not-yet-delivered line (CR-separated).
  std::string Message() const;
  // The message, then each failed save (CR-separated).
  std::string Text() const;
};

// "最新のデータはまだ配信されていません (YYYY/MM/DD まで)".
std::string UndeliveredText(int newest);

}  // namespace tavrine
