// The list edits as the window and the driver run them: the engine's change
// (list/list_edit.h), its message shown, then the stock picker and the stock
// on the chart brought in line with the list.
#pragma once

#include <string>

namespace tavrine {

class Workspace;

// After the list changed: the picker follows the list, and the stock on the
// chart, when the list still holds it, is shown again from the list as it
// now is; when it left the list, the stock now at column `replacement` (or
// the list's last) is, when one is given.
void ShowChangedList(Workspace& ws, int replacement = 0);

bool RenameStock(Workspace& ws, const std::string& code, const std::string& name);
// Removing the stock on the chart charts the one after it (the list's last
// when it was the last).
bool RemoveStock(Workspace& ws, const std::string& code);
// 元に戻す: the list as it was before its last change.
bool UndoListChange(Workspace& ws);
// やり直し: the list as the last 元に戻す found it.
bool RedoListChange(Workspace& ws);

}  // namespace tavrine
