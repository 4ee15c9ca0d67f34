// Quick collection of one stock's history from the quote site, with its cache.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tavrine {

class Workspace;

class Collection {
 public:
  explicit Collection(Workspace& ws) : ws_(ws) {}

  void Button89Click();
  void Button90Click();
  void Edit18KeyPress(int key);
  void Edit18DblClick();
  void Button97Click();
  void Button116Click();
  void Button91Click();
  void Button92Click();
  void Button93Click();
  void Button95Click();
  void Button96Click();
  void Button94Click();

 private:
  Workspace& ws_;
};

}  // namespace tavrine
