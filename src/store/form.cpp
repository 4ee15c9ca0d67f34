#include "store/form.h"

#include <stdexcept>

#include "store/codec.h"
#include "store/text.h"

namespace tavrine {

namespace {
using K = ControlKind;
}

void Form::add(Control c) {
  std::string n = c.name;
  controls_[n] = std::move(c);
}

Form::Form() {
  auto ctl = [this](const char* name, K kind, const char* text, const char* parent,
                    bool visible = true, int tag = 0) {
    Control c;
    c.name = name;
    c.kind = kind;
    c.text = text;
    c.parent = parent;
    c.visible = visible;
    c.tag = tag;
    add(std::move(c));
  };

  // Windows.
  ctl("TForm1", K::Window, "tavrine", "");
  controls_["TForm1"].enabled = false;  // created disabled; the start-up enables it
  controls_["TForm1"].width = 897;
  controls_["TForm1"].height = 713;
  ctl("TForm4", K::Window, "利用説明", "", false);
  ctl("TSplashWindow", K::Window, "tavrine", "");
  ctl("LabelProg", K::Label, "---", "TSplashWindow");

  // Main areas.
  ctl("chart1", K::Chart, "", "TForm1");
  ctl("Splitter2", K::Splitter, "", "TForm1");
  ctl("StringGrid4", K::Grid, "", "TForm1");
  ctl("Splitter1", K::Splitter, "", "TForm1");
  ctl("Panel2", K::Panel, "", "TForm1");
  ctl("StringGrid2", K::Grid, "", "Panel2");
  ctl("StringGrid1", K::Grid, "", "Panel2");
  ctl("Panel1", K::Panel, "", "Panel2");
  // Tables that are never shown.
  ctl("StringGrid3", K::Grid, "", "TForm1", false);
  ctl("StringGrid6", K::Grid, "", "TForm1", false);
  ctl("StringGrid8", K::Grid, "", "TForm1", false);
  ctl("StringGrid9", K::Grid, "", "TForm1", false);

  // Over the chart.
  ctl("Edit5", K::Edit, "", "chart1");
  ctl("Panel7", K::Panel, "メモarea", "chart1");
  ctl("Memo3", K::Memo, "Memo3", "Panel7");
  ctl("Button18", K::Button, "保　　存", "Panel7");
  ctl("Panel4", K::Panel, "", "chart1", false);
  ctl("Panel5", K::Panel, "", "Panel4");
  ctl("Edit4", K::Edit, "　　登　録　銘　柄　一　覧", "Panel5");
  ctl("Edit7", K::Edit, " tavrine_ver1.20 ", "Panel5");
  ctl("StringGrid5", K::Grid, "", "Panel4");
  ctl("Panel14", K::Panel, "", "Panel4", false);
  ctl("Label21", K::Label, "", "Panel14");
  ctl("Label22", K::Label, "銘柄コード入力", "Panel14");
  ctl("Edit18", K::Edit, "", "Panel14");
  ctl("Button89", K::Button, "実行", "Panel14");
  ctl("Button90", K::Button, "閉じる", "Panel14");
  ctl("Button110", K::Button, "候補閲覧", "Panel14");
  ctl("Button87", K::Button, "ｔａｌｌｙ閲覧", "Panel14");
  ctl("Button104", K::Button, "銘柄追加更新", "Panel14", false);
  ctl("StatusBar1", K::StatusBar, "", "Panel14");
  ctl("StringGrid7", K::Grid, "", "chart1", false);

  // Control panel, row 1.
  ctl("Label1", K::Label, "基準日", "Panel1");
  ctl("Edit2", K::Edit, "", "Panel1");
  ctl("Button25", K::Button, "過去日", "Panel1");
  ctl("Button61", K::Button, "次日", "Panel1");
  ctl("Button62", K::Button, "前日", "Panel1");
  ctl("Edit10", K::Edit, "1", "Panel1");
  ctl("Label4", K::Label, "追加株価", "Panel1");
  ctl("Edit6", K::Edit, "", "Panel1");
  controls_["Edit6"].numberOnlyOnChange = true;
  ctl("Button34", K::Button, "追加", "Panel1");
  ctl("Button35", K::Button, "戻る", "Panel1");
  ctl("BitBtn1", K::BitBtn, "株価収集", "Panel1");
  // Row 2.
  ctl("Label2", K::Label, "銘柄コ-ド", "Panel1");
  ctl("Edit1", K::Edit, "0", "Panel1");
  ctl("Button58", K::Button, "メモ", "Panel1");
  ctl("Button118", K::Button, "巾", "Panel1");
  ctl("Button81", K::Button, "S", "Panel1");
  ctl("Button13", K::Button, "S2", "Panel1");
  ctl("Button47", K::Button, "入買", "Panel1");
  ctl("Button59", K::Button, "印刷", "Panel1");
  ctl("Button130", K::Button, "売買", "Panel1");  // trade markers on the chart, shown or hidden
  // Row 3.
  ctl("Label3", K::Label, "銘柄選択", "Panel1");
  ctl("Button17", K::Button, "銘柄ボタン", "Panel1");
  ctl("Button2", K::Button, "長期", "Panel1", true, 2);
  ctl("DrawChart", K::Button, "中期", "Panel1", true, 0);
  ctl("Button4", K::Button, "短期", "Panel1", true, 1);
  ctl("Label5", K::Label, "利率条件/利用", "Panel1");
  ctl("Button37", K::Button, "S1", "Panel1", true, 0);
  ctl("Button38", K::Button, "S2", "Panel1", true, 1);
  ctl("Button39", K::Button, "S3", "Panel1", true, 2);
  ctl("MaskEdit1", K::MaskEdit, "0.00", "Panel1");
  ctl("Button88", K::Button, "利用説明", "Panel1");

  // Rule panel.
  ctl("Panel11", K::Panel, "", "Panel1", false);
  ctl("Button73", K::Button, "G3", "Panel11", true, 3);
  ctl("Button74", K::Button, "G4", "Panel11", true, 4);
  ctl("Button75", K::Button, "G5", "Panel11", true, 5);
  ctl("Button76", K::Button, "G6", "Panel11", true, 6);
  ctl("Button77", K::Button, "G7", "Panel11", true, 7);
  ctl("Button1", K::Button, "乖離", "Panel11", true, 8);
  ctl("Button83", K::Button, "ST", "Panel11", true, 9);
  ctl("Button79", K::Button, "長", "Panel11");
  ctl("Button78", K::Button, "説明", "Panel11");

  // Hidden memo that receives memo.txt, and the HTTP client.
  ctl("Memo1", K::Memo, "", "TForm1", false);
  ctl("NMHTTP1", K::Other, "", "TForm1", false);

  // Hidden buttons that carry handlers called as subroutines.
  static const int hidden[] = {3,  5,   6,   7,   8,   9,   10,  11,  12,  14,  15,  19,  20, 21,
                               22, 23,  24,  26,  27,  28,  29,  30,  31,  33,  36,  41,  48, 51,
                               52, 53,  54,  63,  80,  82,  84,  85,  91,  92,  93,  94,  95, 96,
                               97, 102, 103, 105, 107, 109, 111, 112, 113, 116, 117, 120, 123};
  for (int n : hidden) {
    const std::string name = "Button" + std::to_string(n);
    std::string caption = std::to_string(n);
    if (n == 5) caption = "立";
    if (n == 6) caption = "b6";
    ctl(name.c_str(), K::Button, caption.c_str(), "TForm1", false);
  }

  // Help window.
  ctl("TForm4.WebBrowser1", K::Browser, "", "TForm4");
  ctl("TForm4.Panel1", K::Panel, "説明", "TForm4", false);
  ctl("TForm4.Label1", K::Label, "", "TForm4.Panel1");
  ctl("TForm4.Button2", K::Button, "簡易利用説明書を読む", "TForm4");
  ctl("TForm4.Button1", K::Button, "常時接続で最新版を読む", "TForm4");
  // The number, date and code boxes.
  for (const char* box : {"Edit1", "Edit2", "Edit6", "Edit10", "Edit18", "MaskEdit1"})
    controls_[box].halfWidth = true;
}

const Control& Form::get(const std::string& name) const {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range("no control " + name);
  return it->second;
}

Control& Form::ref(const std::string& name) {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range("no control " + name);
  return it->second;
}

void Form::setText(const std::string& name, const std::string& text) {
  auto& c = ref(name);
  // A number, date or code typed with the input method on means the same as
  // its half-width form (１．０５, ２０２４／１／５, １３０Ａ).
  const std::string held = c.halfWidth ? HalfWidth(text) : text;
  if (c.text == held) return;
  c.text = held;
  if (c.numberOnlyOnChange) c.numberOnly = true;
  ++version_;
}

void Form::setVisible(const std::string& name, bool v) {
  auto& c = ref(name);
  if (c.visible == v) return;
  c.visible = v;
  ++version_;
}

void Form::setEnabled(const std::string& name, bool v) {
  auto& c = ref(name);
  if (c.enabled == v) return;
  c.enabled = v;
  ++version_;
}

void Form::setNumberOnly(const std::string& name, bool v) {
  auto& c = ref(name);
  if (c.numberOnly == v) return;
  c.numberOnly = v;
  ++version_;
}

void Form::setEditMask(const std::string& name, const std::string& mask) {
  auto& c = ref(name);
  if (c.editMask == mask) return;
  c.editMask = mask;
  ++version_;
}

void Form::setGeometry(const std::string& name, int width, int height, bool maximized) {
  auto& c = ref(name);
  c.width = width;
  c.height = height;
  c.maximized = maximized;
  ++version_;
}

std::vector<std::string> Form::lines(const std::string& name) const {
  return SplitLines(text(name));
}

void Form::setLines(const std::string& name, const std::vector<std::string>& lines) {
  std::string t;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) t += "\r\n";
    t += lines[i];
  }
  setText(name, t);
}

}  // namespace tavrine
