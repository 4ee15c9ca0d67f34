#include "gui/widgets.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QToolTip>

#include <algorithm>
#include <deque>
#include <map>

#include "store/codec.h"
#include "store/text.h"

namespace tavrine::gui {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
}

void ClickLabel::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->button() == Qt::LeftButton;
  QLabel::mousePressEvent(e);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool click =
      pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(e);
  if (click) emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* e) {
  // A double click is one click and one double click, as the first press
  // already clicked; the release that follows does not click again.
  pressed_ = false;
  e->accept();
  if (e->button() == Qt::LeftButton) emit doubleClicked();
}

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    if (enterChoosesProposal && enterChoosesProposal()) {
      e->ignore();
      return;
    }
    emit keyPressed(13);
    e->accept();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void TextBox::mouseDoubleClickEvent(QMouseEvent* e) {
  QLineEdit::mouseDoubleClickEvent(e);
  if (e->button() == Qt::LeftButton) emit doubleClicked();
}

GridView::GridView(QWidget* parent) : QTableView(parent) {
  // A width set by anyone but fitColumnsToTexts is the user's (a drag, a
  // double click, the remembered layout); the default width given to
  // columns never fitted is not.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int c, int, int size) {
    if (fitting_) return;
    if (size == horizontalHeader()->defaultSectionSize() && !fitted_.count(c)) return;
    userSized_.insert(c);
  });
}

void GridView::mouseReleaseEvent(QMouseEvent* e) {
  QTableView::mouseReleaseEvent(e);
  const QModelIndex idx = indexAt(e->position().toPoint());
  if (idx.isValid())
    emit released(idx.column(), idx.row());
  else
    emit released(-1, -1);
}

void GridView::fitColumnsToTexts(int rows) {
  QAbstractItemModel* m = model();
  if (!m) return;
  QHeaderView* h = horizontalHeader();
  const QFontMetrics fm = fontMetrics();
  const int margin =
      2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
  const int lastRow = std::min(rows, m->rowCount()) - 1;
  for (int c = 0; c < m->columnCount(); ++c) {
    if (userSized_.count(c)) continue;
    const int now = h->sectionSize(c);
    int want = 0;
    for (int r = 0; r <= lastRow; ++r)
      want = std::max(want, fm.horizontalAdvance(m->index(r, c).data(Qt::DisplayRole).toString()));
    want += margin;
    if (want <= now) continue;
    fitting_ = true;
    h->resizeSection(c, want);
    fitting_ = false;
    fitted_.insert(c);
  }
}

QString GridView::cutText(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return {};
  // The item draws its text inside the cell less a margin on each side.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const int room = visualRect(index).width() - 2 * margin;
  return fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

QSize GridView::sizeHint() const {
  QSize s = QTableView::sizeHint();
  if (preferredWidth_ > 0) s.setWidth(preferredWidth_);
  return s;
}

bool GridView::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(e);
    const QModelIndex idx = indexAt(he->pos());
    const QString whole = cutText(idx);
    if (whole.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(he->globalPos(), whole, viewport(), visualRect(idx));
    return true;
  }
  return QTableView::viewportEvent(e);
}

QString HalfWidthText(const QString& text, bool number) {
  QString t = text;
  if (number) t.replace(QChar(0x30FC), QLatin1Char('-'));
  return QString::fromStdString(HalfWidth(t.toStdString()));
}

namespace {

// The box's text made half-width, the cursor kept behind what was typed.
void MakeHalfWidth(QString& input, int& pos, bool number) {
  const QString half = HalfWidthText(input, number);
  if (half == input) return;
  pos = static_cast<int>(HalfWidthText(input.left(pos), number).size());
  input = half;
}

}  // namespace

HalfWidthValidator::HalfWidthValidator(QObject* parent, Kind kind)
    : QValidator(parent), kind_(kind) {}

QValidator::State HalfWidthValidator::validate(QString& input, int& pos) const {
  MakeHalfWidth(input, pos, kind_ != Kind::Text);
  if (kind_ == Kind::Digits)
    for (const QChar c : input)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
  return Acceptable;
}

void TakeHalfWidth(QLineEdit* box, HalfWidthValidator::Kind kind) {
  box->setValidator(new HalfWidthValidator(box, kind));
}

QValidator::State CountBox::validate(QString& input, int& pos) const {
  MakeHalfWidth(input, pos, true);
  return QSpinBox::validate(input, pos);
}

int CountBox::valueFromText(const QString& text) const {
  return QSpinBox::valueFromText(HalfWidthText(text, true));
}

QString Shown(const std::string& text) { return QString::fromStdString(DisplayText(text)); }

QString ToQt(const std::string& text) {
  QString s = Shown(text);
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

std::string FromQt(const QString& text) { return text.toStdString(); }

std::string FromQt(const QString& text, const std::string& held) {
  return Shown(held) == text ? held : FromQt(text);
}

QString MemoToQt(const std::string& text) { return ToQt(text); }

std::string MemoFromQt(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return s.toStdString();
}

std::string MemoFromQt(const QString& text, const std::string& held) {
  if (DisplayText(held) == held) return MemoFromQt(text);
  // Each new line takes the first unused held line shown the same way, so
  // lines keep their order and their codes; a line the user changed comes
  // from the box.
  std::map<QString, std::deque<std::string>> unused;
  for (std::string& line : SplitLines(held)) unused[Shown(line)].push_back(std::move(line));
  std::string out;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    auto it = unused.find(lines[i]);
    if (it != unused.end() && !it->second.empty()) {
      out += it->second.front();
      it->second.pop_front();
    } else {
      out += FromQt(lines[i]);
    }
  }
  return out;
}

QString Caption(const std::string& text) {
  QString s = Shown(text);
  s.replace(QLatin1Char('&'), QLatin1String("&&"));
  return s;
}

QRect FitInside(const QRect& wanted, const QRect& available) {
  if (available.isEmpty()) return wanted;
  QRect r(wanted.topLeft(), wanted.size().boundedTo(available.size()));
  if (r.right() > available.right()) r.moveRight(available.right());
  if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
  if (r.left() < available.left()) r.moveLeft(available.left());
  if (r.top() < available.top()) r.moveTop(available.top());
  return r;
}

QRect AvailableArea(const QWidget* near) {
  const QScreen* s = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
  return s ? s->availableGeometry() : QRect();
}

void PlaceOnScreen(QWidget* window, const QWidget* near, bool centre) {
  const QRect avail = AvailableArea(near ? near : window);
  QRect r = window->frameGeometry();
  const QMargins frame(window->geometry().left() - r.left(), window->geometry().top() - r.top(),
                       r.right() - window->geometry().right(),
                       r.bottom() - window->geometry().bottom());
  if (centre && near) r.moveCenter(near->frameGeometry().center());
  r = FitInside(r, avail);
  const QRect inner = r.marginsRemoved(frame);
  window->resize(inner.size());
  window->move(r.topLeft());
}

void BringToFront(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace tavrine::gui
