#include "app/list_actions.h"

#include <algorithm>
#include <functional>

#include "app/workspace.h"
#include "list/list_edit.h"
#include "list/placement.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {

namespace {

// The list column of a stock, 0 when the list does not hold it.
int ColumnOf(const WorkTable& list, const std::string& code) {
  for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn; ++c)
    if (!IsBlankWide(list.cell(c, 0)) && LeftBytes(list.cell(c, 0), 4) == code) return c;
  return 0;
}

// Runs a list edit and shows its result (ShowChangedList).
bool Apply(Workspace& ws, const std::function<ListEdit(ListEdits&)>& edit, int replacement = 0) {
  if (ws.refusedBusy()) return false;
  ListEdits edits(ws);
  const ListEdit e = edit(edits);
  if (!e.done) {
    ws.platform.error(e.message);
    return false;
  }
  ws.platform.message(e.message);
  ShowChangedList(ws, replacement);
  return true;
}

}  // namespace

void ShowChangedList(Workspace& ws, int replacement) {
  ws.startup.Button54Click();
  if (!ws.startup.FullMode()) return;
  // The selection below hides the picker the change was made in but leaves
  // the heading and the memo as the picker left them: what was shown, and
  // the stock button's state, are put back after it.
  const char* const views[] = {"Panel4", "Edit5", "Panel7"};
  bool shown[std::size(views)];
  for (std::size_t i = 0; i < std::size(views); ++i) shown[i] = ws.form.visible(views[i]);
  const std::string picker = ws.SeriesTable.cell(ctl::PickerShown);
  const std::string code = LeftBytes(ctl::Heading.get(ws.SeriesTable), 4);
  if (ColumnOf(ws.StockList, code) > 0) {
    ws.selectCode(code);
  } else if (replacement > 0) {
    const int c = std::min(replacement, LastStockColumn(ws.StockList));
    if (c > 0) ws.selectCode(LeftBytes(ws.StockList.cell(c, 0), 4));
  }
  for (std::size_t i = 0; i < std::size(views); ++i) ws.form.setVisible(views[i], shown[i]);
  ws.SeriesTable.set(ctl::PickerShown, picker);
}

bool RenameStock(Workspace& ws, const std::string& code, const std::string& name) {
  return Apply(ws, [&](ListEdits& e) { return e.Rename(code, name); });
}

bool RemoveStock(Workspace& ws, const std::string& code) {
  // The stock after the removed one moves into its column.
  const bool charted = LeftBytes(ctl::Heading.get(ws.SeriesTable), 4) == code;
  const int column = charted ? ColumnOf(ws.StockList, code) : 0;
  return Apply(
      ws, [&](ListEdits& e) { return e.Remove(code); }, column);
}

bool UndoListChange(Workspace& ws) {
  return Apply(ws, [](ListEdits& e) { return e.Undo(); });
}

bool RedoListChange(Workspace& ws) {
  return Apply(ws, [](ListEdits& e) { return e.Redo(); });
}

}  // namespace tavrine
