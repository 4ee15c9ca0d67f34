#include "views/help.h"

#include <span>
#include <utility>

#include "store/paths.h"
#include "store/state.h"

namespace tavrine {

namespace {
constexpr const char* kShortManual = "/tavrine/tavrinekanni.htm";
constexpr const char* kMainManual = "/tavrine/tavrine.htm";

std::string ManualUrl(const char* path) { return "http://" + ManualHost() + path; }

// What a face shows and hides, set in this order.
using FaceStep = std::pair<const char*, bool>;

// The browser face: both manual buttons over the browser, the collection
// panel out of the way.
constexpr FaceStep kBrowserFace[] = {{"TForm4", true},
                                     {"TForm4.Button1", true},
                                     {"TForm4.Button2", true},
                                     {"TForm4.Panel1", false},
                                     {"Panel14", false}};
// The text face: the panel with the explanation over everything else. The
// browser's own visible flag is cleared here and never set back; the panel
// covers the browser in this face anyway.
constexpr FaceStep kTextFace[] = {{"TForm4.Panel1", true},
                                  {"TForm4.Button1", false},
                                  {"TForm4.Button2", false},
                                  {"TForm4.WebBrowser1", false},
                                  {"TForm4", true}};

void Show(Form& f, std::span<const FaceStep> face) {
  for (const auto& [name, shown] : face) f.setVisible(name, shown);
}

// A manual page into the browser, with the other manual's button back.
void Read(State& ws, const char* otherButton, const char* path) {
  ws.form.setVisible(otherButton, true);
  ws.form.setVisible("TForm4.Panel1", false);
  ws.platform.navigate(ManualUrl(path));
}
}  // namespace

// "利用説明": opens the window in its browser face, or closes it whatever
// face is showing.
void Help::Button88Click() {
  Form& f = ws_.form;
  if (f.visible("TForm4")) {
    f.setVisible("TForm4", false);
    return;
  }
  Show(f, kBrowserFace);
}

// "簡易利用説明書を読む".
void Help::Button2Click() { Read(ws_, "TForm4.Button1", kShortManual); }

// "常時接続で最新版を読む".
void Help::Button1Click() { Read(ws_, "TForm4.Button2", kMainManual); }

// Text face: the explanation goes into Label1, then the window toggles.
void Help::ShowText(const std::string& text) {
  Form& f = ws_.form;
  f.setText("TForm4.Label1", text);
  if (f.visible("TForm4")) {
    f.setVisible("TForm4.Panel1", false);
    f.setVisible("TForm4", false);
    return;
  }
  Show(f, kTextFace);
}

}  // namespace tavrine
