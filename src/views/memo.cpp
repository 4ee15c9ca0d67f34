#include "views/memo.h"

#include "store/codec.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "store/state.h"

namespace tavrine {

namespace {
constexpr const char* kMemoFile = "Fname.txt";
}

void MemoPanel::Button36Click() {
  // A missing memo file is a new user's normal case: start with an empty
  // memo rather than stopping the start-up.
  const std::string path = HomePath(kMemoFile);
  if (!FileExists(path)) {
    ws_.form.setText("Memo3", "");
    return;
  }
  ws_.form.setLines("Memo3", ReadLines(path));
}

void MemoPanel::Button18Click() {
  // Written through a temporary file, so a failed save keeps the old memo.
  WriteLines(HomePath(kMemoFile), ws_.form.lines("Memo3"), true);
  ws_.platform.message("保存しました。");
}

void MemoPanel::Button58Click() {
  if (ws_.form.visible("Panel7")) {
    ws_.form.setVisible("Panel7", false);
    ws_.SeriesTable.set(ctl::MemoShown, "0");
  } else {
    ws_.form.setVisible("Panel7", true);
    ws_.SeriesTable.set(ctl::MemoShown, "1");
  }
}

}  // namespace tavrine
