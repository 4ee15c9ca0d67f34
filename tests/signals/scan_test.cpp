// The rule scan: every stock by every rule on private workspaces, compared
// with what the main window shows after selecting the stock by its code and
// pressing the rule button; its order, progress, cancel and the driver's
// "scan" command.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "app/scan.h"
#include "app/script.h"
#include "app/workspace.h"
#include "store/table_file.h"
#include "store/text.h"

namespace tavrine {
namespace {

using testing::DataFolder;
using testing::RecordingPlatform;

constexpr int kDays = 1200;
const char* const kRuleButtons[10] = {"Button37", "Button38", "Button39", "Button73", "Button74",
                                      "Button75", "Button76", "Button77", "Button1",  "Button83"};
const char* const kRuleCaptions[10] = {"S1", "S2", "S3", "G3",   "G4",
                                       "G5", "G6", "G7", "乖離", "ST"};

// The stocks that hold a series the scan can compute: column, code and name
// as the heading gives them.
struct Good {
  int column;
  const char* code;
  const char* name;
};
const Good kGood[] = {
    {1, "1301", "極洋"},   {2, "1302", "日産"}, {3, "7203", "トヨタ"},
    {5, "8001", "商事 A"}, {9, "9001", "鉄道"}, {197, "9984", "ソフト"},
};

// Whole days of trading day r (row 1 the newest), weekdays only.
std::vector<int> TradingDays(int n) {
  std::vector<int> days(static_cast<std::size_t>(n) + 1, 0);
  int d = DaysFromCivil(2003, 12, 26);
  for (int r = 1; r <= n; ++r) {
    while ((d + 5) % 7 >= 5) --d;  // day 0 (1899-12-30) was a Saturday
    days[static_cast<std::size_t>(r)] = d--;
  }
  return days;
}

// Price text of a cycling random walk, in half yen.
std::vector<std::string> Walk(unsigned seed, int rows, double base) {
  std::mt19937 rng(seed);
  std::vector<std::string> out(static_cast<std::size_t>(rows) + 1);
  double walk = 1.0;
  const double p1 = 70 + seed % 40, p2 = 300 + (seed * 7) % 200;
  for (int r = rows; r >= 1; --r) {
    walk *= 1.0 + (static_cast<int>(rng() % 2001) - 1000) / 100000.0;
    const double price =
        base * walk *
        (1.0 + 0.12 * std::sin(6.2831853 * r / p1) + 0.25 * std::sin(6.2831853 * r / p2));
    const long long halves = std::llround(price * 2);
    out[static_cast<std::size_t>(r)] =
        halves % 2 ? std::to_string(halves / 2) + ".5" : std::to_string(halves / 2);
  }
  return out;
}

// The test list: six good stocks, one too short for the price scale, one
// with a bad cell, two blank headings over prices, and a stock in column 198
// that lies outside the scanned columns.
WorkTable MakeList() {
  WorkTable t("StockList", 200, 5000);
  const auto days = TradingDays(kDays);
  t.set(0, 0, "日付");
  for (int r = 1; r <= kDays; ++r) t.set(0, r, DateToStr(days[static_cast<std::size_t>(r)]));
  auto put = [&](int c, const std::string& heading, const std::vector<std::string>& prices,
                 int from, int to) {
    t.set(c, 0, heading);
    for (int r = from; r <= to; ++r) t.set(c, r, prices[static_cast<std::size_t>(r)]);
  };
  put(1, "1301 極洋", Walk(11, kDays, 800), 1, kDays);
  put(2, "1302　日産", Walk(12, kDays, 1500), 4, kDays);  // three blank newest days
  put(3, "7203トヨタ", Walk(13, kDays, 4200), 1, kDays);
  put(4, "1999 短い", Walk(14, kDays, 300), 1, 20);
  put(5, "8001  商事 A", Walk(15, kDays, 650), 1, kDays);
  put(6, "8002 不良", Walk(16, kDays, 900), 1, kDays);
  t.set(6, 50, "abc");
  put(7, "　", Walk(17, kDays, 900), 1, kDays);
  put(8, " ", Walk(18, kDays, 900), 1, kDays);
  put(9, "9001 鉄道", Walk(19, 500, 2500), 1, 500);
  put(197, "9984 ソフト", Walk(20, kDays, 5000), 1, kDays);
  put(198, "9999 範囲外", Walk(21, kDays, 700), 1, kDays);
  t.setRowCount(kDays + 1);
  t.setColCount(200);
  return t;
}

const WorkTable& List() {
  static const WorkTable list = MakeList();
  return list;
}

// What the main window shows for one stock: a fresh window in the state the
// start-up leaves, the code typed into Edit1 with Enter, the direction
// toggle and the term switch as a user presses them, then each rule button.
// Empty when the selection or a rule press reports an error. The control
// cells are written out by hand rather than by the start-up code the scan
// itself runs, so that the two sides of the comparison stay apart.
std::vector<ScanRow> MainWindowRows(int column, bool entryBuy, bool shortTerm) {
  RecordingPlatform p;
  auto ws = std::make_unique<Workspace>(p);
  ws->StockList = List();
  auto& st = ws->SeriesTable;
  st.set(1, 4864, "4860");
  st.set(4, 4862, "4");
  st.set(17, 4862, "1");
  st.set(4, 4863, "0");
  st.set(6, 4862, "0");
  st.set(6, 4863, "0");
  st.set(6, 4864, "0");
  st.set(7, 4862, "7");
  st.set(7, 4863, "1");
  st.set(10, 4863, List().cell(0, 1));
  ws->CacheTable.set(0, 0, "0");
  st.set(17, 4863, "0");
  st.set(1, 4863, "1");
  st.set(5, 4862, "0");
  st.set(3, 4863, "800");
  st.set(3, 4864, "1");
  ws->StatsTable.set(13, 3, "S1");
  st.set(9, 4863, "1");
  st.set(12, 4862, "0");
  st.set(11, 4864, "0");
  ws->form.setText("Button13", "S2");
  ws->form.setText("Button118", "狭");

  auto click = [&](const char* control) {
    Event ev;
    ev.kind = Event::Click;
    ws->dispatch(control, ev);
  };
  const std::string heading = List().cell(column, 0);
  ws->typeText("Edit1", LeftBytes(heading, 4));
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  ws->dispatch("Edit1", enter);
  if (!p.errors.empty()) return {};
  EXPECT_EQ(st.cell(4, 4862), std::to_string(column));
  if (!entryBuy) click("Button47");
  EXPECT_EQ(st.cell(7, 4863), entryBuy ? "1" : "0");
  if (shortTerm)
    for (int i = 0; i < 3 && ws->form.text("Button79") != "短"; ++i) click("Button79");
  EXPECT_EQ(ws->form.text("Button79"), shortTerm ? "短" : "長");

  std::vector<ScanRow> rows;
  const auto& t = ws->StatsTable;
  for (int tag = 0; tag < 10; ++tag) {
    click(kRuleButtons[tag]);
    if (!p.errors.empty()) return {};
    ScanRow r;
    r.column = column;
    r.tag = tag;
    r.rule = kRuleCaptions[tag];
    r.trades = t.cell(11, 3).empty() ? 0 : std::stoi(t.cell(11, 3));
    if (r.trades > 0) {
      r.average = t.cell(8, 3);
      r.perYear = t.cell(11, 4);
      r.averageDays = t.cell(13, 4);
    }
    r.annualRate = t.cell(8, 4);
    // Share of listed trades whose ratio reads above 1, as a percentage with
    // tenths half up.
    const int listed = std::min(r.trades, 1000);
    int wins = 0;
    for (int i = 1; i <= listed; ++i) wins += std::stod(t.cell(6, i)) > 1.0 ? 1 : 0;
    if (listed > 0) {
      const long long h = static_cast<long long>(std::floor(1000.0 * wins / listed + 0.5));
      char buf[48];
      std::snprintf(buf, sizeof buf, "%lld.%lld%%", h / 10, h % 10);
      r.winShare = buf;
    }
    r.figures = ws->backtest.figures();
    rows.push_back(r);
  }
  return rows;
}

std::string Describe(const ScanRow& r) {
  std::ostringstream o;
  o << r.column << ' ' << r.code << ' ' << r.name << ' ' << r.tag << ' ' << r.rule
    << " n=" << r.trades << " avg=" << r.average << " py=" << r.perYear << " rate=" << r.annualRate
    << " win=" << r.winShare << " days=" << r.averageDays;
  return o.str();
}

bool SameRow(const ScanRow& a, const ScanRow& b) { return Describe(a) == Describe(b); }

std::map<std::pair<int, int>, ScanRow> ByStockAndTag(const std::vector<ScanRow>& rows) {
  std::map<std::pair<int, int>, ScanRow> m;
  for (const auto& r : rows)
    EXPECT_TRUE(m.emplace(std::make_pair(r.column, r.tag), r).second) << Describe(r);
  return m;
}

// Annual rate as a number, or nothing for an empty or non-numeric text.
bool Rate(const std::string& s, double& v) {
  char* end = nullptr;
  if (s.empty() || s == " ") return false;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0';
}

// a may stand before b in the scan's order: the rows of at least five
// trades first, each part by annual rate.
bool OrderedPair(const ScanRow& a, const ScanRow& b) {
  if ((a.trades >= 5) != (b.trades >= 5)) return a.trades >= 5;
  double x = 0, y = 0;
  const bool hx = Rate(a.annualRate, x), hy = Rate(b.annualRate, y);
  if (hx != hy) return hx;
  if (hx && x != y) return x > y;
  if (a.code != b.code) return a.code < b.code;
  return a.tag <= b.tag;
}

struct Combo {
  bool entryBuy;
  bool shortTerm;
};

TEST(RuleScan, RowsEqualTheMainWindowForEveryStockRuleDirectionAndTerm) {
  for (const Combo c :
       {Combo{true, false}, Combo{false, false}, Combo{true, true}, Combo{false, true}}) {
    SCOPED_TRACE(std::string(c.entryBuy ? "entry-buy" : "entry-sell") +
                 (c.shortTerm ? " short" : " long"));
    ScanOptions o;
    o.backtest.entry = c.entryBuy ? EntrySide::Buy : EntrySide::Sell;
    o.shortTerm = c.shortTerm;
    o.threads = 2;
    const auto rows = RunScan(List(), o);
    ASSERT_EQ(rows.size(), std::size(kGood) * 10);

    // Every column the scan reports is a good stock, with its code and name.
    auto got = ByStockAndTag(rows);
    for (const auto& g : kGood) {
      SCOPED_TRACE(g.column);
      const auto want = MainWindowRows(g.column, c.entryBuy, c.shortTerm);
      ASSERT_EQ(want.size(), 10u);
      for (auto w : want) {
        w.code = g.code;
        w.name = g.name;
        auto it = got.find({g.column, w.tag});
        ASSERT_NE(it, got.end()) << Describe(w);
        EXPECT_TRUE(SameRow(it->second, w))
            << "scan: " << Describe(it->second) << "\nmain: " << Describe(w);
      }
    }
    // The short and the bad stock fail in the main window too.
    EXPECT_TRUE(MainWindowRows(4, c.entryBuy, c.shortTerm).empty());
    EXPECT_TRUE(MainWindowRows(6, c.entryBuy, c.shortTerm).empty());

    for (std::size_t i = 1; i < rows.size(); ++i)
      EXPECT_TRUE(OrderedPair(rows[i - 1], rows[i])) << Describe(rows[i - 1]) << "\n"
                                                     << Describe(rows[i]);

    // The data exercise every rule: each rule closes trades for some stock.
    for (int tag = 0; tag < 10; ++tag) {
      int withTrades = 0;
      for (const auto& r : rows) withTrades += r.tag == tag && r.trades > 0;
      EXPECT_GT(withTrades, 0) << kRuleCaptions[tag];
    }
  }
}

TEST(RuleScan, FigureColumnsEqualTheMainWindowFiguresAndSortAsNumbers) {
  for (const Combo c : {Combo{true, false}, Combo{false, true}}) {
    SCOPED_TRACE(std::string(c.entryBuy ? "entry-buy long" : "entry-sell short"));
    ScanOptions o;
    o.backtest.entry = c.entryBuy ? EntrySide::Buy : EntrySide::Sell;
    o.shortTerm = c.shortTerm;
    auto rows = RunScan(List(), o);
    ASSERT_EQ(rows.size(), std::size(kGood) * 10);
    const auto got = ByStockAndTag(rows);
    int withFigures = 0;
    for (const auto& g : kGood) {
      SCOPED_TRACE(g.column);
      for (const auto& w : MainWindowRows(g.column, c.entryBuy, c.shortTerm)) {
        const ScanRow& r = got.at({g.column, w.tag});
        EXPECT_EQ(FiguresLine(r.figures), FiguresLine(w.figures)) << kRuleCaptions[w.tag];
        // The table's last five cells are the figures' cells, in their order.
        const auto cells = ScanRowCells(r);
        ASSERT_EQ(cells.size(), ScanColumnHeadings().size());
        EXPECT_EQ(std::vector<std::string>(cells.begin() + kScanMaxDrawdown, cells.end()),
                  FigureCells(w.figures));
        withFigures += w.figures.profitFactor.has_value();
      }
    }
    EXPECT_GT(withFigures, 10);

    // Every number in one form: percentages with one decimal and "%", the
    // profit factor with two decimals, buy and hold with three, each within
    // its rounding of the figure; the statistics' texts end in a digit.
    const auto decimals = [](const std::string& cell) {
      const auto dot = cell.find('.');
      const std::size_t end = cell.back() == '%' ? cell.size() - 1 : cell.size();
      return dot == std::string::npos ? 0 : static_cast<int>(end - dot - 1);
    };
    for (const ScanRow& r : rows) {
      const auto cells = ScanRowCells(r);
      SCOPED_TRACE(Describe(r));
      const auto near = [&](int col, const std::optional<double>& v, double scale, int places) {
        const std::string& cell = cells[static_cast<std::size_t>(col)];
        if (!v) {
          EXPECT_EQ(cell, "-");
          return;
        }
        EXPECT_EQ(decimals(cell), places) << cell;
        EXPECT_NEAR(std::stod(cell), *v * scale, 0.5 * std::pow(10.0, -places) + 1e-9) << cell;
      };
      near(kScanMaxDrawdown, r.figures.maxDrawdown, 100, 1);
      near(kScanExposure, r.figures.exposure, 100, 1);
      near(kScanProfitFactor, r.figures.profitFactor, 1, 2);
      near(kScanBuyAndHold, r.figures.buyAndHold, 1, 3);
      for (int col : {kScanMaxDrawdown, kScanExposure, kScanWinShare}) {
        const std::string& cell = cells[static_cast<std::size_t>(col)];
        if (cell != "-" && !cell.empty()) {
          EXPECT_EQ(cell.back(), '%') << cell;
        }
      }
      if (r.trades > 0) near(kScanWinShare, r.figures.winRate, 100, 1);
      // The statistics: three places, one, two and none (below 10, 100, 10
      // and any, where the statistics block has room for them).
      const std::pair<int, int> statistics[] = {
          {kScanAverage, 3}, {kScanPerYear, 1}, {kScanAnnualRate, 2}, {kScanAverageDays, 0}};
      for (const auto& [col, places] : statistics) {
        const std::string& cell = cells[static_cast<std::size_t>(col)];
        if (cell.empty()) continue;
        if (std::stod(cell) < (col == kScanPerYear ? 100 : 10) || places == 0) {
          EXPECT_EQ(decimals(cell), places) << cell;
        }
        EXPECT_TRUE(cell.back() >= '0' && cell.back() <= '9') << cell;
      }
    }

    // The CSV carries the same columns.
    DataFolder folder;
    SaveScanCsv(rows, folder.path("scan.csv"));
    WorkTable back("StockList", 200, 1);
    LoadTableFile(back, folder.path("scan.csv"), 200);
    ASSERT_EQ(back.rowCount(), static_cast<int>(rows.size()) + 1);
    for (int c = 0; c < static_cast<int>(ScanColumnHeadings().size()); ++c)
      EXPECT_EQ(back.cell(c, 0), ScanColumnHeadings()[static_cast<std::size_t>(c)]);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      const auto figures = FigureCells(rows[static_cast<std::size_t>(i)].figures);
      for (int k = 0; k < 5; ++k)
        ASSERT_EQ(back.cell(kScanMaxDrawdown + k, i + 1), figures[static_cast<std::size_t>(k)])
            << i;
    }
    EXPECT_EQ(std::vector<std::string>(ScanColumnHeadings().begin() + kScanMaxDrawdown,
                                       ScanColumnHeadings().end()),
              (std::vector<std::string>{"最大DD", "PF", "最長連敗", "保有率", "買持"}));

    // Each figure column sorts as numbers, "-" below every number.
    for (int col = kScanMaxDrawdown; col <= kScanBuyAndHold; ++col) {
      SCOPED_TRACE(ScanColumnHeadings()[static_cast<std::size_t>(col)]);
      EXPECT_TRUE(ScanColumnIsNumeric(col));
      SortScanRows(rows, col, true);
      bool dash = false;
      double last = 0;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string cell = ScanRowCells(rows[i])[static_cast<std::size_t>(col)];
        if (cell == "-") {
          dash = true;
          continue;
        }
        EXPECT_FALSE(dash) << "a number below a dash: " << cell;
        const double v = std::stod(cell);
        if (i > 0) {
          EXPECT_LE(v, last) << cell;
        }
        last = v;
      }
    }
  }
}

TEST(RuleScan, LeavesTheSourceListAloneAndGivesTheSameRowsWithOneOrTwoThreads) {
  const WorkTable before = List();
  ScanOptions o;
  o.threads = 1;
  const auto one = RunScan(List(), o);
  o.threads = 2;
  const auto two = RunScan(List(), o);
  o.threads = 8;  // more threads than stocks
  const auto eight = RunScan(List(), o);
  ASSERT_EQ(one.size(), std::size(kGood) * 10);
  ASSERT_EQ(two.size(), one.size());
  ASSERT_EQ(eight.size(), one.size());
  for (std::size_t i = 0; i < one.size(); ++i) {
    EXPECT_TRUE(SameRow(one[i], two[i])) << Describe(one[i]) << "\n" << Describe(two[i]);
    EXPECT_TRUE(SameRow(one[i], eight[i])) << Describe(one[i]) << "\n" << Describe(eight[i]);
  }

  const WorkTable& after = List();
  EXPECT_EQ(after.rowCount(), before.rowCount());
  EXPECT_EQ(after.colCount(), before.colCount());
  EXPECT_EQ(after.version(), before.version());
  for (int r = 0; r <= kDays + 1; ++r)
    for (int c = 0; c < 200; ++c) ASSERT_EQ(after.cell(c, r), before.cell(c, r)) << c << "," << r;
}

TEST(RuleScan, ReportsProgressPerStockAndStopsWhenCancelled) {
  // Eight headings in columns 1..197 are not blank: the six good stocks and
  // the two that are left out.
  EXPECT_EQ(ScanColumns(List()), (std::vector<int>{1, 2, 3, 4, 5, 6, 9, 197}));

  std::mutex m;
  std::vector<std::pair<int, int>> calls;
  ScanOptions o;
  o.threads = 2;
  o.progress = [&](int done, int total) {
    std::lock_guard<std::mutex> lock(m);
    calls.emplace_back(done, total);
  };
  RunScan(List(), o);
  std::set<int> done;
  for (const auto& [d, total] : calls) {
    EXPECT_EQ(total, 8);
    done.insert(d);
  }
  EXPECT_EQ(calls.size(), 8u);
  EXPECT_EQ(done, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));

  // Cancelled after the first stock: one thread takes no further stock.
  std::atomic<bool> cancel{false};
  ScanOptions c;
  c.threads = 1;
  c.cancel = &cancel;
  c.progress = [&](int, int) { cancel = true; };
  const auto rows = RunScan(List(), c);
  ASSERT_EQ(rows.size(), 10u);
  for (const auto& r : rows) EXPECT_EQ(r.column, 1);

  // With two threads a stock in the middle of its rules is given up whole.
  std::atomic<bool> cancel2{false};
  c.threads = 2;
  c.cancel = &cancel2;
  c.progress = [&](int, int) { cancel2 = true; };
  const auto rows2 = RunScan(List(), c);
  EXPECT_LT(rows2.size(), std::size(kGood) * 10);
  EXPECT_EQ(rows2.size() % 10, 0u);

  // Cancelled before it starts: nothing.
  std::atomic<bool> early{true};
  c.cancel = &early;
  EXPECT_TRUE(RunScan(List(), c).empty());
}

TEST(RuleScan, SortsByAnnualRateAsNumbersThenCodeThenRule) {
  auto row = [](const char* code, int tag, const char* rate) {
    ScanRow r;
    r.code = code;
    r.tag = tag;
    r.annualRate = rate;
    return r;
  };
  std::vector<ScanRow> rows = {
      row("2000", 0, "1.28"), row("1000", 3, ""),     row("1000", 1, "9.9"),
      row("3000", 2, "10.5"), row("1000", 2, "1.28"), row("1500", 0, "x"),
      row("1000", 0, "1.28"), row("0500", 9, "0"),    row("0900", 1, "")};
  SortScanRows(rows);
  std::vector<std::string> got;
  for (const auto& r : rows)
    got.push_back(r.code + "/" + std::to_string(r.tag) + "/" + r.annualRate);
  // 10.5 above 9.9 (numbers, not texts); equal rates by code, then tag;
  // empty and non-numeric rates last, by code.
  EXPECT_EQ(
      got, (std::vector<std::string>{"3000/2/10.5", "1000/1/9.9", "1000/0/1.28", "1000/2/1.28",
                                     "2000/0/1.28", "0500/9/0", "0900/1/", "1000/3/", "1500/0/x"}));
}

// A row of fewer trades than the minimum is not ranked first, however high
// its rate; among themselves such rows keep the rate's order.
TEST(RuleScan, RowsOfFewTradesRankBelowTheOthers) {
  auto row = [](const char* code, int trades, const char* rate) {
    ScanRow r;
    r.code = code;
    r.trades = trades;
    r.annualRate = rate;
    return r;
  };
  const std::vector<ScanRow> given = {row("1000", 3, "50.1"), row("2000", 5, "1.2"),
                                      row("3000", 4, "9.5"), row("4000", 40, "3.3"),
                                      row("5000", 0, "")};
  auto codes = [](const std::vector<ScanRow>& rows) {
    std::string s;
    for (const auto& r : rows) s += r.code + " ";
    return s;
  };
  std::vector<ScanRow> rows = given;
  SortScanRows(rows);
  EXPECT_EQ(codes(rows), "4000 2000 1000 3000 5000 ");
  rows = given;
  SortScanRows(rows, 3);
  EXPECT_EQ(codes(rows), "1000 3000 4000 2000 5000 ");
  rows = given;
  SortScanRows(rows, 0);  // no minimum: the rate alone
  EXPECT_EQ(codes(rows), "1000 3000 4000 2000 5000 ");
  rows = given;
  SortScanRows(rows, 41);  // none has so many
  EXPECT_EQ(codes(rows), "1000 3000 4000 2000 5000 ");
}

// Each statistic column in one form from the statistics block's short
// texts: rounded where they have more places, padded where they were
// written whole, kept where the block had no room.
TEST(RuleScan, StatisticCellsHaveOneFormAColumn) {
  auto cell = [](int column, const std::string& text) {
    ScanRow r;
    r.average = r.perYear = r.annualRate = r.averageDays = text;
    return ScanCellText(r, column);
  };
  const std::tuple<int, const char*, const char*> cases[] = {
      {kScanAverage, "1.052", "1.052"},  {kScanAverage, "1.14", "1.140"},
      {kScanAverage, "1", "1.000"},      {kScanAverage, "10.52", "10.52"},
      {kScanPerYear, "8.29", "8.3"},     {kScanPerYear, "8.25", "8.3"},
      {kScanPerYear, "18.7", "18.7"},    {kScanPerYear, "2", "2.0"},
      {kScanPerYear, "123.", "123"},     {kScanAnnualRate, "3.02", "3.02"},
      {kScanAnnualRate, "1.1", "1.10"},  {kScanAnnualRate, "0", "0.00"},
      {kScanAnnualRate, "12.3", "12.3"}, {kScanAverageDays, "9.52", "10"},
      {kScanAverageDays, "217.", "217"}, {kScanAverageDays, "44", "44"},
      {kScanAverageDays, "6.49", "6"},   {kScanAverageDays, "", ""},
      {kScanAnnualRate, "1.5E", "1.5E"}, {kScanAverage, "x", "x"}};
  for (const auto& [column, text, want] : cases)
    EXPECT_EQ(cell(column, text), want) << ScanColumnHeadings()[column] << " " << text;
  // The rows of a scan without trades: blank statistics, "-" figures.
  ScanRow none;
  none.annualRate = "0";
  const auto cells = ScanRowCells(none);
  EXPECT_EQ(cells[kScanAnnualRate], "0.00");
  EXPECT_EQ(cells[kScanWinShare], "");
  EXPECT_EQ(cells[kScanMaxDrawdown], "-");
  EXPECT_EQ(cells[kScanLosingStreak], "-");
}

TEST(RuleScan, FiguresSortByTheirValuesNotTheirRoundedTexts) {
  auto row = [](const char* code, std::optional<double> dd) {
    ScanRow r;
    r.code = code;
    r.figures.maxDrawdown = dd;
    return r;
  };
  // 5.24 % and 5.16 % both show 5.2 %; the larger stands first all the same.
  std::vector<ScanRow> rows = {row("1000", 0.0516), row("2000", std::nullopt), row("3000", 0.0524),
                               row("4000", 0.049)};
  SortScanRows(rows, kScanMaxDrawdown, true);
  std::vector<std::string> got;
  for (const auto& r : rows) got.push_back(r.code + " " + ScanCellText(r, kScanMaxDrawdown));
  EXPECT_EQ(got, (std::vector<std::string>{"3000 5.2%", "1000 5.2%", "4000 4.9%", "2000 -"}));
}

TEST(RuleScan, WinShareAndNameTexts) {
  EXPECT_EQ(WinShareText(0, 0), "");
  EXPECT_EQ(WinShareText(0, 7), "0.0%");
  EXPECT_EQ(WinShareText(7, 7), "100.0%");
  EXPECT_EQ(WinShareText(5, 8), "62.5%");
  EXPECT_EQ(WinShareText(1, 16), "6.3%");  // 6.25 rounds up
  EXPECT_EQ(WinShareText(1, 80), "1.3%");  // 1.25
  EXPECT_EQ(WinShareText(2, 3), "66.7%");
  EXPECT_EQ(WinShareText(1, 3), "33.3%");
  EXPECT_EQ(WinShareText(9999, 10000), "100.0%");
  EXPECT_EQ(WinShareText(1, 2000), "0.1%");  // 0.05
  // The same form as a fraction shown by the backtest view.
  for (const auto& [wins, listed] : {std::pair{1, 16}, {5, 8}, {2, 3}, {1, 80}, {13, 1000}})
    EXPECT_EQ(WinShareText(wins, listed), PercentText(static_cast<double>(wins) / listed));

  const std::pair<const char*, const char*> names[] = {
      {"1301 極洋", "極洋"},
      {"1302　 日産", "日産"},
      {"7203トヨタ", "トヨタ"},
      {"8001  商事 A", "商事 A"},
      {"130", ""},
      // A heading that starts with a double-byte character: its code is two characters.
      {"日本郵船", "郵船"}};
  for (const auto& [heading, name] : names) EXPECT_EQ(ScanNameOf(heading), name) << heading;
}

// The driver's command over a list the start-up loads.
TEST(RuleScan, DriverPrintsOneLinePerRowInTheScanOrder) {
  DataFolder folder;
  std::vector<std::string> lines;
  const WorkTable& list = List();
  for (int r = 0; r <= kDays; ++r) {
    std::string line;
    for (int c = 0; c <= 9; ++c) {
      if (c) line += ',';
      const std::string& v = list.cell(c, r);
      line += v.find(' ') != std::string::npos ? "\"" + v + "\"" : v;
    }
    lines.push_back(line);
  }
  folder.writeLines("デ-タ一覧.csv", lines);
  folder.touch("pullbox/pullbox.exe");
  folder.touch("listwerk/listwerk.exe");

  RecordingPlatform p;
  Workspace loaded(p);
  loaded.startup.LoadStockList();
  loaded.startup.Button53Click();
  ASSERT_EQ(ScanColumns(loaded.StockList), (std::vector<int>{1, 2, 3, 4, 5, 6, 9}));

  auto expected = [&](bool entryBuy, bool shortTerm) {
    ScanOptions o;
    o.backtest.entry = entryBuy ? EntrySide::Buy : EntrySide::Sell;
    o.shortTerm = shortTerm;
    std::vector<std::string> out;
    for (const auto& r : RunScan(loaded.StockList, o)) {
      // The cells the window and the CSV show.
      std::string line;
      for (const std::string& cell : ScanRowCells(r)) line += (line.empty() ? "" : "\t") + cell;
      out.push_back(line);
    }
    return out;
  };
  std::vector<std::string> want = expected(true, false);
  ASSERT_EQ(want.size(), 50u);
  const auto sellShort = expected(false, true);
  want.push_back("--");
  want.insert(want.end(), sellShort.begin(), sellShort.end());

  std::istringstream in("start\nscan long\necho --\nclick Button47\nscan short\n");
  std::ostringstream out, err;
  EXPECT_EQ(RunScript(in, out, err), 0) << err.str();
  std::vector<std::string> got;
  std::istringstream printed(out.str());
  // The start-up ends with the error of the short stock in column 4; the
  // scan lines are the tab-separated ones.
  for (std::string l; std::getline(printed, l);)
    if (l.find('\t') != std::string::npos || l == "--") got.push_back(l);
  EXPECT_EQ(got, want) << out.str().substr(0, 2000);

  for (const char* bad : {"scan\n", "scan middle\n", "scan long short\n"}) {
    std::istringstream b(std::string("start\n") + bad);
    std::ostringstream o2, e2;
    EXPECT_EQ(RunScript(b, o2, e2), 2) << bad;
    EXPECT_NE(e2.str().find("line 2"), std::string::npos) << e2.str();
  }
}

}  // namespace
}  // namespace tavrine
