#include "app/workspace.h"

#include <exception>

#include "app/scan.h"
#include "list/placement.h"
#include "store/control_cells.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

Workspace::Workspace(Platform& p) : State(p) { wire(); }

bool RunGuarded(Platform& platform, const std::function<void()>& body) {
  try {
    body();
    return false;
  } catch (const ConversionError& e) {
    platform.error(e.what());
  } catch (const FileError& e) {
    platform.error(e.what());
  } catch (const std::exception& e) {
    // Anything else (out of memory, a failed division guard) is reported the
    // same way rather than ending the program with the user's work.
    platform.error(e.what());
  }
  return true;
}

namespace {

// While a handler waits for a page, the window's events still arrive (the
// only time an event reaches the engine with a handler on the stack). Only
// typing, the toggles of help, rule and memo panels and the trade markers'
// toggle go through then; everything else could write the scratch column,
// the stock list, the cache or the current series under the running
// collection.
bool AllowedDuringPageWait(const std::string& control, Event::Kind kind) {
  if (kind == Event::Change) return true;
  if (kind != Event::Click) return false;
  static const char* const kToggles[] = {"Button88", "TForm4.Button1", "TForm4.Button2",
                                         "Label5",   "Button58",       "Button130"};
  for (const char* t : kToggles)
    if (control == t) return true;
  return false;
}

}  // namespace

bool Workspace::refusedBusy() {
  if (!busy()) return false;
  setStatus(kBusyStatus);
  return true;
}

bool Workspace::dispatch(const std::string& control, const Event& ev) {
  if (onDispatch) onDispatch(control, ev);
  auto it = handlers_.find({control, static_cast<int>(ev.kind)});
  if (it == handlers_.end()) return false;
  if (depth_ > 0 && !AllowedDuringPageWait(control, ev.kind)) {
    setStatus(kBusyStatus);
    return true;
  }
  ++depth_;
  struct Leave {
    int& d;
    ~Leave() { --d; }
  } leave{depth_};
  if (RunGuarded(platform, [&] { it->second(control, ev); })) ++errors_;
  return true;
}

void Workspace::setJudging(Judging j) {
  if (judging == j || busy()) return;
  judging = j;
  // Stand-alone, Enter in Edit1 collects instead of charting: nothing to re-judge.
  if (standAlone) return;
  const int k = SeriesTable.cell(ctl::StockFound) == "1" ? SeriesTable.getInt(ctl::StockColumn) : 0;
  if (k < stocklist::kFirstStockColumn || k > stocklist::kLastStockColumn) return;
  const std::string code = LeftBytes(StockList.cell(k, 0), 4);
  if (IsBlank(code) || form.text("Edit1") != code) return;
  int tag = 0;
  for (int t = 0; t < kRuleCount; ++t)
    if (kRules[t].number == SeriesTable.getInt(ctl::RuleNumber)) tag = t;
  PickScanRow(*this, code, tag, !overlays.terms().longTerm);
}

bool Workspace::selectCode(const std::string& code) {
  const int errors = errorCount();
  typeText("Edit1", code);
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  dispatch("Edit1", enter);
  // Not found: the selection emptied the box and said so.
  return errorCount() == errors && form.text("Edit1") == code;
}

bool Workspace::nothingToChart() const {
  return chart.line(ChartModel::owarine).points.empty() && !HoldsAStock(StockList);
}

void Workspace::typeText(const std::string& control, const std::string& text) {
  std::string t = text;
  if (form.get(control).numberOnly) {
    // Full-width digits typed with the input method on count as digits.
    std::string digits;
    for (char c : HalfWidth(t))
      if (c >= '0' && c <= '9') digits += c;
    t = digits;
  }
  form.setText(control, t);
  Event ev;
  ev.kind = Event::Change;
  dispatch(control, ev);
}

void Workspace::on(const std::string& control, Event::Kind kind, Handler h) {
  handlers_[{control, static_cast<int>(kind)}] = std::move(h);
}

void Workspace::wire() {
  using E = Event;
  auto click = [this](const std::string& c, std::function<void()> f) {
    on(c, E::Click, [f](const std::string&, const Event&) { f(); });
  };
  auto clickS = [this](const std::string& c, std::function<void(const std::string&)> f) {
    on(c, E::Click, [f](const std::string& s, const Event&) { f(s); });
  };
  auto dbl = [this](const std::string& c, std::function<void()> f) {
    on(c, E::DblClick, [f](const std::string&, const Event&) { f(); });
  };
  auto key = [this](const std::string& c, std::function<void(int)> f) {
    on(c, E::KeyPress, [f](const std::string&, const Event& ev) { f(ev.key); });
  };
  auto change = [this](const std::string& c, std::function<void()> f) {
    on(c, E::Change, [f](const std::string&, const Event&) { f(); });
  };

  // Control panel, row 1.
  click("Label1", [this] { navigation.Label1Click(); });
  key("Edit2", [this](int k) { navigation.Edit2KeyPress(k); });
  dbl("Edit2", [this] { navigation.Edit2DblClick(); });
  click("Button25", [this] { navigation.Button25Click(); });
  click("Button61", [this] { navigation.Button61Click(); });
  click("Button62", [this] { navigation.Button62Click(); });
  change("Edit6", [this] { manualEntry.Edit6Change(); });
  key("Edit6", [this](int k) { manualEntry.Edit6KeyPress(k); });
  click("Button34", [this] { manualEntry.Button34Click(); });
  click("Button35", [this] { manualEntry.Button35Click(); });
  click("BitBtn1", [this] { maintenance.BitBtn1Click(); });
  // Row 2.
  dbl("Label2", [this] { picker.Label2DblClick(); });
  key("Edit1", [this](int k) { selection.Edit1KeyPress(k); });
  change("Edit1", [this] { selection.Edit1Change(); });
  dbl("Edit1", [this] { picker.Edit1DblClick(); });
  click("Button58", [this] { memo.Button58Click(); });
  click("Button118", [this] { chartView.Button118Click(); });
  click("Button81", [this] { overlays.Button81Click(); });
  click("Button13", [this] { overlays.Button13Click(); });
  click("Button47", [this] { rules.Button47Click(); });
  click("Button59", [this] { chartView.Button59Click(); });
  click("Button130", [this] { chartView.Button130Click(); });
  // Row 3.
  click("Button17", [this] { picker.Button17Click(); });
  for (const char* c : {"Button2", "DrawChart", "Button4"})
    clickS(c, [this](const std::string& s) { chartView.DrawChartClick(s); });
  click("Label5", [this] { rules.Label5Click(); });
  for (const RuleDef& rule : kRules)
    clickS(rule.button, [this](const std::string& s) { rules.Button37Click(s); });
  change("MaskEdit1", [this] { backtest.MaskEdit1Change(); });
  click("Button88", [this] { help.Button88Click(); });
  // Rule panel.
  click("Button79", [this] { overlays.Button79Click(); });
  click("Button78", [this] { help.ShowText(Rules::ExplanationText()); });
  // Memo panel.
  click("Button18", [this] { memo.Button18Click(); });
  // Collection panel.
  click("Button89", [this] { collection.Button89Click(); });
  click("Button90", [this] { collection.Button90Click(); });
  key("Edit18", [this](int k) { collection.Edit18KeyPress(k); });
  dbl("Edit18", [this] { collection.Edit18DblClick(); });
  click("Button104", [this] { maintenance.Button104Click(); });
  click("Button110", [this] { candidates.Button110Click(); });
  click("Button87", [this] { candidates.Button87Click(); });
  // Grids and chart.
  on("StringGrid5", E::MouseUp,
     [this](const std::string&, const Event& ev) { chains.StringGrid5MouseUp(ev.col, ev.row); });
  on("StringGrid7", E::MouseUp, [this](const std::string&, const Event& ev) {
    candidates.StringGrid7MouseUp(ev.col, ev.row);
  });
  on("chart1", E::MouseDown,
     [this](const std::string&, const Event& ev) { navigation.chart1MouseDown(ev.hits); });
  // Help window.
  click("TForm4.Button2", [this] { help.Button2Click(); });
  click("TForm4.Button1", [this] { help.Button1Click(); });

  // Hidden buttons: each runs its handler when clicked.
  click("Button3", [this] { chains.Button3Click(); });
  click("Button5", [this] { startup.Button5Click(); });
  click("Button6", [this] { selection.Button6Click(); });
  clickS("Button7", [this](const std::string& s) { selection.Button7Click(s); });
  click("Button8", [this] { chartView.Button8Click(); });
  click("Button9", [this] { series.Button9Click(); });
  click("Button10", [this] { series.Button10Click(); });
  click("Button11", [this] { series.Button11Click(); });
  click("Button12", [this] { series.Button12Click(); });
  click("Button14", [this] { chartView.Button14Click(); });
  click("Button15", [this] { chartView.Button15Click(); });
  click("Button19", [this] { chains.Button19Click(); });
  click("Button20", [this] { chains.Button20Click(); });
  click("Button21", [this] { series.Button21Click(); });
  click("Button22", [this] { series.Button22Click(); });
  click("Button23", [this] { chartView.Button23Click(); });
  click("Button24", [this] { series.Button24Click(); });
  click("Button26", [this] { navigation.Button26Click(); });
  click("Button27", [this] { chains.Button27Click(); });
  click("Button28", [this] { series.Button28Click(); });
  click("Button29", [this] { series.Button29Click(); });
  click("Button30", [this] { overlays.Button30Click(); });
  click("Button31", [this] { series.Button31Click(); });
  click("Button33", [this] { overlays.Button33Click(); });
  click("Button36", [this] { memo.Button36Click(); });
  click("Button41", [this] { backtest.Button41Click(); });
  click("Button48", [this] { backtest.Button48Click(); });
  click("Button51", [this] { backtest.Button51Click(); });
  click("Button52", [this] { startup.Button52Click(); });
  click("Button53", [this] { startup.Button53Click(); });
  click("Button54", [this] { startup.Button54Click(); });
  click("Button63", [this] { navigation.Button63Click(); });
  click("Button80", [this] { overlays.Button80Click(); });
  click("Button82", [this] { overlays.Button82Click(); });
  click("Button84", [this] { series.Button84Click(); });
  click("Button85", [this] { overlays.Button85Click(); });
  click("Button91", [this] { collection.Button91Click(); });
  click("Button92", [this] { collection.Button92Click(); });
  click("Button93", [this] { collection.Button93Click(); });
  click("Button94", [this] { collection.Button94Click(); });
  click("Button95", [this] { collection.Button95Click(); });
  click("Button96", [this] { collection.Button96Click(); });
  click("Button97", [this] { collection.Button97Click(); });
  click("Button102", [this] { startup.Button102Click(); });
  click("Button103", [this] { overlays.Button103Click(); });
  click("Button105", [this] { maintenance.Button105Click(); });
  click("Button107", [this] { maintenance.Button107Click(); });
  click("Button109", [this] { maintenance.Button109Click(); });
  click("Button111", [this] { candidates.Button111Click(); });
  click("Button112", [this] { calendar.Button112Click(); });
  click("Button113", [this] { calendar.Button113Click(); });
  click("Button116", [this] { collection.Button116Click(); });
  click("Button117", [this] { calendar.Button117Click(); });
  click("Button120", [this] { candidates.Button120Click(); });
  click("Button123", [this] { startup.Button123Click(); });
}

}  // namespace tavrine
