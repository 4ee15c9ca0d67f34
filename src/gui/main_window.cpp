// The main window's core: its making, the wiring of the Form's controls to
// Workspace::dispatch, the keys, and the mirror of the engine after each
// event. Its areas are built in main_window_layout.cpp; its own buttons live
// in main_window_list.cpp, main_window_tools.cpp and main_window_judging.cpp.
#include "gui/main_window.h"
#include "gui/main_window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <functional>
#include <memory>
#include <set>

#include "gui/add_stock_ui.h"
#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/grid_model.h"
#include "gui/help_window.h"
#include "gui/import_ui.h"
#include "gui/list_jobs.h"
#include "gui/notification.h"
#include "gui/print_preview.h"
#include "gui/scan_window.h"
#include "gui/splash_window.h"
#include "gui/style.h"
#include "gui/today_window.h"
#include "gui/update_ui.h"
#include "gui/widgets.h"

namespace tavrine::gui {

using namespace layout;

namespace {

Event Of(Event::Kind kind) {
  Event ev;
  ev.kind = kind;
  return ev;
}

// Gives a widget of type W the text t through set when get reads another;
// an unchanged text is not set again, so nothing redraws or moves a cursor.
template <class W, class Get, class Set>
void SetIfChanged(QWidget* widget, const QString& t, Get get, Set set) {
  auto* w = qobject_cast<W*>(widget);
  if (w && std::invoke(get, w) != t) std::invoke(set, w, t);
}

// A Delphi-style edit mask ('0' a required digit, '9' an optional one) in
// Qt's spelling, where the two are the other way round.
QString QtMask(const std::string& mask) {
  QString m = QString::fromStdString(mask);
  for (QChar& ch : m) {
    if (ch == QLatin1Char('0'))
      ch = QLatin1Char('9');
    else if (ch == QLatin1Char('9'))
      ch = QLatin1Char('0');
  }
  return m;
}

}  // namespace

MainWindow::MainWindow(WindowOptions options) : QWidget(nullptr), ws_(platform_) {
  ws_.onDispatch = [this](const std::string& control, const Event& ev) {
    if (dispatchHook) dispatchHook(control, ev);
  };
  setObjectName(QStringLiteral("TForm1"));
  platform_.parent = this;
  platform_.splash = options.splash;
  remember_ = options.remember;
  platform_.messageHook = std::move(options.messageHook);
  platform_.onStatus = [this](const std::string& t) { showStatus(t); };
  platform_.onSuccess = [this](const std::string& t) { showSuccess(t); };
  successHook_ = std::move(options.successHook);
  platform_.onPrint = [this]() -> std::string {
    // The memo panel was taken off the chart just before: show that first.
    mirror();
    // An unattended run prints straight to its file; a user sees the page
    // in the print dialog's preview first and prints from there.
    if (!qEnvironmentVariableIsEmpty("TAVRINE_PRINT_PDF") ||
        (platform_.messageHook && !printPreviewHook))
      return chart_->print().toStdString();
    PreviewPrint(this, chart_, QStringLiteral("chart1"));
    return {};
  };
  platform_.onPump = [this] { mirrorForm(); };
  jobs_ = std::make_unique<ListJobs>([this] { return ws_.busy(); },
                                     [this](const QString& note) {
                                       ws_.setStatus(FromQt(note));
                                       mirrorForm();
                                     },
                                     this);
  importer_ = std::make_unique<PriceFileImport>(
      this, ws_, [this] { mirror(); }, [this](const std::string& code) { selectCode(code); });
  updater_ = std::make_unique<ListUpdate>(this, ws_, [this] { mirror(); });
  // After 一括更新 the desktop is told how many signals are new; a click on
  // the notice opens 本日の信号. Without a notification server on the
  // session bus the tray or notify-send says it instead.
  auto* notifier = new DesktopNotifier(QDBusConnection::sessionBus(), this);
  notifier->setObjectName(QStringLiteral("UpdateNotifier"));
  // openToday brings the window to the front.
  connect(notifier, &DesktopNotifier::opened, this, [this] { openToday(); });
  updater_->notify = [notifier](const SignalNotice& n) {
    if (!UpdateNoticesOn()) return;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(notifier, &DesktopNotifier::delivered, notifier, [n, once](bool ok) {
      QObject::disconnect(*once);
      if (!ok) Notify(n);
    });
    notifier->notify(NewSignalsTitle(n.day, n.signalCount, n.stocks), n.text);
  };
  adder_ = std::make_unique<StockAdd>(this, ws_, *updater_, [this] { mirror(); });
  setAcceptDrops(true);

  build();
  // The statistics read with their units, numbers right-aligned.
  if (GridView* stats = grid("StringGrid4"))
    if (auto* m = qobject_cast<GridModel*>(stats->model())) {
      m->shown = &StatsCellShown;
      m->alignRight = &StatsCellIsNumber;
    }
  wireControls();
  addShortcuts();
  // The memo's design text is no memo: a start-up that stops before the
  // memo file (no stock list yet) leaves the memo empty.
  ws_.form.setText("Memo3", "");
  // The first stock the start-up charts is judged the chosen way.
  startJudging();
  mirror();
  if (options.runStartup) click("Button52");
}

MainWindow::~MainWindow() {
  // The scan window stops and joins its scan before the engine goes.
  delete scan_;
  scan_ = nullptr;
}

void MainWindow::bind(const std::string& name, QWidget* w) {
  w->setObjectName(QString::fromStdString(name));
  widgets_[name] = w;
}

QWidget* MainWindow::widget(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

GridModel* MainWindow::model(const std::string& table) const {
  auto it = models_.find(table);
  return it == models_.end() ? nullptr : it->second;
}

GridView* MainWindow::grid(const std::string& component) const {
  auto it = grids_.find(component);
  return it == grids_.end() ? nullptr : it->second;
}

void MainWindow::addShortcuts() {
  auto add = [this](QKeySequence keys, std::function<void()> run) {
    auto* k = new QShortcut(keys, this);
    connect(k, &QShortcut::activated, this, std::move(run));
    shortcutKeys_ << keys;
  };
  add(QKeySequence(Qt::Key_F1), [this] { showManual(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { click("Button59"); });
  // The memo is saved only while it is shown.
  add(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
    if (ws_.form.visible("Panel7")) click("Button18");
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
    QWidget* box = widget("Edit1");
    box->setFocus(Qt::ShortcutFocusReason);
    static_cast<QLineEdit*>(box)->selectAll();
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_E), [this] { chooseStatsCsv(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_I), [this] { chooseImport(); });
  for (QWidget* box : findChildren<QLineEdit*>()) box->installEventFilter(this);
  for (QWidget* box : findChildren<QPlainTextEdit*>()) box->installEventFilter(this);
  // ←/→ step the base date from anywhere in the window but a text box or a
  // grid, which keep their own use of the keys.
  for (QWidget* button : findChildren<QAbstractButton*>()) button->installEventFilter(this);
}

// The day steps of ←/→: 前日 (Button62) and 次日 (Button61). False for any
// other key.
bool MainWindow::stepDate(const QKeyEvent* key) {
  if ((key->key() != Qt::Key_Left && key->key() != Qt::Key_Right) ||
      key->modifiers() != Qt::NoModifier)
    return false;
  click(key->key() == Qt::Key_Left ? "Button62" : "Button61");
  return true;
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
  if (!stepDate(e)) QWidget::keyPressEvent(e);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && qobject_cast<QAbstractButton*>(watched) &&
      stepDate(static_cast<QKeyEvent*>(e)))
    return true;
  if (e->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(e);
    // Left unaccepted, the key goes on to the window's shortcut.
    if (shortcutKeys_.contains(QKeySequence(key->keyCombination()))) return true;
  }
  return QWidget::eventFilter(watched, e);
}

void MainWindow::showManual() {
  if (help_ && ws_.form.visible("TForm4")) {
    help_->raise();
    help_->activateWindow();
    return;
  }
  click("Button88");
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // A handler waiting for a page is still on the stack: the window stays
  // until it has returned.
  if (ws_.busy()) {
    e->ignore();
    return;
  }
  e->accept();
  rememberLayout();
  // Closing the main window ends the program, help window included.
  if (help_) help_->hide();
  QCoreApplication::quit();
}

void MainWindow::wireControls() {
  for (const auto& [name, c] : ws_.form.all()) wireControl(name, c.kind);
  for (const char* g : {"StringGrid5", "StringGrid7"}) {
    const std::string n = g;
    connect(grid(n), &GridView::released, this, [this, n](int col, int row) {
      Event ev = Of(Event::MouseUp);
      ev.col = col;
      ev.row = row;
      fire(n, ev);
    });
  }
  chart_->onPress = [this](const ChartHits& hits) {
    Event ev = Of(Event::MouseDown);
    ev.hits = hits;
    fire("chart1", ev);
  };
  // Arrow keys on the chart: left one day back ("前日"), right one day on ("次日").
  chart_->onStep = [this](bool back) { click(back ? "Button62" : "Button61"); };
}

void MainWindow::wireControl(const std::string& name, ControlKind kind) {
  using K = ControlKind;
  QWidget* w = widget(name);
  if (!w) return;
  auto send = [this, name](Event::Kind k) { return [this, name, k] { fire(name, Of(k)); }; };
  if (kind == K::Button || kind == K::BitBtn) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      connect(b, &QAbstractButton::clicked, this, send(Event::Click));
  } else if (kind == K::Label) {
    if (auto* l = qobject_cast<ClickLabel*>(w)) {
      connect(l, &ClickLabel::clicked, this, send(Event::Click));
      connect(l, &ClickLabel::doubleClicked, this, send(Event::DblClick));
    }
  } else if (kind == K::Edit || kind == K::MaskEdit) {
    if (auto* t = qobject_cast<TextBox*>(w)) {
      connect(t, &TextBox::keyPressed, this, [this, name](int code) {
        Event ev = Of(Event::KeyPress);
        ev.key = code;
        fire(name, ev);
      });
      connect(t, &TextBox::doubleClicked, this, send(Event::DblClick));
      connect(t, &QLineEdit::textEdited, this, [this, name] { textEdited(name); });
    }
  } else if (kind == K::Memo) {
    if (auto* m = qobject_cast<QPlainTextEdit*>(w))
      connect(m, &QPlainTextEdit::textChanged, this, [this, name] { syncText(name); });
  }
}

void MainWindow::click(const std::string& control) { fire(control, Of(Event::Click)); }

void MainWindow::attachHelp(HelpWindow* help) {
  help_ = help;
  platform_.help = help;
  widgets_["TForm4"] = help;
  widgets_["TForm4.WebBrowser1"] = help->browser();
  widgets_["TForm4.Panel1"] = help->panel();
  widgets_["TForm4.Label1"] = help->label();
  widgets_["TForm4.Button1"] = help->button1();
  widgets_["TForm4.Button2"] = help->button2();
  for (const char* b : {"TForm4.Button1", "TForm4.Button2"}) wireControl(b, ws_.form.get(b).kind);
  help->onClosed = [this] {
    // Closed with its close box: the window is hidden, as "利用説明" would.
    ws_.form.setVisible("TForm4", false);
    mirror();
  };
  formVersion_ = ~std::uint64_t{0};
  mirror();
}

void MainWindow::syncText(const std::string& name) {
  if (mirroring_) return;
  QWidget* w = widget(name);
  if (auto* t = qobject_cast<QLineEdit*>(w))
    ws_.form.setText(name, FromQt(t->text(), ws_.form.text(name)));
  else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
    ws_.form.setText(name, MemoFromQt(m->toPlainText(), ws_.form.text(name)));
}

void MainWindow::textEdited(const std::string& name) {
  if (mirroring_) return;
  fire(name, Of(Event::Change));
}

void MainWindow::typeInto(const std::string& control, const std::string& text) {
  auto* e = qobject_cast<QLineEdit*>(widget(control));
  if (!e) return;
  e->setText(QString::fromStdString(text));
  textEdited(control);
}

namespace {
// The events whose handlers change the stock list or the series the list's
// jobs build on: the collection and its storing, the stand-alone
// collections, a price added by hand and its undoing.
bool ChangesList(const std::string& control, const Event& ev) {
  if (ev.kind == Event::Change) return false;
  static const std::set<std::string> clicked = {"Button89",  "Button104", "Button105",
                                                "Button107", "Button109", "BitBtn1",
                                                "Button17",  "Button34",  "Button35"};
  if (ev.kind == Event::KeyPress)
    return (control == "Edit18" || control == "Edit6") && ev.key == 13;
  if (ev.kind == Event::DblClick) return control == "Edit18";
  return clicked.count(control) > 0;
}
}  // namespace

void MainWindow::fire(const std::string& control, const Event& ev) {
  if (!ChangesList(control, ev)) {
    fireNow(control, ev);
    return;
  }
  const Control* c = ws_.form.has(control) ? &ws_.form.get(control) : nullptr;
  const QString what = c && !c->text.empty() ? ToQt(c->text) : ToQt(control);
  jobs_->run(what, [this, control, ev] { fireNow(control, ev); });
}

void MainWindow::fireNow(const std::string& control, const Event& ev) {
  // A text box's own event reads the text as it stands in the box.
  if (ws_.form.has(control)) {
    const ControlKind k = ws_.form.get(control).kind;
    if (k == ControlKind::Edit || k == ControlKind::MaskEdit || k == ControlKind::Memo)
      syncText(control);
  }
  const bool wait = ev.kind != Event::Change;
  if (wait) platform_.beginWait();
  ws_.dispatch(control, ev);
  if (wait) platform_.endWait();
  mirror();
}

void MainWindow::selectCode(const std::string& code) {
  platform_.beginWait();
  ws_.selectCode(code);
  platform_.endWait();
  mirror();
}

void MainWindow::mirror() {
  mirrorForm();
  for (auto& [name, m] : models_) m->refresh();
  followBaseDate();
  // A new backtest's dates and labels are never cut.
  if (ws_.StatsTable.version() != statsFitted_) {
    statsFitted_ = ws_.StatsTable.version();
    grid("StringGrid4")->fitColumnsToTexts(kStatsRowsFitted);
  }
  chart_->refresh();
  if (scan_) scan_->refreshDirection();
  mirrorJudging();
  mirrorPressed();
  if (backtest_ && backtest_->isVisible()) refreshBacktest();
  if (QWidget* guide = widget("ImportGuide"); guide && guide->isHidden() == ws_.nothingToChart())
    guide->setVisible(ws_.nothingToChart());
}

void MainWindow::followBaseDate() {
  // The value grid shows and marks the base date's row, the day steps too.
  const std::string& date = ws_.form.text("Edit2");
  if (date == followedDate_) return;
  followedDate_ = date;
  GridView* values = grid("StringGrid2");
  QAbstractItemModel* m = values->model();
  for (int r = 1; r < m->rowCount() && r <= kValueRowsSearched; ++r)
    if (m->index(r, 0).data().toString() == Shown(date)) {
      values->scrollTo(m->index(r, 0), QAbstractItemView::EnsureVisible);
      values->setCurrentIndex(m->index(r, 0));
      return;
    }
}

void MainWindow::mirrorForm() {
  if (ws_.form.version() == formVersion_) return;
  mirroring_ = true;
  for (const auto& [name, c] : ws_.form.all()) {
    auto it = widgets_.find(name);
    if (it != widgets_.end()) mirrorControl(c, it->second);
  }
  formVersion_ = ws_.form.version();
  mirroring_ = false;
  placeRulePanel();
}

void MainWindow::mirrorControl(const Control& c, QWidget* w) {
  using K = ControlKind;
  if (c.name == "TForm1") {
    setWindowTitle(Shown(c.text));
    setEnabled(c.enabled);
    if (c.width != askedWidth_ || c.height != askedHeight_) {
      askedWidth_ = c.width;
      askedHeight_ = c.height;
      if (isVisible()) showAsAsked();
    }
    return;
  }
  if (c.name == "TForm4") {
    w->setWindowTitle(Shown(c.text));
    if (c.visible && !w->isVisible()) {
      PlaceOnScreen(w, this, !w->testAttribute(Qt::WA_Moved));
      w->show();
      w->raise();
    } else if (!c.visible && w->isVisible()) {
      w->hide();
    }
    return;
  }
  // The browser's own visible flag does not hide the embedded browser; the
  // text face's panel covers it.
  if (c.name != "TForm4.WebBrowser1" && w->isHidden() == c.visible) w->setVisible(c.visible);
  if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
  switch (c.kind) {
    case K::Button:
    case K::BitBtn:
      SetIfChanged<QAbstractButton>(w, Caption(c.text), &QAbstractButton::text,
                                    &QAbstractButton::setText);
      break;
    case K::Label:
      SetIfChanged<QLabel>(w, ToQt(c.text), &QLabel::text, &QLabel::setText);
      break;
    case K::Edit:
    case K::MaskEdit:
      if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // Full-width input reads as half-width in the number, date and
        // code boxes; a number-only box takes the digits alone.
        using HK = HalfWidthValidator::Kind;
        const HK kind = c.numberOnly ? HK::Digits : c.kind == K::MaskEdit ? HK::Number : HK::Text;
        auto* half = qobject_cast<HalfWidthValidator*>(const_cast<QValidator*>(e->validator()));
        if (c.halfWidth || c.numberOnly) {
          if (!half)
            TakeHalfWidth(e, kind);
          else if (half->kind() != kind)
            half->setKind(kind);
        } else if (half) {
          e->setValidator(nullptr);
        }
        // Qt reports a mask with its blank character appended, so the mask
        // last applied is kept on the widget for the comparison.
        const QString mask = c.editMask.empty() ? QString() : QtMask(c.editMask);
        if (e->property("tavrineMask").toString() != mask) {
          // The mask comes on from the box's own change handler, after the
          // first key typed: the typing goes on where it stood, not behind the
          // mask's blanks (where "1.05" would end as "1.").
          const int cursor = e->cursorPosition();
          e->setProperty("tavrineMask", mask);
          e->setInputMask(mask);
          e->setText(Shown(c.text));
          e->setCursorPosition(cursor);
          // The mask may reshape the text; the Form keeps what the box holds.
          ws_.form.setText(c.name, FromQt(e->text(), c.text));
          break;
        }
        SetIfChanged<QLineEdit>(e, Shown(c.text), &QLineEdit::text, &QLineEdit::setText);
      }
      break;
    case K::Memo:
      SetIfChanged<QPlainTextEdit>(w, MemoToQt(c.text), &QPlainTextEdit::toPlainText,
                                   &QPlainTextEdit::setPlainText);
      break;
    case K::StatusBar:
      SetIfChanged<QStatusBar>(w, Shown(c.text), &QStatusBar::currentMessage,
                               [](QStatusBar* bar, const QString& t) { bar->showMessage(t); });
      break;
    default:
      break;
  }
}

void MainWindow::showStatus(const std::string& text) {
  // Shown at once: the collection waits for pages inside a handler.
  if (auto* s = qobject_cast<QStatusBar*>(widget("StatusBar1"))) {
    s->showMessage(Shown(text));
    s->repaint();
  }
}

namespace {
// How long a success stays on the bar, and how many its tooltip keeps.
constexpr int kSuccessShownMs = 8000;
constexpr int kSuccessesKept = 6;
}  // namespace

void MainWindow::showSuccess(const std::string& text) {
  const QString shown = Shown(text);
  successes_.prepend(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + shown);
  while (successes_.size() > kSuccessesKept) successes_.removeLast();
  successBar_->setToolTip(successes_.join(QLatin1Char('\n')));
  successBar_->showMessage(shown, kSuccessShownMs);
  if (successHook_) successHook_(text);
}

}  // namespace tavrine::gui
