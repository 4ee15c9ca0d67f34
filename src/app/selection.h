// Stock selection by the code typed into Edit1.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Selection {
 public:
  explicit Selection(Workspace& ws) : ws_(ws) {}

  // Enter in the code box Edit1: selects that stock (Button6Click); stand-alone, collects the code
  // from the site instead (Edit18, Collection::Button89Click).
  void Edit1KeyPress(int key);
  // Typing in Edit1: nothing happens until Enter.
  void Edit1Change();
  // Hidden; by Edit1KeyPress: Button7Click with Edit1 as sender, or a message when Edit1 is empty.
  void Button6Click();
  // Hidden; by Button6Click: looks Edit1 up (Button27Click); found: Panel4 hidden, Edit2,
  // ctl::WindowStart "0", selection chain, draw and rule of the sender's tag (middle, S1); else
  // Edit1 emptied, message.
  void Button7Click(const std::string& sender);

 private:
  Workspace& ws_;
};

}  // namespace tavrine
