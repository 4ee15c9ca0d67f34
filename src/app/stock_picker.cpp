#include "app/stock_picker.h"

#include "store/codec.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/text.h"
#include "web/collection.h"

namespace tavrine {

void StockPickerPanel::Button17Click() {
  auto& form = ws_.form;
  if (ws_.standAlone) {
    form.setText("Edit18", form.text("Edit1"));
    if (!IsBlank(form.text("Edit18"))) collection_.Button89Click();
    return;
  }
  auto& st = ws_.SeriesTable;
  st.set(ctl::ManualEntryShown, "");
  if (StrToInt(st.cell(ctl::PickerShown)) != 0) {
    st.set(ctl::PickerShown, "0");
    form.setVisible("Edit5", true);
    form.setVisible("Panel4", false);
    form.setVisible("StringGrid7", false);
    form.setVisible("Panel7", false);
  } else {
    st.set(ctl::PickerShown, "1");
    form.setVisible("Edit5", false);
    form.setVisible("Panel7", false);
    form.setVisible("StringGrid7", false);
    form.setVisible("Panel4", true);
  }
}

void StockPickerPanel::Edit1DblClick() {
  if (ws_.form.text("Button17") == "銘柄収集") ws_.form.setText("Edit1", "");
}

void StockPickerPanel::Label2DblClick() {
  WriteText(HomePath("memo.txt"), ws_.form.text("Edit1"));
  ws_.platform.message("保存しました。");
}

}  // namespace tavrine
