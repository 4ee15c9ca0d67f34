#include "window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QWindow>

#include "gui/chart_widget.h"
#include "gui/scan_window.h"
#include "gui/widgets.h"
#include "store/codec.h"

namespace tavrine::testing {

using namespace tavrine::gui;

std::vector<std::string> Headings() {
  return {"1301 極洋",     "1332 日本水産", "1605 国際石油",
          "1721 コムシス", "1801 大成建設", "1802 大林組"};
}

std::string DateOfRow(int r) {
  // Weekdays back from Tuesday 2026/12/08.
  QDate d(2026, 12, 8);
  for (int i = 1; i < r; ++i) {
    d = d.addDays(-1);
    while (d.dayOfWeek() > 5) d = d.addDays(-1);
  }
  return d.toString(QStringLiteral("yyyy/MM/dd")).toStdString();
}

std::string PriceOf(int c, int r) { return std::to_string(1000 * c + (r * 37 + c * 11) % 200); }

namespace {

std::string LineOf(int r, const std::vector<std::string>& headings) {
  std::string l = r == 0 ? "日付" : DateOfRow(r);
  for (int c = 1; c <= static_cast<int>(headings.size()); ++c)
    l += "," + (r == 0 ? "\"" + headings[c - 1] + "\"" : PriceOf(c, r));
  return l;
}

// Notes the layout requests delivered while it lives.
class LayoutRequests : public QObject {
 public:
  LayoutRequests() { QCoreApplication::instance()->installEventFilter(this); }
  ~LayoutRequests() override { QCoreApplication::instance()->removeEventFilter(this); }
  QStringList receivers;

 protected:
  bool eventFilter(QObject* to, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest)
      receivers << (to->objectName().isEmpty() ? QString::fromLatin1(to->metaObject()->className())
                                               : to->objectName());
    return false;
  }
};

QString SizeText(QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

}  // namespace

void WriteDataFolder(const QString& path, const std::vector<std::string>& headings) {
  const std::string d = path.toStdString();
  std::vector<std::string> lines;
  for (int r = 0; r <= kDays; ++r) lines.push_back(LineOf(r, headings));
  WriteLines(d + "/デ-タ一覧.csv", lines, true);
  WriteLines(d + "/Fname.txt", {"メモ一行目", "二行目"}, true);
  QDir().mkpath(path + "/tavrine");
  WriteLines(d + "/tavrine/zenncode.txt", {"コード\t銘柄名\t市場", "1301\t極洋\t東証"}, true);
  QDir().mkpath(path + "/pullbox");
  QDir().mkpath(path + "/listwerk");
  WriteText(d + "/pullbox/pullbox.exe", "");
  WriteText(d + "/listwerk/listwerk.exe", "");
}

void WritePriceFile(const QString& path, int days, int base, bool japanese) {
  std::vector<QDate> dates;
  for (QDate d(2026, 12, 4); static_cast<int>(dates.size()) < days; d = d.addDays(-1))
    if (d.dayOfWeek() <= 5) dates.insert(dates.begin(), d);
  std::vector<std::string> lines = {japanese ? "日付,始値,高値,安値,終値,出来高"
                                             : "Date,Open,High,Low,Close,Adj Close,Volume"};
  for (std::size_t i = 0; i < dates.size(); ++i) {
    const std::string c = std::to_string(base + static_cast<int>(i) * 3);
    if (japanese)
      lines.push_back(dates[i].toString(QStringLiteral("yyyy/MM/dd")).toStdString() + "," + c +
                      "," + c + "," + c + "," + c + ",1000");
    else
      lines.push_back(dates[i].toString(QStringLiteral("yyyy-MM-dd")).toStdString() + "," + c +
                      "," + c + "," + c + "," + c + "," + c + ",1000");
  }
  WriteLines(path.toStdString(), lines, false);
}

QString PathOf(const DataFolder& folder) { return QString::fromStdString(folder.dir().string()); }

void KeepSettingsIn(const QString& dir) {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
}

std::unique_ptr<MainWindow> ShowWindow(const WindowOptions& options, HelpWindow* help) {
  auto win = std::make_unique<MainWindow>(options);
  if (help) win->attachHelp(help);
  win->resize(1280, 800);
  win->show();
  if (!QTest::qWaitForWindowExposed(win.get())) return nullptr;
  return win;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString TextOf(const QWidget* x) {
  if (auto* b = qobject_cast<const QAbstractButton*>(x)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(x)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(x)) return e->text();
  if (auto* m = qobject_cast<const QPlainTextEdit*>(x)) return m->toPlainText();
  if (auto* s = qobject_cast<const QStatusBar*>(x)) return s->currentMessage();
  if (auto* c = qobject_cast<const QComboBox*>(x)) return c->currentText();
  return {};
}

QString LayoutUnrest(QWidget* top, QSize size) {
  if (top->size() != size) return "the window is " + SizeText(top->size());
  if (const QWindow* handle = top->windowHandle(); handle && handle->size() != size)
    return "the window system has it at " + SizeText(handle->size());
  if (const QLayout* l = top->layout(); l && l->geometry() != top->contentsRect())
    return "its layout is at " + SizeText(l->geometry().size());
  // Layout requests still waiting are delivered now; the layout is at rest
  // when there were none (those delivered may have posted more).
  LayoutRequests delivered;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  if (!delivered.receivers.isEmpty())
    return "layout requests were waiting for " + delivered.receivers.join(QStringLiteral(", "));
  return {};
}

bool LayoutAtRest(QWidget* top, QSize size) { return LayoutUnrest(top, size).isEmpty(); }

void EditCell(GridView* view, const QModelIndex& idx, const char* typed) {
  view->scrollTo(idx);
  view->setCurrentIndex(idx);
  view->edit(idx);
  // The view deletes its editor once the edit is committed: the pointer is
  // guarded so that the wait below never reads a deleted widget.
  QPointer<QLineEdit> editor;
  for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
    if (e->isVisible()) editor = e;
  QVERIFY(editor);
  if (*typed) {
    editor->selectAll();
    const QString text = QString::fromUtf8(typed);
    // ASCII is typed key by key; other text is inserted as an input method
    // commits it, there being keys for ASCII only.
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii)
      QTest::keyClicks(editor, typed);
    else
      editor->insert(text);
  }
  QTest::keyClick(editor, Qt::Key_Return);  // the view commits on its next turn
  QTRY_VERIFY(editor.isNull() || !editor->isVisible());
}

void WindowTest::init() {
  // Qt Test runs no cleanup() after an init() that failed: what such an
  // init left goes first, its folder before the next one takes the
  // environment.
  tearDown();
  folder_ = std::make_unique<DataFolder>(kToday);
  KeepSettingsIn(home() + "/config");
  WriteDataFolder(home(), Headings());
  // Nothing listens there: every request fails at once.
  folder_->set("TAVRINE_QUOTE_HOST", "127.0.0.1:1");
  folder_->set("TAVRINE_MANUAL_HOST", "127.0.0.1:1");
  folder_->set("TAVRINE_PRINT_PDF", (home() + "/chart.pdf").toStdString());

  boxes.clear();
  events.clear();
  WindowOptions o;
  o.messageHook = [this](const std::string& t, bool e) { boxes.push_back({t, e}); };
  help = std::make_unique<HelpWindow>();
  win = ShowWindow(o, help.get());
  QVERIFY(win);
  win->dispatchHook = [this](const std::string& c, const Event& ev) { events.push_back({c, ev}); };
  WAIT_FOR_LAYOUT(win.get(), QSize(1280, 800));
}

void WindowTest::cleanup() {
  // A failed test says what the window went through.
  if (QTest::currentTestFailed() && win) {
    for (const Box& b : boxes)
      qInfo("%s: %s", b.error ? "error box" : "message box", b.text.c_str());
    qInfo("engine %s; status line \"%s\"; layout: %s", win->workspace().busy() ? "busy" : "idle",
          qPrintable(text("StatusBar1")), qPrintable(LayoutUnrest(win.get(), win->size())));
  }
  tearDown();
}

void WindowTest::cleanupTestCase() { tearDown(); }

void WindowTest::tearDown() {
  win.reset();
  help.reset();
  folder_.reset();
}

QString WindowTest::home() const { return PathOf(*folder_); }

void WindowTest::show(const QString& names) {
  Form& f = win->workspace().form;
  for (const QString& n : names.split(',', Qt::SkipEmptyParts)) f.setVisible(n.toStdString(), true);
  win->mirror();
}

void WindowTest::setChart() {
  ChartModel& m = win->workspace().chart;
  m.clearAll();
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::owarine, i + 1, 100 + 10 * i, "2026/11/" + std::to_string(10 + i));
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::S2, i + 1, -100, "2026/11/" + std::to_string(10 + i));
  win->mirror();
}

void WindowTest::act(const QString& control, const QString& action, const QString& arg) {
  QWidget* x = win->widget(control.toStdString());
  QVERIFY2(x, qPrintable(control));
  if ((action == "type" || action == "enter" || action == "dblclick") && !arg.isEmpty()) {
    static_cast<QLineEdit*>(x)->clear();
    QTest::keyClicks(x, arg);
  }
  if (action == "click") {
    QTest::mouseClick(x, Qt::LeftButton);
  } else if (action == "dblclick") {
    QTest::mouseDClick(x, Qt::LeftButton);
  } else if (action == "enter") {
    QTest::keyClick(x, Qt::Key_Return);
  } else if (action == "release") {
    auto* g = static_cast<GridView*>(x);
    const QStringList cr = arg.split(' ');
    QPoint at;
    if (cr[0] == "-1") {
      // Below the last row of the table.
      at = QPoint(5, g->rowViewportPosition(g->model()->rowCount() - 1) + 2 * g->rowHeight(0) + 5);
    } else {
      at = g->visualRect(g->model()->index(cr[1].toInt(), cr[0].toInt())).center();
    }
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
  } else if (action == "press") {
    setChart();
    auto* c = static_cast<ChartWidget*>(x);
    QPoint at;
    if (arg == "none") {
      // Well under the oldest close point, far from every point of both lines.
      at = c->pointPosition(ChartModel::owarine, 9).toPoint() + QPoint(0, 60);
    } else {
      at = c->pointPosition(ChartModel::owarine, arg.toInt()).toPoint();
    }
    QTest::mousePress(c->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(c->viewport(), Qt::LeftButton, {}, at);
  }
}

void WindowTest::hover(const QPointF& at) {
  ChartWidget* c = win->chart();
  QMouseEvent move(QEvent::MouseMove, at, c->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(c->viewport(), &move);
}

std::vector<std::uint64_t> WindowTest::stateVersions() {
  Workspace& ws = win->workspace();
  std::vector<std::uint64_t> v;
  for (WorkTable* t : ws.tables()) v.push_back(t->version());
  v.push_back(ws.form.version());
  v.push_back(ws.chart.version());
  return v;
}

QString WindowTest::eventSequence() const {
  QStringList got;
  for (const auto& [control, ev] : events) {
    QString e = QString::fromStdString(control) + ":" + QString::number(ev.kind);
    if (ev.kind == Event::KeyPress) e += ":" + QString::number(ev.key);
    got << e;
  }
  return got.join(' ');
}

ScanWindow* WindowTest::scanWith(std::vector<ScanRow> rows, bool shortTerm) {
  ScanWindow* s = win->openScan();
  s->runner = [rows](const WorkTable&, const ScanOptions& o) {
    if (o.progress) o.progress(6, 6);
    return rows;
  };
  s->setShortTerm(shortTerm);
  s->start();
  if (!QTest::qWaitFor([s] { return !s->running(); }, 30000)) return nullptr;
  return s;
}

}  // namespace tavrine::testing
