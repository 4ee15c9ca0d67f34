// The state of every control the handlers read or write, by component name:
// caption or text, visibility, enabled state and tag. Captions are state
// (Button17 "銘柄ボタン"/"銘柄収集" is the installation mode), so they live
// here and the window only mirrors them. Controls of the help window are
// named "TForm4.Button1" and so on; the windows themselves are "TForm1",
// "TForm4" and "TSplashWindow".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavrine {

enum class ControlKind {
  Window,
  Panel,
  Button,
  BitBtn,
  Label,
  Edit,
  MaskEdit,
  Memo,
  Grid,
  Chart,
  StatusBar,
  Splitter,
  Browser,
  Other
};

struct Control {
  std::string name;
  ControlKind kind = ControlKind::Other;
  std::string text;  // caption of a button, label or panel; text of a box or memo
  int tag = 0;
  bool visible = true;
  bool enabled = true;
  std::string parent;       // component that holds it ("" for a window)
  bool numberOnly = false;  // Edit6 after its first change
  // A number, date or code box: full-width ASCII forms are held half-width.
  bool halfWidth = false;
  // The box's change event switches on the number-only style (Edit6Change).
  // Every change of the text fires it, the program's own writes included.
  bool numberOnlyOnChange = false;
  std::string editMask;       // MaskEdit1 after a change
  int width = 0, height = 0;  // windows: size asked for by the start-up
  bool maximized = false;
};

class Form {
 public:
  Form();  // every control at its design state

  bool has(const std::string& name) const { return controls_.count(name) != 0; }
  const Control& get(const std::string& name) const;
  const std::map<std::string, Control>& all() const { return controls_; }

  const std::string& text(const std::string& name) const { return get(name).text; }
  void setText(const std::string& name, const std::string& text);
  bool visible(const std::string& name) const { return get(name).visible; }
  void setVisible(const std::string& name, bool v);
  int tag(const std::string& name) const { return get(name).tag; }
  bool enabled(const std::string& name) const { return get(name).enabled; }
  void setEnabled(const std::string& name, bool v);
  void setNumberOnly(const std::string& name, bool v);
  void setEditMask(const std::string& name, const std::string& mask);
  void setGeometry(const std::string& name, int width, int height, bool maximized);

  // Memo lines: the text split at CR LF; setting lines joins them with CR LF
  // and no break after the last.
  std::vector<std::string> lines(const std::string& name) const;
  void setLines(const std::string& name, const std::vector<std::string>& lines);

  // Incremented on every change; the window mirrors the Form when it moves.
  std::uint64_t version() const { return version_; }

 private:
  Control& ref(const std::string& name);
  void add(Control c);

  std::map<std::string, Control> controls_;
  std::uint64_t version_ = 0;
};

}  // namespace tavrine
