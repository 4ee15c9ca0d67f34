#include "app/update.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "app/list_actions.h"
#include "app/workspace.h"
#include "list/list_work.h"
#include "store/paths.h"
#include "store/price_store.h"
#include "store/text.h"
#include "web/jquants_client.h"
#include "web/jquants_fetch.h"
#include "web/service_prices.h"

namespace tavrine {

std::string UpdateProgressText(const UpdateProgress& p) {
  if (p.waitSeconds > 0)
    return "一括更新: J-Quants API の利用回数の上限のため " + IntToStr(p.waitSeconds) +
           "秒待っています";
  // Before the trading days are known the calendar is being asked.
  if (p.total == 0) return "一括更新: 営業日を問い合わせています";
  const std::string count = " (" + IntToStr(p.done + 1 > p.total ? p.total : p.done + 1) + "/" +
                            IntToStr(p.total) + (p.byStock ? "銘柄)" : "日)");
  if (p.byStock) return "一括更新: " + p.code + " の株価を取得しています" + count;
  return "一括更新: " + DateToStr(p.day) + " の株価を取得しています" + count;
}

namespace {

// The signal an UpdateSignals caught; set by the handler alone.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void CatchStop(int sig) { gSignal.store(sig); }

bool StopSignalled() { return gSignal.load() != 0; }

}  // namespace

UpdateSignals::UpdateSignals() {
  gSignal.store(0);
  oldInt_ = std::signal(SIGINT, CatchStop);
  oldTerm_ = std::signal(SIGTERM, CatchStop);
  // A signal the program was started to ignore stays ignored.
  if (oldInt_ == SIG_IGN) std::signal(SIGINT, SIG_IGN);
  if (oldTerm_ == SIG_IGN) std::signal(SIGTERM, SIG_IGN);
}

UpdateSignals::~UpdateSignals() {
  if (!ended_) {
    std::signal(SIGINT, oldInt_ == SIG_ERR ? SIG_DFL : oldInt_);
    std::signal(SIGTERM, oldTerm_ == SIG_ERR ? SIG_DFL : oldTerm_);
  }
}

int UpdateSignals::signal() const { return gSignal.load(); }

void UpdateSignals::end() {
  if (ended_) return;
  ended_ = true;
  std::signal(SIGINT, oldInt_ == SIG_ERR ? SIG_DFL : oldInt_);
  std::signal(SIGTERM, oldTerm_ == SIG_ERR ? SIG_DFL : oldTerm_);
  const int sig = gSignal.exchange(0);
  if (sig == 0) return;
  std::cout.flush();
  std::fflush(nullptr);
  std::raise(sig);
}

JQuantsClient::Options RunClientOptions(Workspace& ws, const UpdateHooks& hooks,
                                        const UpdateProgress& now,
                                        std::function<bool(const UpdateProgress&)> tell) {
  JQuantsClient::Options options;
  options.caFile = hooks.caFile;
  // A signal or the progress hook stops a request while it is awaited too.
  options.stop = [&hooks, &now] {
    return StopSignalled() || (hooks.progress && !hooks.progress(now));
  };
  if (hooks.runLimit.count() > 0) options.runLimit = hooks.runLimit;
  if (hooks.maxPageBytes > 0) options.maxPageBytes = hooks.maxPageBytes;
  // A long wait (the service's limit, a retry's pause) passes in steps of
  // at most ten seconds, each shown with the seconds left and each a chance
  // to cancel.
  options.wait = [&ws, &hooks, &now, tell](std::chrono::milliseconds ms) {
    if (StopSignalled()) return false;
    if (ms.count() <= 0) {
      if (hooks.wait) return hooks.wait(ms);
      return !hooks.progress || hooks.progress(now);
    }
    UpdateProgress p = now;
    const auto left = [&](std::chrono::milliseconds rest) {
      p.waitSeconds = static_cast<int>((rest.count() + 999) / 1000);
      return tell(p);
    };
    for (std::chrono::milliseconds rest = ms; rest.count() > 0;) {
      const std::chrono::milliseconds step = std::min(rest, std::chrono::milliseconds(10000));
      if (!left(rest)) return false;
      if (hooks.wait) {
        if (!hooks.wait(step)) return false;
      } else {
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + step;
        int shown = p.waitSeconds;
        while (std::chrono::steady_clock::now() < end) {
          ws.platform.processEvents();
          if (StopSignalled() || (hooks.progress && !hooks.progress(p))) return false;
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          const auto gone = std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now() - start);
          const int secs = static_cast<int>((rest - gone).count() + 999) / 1000;
          if (secs != shown && secs > 0 && !left(rest - gone)) return false;
          shown = secs;
        }
      }
      rest -= step;
    }
    return true;
  };
  return options;
}

void ReportRun(Workspace& ws, bool busy, const std::string& failure, const std::string& message,
               const std::vector<std::string>& errors) {
  if (busy) return;
  if (!failure.empty()) {
    ws.platform.error(failure);
    return;
  }
  ws.platform.message(message);
  for (const std::string& e : errors) ws.platform.error(e);
}

std::function<bool(const UpdateProgress&)> RunProgress(Workspace& ws, const UpdateHooks& hooks,
                                                       bool report,
                                                       std::string (*text)(const UpdateProgress&)) {
  return [&ws, &hooks, report, text](const UpdateProgress& p) {
    if (report) ws.setStatus(text(p));
    return !StopSignalled() && (!hooks.progress || hooks.progress(p));
  };
}

UpdateSummary UpdateList(Workspace& ws, const UpdateHooks& hooks, bool report) {
  UpdateSummary s;
  if (ws.refusedBusy(s)) return s;
  WaitCursor cursor(ws.platform);
  UpdateProgress now;
  const auto tell = RunProgress(ws, hooks, report);
  int day = 0;  // the day being fetched, for the failure's message
  try {
    WorkingList w = BaseList(ws);
    const std::vector<ListedStock> stocks = ListedStocks(*w.table);
    if (w.days.empty() || stocks.empty())
      throw ListRefused{
          "デ-"
          "タ一覧に銘柄がありません。銘柄追加で銘柄コードか銘柄名を入れて下さい（または株価ファイル"
          "を取り込んで下さい）。"};

    JQuantsClient client(ws.platform, LoadJQuantsSettings(),
                         RunClientOptions(ws, hooks, now, tell));
    FetchPlan plan;
    plan.listNewest = w.days.front();
    plan.listOldest = w.days.back();
    plan.today = JapanToday();
    plan.stocks = stocks;
    FetchResult fetched;
    try {
      fetched = FetchNewDays(client, plan, [&](const FetchProgress& f) {
        now.done = f.done, now.total = f.total, now.day = f.day, now.code = f.code;
        now.byStock = f.byStock;
        day = f.day;
        return f.done >= f.total ? true : tell(now);
      });
    } catch (...) {
      s.requests = client.requests();
      throw;
    }
    s.requests = client.requests();
    day = 0;
    s.undelivered = fetched.undelivered;
    const UpdateApplied applied = ApplyUpdate(w, fetched.data);
    s.notes = fetched.notes;
    s.newest = w.days.front();
    // A rebuilt stock changes the list even without a new day.
    if (applied.days > 0 || applied.moved > 0) {
      const ListSave saved = SaveWorkingList(ws, w, "update", applied.adjustments);
      s.errors = saved.errors;
      if (!saved.saved) {
        s.failure = saved.errors.empty() ? std::string() : saved.errors.front();
        s.errors.clear();
      } else {
        s.days = applied.days;
        s.stocks = applied.stocks;
        s.filled = applied.filled;
        s.dropped = applied.dropped + static_cast<int>(w.cut.size());
        s.adjustments = applied.adjustments;
        s.notes.insert(s.notes.end(), applied.notes.begin(), applied.notes.end());
        // Every record the run brought, the whole market's, in one transaction.
        const std::vector<std::string> kept = KeepPrices(ServiceBars(fetched.delivered));
        s.notes.insert(s.notes.end(), kept.begin(), kept.end());
      }
    }
  } catch (const ListRefused& r) {
    s.failure = r.message;
  } catch (const JQuantsError& e) {
    s.failure =
        (day ? DateToStr(day) + " の株価を取得できませんでした。" : std::string()) + e.what();
  } catch (const JQuantsCancelled&) {
    s.cancelled = true;
  } catch (const FileError& e) {
    s.failure = e.what();
  } catch (const std::exception& e) {
    s.failure = e.what();
  }
  if (report) ReportRun(ws, s.busy, s.failure.empty() ? "" : s.Headline(), s.Message(), s.errors);
  if (s.days > 0 || !s.adjustments.empty()) ShowChangedList(ws);
  return s;
}

}  // namespace tavrine
