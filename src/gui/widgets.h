// Small widget classes that report the events the handlers are wired to:
// clicks on labels, Enter and double clicks in text boxes, mouse releases
// over grid cells; the full-width input every number and code box reads as
// half-width.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableView>
#include <QValidator>
#include <functional>
#include <set>

namespace tavrine::gui {

// A label that can be clicked and double-clicked.
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void clicked();
  void doubleClicked();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  bool pressed_ = false;
};

// A single-line text box that reports Enter as key code 13 and double clicks.
class TextBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit TextBox(QWidget* parent = nullptr);

  // When set and true, Enter is left to a list of proposals open under the
  // box (its chosen line is taken instead of the typed text).
  std::function<bool()> enterChoosesProposal;

 signals:
  void keyPressed(int code);
  void doubleClicked();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// A grid over one work table; reports the cell under a mouse release
// (-1 -1 when the pointer is over no cell). A cell whose text does not fit
// its width shows the whole text as a tooltip.
class GridView : public QTableView {
  Q_OBJECT
 public:
  explicit GridView(QWidget* parent = nullptr);

  // The whole text of the cell when the cell cuts it, else empty.
  QString cutText(const QModelIndex& index) const;
  // Widens each column to its widest text among the first `rows` rows,
  // never narrower than it is; a width the user dragged or the window
  // remembered stays as it is.
  void fitColumnsToTexts(int rows);
  // True when the column's width was given by the user or remembered.
  bool userSized(int column) const { return userSized_.count(column) > 0; }
  // The width the grid asks of its layout (0: the view's own).
  void setPreferredWidth(int width) { preferredWidth_ = width; }
  QSize sizeHint() const override;

 signals:
  void released(int col, int row);

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool viewportEvent(QEvent* e) override;

 private:
  int preferredWidth_ = 0;
  std::set<int> fitted_;     // columns fitColumnsToTexts widened
  std::set<int> userSized_;  // columns given a width by anyone else
  bool fitting_ = false;
};

// Full-width ASCII forms typed with the input method on (２０２４／０１／０５,
// １．０５, １３０ａ, －), the full-width space and the minus and dash signs,
// as their half-width characters. For a number, the long-vowel mark (ー),
// which the input method gives for the minus key, is a minus too.
QString HalfWidthText(const QString& text, bool number = false);

// Turns full-width input into half-width as it enters a box: typed, pasted,
// put by an input method or set by the program. With digitsOnly, anything
// but the digits 0-9 is refused after that.
class HalfWidthValidator : public QValidator {
  Q_OBJECT
 public:
  enum class Kind { Text, Number, Digits };
  explicit HalfWidthValidator(QObject* parent, Kind kind = Kind::Text);
  void setKind(Kind kind) { kind_ = kind; }
  Kind kind() const { return kind_; }
  State validate(QString& input, int& pos) const override;

 private:
  Kind kind_;
};

// Gives `box` the validator above (a number box: Kind::Number).
void TakeHalfWidth(QLineEdit* box, HalfWidthValidator::Kind kind = HalfWidthValidator::Kind::Text);

// A spin box of a count that reads full-width digits as their half-width
// forms (５ is 5).
class CountBox : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
};

// Text as the engine holds it and as a person sees it: codes the files
// repeat show as their characters (DisplayText).
QString Shown(const std::string& text);
// Text as the engine holds it (CR LF or CR line ends) and as Qt shows it.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
// A box's text back into the engine: what it held when the box still shows
// that unchanged, so codes the user did not touch keep their bytes.
std::string FromQt(const QString& text, const std::string& held);
// A memo's text: the engine keeps CR LF between lines.
QString MemoToQt(const std::string& text);
std::string MemoFromQt(const QString& text);
// The same, keeping each held line the user left as it was shown.
std::string MemoFromQt(const QString& text, const std::string& held);
// A caption for a button: '&' is not a mnemonic here.
QString Caption(const std::string& text);

// A window's frame moved and shrunk so that it lies whole inside the
// available area: no larger than the area, and pushed back in from any edge
// it crosses.
QRect FitInside(const QRect& wanted, const QRect& available);
// The available area of the screen a window opens on: that of `near`'s
// screen when given, else the primary screen's.
QRect AvailableArea(const QWidget* near);
// Places a window about to be shown inside the available area; one that has
// not been placed yet is centred over `near` (when given) first.
void PlaceOnScreen(QWidget* window, const QWidget* near, bool centre);
// Shows a window, raised over the others and given the keyboard.
void BringToFront(QWidget* window);

}  // namespace tavrine::gui
