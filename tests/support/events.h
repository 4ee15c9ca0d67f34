// Events as the window delivers them to the workspace.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/workspace.h"

namespace tavrine::testing {

inline Event KeyEvent(int key) {
  Event ev;
  ev.kind = Event::KeyPress;
  ev.key = key;
  return ev;
}

// The mouse let go over grid cell (col, row); -1 -1 for no cell.
inline Event MouseUpEvent(int col, int row) {
  Event ev;
  ev.kind = Event::MouseUp;
  ev.col = col;
  ev.row = row;
  return ev;
}

// A click on a control that has a handler.
inline void Click(Workspace& ws, const std::string& control) {
  ASSERT_TRUE(ws.dispatch(control, Event{})) << control;
}

// Text put into a box, then Enter; false when the box has no key handler.
inline bool TypeAndEnter(Workspace& ws, const std::string& box, const std::string& text) {
  ws.form.setText(box, text);
  return ws.dispatch(box, KeyEvent(13));
}

}  // namespace tavrine::testing
