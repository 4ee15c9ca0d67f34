// A window of its own beside the main window (一括検証, 本日の信号, 検証図):
// a heading strip on top, the window's own font, Escape closes it, and its
// message boxes can be caught (tests).
#pragma once

#include <QBoxLayout>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

QT_BEGIN_NAMESPACE
class QLabel;
QT_END_NAMESPACE

namespace tavrine::gui {

class ToolWindow : public QWidget {
 public:
  // name is the object name; title goes in the title bar and the heading.
  ToolWindow(const QString& name, const QString& title, const QString& heading, QSize size,
             QWidget* parent);

  // Message boxes go here instead of on screen when set (tests).
  std::function<void(const std::string& text, bool isError)> messageHook;

 protected:
  // A message box, or messageHook when set.
  void box(const QString& text, bool isError);
  // A strip under the heading in the colours of the control panel, added
  // to root(), with a layout of the direction given; the strip is its
  // parentWidget().
  QBoxLayout* addControlStrip(QBoxLayout::Direction direction, int sideMargin = 8, int spacing = 6);
  // Saves through save; a failure is shown in a box. False on failure.
  bool saveOrSay(const std::function<void()>& save);
  // "CSV保存": asks for a file under the suggested name, then saves it.
  void askCsv(const QString& suggested, const std::function<bool(const QString&)>& save);
  QVBoxLayout* root() const { return root_; }
  QLabel* headingLabel() const { return heading_; }
  void keyPressEvent(QKeyEvent* e) override;
  // Opens inside the screen: centred over the main window the first time,
  // never larger than the screen's free area.
  void showEvent(QShowEvent* e) override;

 private:
  QVBoxLayout* root_ = nullptr;
  QLabel* heading_ = nullptr;
};

}  // namespace tavrine::gui
