#include "app/add_stock.h"

#include <map>
#include <memory>
#include <utility>

#include "app/import.h"
#include "app/stock_search.h"
#include "app/workspace.h"
#include "list/list_work.h"
#include "list/price_file.h"
#include "store/price_store.h"
#include "store/stock_list.h"
#include "store/text.h"
#include "web/jquants_client.h"
#include "web/service_prices.h"

namespace tavrine {

namespace {

// The query as a code the list keeps ("7203", "130A"), folded as searches
// fold it; empty when it is no code.
std::string QueryCode(const std::string& query) {
  std::string folded = FoldForSearch(query);
  const auto first = folded.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  folded = folded.substr(first, folded.find_last_not_of(' ') - first + 1);
  return StockCodeForm(std::move(folded));
}

std::string Shown(const MasterStock& m) { return m.name.empty() ? m.code : m.code + " " + m.name; }

// Thrown by a chooser that chose none.
struct NoneChosen {};

// The stock the query names in the master; throws ListRefused when none
// does, NoneChosen when the user chose none of several.
MasterStock FindInMaster(const std::vector<MasterStock>& master, const std::string& query,
                         const std::string& code, const AddHooks& hooks) {
  if (!code.empty()) {
    for (const MasterStock& m : master)
      if (m.code == code) return m;
    throw ListRefused{"銘柄コード " + code + " は J-Quants API の銘柄一覧にありません。"};
  }
  const std::string folded = FoldForSearch(query);
  std::vector<MasterStock> found;
  if (folded.find_first_not_of(' ') != std::string::npos)
    for (const MasterStock& m : master)
      if (FoldForSearch(m.name).find(folded) != std::string::npos) found.push_back(m);
  const std::string asked = "「" + CleanName(query) + "」";
  if (found.empty())
    throw ListRefused{asked + "に当たる銘柄は J-Quants API の銘柄一覧にありません。"};
  if (found.size() == 1) return found.front();
  if (!hooks.choose) {
    constexpr std::size_t kNamed = 10;
    std::string names;
    for (std::size_t i = 0; i < found.size() && i < kNamed; ++i)
      names += (i ? "、" : "") + Shown(found[i]);
    if (found.size() > kNamed) names += " ほか";
    throw ListRefused{asked + "に当たる銘柄が " + IntToStr(static_cast<int>(found.size())) +
                      "銘柄あります (" + names + ")。銘柄コードで指定して下さい。"};
  }
  const int i = hooks.choose(found);
  if (i < 0 || i >= static_cast<int>(found.size())) throw NoneChosen{};
  return found[static_cast<std::size_t>(i)];
}

// The stock's traded closes, newest first, as a price file's rows; a day
// sent twice with two different closes refuses the stock.
std::shared_ptr<PriceFile> Rows(const MasterStock& m, const std::vector<JQuantsBar>& bars) {
  std::map<int, std::string> closes;
  for (const JQuantsBar& b : bars) {
    if (b.adjClose.empty()) continue;
    const auto [it, fresh] = closes.emplace(b.day, b.adjClose);
    if (!fresh && it->second != b.adjClose)
      throw ListRefused{Shown(m) + ": " + DateToStr(b.day) +
                        " の株価が二通り返りました。取り込みません。"};
  }
  auto file = std::make_shared<PriceFile>();
  file->code = m.code;
  file->name = m.name;
  int line = 0;
  for (auto it = closes.rbegin(); it != closes.rend(); ++it)
    file->rows.push_back(PriceRow{it->first, it->second, ++line, {}, {}, {}, {}});
  return file;
}

}  // namespace

std::string AddProgressText(const UpdateProgress& p) {
  if (p.waitSeconds > 0)
    return "銘柄追加: J-Quants API の利用回数の上限のため " + IntToStr(p.waitSeconds) +
           "秒待っています";
  if (p.done == 0) return "銘柄追加: 銘柄一覧を問い合わせています";
  return "銘柄追加: " + p.code + " の株価を取得しています";
}

std::string AddSummary::Message() const {
  std::string t;
  if (!failure.empty())
    t = "銘柄追加できませんでした。" + failure;
  else if (cancelled)
    t = "銘柄追加を中止しました。デ-タ一覧は変わっていません。";
  else if (listed)
    t = Shown(stock) + " はデ-タ一覧にあります。デ-タ一覧は変えていません。";
  else
    t = "銘柄追加完了: " + Shown(stock) + (stock.market.empty() ? "" : " (" + stock.market + ")") +
        " " + DateToStr(oldest) + "〜" + DateToStr(newest) + " の " + IntToStr(days) + "日分" +
        (created ? "\rデ-タ一覧と営業日カレンダーを作りました" : "");
  for (const std::string& n : notes) t += "\r" + n;
  return t;
}

AddSummary AddStock(Workspace& ws, const std::string& query, const AddHooks& hooks, bool report) {
  AddSummary s;
  if (ws.refusedBusy(s)) return s;
  WaitCursor cursor(ws.platform);
  UpdateProgress now;
  now.total = 2;
  now.byStock = true;
  const auto tell = RunProgress(ws, hooks, report, AddProgressText);
  const auto listed = [](const WorkingList& w, const std::string& code) {
    for (const ListedStock& l : ListedStocks(*w.table))
      if (l.code == code) return true;
    return false;
  };
  try {
    const std::string code = QueryCode(query);
    if (code.empty() && FoldForSearch(query).find_first_not_of(' ') == std::string::npos)
      throw ListRefused{"銘柄コードか銘柄名を入れて下さい。"};
    WorkingList w = BaseList(ws);
    s.created = w.days.empty();
    // A code the list holds needs no question to the service.
    if (!code.empty() && !s.created && listed(w, code)) {
      s.stock.code = code;
      for (int c = 1; c < w.table->colCount(); ++c) {
        const std::string& heading = w.table->cell(c, 0);
        if (LeftBytes(heading, 4) == code && heading.size() > 5) s.stock.name = heading.substr(5);
      }
      s.listed = true;
    } else {
      JQuantsClient client(ws.platform, LoadJQuantsSettings(),
                           RunClientOptions(ws, hooks, now, tell));
      std::vector<JQuantsBar> bars;
      try {
        if (!tell(now)) throw JQuantsCancelled{};
        s.stock = FindInMaster(client.MasterStocks(), query, code, hooks);
        if (!s.created && listed(w, s.stock.code)) {
          s.listed = true;
        } else {
          now.done = 1;
          now.code = s.stock.code;
          if (!tell(now)) throw JQuantsCancelled{};
          // The list holds kLastDayRow days at most: older ones are not asked.
          const int to = client.LastDay(JapanToday());
          const int from = to - stocklist::kLastDayRow * 3 / 2 - 31;
          bars = client.BarsOfStock(s.stock.code, from, to);
        }
      } catch (...) {
        s.requests = client.requests();
        throw;
      }
      s.requests = client.requests();
      if (!s.listed) {
        ImportFile f;
        f.path = s.stock.code;
        f.code = s.stock.code;
        f.name = s.stock.name;
        f.rows = Rows(s.stock, bars);
        if (f.rows->rows.empty())
          throw ListRefused{Shown(s.stock) + ": J-Quants API に株価がありません。"};
        const ImportSummary imported = ImportPriceFiles(ws, {f}, {}, false);
        if (imported.busy) throw ListRefused{kBusyStatus};
        if (!imported.imported()) {
          if (!imported.refused.empty()) throw ListRefused{imported.refused.front().message};
          throw ListRefused{imported.errors.empty() ? imported.Headline()
                                                    : imported.errors.front()};
        }
        s.errors = imported.errors;
        s.notes = imported.notes;
        const std::vector<int> days = ListDays(ws.StockList);
        const int column = [&] {
          for (int c = 1; c < ws.StockList.colCount(); ++c)
            if (LeftBytes(ws.StockList.cell(c, 0), 4) == s.stock.code) return c;
          return 0;
        }();
        for (std::size_t r = 0; r < days.size() && column; ++r)
          if (!IsBlank(ws.StockList.cell(column, static_cast<int>(r) + 1))) {
            if (!s.newest) s.newest = days[r];
            s.oldest = days[r];
          }
        s.days = static_cast<int>(f.rows->rows.size()) - imported.leftOut;
        if (imported.droppedDays.count > 0)
          s.notes.insert(s.notes.begin(), "古い日付の削除 " + IntToStr(imported.droppedDays.count) +
                                              "日 (" + imported.droppedDays.Text() + ")");
        const std::vector<std::string> kept = KeepPrices(ServiceBars(bars));
        s.notes.insert(s.notes.end(), kept.begin(), kept.end());
        // The added stock is charted, as picking it would chart it.
        if (ws.startup.FullMode()) ws.selectCode(s.stock.code);
      }
    }
  } catch (const ListRefused& r) {
    s.failure = r.message;
  } catch (const NoneChosen&) {
    s.cancelled = true;
  } catch (const JQuantsError& e) {
    s.failure = e.what();
  } catch (const JQuantsCancelled&) {
    s.cancelled = true;
  } catch (const std::exception& e) {
    s.failure = e.what();
  }
  if (report) ReportRun(ws, s.busy, s.failure.empty() ? "" : s.Message(), s.Message(), s.errors);
  return s;
}

}  // namespace tavrine
