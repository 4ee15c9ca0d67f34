#include "app/scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include "app/workspace.h"
#include "series/series.h"
#include "signals/rule_columns.h"
#include "signals/stats_block.h"
#include "signals/walk.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/control_cells.h"
#include "store/form.h"
#include "store/stock_list.h"
#include "store/text.h"
#include "store/work_table.h"

namespace tavrine {

namespace {

constexpr int kListedTrades = 1000;  // the trade list keeps the newest 1000

bool Cancelled(const ScanOptions& o) {
  return o.cancel && o.cancel->load(std::memory_order_relaxed);
}

// The control cells and captions the start-up leaves before the first stock
// is extracted, with the stock column k and the entry direction of the scan.
// Written before every stock, so nothing of the previous stock carries over.
void PrepareStock(Workspace& ws, int k, const BacktestOptions& options) {
  const bool entryBuy = options.entryBuy();
  auto& st = ws.SeriesTable;
  ws.startup.WriteStartValues();
  st.setInt(ctl::RowsConsidered, stocklist::kLastDayRow);
  st.setInt(ctl::StockColumn, k);
  st.set(ctl::Heading, ws.StockList.cell(k, 0));
  st.set(ctl::DateSource, "1");
  st.set(ctl::EntryDirection, entryBuy ? "1" : "0");
  st.set(ctl::TermMode, "0");
  st.set(ctl::DateInView, ws.StockList.cell(0, 1));

  auto& f = ws.form;
  f.setText("Button79", "長");
  f.setText("Button13", "S2");
  f.setText("Button81", "S");
  f.setText("Button47", entryBuy ? "入買" : "入売");
  f.setText("Button118", "狭");
  f.setText("MaskEdit1", "0.00");
  f.setText("Edit1", LeftBytes(ws.StockList.cell(k, 0), 4));
  f.setText("Edit2", ws.StockList.cell(0, 1));
}

// The row of one rule from its statistics, its listed ratios (newest first)
// and its figures.
ScanRow MakeRow(const WorkTable& list, int k, int tag, const std::string& caption,
                const stats::Summary& s, const std::function<std::string(int)>& ratio,
                BacktestFigures figures) {
  const std::string& heading = list.cell(k, 0);
  ScanRow row;
  row.column = k;
  row.code = LeftBytes(heading, 4);
  row.name = ScanNameOf(heading);
  row.tag = tag;
  row.rule = caption;
  row.trades = s.trades;
  row.average = s.average;
  row.perYear = s.perYear;
  row.averageDays = s.averageDays;
  row.annualRate = s.annualRate;
  const int listed = std::min(row.trades, kListedTrades);
  int wins = 0;
  for (int r = 1; r <= listed; ++r)
    if (StrToFloat(ratio(r)) > 1) ++wins;
  row.winShare = WinShareText(wins, listed);
  // The table shows five figures; a curve a row would only take up memory.
  row.figures = std::move(figures);
  row.figures.curve = {};
  return row;
}

// The row of one rule as the statistics block shows it after the rule button.
ScanRow ReadRow(const Workspace& ws, int k, int tag) {
  const WorkTable& t = ws.StatsTable;
  return MakeRow(
      ws.StockList, k, tag, ws.form.text(kRules[tag].button), stats::ReadSummary(t),
      [&t](int r) { return t.cell(stats::kRatio, r); }, ws.backtest.figures());
}

// One stock through the selection chain and the rule buttons. Returns
// false when the scan was cancelled before the stock was done.
bool ScanStock(Workspace& ws, int k, const ScanOptions& o, std::vector<ScanRow>& out) {
  PrepareStock(ws, k, o.backtest);
  // As the start-up does: the next term switch computes the short-term set,
  // the deviation view starts in its short mode.
  ws.chains.SelectionChain({.resetTerm = true});
  // The extraction leaves the long-term set in the rule columns.
  if (o.shortTerm) ws.overlays.Button79Click();
  for (int tag = 0; tag < kRuleCount; ++tag) {
    if (Cancelled(o)) return false;
    ws.rules.Button37Click(kRules[tag].button);
    out.push_back(ReadRow(ws, k, tag));
  }
  return true;
}

// What a worker keeps between stocks on the numeric path.
struct NumericScratch {
  ScanSeries series;
  walk::Steps steps;
  std::array<std::string, kRuleCount> captions;  // the rule buttons' captions
};

enum class Outcome { Done, Cancelled, WindowPath };

// One stock as ScanStock gives it, on numbers: the extraction's closes, the
// rule columns of the term set and one walk a rule. A stock whose prices the
// extraction would take row by row goes the window path instead. A walk
// that meets a cell the rule button would stop on leaves the stock out.
Outcome ScanStockNumeric(const WorkTable& list, int k, const ScanOptions& o, NumericScratch& s,
                         std::vector<ScanRow>& out) {
  if (!ReadScanSeries(list, k, o, s.series)) return Outcome::WindowPath;
  const int F = s.series.first, L = s.series.last;
  auto date = [&list](int x) { return list.cell(0, x); };
  auto close = [&](int x) {
    return x >= F && x <= L ? IntToStr(s.series.yen[static_cast<std::size_t>(x)])
                            : std::string("0");
  };
  for (int tag = 0; tag < kRuleCount; ++tag) {
    if (Cancelled(o)) return Outcome::Cancelled;
    WalkScanRule(s.series, tag, o.backtest, s.steps);
    if (s.steps.badRow != 0) {
      out.clear();
      return Outcome::Done;
    }
    walk::RuleResult r = walk::RunRule(s.steps, o.backtest, date, close);
    out.push_back(MakeRow(
        list, k, tag, s.captions[static_cast<std::size_t>(tag)], r.summary,
        [&r](int i) { return r.listed[static_cast<std::size_t>(i - 1)].ratio; },
        std::move(r.figures)));
  }
  return Outcome::Done;
}

// A numeric cell as a number for the order ("62.5%" is 62.5); empty or not
// a number sorts last.
bool RateValue(const std::string& s, long double& v) {
  if (IsBlank(s)) return false;
  try {
    v = StrToFloat(s.back() == '%' ? std::string_view(s).substr(0, s.size() - 1) : s);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

// The figure a figure column shows, as a number (none without a value);
// nothing for the other columns.
std::optional<std::optional<double>> FigureValue(const BacktestFigures& f, int column) {
  const std::vector<std::optional<double>> numbers = FigureNumbers(f);
  const int k = column - kScanMaxDrawdown;
  if (k < 0 || k >= static_cast<int>(numbers.size())) return std::nullopt;
  return numbers[static_cast<std::size_t>(k)];
}

}  // namespace

bool ReadScanSeries(const WorkTable& list, int k, const ScanOptions& o, ScanSeries& out,
                    int onlyTag) {
  const int F = FirstPriceRow(list, k);
  const int L = LastDataRowOf(list, k, stocklist::kLastDayRow, o.backtest.judging);
  if (F + 25 > L || !ReadYen(list, k, F, L, out.yen)) return false;
  out.first = F;
  out.last = L;
  const rule_columns::Closes closes{out.yen, F, L};
  // The scan's start values leave the long set's "乖離" in its 75-day mode.
  const honest::Terms& terms = o.shortTerm ? honest::kShortTerms : honest::kLongTerms;
  if (o.backtest.honest() && onlyTag >= 0 && onlyTag < kRuleCount) {
    // One rule's column as rule_columns::Honest makes it.
    const RuleDef& rule = kRules[onlyTag];
    const honest::Columns cols =
        honest::Compute(out.yen, F, L, terms, honest::Needs(rule.number, terms));
    const int i = honest::IndexOfColumn(rule.number);
    walk::SignalColumn& s = out.columns[static_cast<std::size_t>(onlyTag)];
    s.assign(L, rule.blankWithoutValue ? walk::Cell::Blank : walk::Cell::Number);
    for (int r = F; r <= L; ++r)
      if (cols.has(i, r))
        s.set(r, cols.values[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)]);
  } else if (o.backtest.honest()) {
    rule_columns::Honest(closes, terms, out.columns);
  } else {
    rule_columns::Hindsight(closes, terms, out.columns);
  }
  out.priced = o.backtest.honest() ? 0 : rule_columns::PricedRows(closes);
  return true;
}

void WalkScanRule(const ScanSeries& series, int tag, const BacktestOptions& options,
                  walk::Steps& out) {
  int start = series.last, end = series.first + 1;
  if (!options.honest()) walk::HindsightWindow(kRules[tag].number, series.priced, start, end);
  walk::WalkSignals(series.columns[static_cast<std::size_t>(tag)], start, end, options, out);
}

std::string ScanNameOf(const std::string& heading) {
  std::string rest = heading.substr(LeftBytes(heading, 4).size());
  std::size_t i = 0;
  for (;;) {
    if (rest.compare(i, 1, " ") == 0)
      i += 1;
    else if (rest.compare(i, 3, "\xE3\x80\x80") == 0)  // full-width space
      i += 3;
    else
      break;
  }
  return rest.substr(i);
}

std::string WinShareText(int wins, int listed) {
  if (listed <= 0) return {};
  // Tenths of a percent rounded half up, in integers so no binary fraction
  // decides a tie.
  const long long t = (2000LL * wins + listed) / (2LL * listed);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld.%lld%%", t / 10, t % 10);
  return buf;
}

std::vector<int> ScanColumns(const WorkTable& stockList) {
  std::vector<int> cols;
  for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn; ++c)
    if (!IsBlankWide(stockList.cell(c, 0))) cols.push_back(c);
  return cols;
}

std::vector<ScanRow> RunScan(const WorkTable& stockList, const ScanOptions& options) {
  const std::vector<int> columns = ScanColumns(stockList);
  const int total = static_cast<int>(columns.size());
  std::vector<std::vector<ScanRow>> perStock(columns.size());
  if (total == 0) return {};

  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::mutex failMutex;
  std::exception_ptr failure;

  auto worker = [&] {
    try {
      // A scan worker shows nothing: it catches the errors itself and
      // leaves the stock out.
      SilentPlatform platform;
      // The window path's workspace, made for the first stock that needs it.
      std::unique_ptr<Workspace> ws;
      NumericScratch scratch;
      {
        const Form form;  // the rule buttons' captions never change
        for (int tag = 0; tag < kRuleCount; ++tag)
          scratch.captions[static_cast<std::size_t>(tag)] = form.text(kRules[tag].button);
      }
      for (;;) {
        if (Cancelled(options)) return;
        const int i = next.fetch_add(1);
        if (i >= total) return;
        const int k = columns[static_cast<std::size_t>(i)];
        std::vector<ScanRow> rows;
        bool complete = false;
        try {
          Outcome outcome = ScanStockNumeric(stockList, k, options, scratch, rows);
          if (outcome == Outcome::WindowPath) {
            if (!ws) {
              ws = std::make_unique<Workspace>(platform);
              ws->StockList = stockList;
              ws->judging = options.backtest.judging;
            }
            rows.clear();
            outcome = ScanStock(*ws, k, options, rows) ? Outcome::Done : Outcome::Cancelled;
          }
          complete = outcome == Outcome::Done;
        } catch (const std::exception&) {
          // A series that cannot be computed (too short, a bad cell): the stock is left out.
          rows.clear();
          complete = true;
        }
        if (!complete) return;  // cancelled in the middle of the stock
        perStock[static_cast<std::size_t>(i)] = std::move(rows);
        const int d = done.fetch_add(1) + 1;
        if (options.progress) options.progress(d, total);
      }
    } catch (...) {
      // Out of memory or a failing progress callback: the caller gets it.
      std::lock_guard<std::mutex> lock(failMutex);
      if (!failure) failure = std::current_exception();
    }
  };

  const int threads = std::clamp(options.threads, 1, total);
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);

  std::vector<ScanRow> rows;
  for (auto& v : perStock)
    for (auto& r : v) rows.push_back(std::move(r));
  SortScanRows(rows, options.minTrades);
  return rows;
}

bool ScanColumnIsNumeric(int column) {
  return column >= kScanTrades && column < static_cast<int>(ScanColumnHeadings().size());
}

void SortScanRows(std::vector<ScanRow>& rows, int minTrades) {
  SortScanRows(rows, kScanAnnualRate, true);
  // The rows with enough trades keep their order and go first.
  std::stable_partition(rows.begin(), rows.end(),
                        [minTrades](const ScanRow& r) { return r.trades >= minTrades; });
}

void SortScanRows(std::vector<ScanRow>& rows, int column, bool descending) {
  struct Key {
    std::string text;
    bool has = false;  // a number, for numeric columns
    long double value = 0;
  };
  const bool numeric = ScanColumnIsNumeric(column);
  std::vector<std::pair<Key, std::size_t>> keys;
  keys.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Key k;
    if (const auto figure = FigureValue(rows[i].figures, column)) {
      // A figure sorts by its value, not by the rounded text it shows.
      k.has = figure->has_value();
      k.value = figure->value_or(0);
    } else {
      if (column >= 0 && static_cast<std::size_t>(column) < ScanColumnHeadings().size())
        k.text = ScanCellText(rows[i], column);
      if (numeric) k.has = RateValue(k.text, k.value);
    }
    keys.push_back({std::move(k), i});
  }
  auto byColumn = [&](const Key& a, const Key& b, const ScanRow& x, const ScanRow& y) {
    if (column == kScanRule) return x.tag < y.tag ? -1 : x.tag > y.tag ? 1 : 0;
    if (numeric) {
      if (a.has != b.has) return a.has ? 1 : -1;  // an empty value stands below every number
      if (!a.has) return 0;
      return a.value < b.value ? -1 : a.value > b.value ? 1 : 0;
    }
    const int c = a.text.compare(b.text);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  };
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const ScanRow& x = rows[a.second];
    const ScanRow& y = rows[b.second];
    int c = byColumn(a.first, b.first, x, y);
    if (descending) c = -c;
    if (c != 0) return c < 0;
    if (x.code != y.code) return x.code < y.code;
    if (x.tag != y.tag) return x.tag < y.tag;
    return x.column < y.column;
  });
  std::vector<ScanRow> sorted;
  sorted.reserve(rows.size());
  for (auto& k : keys) sorted.push_back(std::move(rows[k.second]));
  rows = std::move(sorted);
}

bool PickScanRow(Workspace& ws, const std::string& code, int tag, bool shortTerm) {
  const RuleDef* rule = Rules::RuleOfTag(tag);
  // Not while a handler waits for a page: its chain is still on the stack.
  if (!rule || ws.busy()) return false;
  const int errors = ws.errorCount();
  if (!ws.selectCode(code)) return false;
  Event click;
  for (int i = 0; shortTerm && rule->termDependent() && i < 2 && ws.form.text("Button79") != "短";
       ++i) {
    ws.dispatch("Button79", click);
    if (ws.errorCount() != errors) return false;
  }
  ws.dispatch(rule->button, click);
  return ws.errorCount() == errors;
}

const std::vector<std::string>& ScanColumnHeadings() {
  static const std::vector<std::string> headings = [] {
    std::vector<std::string> h = {"コード",     "銘柄名", "規則", "全頻度",  "全利率平均",
                                  "年平均頻度", "年利率", "勝率", "平均日数"};
    for (const std::string& f : FigureHeadings()) h.push_back(f);
    return h;
  }();
  return headings;
}

namespace {
// A statistic as the statistics block holds it, the first few bytes of its
// text ("1.052", "8.29", "217."), in a column's one form: rounded half up
// to `decimals` places when it has more, padded with zeros when it has
// fewer and was not cut ("1.14" is 1.140). A cut text without room for the
// places ("18.7" for 18.74...) keeps the digits it has; anything that is no
// plain decimal stays as it is.
std::string StatisticText(const std::string& s, int decimals, std::size_t bytes) {
  const std::size_t dot = s.find('.');
  const std::string whole = s.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? std::string() : s.substr(dot + 1);
  const auto plain = [](const std::string& d) {
    return d.find_first_not_of("0123456789") == std::string::npos;
  };
  if (whole.empty() || !plain(whole) || !plain(fraction)) return s;
  const int has = static_cast<int>(fraction.size());
  if (has > decimals) return RoundedText(static_cast<double>(StrToFloat(s)), decimals);
  std::string out = whole;
  if (has > 0 || decimals > 0) out += "." + fraction;
  // Places it lacks are zeros only when the statistic was written whole.
  if (has < decimals && s.size() < bytes) out.append(static_cast<std::size_t>(decimals - has), '0');
  if (out.back() == '.') out.pop_back();
  return out;
}
}  // namespace

std::string ScanCellText(const ScanRow& row, int column) {
  switch (column) {
    case kScanCode:
      return row.code;
    case kScanName:
      return row.name;
    case kScanRule:
      return row.rule;
    case kScanTrades:
      return std::to_string(row.trades);
    case kScanAverage:
      return StatisticText(row.average, 3, stats::kAverageBytes);
    case kScanPerYear:
      return StatisticText(row.perYear, 1, stats::kStatisticBytes);
    case kScanAnnualRate:
      return StatisticText(row.annualRate, 2, stats::kStatisticBytes);
    case kScanWinShare:
      return row.winShare;
    case kScanAverageDays:
      return StatisticText(row.averageDays, 0, stats::kStatisticBytes);
    default:
      break;
  }
  // The figures in the backtest view's forms, in FigureHeadings() order.
  const int k = column - kScanMaxDrawdown;
  if (k < 0 || k >= static_cast<int>(FigureHeadings().size())) return {};
  return FigureCells(row.figures)[static_cast<std::size_t>(k)];
}

std::vector<std::string> ScanRowCells(const ScanRow& row) {
  std::vector<std::string> cells;
  cells.reserve(ScanColumnHeadings().size());
  for (int c = 0; c < kScanMaxDrawdown; ++c) cells.push_back(ScanCellText(row, c));
  for (std::string& f : FigureCells(row.figures)) cells.push_back(std::move(f));
  return cells;
}

void SaveScanCsv(const std::vector<ScanRow>& rows, const std::string& path) {
  std::vector<std::string> lines;
  lines.reserve(rows.size() + 1);
  lines.push_back(ToCommaText(ScanColumnHeadings()));
  for (const ScanRow& row : rows) lines.push_back(ToCommaText(ScanRowCells(row)));
  WriteLines(path, lines, true);
}

}  // namespace tavrine
