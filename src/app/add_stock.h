// 銘柄追加 as the window and the driver run it: one stock found in the data
// service's master by code or by part of its name, its whole history in the
// plan's window fetched by code and taken into the list as the import takes
// a price file (list/price_import.h: the list and the calendar made when
// there is none, the stock placed in code order, one save with a backup),
// its records kept in the price store as the update keeps them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/update.h"

namespace tavrine {

class Workspace;

// Progress, cancel, waits and bounds as the update takes them; the progress
// hook sees total 2: the master (done 0), then the stock's bars (done 1).
struct AddHooks : UpdateHooks {
  // Asked when a name matches several stocks of the master: the index of the
  // one to add, or -1 for none (the run then ends cancelled). Empty: the run
  // fails naming the candidates.
  std::function<int(const std::vector<MasterStock>&)> choose;
};

struct AddSummary {
  MasterStock stock;  // the stock found (code empty when none was)
  int days = 0;       // closes taken into the list
  int oldest = 0, newest = 0;
  bool created = false;  // there was no list: the list and the calendar were made
  bool listed = false;   // the stock is in the list already: nothing was changed
  bool busy = false;     // refused as a whole: a handler waits for a page
  bool cancelled = false;
  int requests = 0;
  std::string failure;              // why nothing was changed (Japanese), empty when none
  std::vector<std::string> notes;   // what the import and the price store said
  std::vector<std::string> errors;  // saves after the list's that failed

  bool added() const { return days > 0; }
  // "銘柄追加完了: 7203 トヨタ自動車 (プライム) 2002/10/10〜2003/12/26 の 300日分",
  // that it is listed already, that it was cancelled, or the failure; then
  // the notes (CR-separated).
  std::string Message() const;
};

// "銘柄追加: 銘柄一覧を問い合わせています" and the like.
std::string AddProgressText(const UpdateProgress& p);

// Adds the stock `query` names: a code as the list keeps it ("7203",
// "130A"; full-width forms too) or a part of its name, folded as the list's
// search folds it. Refused while a handler waits for a page (ws.busy()).
// A failure, a cancel or a stock already listed changes no file. With
// report, the status line follows the progress and the summary is shown:
// a failure as an error, else its Message() as a message, then each failed
// save as an error.
AddSummary AddStock(Workspace& ws, const std::string& query, const AddHooks& hooks = {},
                    bool report = true);

}  // namespace tavrine
