#include "app/list_actions.h"

#include <functional>

#include "app/workspace.h"
#include "list/list_edit.h"
#include "store/control_cells.h"
#include "store/text.h"

namespace tavrine {

namespace {

bool Apply(Workspace& ws, const std::function<ListEdit(ListEdits&)>& edit) {
  if (ws.busy()) {
    ws.setStatus(kBusyStatus);
    return false;
  }
  ListEdits edits(ws);
  const ListEdit e = edit(edits);
  if (!e.done) {
    ws.platform.error(e.message);
    return false;
  }
  ws.platform.message(e.message);
  ws.startup.Button54Click();
  // The stock on the chart, when the list still holds it, is shown again
  // from the list as it now is.
  const std::string code = LeftBytes(ws.SeriesTable.cell(ctl::Heading), 4);
  bool listed = false;
  for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn && !listed; ++c)
    listed = !IsBlankWide(ws.StockList.cell(c, 0)) && LeftBytes(ws.StockList.cell(c, 0), 4) == code;
  if (listed && ws.startup.FullMode()) ws.selectCode(code);
  return true;
}

}  // namespace

bool RenameStock(Workspace& ws, const std::string& code, const std::string& name) {
  return Apply(ws, [&](ListEdits& e) { return e.Rename(code, name); });
}

bool RemoveStock(Workspace& ws, const std::string& code) {
  return Apply(ws, [&](ListEdits& e) { return e.Remove(code); });
}

bool UndoListChange(Workspace& ws) {
  return Apply(ws, [](ListEdits& e) { return e.Undo(); });
}

}  // namespace tavrine
