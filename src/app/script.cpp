#include "app/script.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "app/add_stock.h"
#include "app/import.h"
#include "app/list_actions.h"
#include "app/portfolio.h"
#include "app/portfolio_settings.h"
#include "app/scan.h"
#include "app/stock_money.h"
#include "app/update.h"
#include "app/workspace.h"
#include "signals/figures.h"
#include "signals/today.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/price_bars.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

std::string EscapeText(const std::string& s) {
  std::string o;
  o.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\r':
        o += "\\r";
        break;
      case '\n':
        o += "\\n";
        break;
      case '\t':
        o += "\\t";
        break;
      case '\\':
        o += "\\\\";
        break;
      default:
        o += c;
    }
  }
  return o;
}

std::string UnescapeText(const std::string& s) {
  std::string o;
  o.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[i + 1];
      const char* rep = n == 'r'    ? "\r"
                        : n == 'n'  ? "\n"
                        : n == 't'  ? "\t"
                        : n == 's'  ? " "
                        : n == '\\' ? "\\"
                                    : nullptr;
      if (rep) {
        o += rep;
        ++i;
        continue;
      }
    }
    o += s[i];
  }
  return o;
}

namespace {

// Prints what a window would show.
class ScriptPlatform : public Platform {
 public:
  explicit ScriptPlatform(std::ostream& out) : out_(out) {}
  void message(const std::string& t) override { out_ << "message: " << EscapeText(t) << '\n'; }
  void error(const std::string& t) override { out_ << "error: " << EscapeText(t) << '\n'; }
  void progress(const std::string& t) override { out_ << "progress: " << EscapeText(t) << '\n'; }
  void status(const std::string& t) override { out_ << "status: " << EscapeText(t) << '\n'; }
  void navigate(const std::string& url) override {
    out_ << "navigate: " << EscapeText(url) << '\n';
  }
  std::string printChart() override {
    out_ << "print: chart1\n";
    return {};
  }

 private:
  std::ostream& out_;
};

struct BadLine {
  std::string why;
};

// "C0-C1" into two integers.
bool ParseRange(const std::string& s, int& a, int& b) {
  auto dash = s.find('-', 1);
  if (dash == std::string::npos) return TryStrictInt(s, a) && TryStrictInt(s, b);
  return TryStrictInt(s.substr(0, dash), a) && TryStrictInt(s.substr(dash + 1), b);
}

class Runner {
 public:
  Runner(std::ostream& out) : out_(out), platform_(out), ws_(platform_) {}

  // Runs one line: its command, then the first word, then the rest taken as
  // it stands.
  void run(const std::string& line);

  Workspace& workspace() { return ws_; }

 private:
  using Words = std::vector<std::string>;
  // A command's words, and the rest of its line after the command as it stands.
  using Command = void (Runner::*)(const Words&, const std::string&);
  static const std::pair<std::string_view, Command> kCommands[];

  void start(const Words&, const std::string&) {
    Event ev;
    ws_.dispatch("Button52", ev);
  }

  void echo(const Words&, const std::string& rest) { out_ << UnescapeText(rest) << '\n'; }

  void set(const Words& words, const std::string& rest) {
    if (words.empty()) throw BadLine{"set needs a control"};
    const std::string& ctl = words[0];
    requireControl(ctl);
    auto sp2 = rest.find(' ');
    const std::string text =
        sp2 == std::string::npos ? std::string() : UnescapeText(rest.substr(sp2 + 1));
    ws_.typeText(ctl, text);
  }

  void key(const Words& words, const std::string&) {
    if (words.size() != 2) throw BadLine{"key needs a control and a code"};
    requireControl(words[0]);
    Event ev;
    ev.kind = Event::KeyPress;
    if (!TryStrictInt(words[1], ev.key)) throw BadLine{"bad key code"};
    ws_.dispatch(words[0], ev);
  }

  void click(const Words& words, const std::string&) { press(words, Event::Click, "click"); }
  void dblclick(const Words& words, const std::string&) {
    press(words, Event::DblClick, "dblclick");
  }
  void press(const Words& words, Event::Kind kind, const std::string& cmd) {
    if (words.size() != 1) throw BadLine{cmd + " needs one control"};
    requireControl(words[0]);
    Event ev;
    ev.kind = kind;
    ws_.dispatch(words[0], ev);
  }

  void mouseup(const Words& words, const std::string&) {
    if (words.size() != 3 || (words[0] != "StringGrid5" && words[0] != "StringGrid7"))
      throw BadLine{"mouseup needs StringGrid5 or StringGrid7 and a cell"};
    Event ev;
    ev.kind = Event::MouseUp;
    if (!TryStrictInt(words[1], ev.col) || !TryStrictInt(words[2], ev.row))
      throw BadLine{"bad cell"};
    ws_.dispatch(words[0], ev);
  }

  void chartdown(const Words& words, const std::string&) {
    Event ev;
    ev.kind = Event::MouseDown;
    for (const auto& w : words) {
      auto colon = w.find(':');
      int idx = 0;
      if (colon == std::string::npos || ws_.chart.find(w.substr(0, colon)) < 0 ||
          !TryStrictInt(w.substr(colon + 1), idx))
        throw BadLine{"bad chart point " + w};
      ev.hits.emplace_back(w.substr(0, colon), idx);
    }
    ws_.dispatch("chart1", ev);
  }

  void cell(const Words& words, const std::string&) {
    int c, r;
    if (words.size() != 3 || !TryStrictInt(words[1], c) || !TryStrictInt(words[2], r))
      throw BadLine{"cell TABLE C R"};
    WorkTable* t = requireTable(words[0]);
    out_ << words[0] << '[' << c << ',' << r << "]=" << EscapeText(t->cell(c, r)) << '\n';
  }

  void dump(const Words& words, const std::string&) {
    int c0, c1, r0, r1;
    if (words.size() != 3 || !ParseRange(words[1], c0, c1) || !ParseRange(words[2], r0, r1))
      throw BadLine{"dump TABLE C0-C1 R0-R1"};
    WorkTable* t = requireTable(words[0]);
    for (int r = r0; r <= r1; ++r) {
      out_ << r;
      for (int c = c0; c <= c1; ++c) out_ << '\t' << EscapeText(t->cell(c, r));
      out_ << '\n';
    }
  }

  void size(const Words& words, const std::string&) {
    if (words.size() != 1) throw BadLine{"size TABLE"};
    WorkTable* t = requireTable(words[0]);
    out_ << words[0] << ' ' << t->colCount() << " x " << t->rowCount() << '\n';
  }

  void text(const Words& words, const std::string&) {
    if (words.size() != 1) throw BadLine{"text CONTROL"};
    requireControl(words[0]);
    out_ << words[0] << '=' << EscapeText(ws_.form.text(words[0])) << '\n';
  }

  void visible(const Words& words, const std::string&) {
    if (words.size() != 1) throw BadLine{"visible CONTROL"};
    requireControl(words[0]);
    out_ << words[0] << " visible=" << (ws_.form.visible(words[0]) ? 1 : 0) << '\n';
  }

  void chart(const Words& words, const std::string&) {
    if (words.size() != 1) throw BadLine{"chart LINE"};
    const int pos = ws_.chart.find(words[0]);
    if (pos < 0) throw BadLine{"no chart line " + words[0]};
    const auto& pts = ws_.chart.line(pos).points;
    out_ << words[0] << ' ' << pts.size() << '\n';
    for (const auto& p : pts)
      out_ << FloatToStr(p.x) << '\t' << FloatToStr(p.y) << '\t' << EscapeText(p.label) << '\n';
  }

  void mode(const Words& words, const std::string&) {
    if (words.size() != 1 || (words[0] != "honest" && words[0] != "hindsight"))
      throw BadLine{"mode needs honest or hindsight"};
    ws_.setJudging(words[0] == "honest" ? Judging::Honest : Judging::Hindsight);
  }

  void rename(const Words& words, const std::string& rest) {
    if (words.size() < 2) throw BadLine{"rename needs a code and a name"};
    // The name is the rest of the line after the code.
    const std::size_t at = rest.find_first_not_of(" \t", rest.find_first_of(" \t"));
    RenameStock(ws_, words[0], UnescapeText(rest.substr(at)));
  }

  void remove(const Words& words, const std::string&) {
    if (words.size() != 1) throw BadLine{"remove needs a code"};
    RemoveStock(ws_, words[0]);
  }

  void update(const Words& words, const std::string&) {
    if (!words.empty()) throw BadLine{"update takes no argument"};
    // SIGINT or SIGTERM ends the update cleanly, then the driver.
    UpdateSignals stops;
    UpdateList(ws_);
    out_.flush();
    stops.end();
  }

  void add(const Words& words, const std::string& rest) {
    if (words.empty()) throw BadLine{"add needs a code or a name"};
    // A name may hold blanks: the rest of the line is the query.
    UpdateSignals stops;
    AddStock(ws_, UnescapeText(rest));
    out_.flush();
    stops.end();
  }

  void undo(const Words& words, const std::string&) {
    if (!words.empty()) throw BadLine{"undo takes no argument"};
    UndoListChange(ws_);
  }

  void redo(const Words& words, const std::string&) {
    if (!words.empty()) throw BadLine{"redo takes no argument"};
    RedoListChange(ws_);
  }

  void todaySignals(const Words& words, const std::string&) {
    if (words.size() != 1 || (words[0] != "long" && words[0] != "short"))
      throw BadLine{"signals needs long or short"};
    for (const TodayRow& row : TodaySignals(ws_.StockList, words[0] == "long")) {
      out_ << EscapeText(LeftBytes(row.heading, 4));
      for (const std::string& f : TodayFields(row)) out_ << '\t' << f;
      out_ << '\n';
    }
  }

  // "bars CODE day|week|month [N]": the stock's newest N bars (all when N is
  // not given) on the list's basis, newest first; "-" for what the price
  // store does not give.
  void bars(const Words& words, const std::string&) {
    if (words.size() < 2 || words.size() > 3 ||
        (words[1] != "day" && words[1] != "week" && words[1] != "month"))
      throw BadLine{"bars CODE day|week|month [N]"};
    int limit = -1;
    if (words.size() == 3 && (!TryStrictInt(words[2], limit) || limit < 0))
      throw BadLine{"bars needs a count of 0 or more"};
    const WorkTable& t = ws_.StockList;
    std::vector<ListClose> closes;
    for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn; ++c) {
      if (c >= t.colCount() || LeftBytes(t.cell(c, 0), 4) != words[0]) continue;
      closes = ListClosesOf(t, c);
      break;
    }
    std::vector<PriceBar> shown;
    if (!closes.empty()) {
      shown = DailyBars(ReadStoredBars(PriceStorePath(), words[0]), closes);
      if (words[1] == "week") shown = WeeklyBars(shown);
      if (words[1] == "month") shown = MonthlyBars(shown);
    }
    const std::size_t n =
        limit < 0 ? shown.size() : std::min(shown.size(), static_cast<std::size_t>(limit));
    out_ << "bars " << words[0] << ' ' << n << '\n';
    for (std::size_t k = 0; k < n; ++k) {
      const PriceBar& b = shown[shown.size() - 1 - k];
      out_ << DateToStr(b.day) << '\t' << FigureText(b.open) << '\t' << FigureText(b.high) << '\t'
           << FigureText(b.low) << '\t' << b.close << '\t' << FigureText(b.volume) << '\n';
    }
  }

  // "figures": the figures of the current backtest on one line.
  void figures(const Words& words, const std::string&) {
    if (!words.empty()) throw BadLine{"figures takes no argument"};
    out_ << FiguresLine(ws_.backtest.figures());
    // In 実売買 with a cost model, the money of the same trades.
    if (const std::optional<StockMoney> m = CurrentStockMoney(ws_))
      out_ << MoneyFiguresText(m->result);
    out_ << '\n';
  }

  // "costs KEY=VALUE ...": the per-stock cost model of 実売買, from the one
  // set before (the defaults the first time). A bad key or value is refused
  // with its message and nothing changes.
  void costs(const Words& words, const std::string&) {
    CostModel m = ws_.costModel;
    std::string text, error;
    for (const std::string& w : words) text += w + " ";
    if (!money::ReadCostModelText(text, m, error)) {
      platform_.error(error);
      return;
    }
    m.set = true;
    ws_.costModel = m;
  }

  // "portfolio KEY=VALUE ...": the portfolio backtest of the list in 実売買,
  // its summary line, one tab-separated line a trade, one a day. Only its
  // own keys count; what is not given is the default or, for the rule, the
  // entry direction and the term set, the current one.
  void portfolioRun(const Words& words, const std::string&) {
    if (ws_.judging != Judging::Honest) {
      out_ << "error: 資金管理検証は実売買でのみ行えます(後知恵では行えません)\n";
      return;
    }
    PortfolioSettings settings = CurrentPortfolioSettings(ws_);
    std::string error;
    if (!ReadPortfolioKeys(settings, words, error)) {
      out_ << "error: " << EscapeText(error) << '\n';
      return;
    }
    const PortfolioInputOptions& in = settings.inputs;
    const portfolio::Options& o = settings.options;
    const PortfolioRun run = RunPortfolio(ws_.StockList, in, o, PriceStorePath());
    for (const std::string& m : run.refused) out_ << "message: " << EscapeText(m) << '\n';
    const equity::Stats& st = run.stats;
    out_ << "portfolio "
         << FigureFields({{"trades", st.trades},
                          {"final", st.finalEquity},
                          {"cagr", st.cagr},
                          {"maxdd", st.maxdd},
                          {"ddays", st.ddays},
                          {"sharpe", st.sharpe},
                          {"sortino", st.sortino},
                          {"wins", st.wins},
                          {"pf", st.profitFactor},
                          {"costs", st.costs},
                          {"tax", st.tax},
                          {"hold", st.hold}})
         << '\n';
    for (const portfolio::Trade& t : run.result.trades) {
      out_ << "trade\t" << EscapeText(run.codes[static_cast<std::size_t>(t.stock)]) << '\t'
           << DateToStr(t.entryDay) << '\t' << (t.exitDay ? DateToStr(*t.exitDay) : "-") << '\t'
           << t.shares << '\t' << FloatToStr(t.entryPrice) << '\t' << FloatToStr(t.exitPrice)
           << '\t' << t.cost << '\t' << FloatToStr(t.pnl) << '\n';
    }
    for (const portfolio::EquityDay& e : run.result.equity)
      out_ << "equity\t" << DateToStr(e.day) << '\t' << FloatToStr(e.value) << '\t'
           << FloatToStr(e.hold) << '\n';
  }

  // "scan long" / "scan short": every stock by every rule in the current
  // entry direction, one tab-separated line a row in the scan window's order,
  // each cell as the window and the CSV show it, the figures' five columns
  // last.
  // An optional second word is the fewest closed trades a row needs to be
  // ranked above the rows with fewer (5 when left out).
  void scan(const Words& words, const std::string&) {
    if (words.empty() || words.size() > 2 || (words[0] != "long" && words[0] != "short"))
      throw BadLine{"scan needs long or short"};
    ScanOptions o;
    o.shortTerm = words[0] == "short";
    if (words.size() == 2) {
      const std::string& n = words[1];
      if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos)
        throw BadLine{"scan's fewest trades is a whole number"};
      o.minTrades = std::stoi(n);
    }
    // As the rule buttons run, but a blank direction cell scans 入買.
    o.backtest = ws_.backtest.options();
    o.backtest.entry =
        ctl::EntryDirection.on(ws_.SeriesTable, true) ? EntrySide::Buy : EntrySide::Sell;
    o.threads = 2;
    for (const ScanRow& r : RunScan(ws_.StockList, o)) {
      const std::vector<std::string> cells = ScanRowCells(r);
      for (std::size_t c = 0; c < cells.size(); ++c)
        out_ << (c ? "\t" : "") << EscapeText(cells[c]);
      out_ << '\n';
    }
  }

  // "import PATH [CODE [NAME]]": the window's import of one daily-price
  // file. PATH and CODE are words (\s for a space in PATH); NAME is the rest
  // of the line. The summary and the refusals print as message: and error:.
  void importFile(const Words& words, const std::string& rest) {
    if (words.empty()) throw BadLine{"import needs a file"};
    ImportFile f;
    f.path = UnescapeText(words[0]);
    if (words.size() >= 2) f.code = words[1];
    if (words.size() >= 3) {
      // The name starts at the third word and keeps its inner spaces.
      std::size_t at = rest.find_first_not_of(" \t");
      for (int w = 0; w < 2; ++w) {
        at = rest.find_first_of(" \t", at);
        at = rest.find_first_not_of(" \t", at);
      }
      f.name = UnescapeText(rest.substr(at));
    }
    ImportPriceFiles(ws_, {f});
  }

  static Words split(const std::string& s) {
    Words w;
    std::istringstream is(s);
    std::string x;
    while (is >> x) w.push_back(x);
    return w;
  }

  void requireControl(const std::string& name) {
    if (!ws_.form.has(name)) throw BadLine{"unknown control " + name};
  }
  WorkTable* requireTable(const std::string& name) {
    static const char* names[] = {"StockList",      "SeriesTable", "CalcTable",
                                  "StatsTable",     "StockPicker", "WebRows",
                                  "CandidateTable", "DateTable",   "CacheTable"};
    for (const char* n : names)
      if (name == n) return ws_.table(name);
    throw BadLine{"unknown table " + name};
  }

  std::ostream& out_;
  ScriptPlatform platform_;
  Workspace ws_;
};

const std::pair<std::string_view, Runner::Command> Runner::kCommands[] = {
    {"start", &Runner::start},     {"echo", &Runner::echo},
    {"set", &Runner::set},         {"key", &Runner::key},
    {"click", &Runner::click},     {"dblclick", &Runner::dblclick},
    {"mouseup", &Runner::mouseup}, {"chartdown", &Runner::chartdown},
    {"cell", &Runner::cell},       {"dump", &Runner::dump},
    {"size", &Runner::size},       {"text", &Runner::text},
    {"visible", &Runner::visible}, {"chart", &Runner::chart},
    {"scan", &Runner::scan},       {"import", &Runner::importFile},
    {"figures", &Runner::figures}, {"portfolio", &Runner::portfolioRun},
    {"costs", &Runner::costs},     {"mode", &Runner::mode},
    {"rename", &Runner::rename},   {"remove", &Runner::remove},
    {"update", &Runner::update},   {"add", &Runner::add},
    {"undo", &Runner::undo},       {"redo", &Runner::redo},
    {"bars", &Runner::bars},       {"signals", &Runner::todaySignals},
};

void Runner::run(const std::string& line) {
  auto sp = line.find(' ');
  const std::string cmd = line.substr(0, sp);
  const std::string rest = sp == std::string::npos ? std::string() : line.substr(sp + 1);
  const Words words = split(rest);
  for (const auto& [name, command] : kCommands) {
    if (cmd != name) continue;
    (this->*command)(words, rest);
    out_.flush();
    return;
  }
  throw BadLine{"unknown command " + cmd};
}

}  // namespace

int RunScript(std::istream& in, std::ostream& out, std::ostream& err) {
  Runner runner(out);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    try {
      runner.run(line);
    } catch (const BadLine& b) {
      out.flush();
      err << "tavrine-script: line " << number << ": " << b.why << '\n';
      return 2;
    }
  }
  return 0;
}

}  // namespace tavrine
