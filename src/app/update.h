// 一括更新 as the window and the driver run it: every stock of the list
// brought up to the newest day the J-Quants API has (web/jquants_client.h
// fetches, list/update.h places the days), written once at the end through
// the list's one save; what the running program shows afterwards.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "list/update.h"
#include "web/jquants_client.h"

namespace tavrine {

class Workspace;

// Where a run is, for a progress dialog.
struct UpdateProgress {
  int done = 0, total = 0;  // requests of bars done and planned (days, or stocks)
  int day = 0;              // the day being fetched, 0 when fetching by stock
  std::string code;         // the stock being fetched by stock, else empty
  bool byStock = false;
  int waitSeconds = 0;  // > 0: waiting for the service's limit, this long
};

// "一括更新: 2024/01/05 の株価を取得しています (3/20日)" and the like;
// "一括更新: 営業日を問い合わせています" while the calendar is asked.
std::string UpdateProgressText(const UpdateProgress& p);

struct UpdateHooks {
  // Before each request and while waiting; false cancels the run, which then
  // changes nothing. May be empty.
  std::function<bool(const UpdateProgress&)> progress;
  // Certificates to trust instead of the system's (tests).
  std::string caFile;
  // How a wait passes (the plan's spacing, a 429's Retry-After); false
  // cancels. Empty: the platform's events are pumped, the progress hook
  // asked now and then.
  std::function<bool(std::chrono::milliseconds)> wait;
  // Bounds of the run in place of the client's (0: the client's): the whole
  // run's time, and the bytes of one page of an answer (tests).
  std::chrono::milliseconds runLimit{0};
  std::size_t maxPageBytes = 0;
};

// While one lives, SIGINT and SIGTERM stop a running update (it ends
// cancelled, nothing saved) instead of ending the program at once; the
// caller ends the program afterwards with signal(). Not nested.
class UpdateSignals {
 public:
  UpdateSignals();
  ~UpdateSignals();
  UpdateSignals(const UpdateSignals&) = delete;
  UpdateSignals& operator=(const UpdateSignals&) = delete;
  // The signal that came (0: none).
  int signal() const;
  // Restores the handlers there were and, when a signal came, raises it
  // again so the program ends as it asked.
  void end();

 private:
  void (*oldInt_)(int) = nullptr;
  void (*oldTerm_)(int) = nullptr;
  bool ended_ = false;
};

// The client's options for a run the window or the driver starts: the
// hooks' certificates and bounds; a signal or the progress hook (asked with
// `now`) stops a request while it is awaited; a long wait (the service's
// limit, a retry's pause) passes in steps of at most ten seconds, each told
// through `tell` with the seconds left and each a chance to cancel. The
// hooks, `now` and ws must outlive the client.
JQuantsClient::Options RunClientOptions(Workspace& ws, const UpdateHooks& hooks,
                                        const UpdateProgress& now,
                                        std::function<bool(const UpdateProgress&)> tell);

// Takes each step's progress of a run: shows it on the status line in the
// run's words (text) with report; false once a signal came or the progress
// hook cancels. ws and hooks must outlive it.
std::function<bool(const UpdateProgress&)> RunProgress(
    Workspace& ws, const UpdateHooks& hooks, bool report,
    std::string (*text)(const UpdateProgress&) = UpdateProgressText);

// Runs the update. Refused while a handler waits for a page (ws.busy(): the
// status line's note and the summary's busy flag, nothing read). With
// report, the status line follows the progress, and the summary is shown:
// its Message() as a message, a failure's Headline() and each failed save
// as an error. After new days the stock picker and the stock on the chart
// follow the list.
UpdateSummary UpdateList(Workspace& ws, const UpdateHooks& hooks = {}, bool report = true);

// Shows how a run ended: nothing when it was refused as busy, a failure as
// one error, else the message and each failed save as an error.
void ReportRun(Workspace& ws, bool busy, const std::string& failure, const std::string& message,
               const std::vector<std::string>& errors);

}  // namespace tavrine
