// Judging without hindsight. The reference is the list cut at a day: nothing
// the program says about a day may change when later days arrive, and what a
// line says on a day is what the original computation says on the list that
// ends on that day. The trades follow the signals a day later, and today's
// signal list reads the same columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../support/data_folder.h"
#include "../support/recording_platform.h"
#include "../support/sanitized.h"
#include "../support/start_cells.h"
#include "app/workspace.h"
#include "signals/honest.h"
#include "signals/today.h"
#include "store/calc_columns.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {
namespace {

using testing::RecordingPlatform;

constexpr int kDays = 1500;
const char* const kRuleButtons[10] = {"Button37", "Button38", "Button39", "Button73", "Button74",
                                      "Button75", "Button76", "Button77", "Button1",  "Button83"};
constexpr int kRuleColumns[10] = {7, 8, 9, 20, 21, 22, 23, 24, 31, 40};

// A random walk with two cycles, in half yen, newest first.
std::vector<std::string> Prices(unsigned seed, double base) {
  std::mt19937 rng(seed);
  std::vector<std::string> out(kDays + 1);
  double walk = 1.0;
  for (int r = kDays; r >= 1; --r) {
    walk *= 1.0 + (static_cast<int>(rng() % 2001) - 1000) / 60000.0;
    const double price = base * walk * (1.0 + 0.15 * std::sin(r / 13.0) + 0.2 * std::sin(r / 71.0));
    const long long halves = std::llround(price * 2);
    out[static_cast<std::size_t>(r)] = std::to_string(halves / 2) + (halves % 2 ? ".5" : "");
  }
  return out;
}

// Three stocks over kDays weekdays ending 2003/12/26; the second has three
// blank newest days; the fourth is too short for most rules.
WorkTable MakeList() {
  WorkTable t("StockList", 200, 5000);
  t.set(0, 0, "日付");
  int d = DaysFromCivil(2003, 12, 26);
  for (int r = 1; r <= kDays; ++r) {
    while ((d + 5) % 7 >= 5) --d;
    t.set(0, r, DateToStr(d--));
  }
  const std::tuple<int, const char*, unsigned, double, int, int> stocks[] = {
      {1, "1301 極洋", 31, 800, 1, kDays},
      {2, "7203 トヨタ", 32, 4200, 4, kDays},
      {3, "9984 ソフト", 33, 5000, 1, kDays},
      {4, "1999 短い", 34, 300, 1, 150}};
  for (const auto& [c, heading, seed, base, from, to] : stocks) {
    t.set(c, 0, heading);
    const auto p = Prices(seed, base);
    for (int r = from; r <= to; ++r) t.set(c, r, p[static_cast<std::size_t>(r)]);
  }
  return t;
}

const WorkTable& List() {
  static const WorkTable list = MakeList();
  return list;
}

// The list as it stood d days earlier: its d newest rows gone.
WorkTable Cut(const WorkTable& list, int d) {
  WorkTable t = list;
  for (int c = 0; c < 200; ++c)
    for (int r = 1; r <= kDays; ++r) t.set(c, r, r + d <= kDays ? list.cell(c, r + d) : "");
  return t;
}

// A main window after the start-up, judging one way.
struct Window {
  RecordingPlatform platform;
  std::unique_ptr<Workspace> ws = std::make_unique<Workspace>(platform);

  Window(const WorkTable& list, Judging judging) {
    ws->StockList = list;
    ws->judging = judging;
    testing::StartUpCells(*ws);
    for (auto [control, caption] : {std::pair{"Button13", "S2"},
                                    {"Button79", "長"},
                                    {"Button81", "S"},
                                    {"Button47", "入買"},
                                    {"MaskEdit1", "0.00"}})
      ws->form.setText(control, caption);
  }
  void click(const char* control) { ws->dispatch(control, Event{}); }
  // The stock typed into Edit1 with Enter, then the term set.
  void select(int column, bool shortTerm) {
    ws->typeText("Edit1", LeftBytes(List().cell(column, 0), 4));
    Event enter;
    enter.kind = Event::KeyPress;
    enter.key = 13;
    ws->dispatch("Edit1", enter);
    for (int i = 0; shortTerm && i < 3 && ws->form.text("Button79") != "短"; ++i) click("Button79");
    ASSERT_TRUE(platform.errors.empty()) << platform.errors.front();
    ASSERT_EQ(ws->form.text("Button79"), shortTerm ? "短" : "長");
  }
  const WorkTable& calc() const { return ws->CalcTable; }
  int first() const { return ws->SeriesTable.getInt(ctl::FirstDataRow); }
  int last() const { return ws->SeriesTable.getInt(ctl::LastDataRow); }
  // The listed trades sold on or before the day, as their six cells.
  std::set<std::vector<std::string>> tradesUpTo(int day) const {
    std::set<std::vector<std::string>> out;
    const WorkTable& t = ws->StatsTable;
    for (int r = 1; !IsBlank(t.cell(6, r)); ++r) {
      const int sold = StrToDate(t.cell(2, r));
      if (sold <= day)
        out.insert({t.cell(1, r), t.cell(2, r), t.cell(4, r), t.cell(5, r), t.cell(6, r)});
    }
    return out;
  }
};

int Sign(const std::string& s) {
  if (IsBlank(s)) return 9;  // no value
  const long double v = StrToFloat(s);
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// Days up to the cut's newest whose signal (sign, or having one at all)
// differs between the run on the whole list and the run on the cut list.
int ChangedDays(const Window& whole, const Window& cut, int column, int d) {
  int changed = 0;
  for (int r = cut.first(); r <= cut.last(); ++r)
    changed += Sign(whole.calc().cell(column, r + d)) != Sign(cut.calc().cell(column, r));
  return changed;
}

// The point-in-time check: on the list cut 1, 9 and 60 days short, every
// signal up to the cut's newest day and every trade sold by then is what the
// whole list gives, for every rule, both term sets and both directions.
TEST(HonestJudging, NothingUpToADayChangesWhenLaterDaysArrive) {
  // Under the sanitizer one stock and two cuts reach every path.
  const std::vector<int> stocks = kUnderSanitizer ? std::vector<int>{2} : std::vector<int>{1, 2, 3};
  const std::vector<int> cuts =
      kUnderSanitizer ? std::vector<int>{1, 60} : std::vector<int>{1, 9, 60};
  for (int column : stocks) {
    for (bool shortTerm : {false, true}) {
      Window whole(List(), Judging::Honest);
      whole.select(column, shortTerm);
      for (int d : cuts) {
        Window cut(Cut(List(), d), Judging::Honest);
        cut.select(column, shortTerm);
        const int newest = StrToDate(List().cell(0, 1 + d));
        for (int rule = 0; rule < 10; ++rule) {
          EXPECT_EQ(ChangedDays(whole, cut, kRuleColumns[rule], d), 0)
              << "stock " << column << " short " << shortTerm << " cut " << d << " rule " << rule;
          for (const char* direction : {"1", "0"}) {
            for (Window* w : {&whole, &cut}) {
              if (w->ws->SeriesTable.cell(ctl::EntryDirection) != direction) w->click("Button47");
              w->click(kRuleButtons[rule]);
            }
            EXPECT_EQ(whole.tradesUpTo(newest), cut.tradesUpTo(newest))
                << "stock " << column << " rule " << rule << " direction " << direction;
          }
        }
        // Every rule has a value on the newest priced day of a long history.
        for (int rule = 0; rule < 10; ++rule)
          EXPECT_NE(Sign(cut.calc().cell(kRuleColumns[rule], cut.first())), 9) << rule;
      }
    }
  }
}

// The same check catches the centred lines and the price scale of the
// newest closes: judged with hindsight, days change when later days arrive.
TEST(HonestJudging, TheCheckCatchesHindsight) {
  Window whole(List(), Judging::Hindsight), cut(Cut(List(), 9), Judging::Hindsight);
  whole.select(1, false);
  cut.select(1, false);
  for (int column : {7, 8, 9, 31}) EXPECT_GT(ChangedDays(whole, cut, column, 9), 0) << column;
}

// What each line said on a day is what the original computation says on the
// list that ends on that day: its centred value at the newest day's pair,
// with the price scale of that list. The rule columns follow from those
// lines and from the averages and stochastics of the newest day.
TEST(HonestJudging, EachDayReadsWhatTheLineSaidOnThatDay) {
  for (int column : {1, 3}) {
    for (bool shortTerm : {false, true}) {
      Window honest(List(), Judging::Honest);
      honest.select(column, shortTerm);
      for (int d : {0, 4, 33, 250}) {
        Window past(Cut(List(), d), Judging::Hindsight);
        past.select(column, shortTerm);
        const WorkTable& c = past.calc();
        const int f = past.first();
        auto at = [&](int col, int r) { return c.getInt(col, r); };
        auto agree = [](long long a, long long b) {
          return a > 0 && b > 0 ? 2 : a < 0 && b < 0 ? -2 : 0;
        };
        auto band = [&] {
          const long long v = at(25, f);
          return v < c.getFloat(30, f) ? 2 : v > c.getFloat(29, f) ? -2 : 0;
        };
        const long long s1 = at(7, f + 2), s2 = at(8, f + 12), s3 = at(9, f + 37),
                        s4 = at(10, f + 100);
        long long expected[11] = {s1, s2, s3, s4, at(20, f), at(21, f), 0, 0, 0, band(), 0};
        if (shortTerm) {
          expected[6] = agree(at(20, f), s2);
          expected[7] = agree(at(21, f), s2);
          expected[8] = agree(at(21, f), s3);
          const long double fast = c.getFloat(34, f), slow = c.getFloat(35, f);
          expected[10] = slow < fast && s3 > 0 ? 2 : slow <= fast ? 0 : -2;
        } else {
          expected[6] = agree(at(21, f), s3);
          expected[7] = agree(at(21, f), s4);
          expected[8] = agree(at(20, f), s4);
          expected[10] = at(40, f);
        }
        for (std::size_t i = 0; i < honest::kColumns.size(); ++i)
          EXPECT_EQ(honest.calc().cell(honest::kColumns[i], f + d), IntToStr(expected[i]))
              << "stock " << column << " short " << shortTerm << " day " << d << " column "
              << honest::kColumns[i];
      }
    }
  }
}

// A decision is carried out at the next day's close: the day before a buy
// holds the entry signal, the day before a sell the exit signal.
TEST(HonestJudging, TradesAreMadeTheDayAfterTheSignal) {
  Window w(List(), Judging::Honest);
  w.select(3, false);
  const WorkTable& calc = w.calc();
  auto rowOf = [&](const std::string& date) {
    for (int r = 1; r <= w.last(); ++r)
      if (calc.cell(0, r) == date) return r;
    return -1;
  };
  for (const char* rule : {"Button38", "Button74"}) {
    for (bool entryBuy : {true, false}) {
      if ((w.ws->SeriesTable.cell(ctl::EntryDirection) == "1") != entryBuy) w.click("Button47");
      w.click(rule);
      const int column = w.ws->SeriesTable.getInt(ctl::RuleNumber);
      const WorkTable& t = w.ws->StatsTable;
      int trades = 0;
      for (int r = 1; !IsBlank(t.cell(6, r)); ++r, ++trades) {
        const int in = rowOf(t.cell(1, r)), out = rowOf(t.cell(2, r));
        ASSERT_GT(in, out);
        EXPECT_EQ(t.cell(4, r), calc.cell(1, in));
        EXPECT_EQ(t.cell(5, r), calc.cell(1, out));
        const int entry = calc.getInt(column, in + 1), exit = calc.getInt(column, out + 1);
        EXPECT_TRUE(entryBuy ? entry > 0 : entry < 0) << rule << " trade " << r;
        EXPECT_TRUE(entryBuy ? exit < 0 : exit >= 0) << rule << " trade " << r;
      }
      EXPECT_GT(trades, 3) << rule;
    }
  }
}

// Today's signals read the honest columns of the newest two priced days,
// whatever way the window judges.
TEST(HonestJudging, TodaysSignalsAreTheNewestDaysOfTheColumns) {
  for (bool shortTerm : {false, true}) {
    const auto rows = TodaySignals(List(), !shortTerm);
    ASSERT_EQ(rows.size(), 4u);
    for (int column : {1, 2, 3}) {
      Window w(List(), Judging::Honest);
      w.select(column, shortTerm);
      const TodayRow& row = rows[static_cast<std::size_t>(column - 1)];
      EXPECT_EQ(row.column, column);
      EXPECT_EQ(row.date, w.calc().cell(0, w.first()));
      for (std::size_t i = 0; i < kTodayRuleColumns.size(); ++i) {
        const int now = Sign(w.calc().cell(kTodayRuleColumns[i], w.first()));
        const int before = Sign(w.calc().cell(kTodayRuleColumns[i], w.first() + 1));
        ASSERT_TRUE(row.rules[i].known);
        EXPECT_EQ(row.rules[i].sign, now) << column << " " << i;
        EXPECT_EQ(row.rules[i].isNew, now != before) << column << " " << i;
      }
    }
    // 150 days: in the long term G4 .. G7 need the 200-day average; in the
    // short term every rule has a value.
    const auto fields = TodayFields(rows[3]);
    for (std::size_t i = 0; i < fields.size(); ++i)
      EXPECT_EQ(fields[i] == ".", !shortTerm && i >= 4 && i <= 7) << i;
  }
}

// A price added by hand is a new newest day: its lines and the trades are
// those of the list that holds the day.
TEST(HonestJudging, APriceAddedByHandIsJudgedAsANewDay) {
  testing::DataFolder folder(List().cell(0, 1));
  Window whole(List(), Judging::Honest), before(Cut(List(), 1), Judging::Honest);
  whole.select(1, false);
  before.select(1, false);
  for (Window* w : {&whole, &before}) w->click("Button38");
  before.ws->typeText("Edit6", whole.calc().cell(1, 1));
  before.click("Button34");
  ASSERT_TRUE(before.platform.errors.empty()) << before.platform.errors.front();
  EXPECT_EQ(before.ws->SeriesTable.cell(0, 1), List().cell(0, 1));
  for (int c : {7, 8, 9, 10})
    EXPECT_EQ(before.ws->SeriesTable.cell(c, 1), whole.calc().cell(c, 1)) << c;
  const int today = StrToDate(List().cell(0, 1));
  EXPECT_EQ(before.tradesUpTo(today), whole.tradesUpTo(today));
}

// The term switch judged honestly leaves S2 .. S4 beside the deviation line
// to the honest lines it writes last; when a close it reads stops it first,
// the overlay copy has made them, as judged with hindsight.
TEST(HonestJudging, TheSwitchCopiesTheLinesBesideTheDeviationLine) {
  Window w(List(), Judging::Honest);
  w.select(1, false);
  WorkTable& calc = w.ws->CalcTable;
  WorkTable& st = w.ws->SeriesTable;
  const int last = w.last();
  auto mark = [&] {
    for (int r = 1; r <= last - 25; ++r)
      for (int c = 26; c <= 28; ++c) calc.set(c, r, "x"), st.set(c, r, "x");
  };
  // The copies on rows 1 .. rows, and in the view when it was reached.
  auto expectCopies = [&](const char* when, int rows, bool view) {
    const int offset = st.getInt(ctl::WindowStart);
    for (int r = 1; r <= rows; ++r)
      for (int c = 26; c <= 28; ++c) {
        ASSERT_EQ(calc.cell(c, r), calc.cell(c - 18, r)) << when << " " << c << " " << r;
        if (view && r + offset <= last - 25)
          ASSERT_EQ(st.cell(c, r), calc.cell(c - 18, r + offset)) << when << " " << c << " " << r;
      }
  };
  mark();
  st.setInt(ctl::TermMode, 0);  // the next switch computes the short-term set
  w.ws->overlays.Button79Click();
  expectCopies("switched", last - 25, true);

  // The oldest close is read only by the honest lines.
  mark();
  const std::string close = calc.cell(1, last);
  calc.set(1, last, "x");
  st.setInt(ctl::TermMode, 0);
  EXPECT_THROW(w.ws->overlays.Button79Click(), ConversionError);
  expectCopies("stopped by a close", last - 25, true);

  // An average stops the deviation line on row 40, after the copies of the
  // rows above it.
  calc.set(1, last, close);
  mark();
  calc.set(calc::kMA25, 40, "x");
  st.setInt(ctl::TermMode, 0);
  EXPECT_THROW(w.ws->overlays.Button79Click(), ConversionError);
  expectCopies("stopped by an average", 39, false);
}

// A stock no longer traded: its newest 30 days are blank. Its series starts
// at its newest price, and every rule runs on the days it has, either way.
TEST(HonestJudging, AStockWhoseNewestDaysAreBlankCharts) {
  WorkTable list = List();
  for (int r = 1; r <= 30; ++r) list.set(3, r, r % 2 ? "" : " ");
  for (Judging judging : {Judging::Honest, Judging::Hindsight}) {
    Window w(list, judging);
    w.select(3, false);
    EXPECT_EQ(w.first(), 31);
    for (const char* rule : kRuleButtons) w.click(rule);
    EXPECT_TRUE(w.platform.errors.empty()) << w.platform.errors.front();
    EXPECT_GT(w.ws->chart.line(0).points.size(), 100u);
  }
}

// The pure computation: the oldest rows of each column are where the closes
// they read run out, and a zero average gives 0 rather than a division fault.
TEST(HonestColumns, ValuesStartWhereTheirClosesAllow) {
  std::vector<long long> close(401, 0);
  for (int r = 1; r <= 400; ++r) close[static_cast<std::size_t>(r)] = 1000 + (r % 17) * 3;
  const auto c = honest::Compute(close, 1, 400, honest::kLongTerms);
  const int oldest[11] = {375, 364, 289, 101, 326, 201, 201, 101, 101, 326, 308};
  for (std::size_t i = 0; i < honest::kColumns.size(); ++i)
    EXPECT_EQ(c.oldest[i], oldest[i]) << honest::kColumns[i];

  std::vector<long long> zeros(401, 0);
  const auto z = honest::Compute(zeros, 1, 400, honest::kShortTerms);
  for (std::size_t i = 0; i < honest::kColumns.size(); ++i)
    for (int r = 1; r <= z.oldest[i]; ++r) ASSERT_EQ(z.values[i][static_cast<std::size_t>(r)], 0);
}

// The kept results of the term switch: a result comes back only for the same
// closes, rows and terms, and a changed close, row or term set computes anew.
TEST(HonestColumns, TheCacheGivesWhatComputeGives) {
  std::vector<long long> close(401, 0);
  for (int r = 1; r <= 400; ++r) close[static_cast<std::size_t>(r)] = 1000 + (r * 7919 % 97);
  honest::ComputeCache cache;
  auto same = [](const honest::Columns& a, const honest::Columns& b) {
    return a.first == b.first && a.last == b.last && a.oldest == b.oldest && a.values == b.values;
  };
  auto expectFresh = [&](int first, int last, const honest::Terms& t) {
    EXPECT_TRUE(same(cache.get(close, first, last, t), honest::Compute(close, first, last, t)));
  };
  honest::Terms other = honest::kLongTerms;
  other.deviation = honest::Deviation::Long200;
  for (int round = 0; round < 2; ++round) {  // the second round finds every result kept
    expectFresh(1, 400, honest::kLongTerms);
    expectFresh(1, 400, honest::kShortTerms);
    expectFresh(1, 400, other);
    expectFresh(2, 400, honest::kLongTerms);
  }
  close[5] += 1;  // a price added by hand
  expectFresh(1, 400, honest::kLongTerms);
  expectFresh(1, 400, honest::kShortTerms);
  expectFresh(1, 399, honest::kShortTerms);
  for (int i = 0; i < 6; ++i) expectFresh(1, 390 + i, other);  // more than it keeps
  expectFresh(1, 400, honest::kLongTerms);
}

// ST from its definition, day by day: the highest and lowest close of each
// window read afresh, the fast line summed over its span, scaled by the day's
// own price scale; on closes with long flat runs, so ties decide extremes.
TEST(HonestColumns, StochasticsFollowEachDaysWindow) {
  std::mt19937 rng(7);
  const int last = 700;
  std::vector<long long> close(last + 1, 0);
  long long v = 2000;
  for (int r = last; r >= 1; --r) {
    if (rng() % 3 != 0) v += static_cast<long long>(rng() % 41) - 20;
    close[static_cast<std::size_t>(r)] = v;
  }
  auto at = [&](int r) { return close[static_cast<std::size_t>(r)]; };
  auto fast = [&](int r, int w, int span, long double p) {
    long long num = 0, den = 0;
    for (int j = r; j < r + span; ++j) {
      long long hi = at(j), lo = at(j);
      for (int i = j; i < j + w; ++i) hi = std::max(hi, at(i)), lo = std::min(lo, at(i));
      num += at(j) - lo;
      den += hi - lo;
    }
    return static_cast<long double>(static_cast<double>(
        p * 0.5L * static_cast<long double>(num) / static_cast<long double>(den == 0 ? 1 : den)));
  };
  auto scale = [&](int r) {
    long long sum = 0;
    for (int j = r + 1; j <= r + 25; ++j) sum += at(j);
    return static_cast<long double>(std::llround(static_cast<double>(sum) / 25));
  };
  const int st = honest::IndexOfColumn(calc::kST), s3 = honest::IndexOfColumn(calc::kS3);
  const auto longCols = honest::Compute(close, 1, last, honest::kLongTerms);
  const auto shortCols = honest::Compute(close, 1, last, honest::kShortTerms);
  int checked = 0;
  for (int r = 1; r <= longCols.oldest[static_cast<std::size_t>(st)]; ++r, ++checked) {
    const long double p = scale(r);
    double sum = 0;
    for (int j = r; j < r + 15; ++j) sum += static_cast<double>(fast(j, 65, 15, p));
    const long double slow = static_cast<long double>(sum) / 15.0L, f = fast(r, 65, 15, p);
    ASSERT_EQ(longCols.values[static_cast<std::size_t>(st)][static_cast<std::size_t>(r)],
              slow < f    ? 2
              : slow == f ? 0
                          : -2)
        << r;
  }
  for (int r = 1; r <= shortCols.oldest[static_cast<std::size_t>(st)]; ++r, ++checked) {
    const long double p = scale(r);
    const long double f = fast(r, 9, 3, p);
    const long double slow =
        static_cast<double>((f + fast(r + 1, 9, 3, p) + fast(r + 2, 9, 3, p)) / 3.0L);
    const long long line =
        shortCols.values[static_cast<std::size_t>(s3)][static_cast<std::size_t>(r)];
    ASSERT_EQ(shortCols.values[static_cast<std::size_t>(st)][static_cast<std::size_t>(r)],
              slow < f && line > 0 ? 2
              : slow <= f          ? 0
                                   : -2)
        << r;
  }
  EXPECT_GT(checked, 1000);
}

// One column asked for: exactly the full computation's values and oldest
// row, for every column under every term set, on closes with flat runs, a
// jump and a zero price scale at the oldest end; nothing it does not read.
TEST(HonestColumns, OneColumnIsTheFullComputationsColumn) {
  std::mt19937 rng(23);
  const int last = 900;
  std::vector<long long> close(last + 1, 0);
  long long v = 3000;
  for (int r = last; r >= 1; --r) {
    if (rng() % 4 != 0) v = std::max(1LL, v + static_cast<long long>(rng() % 121) - 60);
    if (r == 450) v *= 2;  // a split-like jump
    close[static_cast<std::size_t>(r)] = r > last - 30 ? 0 : v;
  }
  std::vector<honest::Terms> termSets = {honest::kLongTerms, honest::kShortTerms};
  for (honest::Deviation d : {honest::Deviation::Short25, honest::Deviation::Long200}) {
    termSets.push_back({true, d, false});
    termSets.push_back({false, d, true});
  }
  for (const honest::Terms& terms : termSets) {
    for (int first : {1, 40}) {
      const auto full = honest::Compute(close, first, last, terms);
      for (std::size_t i = 0; i < honest::kColumns.size(); ++i) {
        const int column = honest::kColumns[i];
        SCOPED_TRACE("column " + std::to_string(column) + " first " + std::to_string(first) +
                     (terms.longTerm ? " long" : " short") + (terms.stLong ? " st65" : " st9"));
        const unsigned need = honest::Needs(column, terms);
        EXPECT_NE(need & 1u << i, 0u);
        const auto one = honest::Compute(close, first, last, terms, 1u << i);
        for (std::size_t j = 0; j < honest::kColumns.size(); ++j) {
          if (need >> j & 1u) {
            EXPECT_EQ(one.oldest[j], full.oldest[j]) << honest::kColumns[j];
            EXPECT_EQ(one.values[j], full.values[j]) << honest::kColumns[j];
          } else {
            EXPECT_FALSE(one.has(static_cast<int>(j), first)) << honest::kColumns[j];
          }
        }
      }
    }
  }
  // The reads the columns have: an agreement its trend line, the short ST S3.
  const auto index = [](int column) { return 1u << honest::IndexOfColumn(column); };
  EXPECT_EQ(honest::Needs(calc::kG5, honest::kLongTerms), index(calc::kG5) | index(calc::kS3));
  EXPECT_EQ(honest::Needs(calc::kG5, honest::kShortTerms), index(calc::kG5) | index(calc::kS2));
  EXPECT_EQ(honest::Needs(calc::kST, honest::kShortTerms), index(calc::kST) | index(calc::kS3));
  EXPECT_EQ(honest::Needs(calc::kST, honest::kLongTerms), index(calc::kST));
  EXPECT_EQ(honest::Needs(calc::kMA25, honest::kLongTerms), honest::kAllColumns);
}

}  // namespace
}  // namespace tavrine
