// The help window: browser face with the manual pages, text face with an explanation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/state.h"

namespace tavrine {

class Help {
 public:
  explicit Help(State& ws) : ws_(ws) {}

  // '利用説明' (Button88): opens the help window TForm4 in its browser face (Panel14 hidden), or
  // closes it.
  void Button88Click();
  // '簡易利用説明書を読む' (TForm4.Button2): the short manual from the site into the help browser.
  void Button2Click();
  // '常時接続で最新版を読む' (TForm4.Button1): the full, latest manual from the site into the help
  // browser.
  void Button1Click();
  // '説明' (Button78) on the rule panel, with Rules::ExplanationText: text into TForm4.Label1 and
  // the window opened in its text face (TForm4.Panel1), or closed.
  void ShowText(const std::string& text);

 private:
  State& ws_;
};

}  // namespace tavrine
