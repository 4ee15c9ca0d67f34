#include "app/import.h"

#include "app/workspace.h"
#include "store/control_cells.h"
#include "store/stock_list.h"

namespace tavrine {

ImportSummary ImportPriceFiles(Workspace& ws, const std::vector<ImportFile>& files,
                               const ImportHooks& hooks, bool report) {
  ImportSummary s;
  if (ws.refusedBusy(s)) return s;
  if (RunGuarded(ws.platform, [&] { s = PriceImport(ws).Run(files, hooks); })) return s;

  if (report) {
    ws.platform.message(s.Message());
    for (const ImportRefusal& r : s.refused) ws.platform.error(r.message);
    for (const std::string& e : s.errors) ws.platform.error(e);
  }
  if (!s.imported()) return s;

  auto& st = ws.SeriesTable;
  if (st.cell(ctl::RowsConsidered).empty()) {
    // The start-up ended before the list (there was none): the values it
    // would have written make the new list usable at once.
    st.setInt(ctl::RowsConsidered, stocklist::kLastDayRow);
    ctl::DateSource.set(st, ctl::dates::kList);
    ws.startup.WriteStartValues();
  }
  if (ws.startup.FullMode()) {
    ws.standAlone = false;
    ws.form.setText("Button17", "銘柄ボタン");
    ws.form.setText("BitBtn1", "株価収集");
    ws.startup.Button54Click();
  } else {
    ws.startup.Button123Click();
  }
  return s;
}

}  // namespace tavrine
