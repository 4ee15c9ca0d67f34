#include "views/help.h"

#include "store/paths.h"
#include "store/state.h"

namespace tavrine {

namespace {
constexpr const char* kShortManual = "/tavrine/tavrinekanni.htm";
constexpr const char* kMainManual = "/tavrine/tavrine.htm";

std::string ManualUrl(const char* path) { return "http://" + ManualHost() + path; }
}  // namespace

// "利用説明": opens the window in its browser face, or closes it whatever
// face is showing.
void Help::Button88Click() {
  Form& f = ws_.form;
  if (f.visible("TForm4")) {
    f.setVisible("TForm4", false);
    return;
  }
  f.setVisible("TForm4", true);
  f.setVisible("TForm4.Button1", true);
  f.setVisible("TForm4.Button2", true);
  f.setVisible("TForm4.Panel1", false);
  f.setVisible("Panel14", false);
}

// "簡易利用説明書を読む".
void Help::Button2Click() {
  ws_.form.setVisible("TForm4.Button1", true);
  ws_.form.setVisible("TForm4.Panel1", false);
  ws_.platform.navigate(ManualUrl(kShortManual));
}

// "常時接続で最新版を読む".
void Help::Button1Click() {
  ws_.form.setVisible("TForm4.Button2", true);
  ws_.form.setVisible("TForm4.Panel1", false);
  ws_.platform.navigate(ManualUrl(kMainManual));
}

// Text face: the explanation goes into Label1, then the window toggles.
// The browser's own visible flag is cleared here and never set back; the
// panel covers the browser in this face anyway.
void Help::ShowText(const std::string& text) {
  Form& f = ws_.form;
  f.setText("TForm4.Label1", text);
  if (f.visible("TForm4")) {
    f.setVisible("TForm4.Panel1", false);
    f.setVisible("TForm4", false);
    return;
  }
  f.setVisible("TForm4.Panel1", true);
  f.setVisible("TForm4.Button1", false);
  f.setVisible("TForm4.Button2", false);
  f.setVisible("TForm4.WebBrowser1", false);
  f.setVisible("TForm4", true);
}

}  // namespace tavrine
