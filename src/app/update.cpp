#include "app/update.h"

#include <thread>

#include "app/list_actions.h"
#include "app/workspace.h"
#include "list/list_work.h"
#include "store/paths.h"
#include "store/text.h"
#include "web/jquants_client.h"

namespace tavrine {

std::string UpdateProgressText(const UpdateProgress& p) {
  if (p.waitSeconds > 0)
    return "一括更新: J-Quants API の利用回数の上限のため " + IntToStr(p.waitSeconds) +
           "秒待っています";
  const std::string count = " (" + IntToStr(p.done + 1 > p.total ? p.total : p.done + 1) + "/" +
                            IntToStr(p.total) + (p.byStock ? "銘柄)" : "日)");
  if (p.byStock) return "一括更新: " + p.code + " の株価を取得しています" + count;
  return "一括更新: " + DateToStr(p.day) + " の株価を取得しています" + count;
}

namespace {

void Report(Workspace& ws, const UpdateSummary& s) {
  if (s.busy) return;
  if (!s.failure.empty()) {
    ws.platform.error(s.Headline());
    return;
  }
  ws.platform.message(s.Message());
  for (const std::string& e : s.errors) ws.platform.error(e);
}

}  // namespace

UpdateSummary UpdateList(Workspace& ws, const UpdateHooks& hooks, bool report) {
  UpdateSummary s;
  if (ws.busy()) {
    ws.setStatus(kBusyStatus);
    s.busy = true;
    return s;
  }
  WaitCursor cursor(ws.platform);
  UpdateProgress now;
  const auto tell = [&](const UpdateProgress& p) {
    if (report) ws.setStatus(UpdateProgressText(p));
    return !hooks.progress || hooks.progress(p);
  };
  int day = 0;  // the day being fetched, for the failure's message
  try {
    WorkingList w = BaseList(ws);
    const std::vector<ListedStock> stocks = ListedStocks(*w.table);
    if (w.days.empty() || stocks.empty())
      throw ListRefused{"デ-タ一覧に株価がありません。先に株価ファイルを取り込んで下さい。"};

    JQuantsClient::Options options;
    options.caFile = hooks.caFile;
    options.wait = [&](std::chrono::milliseconds ms) {
      if (hooks.wait) return hooks.wait(ms);
      if (ms.count() <= 0) return !hooks.progress || hooks.progress(now);
      UpdateProgress p = now;
      p.waitSeconds = static_cast<int>((ms.count() + 999) / 1000);
      if (!tell(p)) return false;
      const auto end = std::chrono::steady_clock::now() + ms;
      while (std::chrono::steady_clock::now() < end) {
        ws.platform.processEvents();
        if (hooks.progress && !hooks.progress(p)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      return true;
    };
    JQuantsClient client(ws.platform, LoadJQuantsSettings(), options);
    FetchPlan plan;
    plan.listNewest = w.days.front();
    plan.today = Today();
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
    s.newest = w.days.front();
    if (applied.days > 0) {
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
        s.notes = applied.notes;
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
  if (report) Report(ws, s);
  if (s.days > 0) ShowChangedList(ws);
  return s;
}

}  // namespace tavrine
