// The window over the engine: every wired control event reaches the engine
// as the right event, the widgets show the Form, the grids show the tables,
// and the chart draws the chart model.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCategoryAxis>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocalServer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSettings>
#include <QShortcut>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/file_dialogs.h"
#include "gui/grid_model.h"
#include "gui/handover.h"
#include "gui/help_window.h"
#include "gui/import_ui.h"
#include "gui/main_window.h"
#include "gui/scan_window.h"
#include "gui/stock_finder.h"
#include "gui/widgets.h"
#include "gui/window_memory.h"
#include "store/codec.h"
#include "store/control_cells.h"
#include "store/table_file.h"

using namespace tavrine;
using namespace tavrine::gui;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Box {
  std::string text;
  bool error;
};

// The data folder: a stock list of six stocks over 300 weekdays, the
// sibling tool files (full mode), an empty memo.
constexpr int kDays = 300;
const char* const kHeadings[] = {"1301 極洋",     "1332 日本水産", "1605 国際石油",
                                 "1721 コムシス", "1801 大成建設", "1802 大林組"};

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

std::string LineOf(int r, const std::vector<std::string>& headings) {
  std::string l = r == 0 ? "日付" : DateOfRow(r);
  for (int c = 1; c <= static_cast<int>(headings.size()); ++c)
    l += "," + (r == 0 ? "\"" + headings[c - 1] + "\"" : PriceOf(c, r));
  return l;
}

// A data folder in full mode: the stock list of these headings over kDays
// weekdays, the memo, the sibling tools' files.
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

// Points the program's data folder elsewhere until the end of the scope.
struct HomeSwap {
  QByteArray home = qgetenv("TAVRINE_HOME"), root = qgetenv("TAVRINE_ROOT");
  explicit HomeSwap(const QString& path) {
    qputenv("TAVRINE_HOME", path.toLocal8Bit());
    qputenv("TAVRINE_ROOT", path.toLocal8Bit());
  }
  ~HomeSwap() {
    qputenv("TAVRINE_HOME", home);
    qputenv("TAVRINE_ROOT", root);
  }
};

// A daily-price file as a free price site gives it: the given number of
// weekdays up to Friday 2026/12/04, oldest first, closes from the base up.
void WritePriceFile(const QString& path, int days, int base, bool japanese = false) {
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

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void startUpFilledTheWindow();
  void wiring_data();
  void wiring();
  void formChangesAppearOnWidgets();
  void errorsGoToTheStandardReport();
  void stockListShowsAndEditsCells();
  void repeatedCodesShowAsTheirCharacterAndSurviveEdits();
  void gridsRefreshOnlyWhenTheTableMoved();
  void chartDrawsTheModel();
  void helpWindowFaces();
  void browserSaysWhenHostIsUnreachable();
  void crosshairReadsTheDayUnderThePointer();
  void arrowKeysStepTheDays();
  void statsCsvAndChartImage();
  void rulePanelMakesRoomForTheScanButton();
  void scanTableSortsAndPicks();
  void scanRunsBehindTheWindow();
  void realScanMatchesTheRuleButton();
  void tradeMarkersFollowTheRuleAndTheToggle();
  void backtestViewFollowsTheRule();
  void scanTableShowsTheFigureColumns();
  void importButtonBesideThePriceCollection();
  void firstStartShowsTheGuideUntilAnImport();
  void columnsFitTheirTextsAndCutCellsShowTheirText();
  void nothingCoversAnything();
  void shortcutsRunTheButtons();
  void codeBoxProposesStocksByNameOrCode();
  void savedPlaceIsKeptWithinTheScreens();
  void rememberedSplitterFitsTheWindow();
  void windowRemembersItsPlace();
  void fileDialogsOpenWhereTheUserLastChose();
  void exportsAskBeforeReplacingAndNeverWriteDataFiles();
  void filesHandedOverByASecondStartAreImported();

 private:
  void show(const QString& names);
  void act(const QString& control, const QString& action, const QString& arg);
  QWidget* w(const char* name) const { return win->widget(name); }
  QString text(const char* name) const;
  void setChart();
  // Versions of every table, the Form and the chart: equal lists mean
  // nothing was written.
  std::vector<std::uint64_t> stateVersions();
  ScanWindow* scanWith(std::vector<ScanRow> rows, bool shortTerm);
  void hover(const QPointF& at);
  // Opens the grid's editor on a cell, enters text (none: leaves it as
  // shown) and commits it with Enter.
  void editCell(GridView* view, const QModelIndex& idx, const char* typed);

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> win;
  std::unique_ptr<HelpWindow> help;
  std::vector<Box> boxes;
  std::vector<std::pair<std::string, Event>> events;
};

void WindowTest::initTestCase() {
  QVERIFY(dir.isValid());
  // The window's remembered layout goes to the test's folder, never to the
  // user's settings.
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path() + "/config");
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/config");
  WriteDataFolder(dir.path(), std::vector<std::string>(std::begin(kHeadings), std::end(kHeadings)));
  qputenv("TAVRINE_HOME", dir.path().toLocal8Bit());
  qputenv("TAVRINE_ROOT", dir.path().toLocal8Bit());
  // Nothing listens there: every request fails at once.
  qputenv("TAVRINE_QUOTE_HOST", "127.0.0.1:1");
  qputenv("TAVRINE_MANUAL_HOST", "127.0.0.1:1");
  qputenv("TAVRINE_PRINT_PDF", (dir.path() + "/chart.pdf").toLocal8Bit());

  WindowOptions o;
  o.messageHook = [this](const std::string& t, bool e) { boxes.push_back({t, e}); };
  win = std::make_unique<MainWindow>(o);
  help = std::make_unique<HelpWindow>();
  win->attachHelp(help.get());
  win->dispatchHook = [this](const std::string& c, const Event& ev) { events.push_back({c, ev}); };
  win->resize(1280, 800);
  win->show();
  QVERIFY(QTest::qWaitForWindowExposed(win.get()));
}

void WindowTest::cleanupTestCase() {
  win.reset();
  help.reset();
}

QString WindowTest::text(const char* name) const {
  QWidget* x = w(name);
  if (auto* b = qobject_cast<QAbstractButton*>(x)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(x)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(x)) return e->text();
  if (auto* m = qobject_cast<QPlainTextEdit*>(x)) return m->toPlainText();
  if (auto* s = qobject_cast<QStatusBar*>(x)) return s->currentMessage();
  return {};
}

void WindowTest::startUpFilledTheWindow() {
  // The creation of the window ran the start-up: the list is loaded, the
  // code box holds the code of the stock in column 4, the window is enabled.
  Workspace& ws = win->workspace();
  QCOMPARE(ws.StockList.cell(4, 0), std::string("1721 コムシス"));
  QCOMPARE(text("Edit1"), QStringLiteral("1721"));
  QCOMPARE(text("Edit2"), QStringLiteral("2026/12/08"));
  QCOMPARE(text("Memo3"), QStringLiteral("メモ一行目\n二行目"));
  QCOMPARE(win->windowTitle(), QStringLiteral("tavrine"));
  QVERIFY(win->isEnabled());
  // At start the picker, the collection panel, the rule panel and the
  // candidate table are hidden; the memo panel and the heading are shown.
  for (const char* hidden : {"Panel4", "Panel14", "Panel11", "StringGrid7", "Button104"})
    QVERIFY2(!w(hidden)->isVisibleTo(win.get()), hidden);
  for (const char* shown :
       {"Panel7", "Edit5", "chart1", "StringGrid1", "StringGrid2", "StringGrid4", "Panel1"})
    QVERIFY2(w(shown)->isVisibleTo(win.get()), shown);
  QVERIFY(!help->isVisible());
}

void WindowTest::show(const QString& names) {
  Form& f = win->workspace().form;
  for (const QString& n : names.split(',', Qt::SkipEmptyParts)) f.setVisible(n.toStdString(), true);
  win->mirror();
}

// Puts a known picture on the chart: owarine rows 1..10 at 100..190, S2
// far below it.
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
  if (action == "click") {
    QTest::mouseClick(x, Qt::LeftButton);
  } else if (action == "dblclick") {
    QTest::mouseDClick(x, Qt::LeftButton);
  } else if (action == "enter") {
    QTest::keyClick(x, Qt::Key_Return);
  } else if (action == "type") {
    static_cast<QLineEdit*>(x)->clear();
    QTest::keyClicks(x, arg);
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

// One table: the control, what the user does, the event the engine must
// receive, and what the handler then shows on the window.
void WindowTest::wiring_data() {
  QTest::addColumn<QString>("show");  // panels to show first
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("arg");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("detail");  // key code, cell or hits the event must carry
  QTest::addColumn<QString>("effect");  // what the window shows afterwards

  const int C = Event::Click, D = Event::DblClick, K = Event::KeyPress, T = Event::Change,
            U = Event::MouseUp, P = Event::MouseDown;
  auto row = [](const char* tag, const char* show, const char* control, const char* action,
                const char* arg, int kind, const char* detail, const char* effect) {
    QTest::newRow(tag) << QString::fromUtf8(show) << QString::fromUtf8(control)
                       << QString::fromUtf8(action) << QString::fromUtf8(arg) << kind
                       << QString::fromUtf8(detail) << QString::fromUtf8(effect);
  };
  // Row 1 of the control panel.
  row("Label1 click", "", "Label1", "click", "", C, "", "text Edit2=2026/12/08");
  row("Edit2 dblclick", "", "Edit2", "dblclick", "", D, "", "text Edit2=2026/12/08");
  row("Edit2 enter", "", "Edit2", "enter", "", K, "13", "");
  row("Button25", "", "Button25", "click", "", C, "", "");
  row("Button62", "", "Button62", "click", "", C, "", "");
  row("Button61", "", "Button61", "click", "", C, "", "");
  row("Edit6 typing", "", "Edit6", "type", "12", T, "", "numberOnly Edit6");
  row("Edit6 enter", "", "Edit6", "enter", "", K, "13", "");
  row("Button34", "", "Button34", "click", "", C, "", "");
  row("Button35", "", "Button35", "click", "", C, "", "");
  row("BitBtn1", "", "BitBtn1", "click", "", C, "", "shown Panel14");
  // Row 2.
  row("Label2 dblclick", "", "Label2", "dblclick", "", D, "", "message 保存しました。");
  row("Edit1 typing", "", "Edit1", "type", "1802", T, "", "text Edit1=1802");
  row("Edit1 enter", "", "Edit1", "enter", "", K, "13", "text Edit5=1802 大林組");
  row("Edit1 dblclick", "", "Edit1", "dblclick", "", D, "", "");
  row("Button58", "", "Button58", "click", "", C, "", "toggled Panel7");
  row("Button118", "", "Button118", "click", "", C, "", "caption Button118");
  row("Button81", "", "Button81", "click", "", C, "", "caption Button81 once");
  row("Button13", "", "Button13", "click", "", C, "", "");
  row("Button47", "", "Button47", "click", "", C, "", "caption Button47");
  row("Button59", "", "Button59", "click", "", C, "", "printed");
  row("Button130", "", "Button130", "click", "", C, "", "");
  // Row 3.
  row("Button17", "", "Button17", "click", "", C, "", "");
  row("Button2", "", "Button2", "click", "", C, "", "");
  row("DrawChart", "", "DrawChart", "click", "", C, "", "");
  row("Button4", "", "Button4", "click", "", C, "", "");
  row("Label5 click", "", "Label5", "click", "", C, "", "toggled Panel11");
  row("Button37", "", "Button37", "click", "", C, "", "");
  row("Button38", "", "Button38", "click", "", C, "", "");
  row("Button39", "", "Button39", "click", "", C, "", "");
  row("MaskEdit1 typing", "", "MaskEdit1", "type", "0", T, "", "mask MaskEdit1");
  row("Button88", "", "Button88", "click", "", C, "", "help open");
  // Rule panel.
  for (const char* b : {"Button73", "Button74", "Button75", "Button76", "Button77", "Button1",
                        "Button83", "Button79"})
    row(b, "Panel11", b, "click", "", C, "", "");
  row("Button78", "Panel11", "Button78", "click", "", C, "", "help text");
  // Memo panel.
  row("Button18", "Panel7", "Button18", "click", "", C, "", "message 保存しました。");
  // Collection panel.
  row("Edit18 typing", "Panel4,Panel14", "Edit18", "type", "13", T, "", "text Edit18=13");
  row("Edit18 enter", "Panel4,Panel14", "Edit18", "enter", "", K, "13",
      "message 銘柄コードを入れ直して下さい。");
  row("Edit18 dblclick", "Panel4,Panel14", "Edit18", "dblclick", "", D, "", "text Edit18=");
  row("Button89", "Panel4,Panel14", "Button89", "click", "", C, "", "");
  row("Button110", "Panel4,Panel14", "Button110", "click", "", C, "", "");
  row("Button87", "Panel4,Panel14", "Button87", "click", "", C, "", "");
  row("Button104", "Panel4,Panel14,Button104", "Button104", "click", "", C, "", "");
  row("Button90", "Panel4,Panel14", "Button90", "click", "", C, "", "hidden Panel4");
  // Grids and chart.
  row("StockPicker cell", "Panel4", "StringGrid5", "release", "2 1", U, "2 1", "text Edit1=1332");
  row("StockPicker no cell", "Panel4", "StringGrid5", "release", "-1 -1", U, "-1 -1", "");
  row("CandidateTable cell", "StringGrid7", "StringGrid7", "release", "1 1", U, "1 1", "");
  row("CandidateTable no cell", "StringGrid7", "StringGrid7", "release", "-1 -1", U, "-1 -1", "");
  row("chart point", "", "chart1", "press", "3", P, "owarine:3", "text Edit2=2026/11/13");
  row("chart empty", "", "chart1", "press", "none", P, "", "");
  // Help window.
  row("help short manual", "TForm4", "TForm4.Button2", "click", "", C, "",
      "url /tavrine/tavrinekanni.htm");
  row("help main manual", "TForm4", "TForm4.Button1", "click", "", C, "",
      "url /tavrine/tavrine.htm");
}

void WindowTest::wiring() {
  QFETCH(QString, show);
  QFETCH(QString, control);
  QFETCH(QString, action);
  QFETCH(QString, arg);
  QFETCH(int, kind);
  QFETCH(QString, detail);
  QFETCH(QString, effect);

  this->show(show);
  const std::string name = control.toStdString();
  Form& f = win->workspace().form;
  const QStringList eff = effect.split(' ');
  const QString what = eff.value(0);
  const std::string target = eff.value(1).split('=').value(0).toStdString();
  const bool visBefore = f.has(target) && f.visible(target);
  const std::string captionBefore = f.has(target) ? f.text(target) : std::string();
  const QString edit2Before = text("Edit2");
  QFile::remove(dir.path() + "/chart.pdf");
  events.clear();
  boxes.clear();

  act(control, action, arg);

  // The engine got the event from that control.
  const std::pair<std::string, Event>* got = nullptr;
  for (const auto& e : events)
    if (e.first == name && e.second.kind == kind) got = &e;
  QVERIFY2(got, qPrintable(control + " " + action));
  const Event& ev = got->second;
  if (kind == Event::KeyPress) QCOMPARE(ev.key, detail.toInt());
  if (kind == Event::MouseUp) {
    QCOMPARE(ev.col, detail.split(' ')[0].toInt());
    QCOMPARE(ev.row, detail.split(' ')[1].toInt());
  }
  if (kind == Event::MouseDown) {
    QStringList hits;
    for (const auto& [line, index] : ev.hits)
      hits << QString::fromStdString(line) + ":" + QString::number(index);
    QCOMPARE(hits.join(' '), detail);
    if (detail.isEmpty()) QCOMPARE(text("Edit2"), edit2Before);
  }
  if (kind == Event::Change && w(name.c_str())) {
    // The Form read the box before the change event ran.
    QCOMPARE(QString::fromStdString(f.text(name)).remove(' '), text(name.c_str()).remove(' '));
  }

  // What the handler shows on the window.
  const QString value = effect.section('=', 1);
  if (what == "text") {
    QCOMPARE(text(target.c_str()), value);
  } else if (what == "shown") {
    QVERIFY(w(target.c_str())->isVisibleTo(win.get()));
  } else if (what == "hidden") {
    QVERIFY(!w(target.c_str())->isVisibleTo(win.get()));
  } else if (what == "toggled") {
    QCOMPARE(w(target.c_str())->isVisibleTo(win.get()), !visBefore);
    act(control, action, arg);  // and back
    QCOMPARE(w(target.c_str())->isVisibleTo(win.get()), visBefore);
  } else if (what == "caption") {
    QVERIFY(f.text(target) != captionBefore);
    QCOMPARE(text(target.c_str()), QString::fromStdString(f.text(target)));
    if (eff.value(2) != "once") {  // a two-state caption: the next click brings it back
      act(control, action, arg);
      QCOMPARE(text(target.c_str()), QString::fromStdString(captionBefore));
    }
  } else if (what == "message") {
    QVERIFY(!boxes.empty());
    QCOMPARE(QString::fromStdString(boxes.back().text), effect.section(' ', 1));
    QVERIFY(!boxes.back().error);
  } else if (what == "numberOnly") {
    QVERIFY(static_cast<QLineEdit*>(w("Edit6"))->validator() != nullptr);
    QTest::keyClicks(w("Edit6"), "a5");
    QCOMPARE(text("Edit6"), QStringLiteral("125"));
  } else if (what == "mask") {
    QVERIFY(static_cast<QLineEdit*>(w("MaskEdit1"))->inputMask().startsWith("0.00"));
  } else if (what == "printed") {
    QVERIFY(QFile::exists(dir.path() + "/chart.pdf"));
    QVERIFY(!w("Panel7")->isVisibleTo(win.get()));
    this->show(QStringLiteral("Panel7"));
  } else if (what == "help") {
    QVERIFY(help->isVisible());
    if (value.isEmpty() && eff.value(1) == "open") {
      QVERIFY(!help->panel()->isVisibleTo(help.get()));
      QVERIFY(help->button1()->isVisibleTo(help.get()));
    } else {
      QVERIFY(help->panel()->isVisibleTo(help.get()));
      QVERIFY(!help->label()->text().isEmpty());
    }
    f.setVisible("TForm4", false);
    win->mirror();
    QVERIFY(!help->isVisible());
  } else if (what == "url") {
    QCOMPARE(QString::fromStdString(win->platform().lastUrl), "http://127.0.0.1:1" + eff.value(1));
    QCOMPARE(help->browser()->current().toString(), "http://127.0.0.1:1" + eff.value(1));
  }
  // Leave the picker and collection panels as the start left them.
  f.setVisible("Panel4", false);
  f.setVisible("Panel14", false);
  f.setVisible("Panel11", false);
  f.setVisible("StringGrid7", false);
  f.setVisible("TForm4", false);
  win->mirror();
}

void WindowTest::formChangesAppearOnWidgets() {
  Form& f = win->workspace().form;
  f.setText("Button17", "銘柄収集");
  f.setText("BitBtn1", "tavrineⅠ");
  f.setText("Label21", "一行目\r二行目");
  f.setText("Edit5", "9999 テスト");
  f.setLines("Memo3", {"a", "b", "c"});
  f.setText("StatusBar1", "接続しました");
  f.setText("Button81", "A&B");
  // The picker, the collection panel and 銘柄追加更新 shown; the memo hidden
  // and 過去日 disabled (or all back).
  auto panels = [&f](bool on) {
    for (const char* c : {"Panel4", "Panel14", "Button104"}) f.setVisible(c, on);
    f.setVisible("Panel7", !on);
    f.setEnabled("Button25", !on);
  };
  panels(true);
  win->mirror();
  QCOMPARE(text("Button17"), QStringLiteral("銘柄収集"));
  QCOMPARE(text("BitBtn1"), QStringLiteral("tavrineⅠ"));
  QCOMPARE(text("Label21"), QStringLiteral("一行目\n二行目"));
  QCOMPARE(text("Edit5"), QStringLiteral("9999 テスト"));
  QCOMPARE(text("Memo3"), QStringLiteral("a\nb\nc"));
  QCOMPARE(text("StatusBar1"), QStringLiteral("接続しました"));
  QCOMPARE(text("Button81"), QStringLiteral("A&&B"));  // shown as "A&B", no mnemonic
  QVERIFY(w("Panel14")->isVisibleTo(win.get()));
  QVERIFY(w("Button104")->isVisibleTo(win.get()));
  QVERIFY(!w("Panel7")->isVisibleTo(win.get()));
  QVERIFY(!w("Button25")->isEnabled());

  // A memo edited by the user reaches the Form with CR LF line ends.
  auto* memo = static_cast<QPlainTextEdit*>(w("Memo3"));
  memo->setPlainText(QStringLiteral("x\ny"));
  QCOMPARE(f.text("Memo3"), std::string("x\r\ny"));

  // The number-only switch and the edit mask come and go with the Form.
  f.setNumberOnly("Edit6", false);
  f.setEditMask("MaskEdit1", "");
  win->mirror();
  QVERIFY(!static_cast<QLineEdit*>(w("Edit6"))->validator());
  QVERIFY(static_cast<QLineEdit*>(w("MaskEdit1"))->inputMask().isEmpty());
  f.setNumberOnly("Edit6", true);
  f.setEditMask("MaskEdit1", "9.99");
  win->mirror();
  QVERIFY(static_cast<QLineEdit*>(w("Edit6"))->validator());
  QVERIFY(static_cast<QLineEdit*>(w("MaskEdit1"))->inputMask().startsWith("0.00"));

  f.setText("Button17", "銘柄ボタン");
  f.setText("BitBtn1", "株価収集");
  f.setText("Button81", "S");
  panels(false);
  win->mirror();
  QVERIFY(!w("Panel4")->isVisibleTo(win.get()));
  QVERIFY(w("Button25")->isEnabled());
}

void WindowTest::errorsGoToTheStandardReport() {
  boxes.clear();
  QTest::keyClicks(w("Edit10"), "x");  // "1x": not a step count
  QCOMPARE(win->workspace().form.text("Edit10"), std::string("1x"));
  QTest::mouseClick(w("Button62"), Qt::LeftButton);
  QVERIFY(!boxes.empty());
  QVERIFY(boxes.back().error);
  QCOMPARE(QString::fromStdString(boxes.back().text),
           QStringLiteral("'1x' is not a valid integer value"));
  static_cast<QLineEdit*>(w("Edit10"))->setText("1");
  win->workspace().form.setText("Edit10", "1");
}

void WindowTest::stockListShowsAndEditsCells() {
  GridModel* m = win->model("StockList");
  QVERIFY(m);
  QCOMPARE(m->rowCount(), kDays + 1);
  QCOMPARE(m->columnCount(), 200);
  auto cell = [m](int c, int r) { return m->data(m->index(r, c), Qt::DisplayRole).toString(); };
  QCOMPARE(cell(0, 0), QStringLiteral("日付"));
  QCOMPARE(cell(2, 0), QStringLiteral("1332 日本水産"));
  QCOMPARE(cell(0, 1), QStringLiteral("2026/12/08"));
  QCOMPARE(cell(0, 2), QStringLiteral("2026/12/07"));
  QCOMPARE(cell(0, 6), QStringLiteral("2026/12/01"));  // over the weekend
  for (int r : {1, 2, 150, kDays})
    for (int c = 1; c <= 6; ++c) QCOMPARE(cell(c, r), QString::fromStdString(PriceOf(c, r)));
  QCOMPARE(cell(7, 1), QString());

  // While a handler waits for a page the list takes no edits.
  const auto locked = m->locked;
  m->locked = [] { return true; };
  QVERIFY(!(m->flags(m->index(5, 2)) & Qt::ItemIsEditable));
  QVERIFY(!m->setData(m->index(5, 2), QStringLiteral("1"), Qt::EditRole));
  m->locked = locked;
  QVERIFY(!locked());  // the window's lock follows the engine, idle here

  // Fixed cells stay; the others are edited in place and written to the table.
  QVERIFY(!(m->flags(m->index(0, 3)) & Qt::ItemIsEditable));
  QVERIFY(!(m->flags(m->index(3, 0)) & Qt::ItemIsEditable));
  editCell(win->grid("StringGrid1"), m->index(5, 2), "777");  // typed key by key
  QTRY_COMPARE(win->workspace().StockList.cell(2, 5), std::string("777"));
  win->workspace().StockList.set(2, 5, PriceOf(2, 5));
  win->mirror();
}

void WindowTest::editCell(GridView* view, const QModelIndex& idx, const char* typed) {
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

void WindowTest::repeatedCodesShowAsTheirCharacterAndSurviveEdits() {
  // ED40 is the NEC-selected code of 纊, whose usual code is FA5C: the file's
  // bytes stay ED40, the window shows 纊.
  const std::string kept = Cp932ToUtf8("\xED\x40");
  const QString shown = QString::fromStdString(Cp932ToUtf8("\xFA\x5C"));
  QCOMPARE(shown, QStringLiteral("纊"));
  Workspace& ws = win->workspace();
  GridModel* m = win->model("StockList");
  ws.StockList.set(3, 7, kept + "印");
  win->mirror();
  QCOMPARE(m->data(m->index(7, 3), Qt::DisplayRole).toString(), shown + QStringLiteral("印"));
  QCOMPARE(m->data(m->index(7, 3), Qt::EditRole).toString(), shown + QStringLiteral("印"));

  // Another cell edited, this one opened and left as it was: both saved
  // through the list's own save, the code comes back as ED40.
  GridView* view = win->grid("StringGrid1");
  editCell(view, m->index(7, 2), "555");
  QTRY_COMPARE(ws.StockList.cell(2, 7), std::string("555"));
  editCell(view, m->index(7, 3), "");
  QCOMPARE(ws.StockList.cell(3, 7), kept + "印");
  const std::string saved = dir.path().toStdString() + "/list-saved.csv";
  SaveTableFile(ws.StockList, saved);
  const std::string bytes = ReadBytes(saved);
  QVERIFY(bytes.find(",555,\xED\x40\x88\xF3,") != std::string::npos);
  // Typing the character itself is a change: it is written with its usual code.
  editCell(view, m->index(7, 3), "纊");
  QTRY_COMPARE(ws.StockList.cell(3, 7), shown.toStdString());
  ws.StockList.set(2, 7, PriceOf(2, 7));
  ws.StockList.set(3, 7, PriceOf(3, 7));
  win->mirror();

  // The memo: a line the user edits is taken from the box, the others keep
  // their codes, and the memo's save writes them as they were.
  Form& f = ws.form;
  const std::string memoPath = dir.path().toStdString() + "/Fname.txt";
  const std::string before = ReadBytes(memoPath);
  WriteBytes(memoPath, "\x83\x81\x83\x82\r\n\xED\x40\x87\x90\r\n");  // メモ / ED40 8790
  f.setLines("Memo3", ReadLines(memoPath));
  win->mirror();
  QCOMPARE(text("Memo3"), QStringLiteral("メモ\n纊≒"));
  auto* memo = static_cast<QPlainTextEdit*>(w("Memo3"));
  memo->moveCursor(QTextCursor::Start);
  QTest::keyClicks(memo, "x");
  QCOMPARE(f.lines("Memo3"), (std::vector<std::string>{"xメモ", Cp932ToUtf8("\xED\x40\x87\x90")}));
  QTest::mouseClick(w("Button18"), Qt::LeftButton);
  QCOMPARE(ReadBytes(memoPath), std::string("x\x83\x81\x83\x82\r\n\xED\x40\x87\x90\r\n"));
  WriteBytes(memoPath, before);
  f.setLines("Memo3", ReadLines(memoPath));

  // A text box keeps what it held while it shows it unchanged.
  const std::string held = kept + "7203";
  QCOMPARE(Shown(held), shown + QStringLiteral("7203"));
  QCOMPARE(FromQt(Shown(held), held), held);
  QCOMPARE(FromQt(shown + QStringLiteral("7204"), held), shown.toStdString() + "7204");
  win->mirror();
}

void WindowTest::gridsRefreshOnlyWhenTheTableMoved() {
  GridModel* m = win->model("StatsTable");
  QSignalSpy changed(m, &QAbstractItemModel::dataChanged);
  QSignalSpy reset(m, &QAbstractItemModel::modelReset);
  win->mirror();
  QCOMPARE(changed.count(), 0);
  WorkTable& t = win->workspace().StatsTable;
  t.set(3, 4, "x");
  t.set(4, 4, "y");
  win->mirror();
  QCOMPARE(changed.count(), 1);
  QCOMPARE(reset.count(), 0);
  QCOMPARE(m->data(m->index(4, 3), Qt::DisplayRole).toString(), QStringLiteral("x"));
  const int rows = t.rowCount();
  t.setRowCount(rows + 5);
  win->mirror();
  QCOMPARE(reset.count(), 1);
  QCOMPARE(m->rowCount(), rows + 5);
  t.setRowCount(rows);
  win->mirror();
}

void WindowTest::chartDrawsTheModel() {
  ChartWidget* c = win->chart();
  ChartModel& m = win->workspace().chart;
  m.clearAll();
  // Point counts per line, some lines empty; the 5-day line is filled too.
  const int counts[ChartModel::kLines] = {40, 40, 38, 0, 12, 1, 30, 30, 0, 5, 7, 40, 39};
  for (int pos = 0; pos < ChartModel::kLines; ++pos)
    for (int i = 0; i < counts[pos]; ++i) m.add(pos, i + 1, 500 + pos * 10 + i, DateOfRow(i + 1));
  QVERIFY(c->refresh());
  QVERIFY(!c->refresh());  // nothing moved since
  for (int pos = 0; pos < ChartModel::kLines; ++pos) {
    QCOMPARE(c->series(pos)->count(), counts[pos]);
    QCOMPARE(c->series(pos)->objectName(), QString::fromStdString(m.line(pos).name));
    QCOMPARE(c->series(pos)->pen().color().rgb() & 0xFFFFFF, m.line(pos).color);
  }
  QCOMPARE(c->series(0)->at(5), QPointF(6, 505));
  QVERIFY(!c->series(ChartModel::idouheikin5)->isVisible());
  QVERIFY(c->series(ChartModel::owarine)->isVisible());
  QCOMPARE(c->series(ChartModel::owarine)->pen().width(), 2);
  QCOMPARE(c->series(ChartModel::idouheikin5)->pen().width(), 1);
  const QStringList legend = c->legendEntries();
  QCOMPARE(legend.size(), 11);
  QCOMPARE(legend.first(), QStringLiteral("終値"));
  QCOMPARE(legend.last(), QStringLiteral("0軸"));
  QVERIFY(!legend.contains(QStringLiteral("下線")));
  QVERIFY(!legend.contains(QStringLiteral("5日移動平均線")));
  // Automatic ranges: x over the rows drawn, y over every shown value
  // (the 5-day line, not shown, does not count).
  QCOMPARE(c->dateAxis()->min(), 1.0);
  QCOMPARE(c->dateAxis()->max(), 40.0);
  QVERIFY(c->dateAxis()->isReverse());
  QVERIFY(c->valueAxis()->min() <= 500);
  QVERIFY(c->valueAxis()->max() >= 500 + 120 + 38);
  // Date labels: the newest row carries one, and no two overlap.
  const QStringList labels = c->dateAxis()->categoriesLabels();
  QVERIFY(!labels.isEmpty());
  QCOMPARE(labels.first(), QString::fromStdString(DateOfRow(1)));
  QCOMPARE(c->dateAxis()->endValue(labels.first()), 1.0);
  QVERIFY(labels.size() * 70 <= c->chart()->plotArea().width());
  QCOMPARE(c->dateAxisTitle(), QStringLiteral("年月日"));
  QCOMPARE(c->valueAxisTitles(), (QStringList{QStringLiteral("指数"), QStringLiteral("株価")}));

  // The engine clears a line: the next mirror empties it on screen.
  m.clear(ChartModel::owarine);
  win->mirror();
  QCOMPARE(c->series(0)->count(), 0);
}

void WindowTest::helpWindowFaces() {
  Form& f = win->workspace().form;
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(help->isVisible());
  QCOMPARE(help->geometry().size(), QSize(639, 469));
  QVERIFY(help->button1()->isVisible());
  QVERIFY(help->button2()->isVisible());
  QVERIFY(!help->panel()->isVisible());
  QCOMPARE(help->button2()->size(), QSize(161, 26));
  QCOMPARE(help->button1()->size(), QSize(169, 26));
  QVERIFY(help->button1()->geometry().right() < help->button2()->geometry().left());
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(!help->isVisible());

  win->workspace().help.ShowText("規則の説明\r二行目");
  win->mirror();
  QVERIFY(help->isVisible());
  QVERIFY(help->panel()->isVisible());
  QVERIFY(!help->button1()->isVisible());
  QVERIFY(!help->button2()->isVisible());
  QCOMPARE(help->label()->text(), QStringLiteral("規則の説明\n二行目"));
  QCOMPARE(help->label()->font().pixelSize(), 16);
  QCOMPARE(help->panel()->palette().color(QPalette::Window), QColor(0xE8, 0xE8, 0xE8));
  // The close box hides the window; the next "利用説明" opens it again.
  help->close();
  QVERIFY(!f.visible("TForm4"));
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(help->isVisible());
  QVERIFY(!help->panel()->isVisible());
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(!help->isVisible());
}

void WindowTest::browserSaysWhenHostIsUnreachable() {
  QSignalSpy shown(help->browser(), &ManualBrowser::pageShown);
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QTest::mouseClick(help->button1(), Qt::LeftButton);
  QVERIFY(shown.count() > 0 || shown.wait(10000));
  QCOMPARE(shown.last().at(1).toBool(), false);
  QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("接続できませんでした")));
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
}

std::vector<std::uint64_t> WindowTest::stateVersions() {
  Workspace& ws = win->workspace();
  std::vector<std::uint64_t> v;
  for (WorkTable* t : ws.tables()) v.push_back(t->version());
  v.push_back(ws.form.version());
  v.push_back(ws.chart.version());
  return v;
}

void WindowTest::hover(const QPointF& at) {
  ChartWidget* c = win->chart();
  QMouseEvent move(QEvent::MouseMove, at, c->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(c->viewport(), &move);
}

void WindowTest::crosshairReadsTheDayUnderThePointer() {
  setChart();
  ChartModel& m = win->workspace().chart;
  // 25-day average on every day, 75-day only from day 5 on, the inactive
  // 5-day line on every day (never listed).
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::idouheikinn25, i + 1, 95.5 + i, "2026/11/" + std::to_string(10 + i));
  for (int i = 5; i < 10; ++i)
    m.add(ChartModel::idouheikinn75, i + 1, 90 + i, "2026/11/" + std::to_string(10 + i));
  for (int i = 0; i < 10; ++i)
    m.add(ChartModel::idouheikin5, i + 1, 1, "2026/11/" + std::to_string(10 + i));
  win->mirror();
  ChartWidget* c = win->chart();
  const QString edit2 = text("Edit2");
  const auto before = stateVersions();

  // A little beside the fourth day, closer to it than to its neighbours.
  const QPointF p3 = c->pointPosition(ChartModel::owarine, 3);
  const QPointF p4 = c->pointPosition(ChartModel::owarine, 4);
  hover(QPointF(p3.x() + (p4.x() - p3.x()) / 4, p3.y() + 30));
  QVERIFY(c->readoutShown());
  QCOMPARE(c->readoutIndex(), 3);
  QCOMPARE(c->readoutText(), QStringLiteral("2026/11/13\n終値 130\n25日平均 98.5"));

  // Day 7 has both averages.
  hover(c->pointPosition(ChartModel::owarine, 7));
  QCOMPARE(c->readoutIndex(), 7);
  QCOMPARE(c->readoutText(), QStringLiteral("2026/11/17\n終値 170\n25日平均 102.5\n75日平均 97"));

  // Moving the pointer writes nothing anywhere.
  QCOMPARE(text("Edit2"), edit2);
  QVERIFY(stateVersions() == before);

  // Outside the plot area, and when the pointer leaves the chart, it goes.
  hover(QPointF(2, 2));
  QVERIFY(!c->readoutShown());
  hover(c->pointPosition(ChartModel::owarine, 2));
  QVERIFY(c->readoutShown());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(c, &leave);
  QVERIFY(!c->readoutShown());

  // A press still picks the date as before.
  act("chart1", "press", "5");
  QCOMPARE(text("Edit2"), QStringLiteral("2026/11/15"));
  win->workspace().form.setText("Edit2", edit2.toStdString());
  win->mirror();
}

void WindowTest::arrowKeysStepTheDays() {
  ChartWidget* c = win->chart();
  c->setFocus();
  events.clear();
  QTest::keyClick(c, Qt::Key_Left);
  QTest::keyClick(c, Qt::Key_Right);
  QTest::keyClick(c, Qt::Key_Up);  // not a day step
  QStringList got;
  for (const auto& [control, ev] : events)
    got << QString::fromStdString(control) + ":" + QString::number(ev.kind);
  QCOMPARE(got, (QStringList{QStringLiteral("Button62:%1").arg(int(Event::Click)),
                             QStringLiteral("Button61:%1").arg(int(Event::Click))}));
}

void WindowTest::statsCsvAndChartImage() {
  // The grid's table as it stands, with a cell that needs quoting.
  WorkTable& stats = win->workspace().StatsTable;
  stats.set(12, 5, "a,\"b\" c");
  stats.set(9, 40, "x");
  const QString csv = dir.path() + "/stats.csv";
  QVERIFY(win->saveStatsCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.rowCount(), 41);
  for (int r = 0; r <= 40; ++r)
    for (int c = 0; c < stats.colCount(); ++c) {
      const std::string& want = stats.cell(c, r);
      if (IsBlank(want))
        QVERIFY2(IsBlank(back.cell(c, r)), qPrintable(QStringLiteral("%1,%2").arg(c).arg(r)));
      else
        QCOMPARE(back.cell(c, r), want);
    }
  stats.set(12, 5, "");
  stats.set(9, 40, "");

  // The chart at the size shown, the readout left out.
  setChart();
  ChartWidget* chart = win->chart();
  hover(chart->pointPosition(ChartModel::owarine, 4));
  QVERIFY(chart->readoutShown());
  const QString png = dir.path() + "/chart.png";
  QVERIFY(win->saveChartImage(png));
  QImage img(png);
  QCOMPARE(img.size(), chart->size() * chart->devicePixelRatio());
  QVERIFY(chart->readoutShown());  // back after the save
  // The close line's colour is in the picture.
  bool closeDrawn = false;
  for (int y = 0; y < img.height() && !closeDrawn; ++y)
    for (int x = 0; x < img.width() && !closeDrawn; ++x)
      closeDrawn = (img.pixel(x, y) & 0xFFFFFF) == 0x004080;
  QVERIFY(closeDrawn);

  const QString pdf = dir.path() + "/chart.pdf";
  QVERIFY(win->saveChartImage(pdf));
  QFile f(pdf);
  QVERIFY(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  QVERIFY(bytes.startsWith("%PDF"));
  // One page, as large as the chart on screen (a point a pixel).
  QCOMPARE(
      bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1);
  const QRegularExpressionMatch box =
      QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"))
          .match(QString::fromLatin1(bytes));
  QVERIFY(box.hasMatch());
  QCOMPARE(qRound(box.captured(1).toDouble()), chart->width());
  QCOMPARE(qRound(box.captured(2).toDouble()), chart->height());

  // A folder that is not there: a report, no file.
  boxes.clear();
  QVERIFY(!win->saveStatsCsv(dir.path() + "/none/stats.csv"));
  QVERIFY(!win->saveChartImage(dir.path() + "/none/chart.png"));
  QCOMPARE(boxes.size(), std::size_t(2));
  QVERIFY(boxes[0].error && boxes[1].error);
  QVERIFY(!QFile::exists(dir.path() + "/none/stats.csv"));
}

void WindowTest::rulePanelMakesRoomForTheScanButton() {
  show(QStringLiteral("Panel11"));
  QWidget* panel = w("Panel11");
  QWidget* scan = w("ScanButton");
  QVERIFY(scan && scan->parentWidget() == panel);
  QVERIFY(scan->isVisibleTo(win.get()));
  QVERIFY(panel->rect().contains(scan->geometry()));
  for (const char* b : {"Button73", "Button74", "Button75", "Button76", "Button77", "Button1",
                        "Button83", "Button79", "Button78"}) {
    QVERIFY2(!w(b)->geometry().intersects(scan->geometry()), b);
    QVERIFY2(panel->rect().contains(w(b)->geometry()), b);
  }
  // The direction toggle stays in sight beside the panel.
  QVERIFY(!panel->geometry().intersects(w("Button47")->geometry()));
  QCOMPARE(static_cast<QPushButton*>(scan)->text(), QStringLiteral("一括検証"));
  // The save buttons sit beside the statistics grid.
  QVERIFY(w("StatsCsvButton")->isVisibleTo(win.get()));
  QVERIFY(w("ChartImageButton")->isVisibleTo(win.get()));
  win->workspace().form.setVisible("Panel11", false);
  win->mirror();
}

// Opens the scan window and runs a scan that gives these rows.
ScanWindow* WindowTest::scanWith(std::vector<ScanRow> rows, bool shortTerm) {
  ScanWindow* s = win->openScan();
  s->runner = [rows](const WorkTable&, const ScanOptions& o) {
    if (o.progress) o.progress(6, 6);
    return rows;
  };
  s->setShortTerm(shortTerm);
  s->start();
  if (!QTest::qWaitFor([s] { return !s->running(); }, 10000)) return nullptr;
  return s;
}

void WindowTest::scanTableSortsAndPicks() {
  auto row = [](const char* code, const char* name, int tag, const char* rule, int trades,
                const char* avg, const char* rate) {
    ScanRow r;
    r.code = code;
    r.name = name;
    r.tag = tag;
    r.rule = rule;
    r.trades = trades;
    r.average = avg;
    r.annualRate = rate;
    return r;
  };
  // Handed over out of order; "10.1" is the highest rate though it sorts
  // low as text, and 1301 and 1801 tie on the rate.
  std::vector<ScanRow> rows = {row("1801", "大成建設", 0, "S1", 40, "1.1", "2.5"),
                               row("1332", "日本水産", 3, "G3", 7, "0.98", "1.2"),
                               row("1605", "国際石油", 9, "ST", 0, "", "0"),
                               row("1301", "極洋", 1, "S2", 12, "1.05", "2.5"),
                               row("1721", "コムシス", 8, "乖離", 3, "1.3", "10.1")};
  ScanWindow* s = scanWith(rows, false);
  QVERIFY(s);
  QVERIFY(s->isVisible());
  QCOMPARE(s->directionLabel()->text(), win->workspace().SeriesTable.cell(7, 4863) == "1"
                                            ? QStringLiteral("入買")
                                            : QStringLiteral("入売"));
  auto order = [s] {
    QStringList codes;
    for (const ScanRow& r : s->shownRows()) codes << QString::fromStdString(r.code);
    return codes.join(' ');
  };
  QCOMPARE(order(), QStringLiteral("1721 1301 1801 1332 1605"));  // annual rate, highest first
  QCOMPARE(s->table()->horizontalHeader()->sortIndicatorSection(), int(ScanModel::AnnualRate));
  s->table()->sortByColumn(ScanModel::Trades, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1605 1721 1332 1301 1801"));
  s->table()->sortByColumn(ScanModel::Rule, Qt::AscendingOrder);  // button order S1 S2 G3 乖離 ST
  QCOMPARE(order(), QStringLiteral("1801 1301 1332 1721 1605"));
  s->table()->sortByColumn(ScanModel::Average, Qt::DescendingOrder);  // no value last
  QCOMPARE(order(), QStringLiteral("1721 1801 1301 1332 1605"));
  s->table()->sortByColumn(ScanModel::Code, Qt::DescendingOrder);
  QCOMPARE(order(), QStringLiteral("1801 1721 1605 1332 1301"));

  // The table exported in the order shown.
  const QString csv = dir.path() + "/scan.csv";
  QVERIFY(s->saveCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.rowCount(), 6);
  QCOMPARE(back.cell(6, 0), std::string("年利率"));
  QCOMPARE(back.cell(0, 1), std::string("1801"));
  QCOMPARE(back.cell(2, 4), std::string("G3"));
  QCOMPARE(back.cell(6, 2), std::string("10.1"));

  // A double click on 1301 / S2 types the code, presses Enter and "S2".
  auto dblClick = [s](const char* code) {
    const auto shown = s->shownRows();
    int at = -1;
    for (std::size_t i = 0; i < shown.size(); ++i)
      if (shown[i].code == code) at = static_cast<int>(i);
    QTableView* t = s->table();
    const QModelIndex idx = t->model()->index(at, ScanModel::Name);
    t->scrollTo(idx);
    // The press of a real double click comes first; QTest sends only the
    // second half to a widget.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(idx).center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(idx).center());
  };
  auto sequence = [this] {
    QStringList got;
    for (const auto& [control, ev] : events) {
      QString e = QString::fromStdString(control) + ":" + QString::number(ev.kind);
      if (ev.kind == Event::KeyPress) e += ":" + QString::number(ev.key);
      got << e;
    }
    return got.join(' ');
  };
  const QString C = QString::number(Event::Click), T = QString::number(Event::Change),
                K = QString::number(Event::KeyPress);
  events.clear();
  dblClick("1301");
  QCOMPARE(sequence(), QStringLiteral("Edit1:%1 Edit1:%2:13 Button38:%3").arg(T, K, C));
  QCOMPARE(text("Edit1"), QStringLiteral("1301"));
  QCOMPARE(text("Edit5"), QStringLiteral("1301 極洋"));
  QCOMPARE(win->workspace().StatsTable.cell(13, 3), std::string("S2"));

  // From a short-term scan a term-dependent rule switches to the short set
  // first; S1 .. S3 do not depend on it.
  s = scanWith(rows, true);
  QVERIFY(s);
  events.clear();
  dblClick("1332");
  // The selection's long pass leaves term mode "1": two presses reach "短".
  QCOMPARE(sequence(),
           QStringLiteral("Edit1:%1 Edit1:%2:13 Button79:%3 Button79:%3 Button73:%3").arg(T, K, C));
  QCOMPARE(text("Edit5"), QStringLiteral("1332 日本水産"));
  QCOMPARE(text("Button79"), QStringLiteral("短"));
  QCOMPARE(win->workspace().StatsTable.cell(13, 3), std::string("G3短"));
  events.clear();
  dblClick("1801");
  QCOMPARE(sequence(), QStringLiteral("Edit1:%1 Edit1:%2:13 Button37:%3").arg(T, K, C));

  // A code the list does not hold: the selection says so, no rule runs.
  s = scanWith({row("9999", "無い銘柄", 4, "G4", 1, "1", "1")}, false);
  QVERIFY(s);
  events.clear();
  boxes.clear();
  dblClick("9999");
  QVERIFY(!sequence().contains("Button74"));
  QVERIFY(!boxes.empty());
  s->close();
}

void WindowTest::scanRunsBehindTheWindow() {
  ScanWindow* s = win->openScan();
  std::atomic<bool> entered{false};
  std::vector<ScanRow> partial(1);
  partial[0].code = "1301";
  partial[0].rule = "S1";
  // Reports 3 of 10 stocks, then waits for the cancel.
  s->runner = [&entered, partial](const WorkTable& list, const ScanOptions& o) {
    if (list.cell(1, 0) != "1301 極洋") throw std::runtime_error("not the stock list");
    o.progress(3, 10);
    entered = true;
    while (!o.cancel->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return partial;
  };
  const auto before = stateVersions();
  s->start();
  QVERIFY(s->running());
  QVERIFY(!s->runButton()->isEnabled());
  QVERIFY(s->cancelButton()->isEnabled());
  QTRY_VERIFY(entered.load());
  QTRY_COMPARE(s->progressBar()->value(), 3);
  QCOMPARE(s->progressBar()->maximum(), 10);

  // The main window takes clicks while the scan runs.
  QVERIFY(!w("Panel11")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Label5"), Qt::LeftButton);
  QVERIFY(w("Panel11")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Label5"), Qt::LeftButton);
  QVERIFY(s->running());

  QTest::mouseClick(s->cancelButton(), Qt::LeftButton);
  QTRY_VERIFY(!s->running());
  QVERIFY(s->statusLabel()->text().contains(QStringLiteral("中止")));
  QCOMPARE(s->model()->rowCount(), 1);
  QVERIFY(s->runButton()->isEnabled());
  // Only the Label5 toggles wrote to the window's state; the tables are
  // as they were.
  const auto after = stateVersions();
  for (std::size_t i = 0; i + 2 < before.size(); ++i) QCOMPARE(after[i], before[i]);
  QCOMPARE(after.back(), before.back());  // chart
  s->runner = RunScan;
}

void WindowTest::realScanMatchesTheRuleButton() {
  ScanWindow* s = win->openScan();
  s->runner = RunScan;
  s->setShortTerm(false);
  const auto before = stateVersions();
  QSignalSpy done(s, &ScanWindow::finished);
  s->start();
  // Events keep flowing while it works.
  int turns = 0;
  while (s->running()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ++turns;
    QVERIFY(turns < 1000000);
  }
  QCOMPARE(done.count(), 1);
  QVERIFY(stateVersions() == before);
  const auto rows = s->shownRows();
  if (rows.empty()) QSKIP("the stock list is too short for the scan");
  QCOMPARE(rows.size() % 10, std::size_t(0));
  // The S1 row of 1721 shows what "S1" shows in the main window.
  ScanRow want;
  for (const ScanRow& r : rows)
    if (r.code == "1721" && r.tag == 0) want = r;
  QCOMPARE(want.code, std::string("1721"));
  win->pickStockRule("1721", 0, false);
  const WorkTable& t = win->workspace().StatsTable;
  QCOMPARE(t.cell(13, 3), std::string("S1"));
  QCOMPARE(IsBlank(t.cell(11, 3)) ? 0 : std::stoi(t.cell(11, 3)), want.trades);
  QCOMPARE(t.cell(8, 4), want.annualRate);
  if (want.trades > 0) {
    QCOMPARE(t.cell(8, 3), want.average);
    QCOMPARE(t.cell(11, 4), want.perYear);
  }
  s->close();
}

// The marker line as drawn, as (x, y) pairs.
static QList<QPointF> Drawn(ChartWidget* c, int pos) { return c->markers(pos)->points(); }

static QList<QPointF> InModel(const ChartModel& m, int pos) {
  QList<QPointF> pts;
  for (const ChartPoint& p : m.line(pos).points) pts.append(QPointF(p.x, p.y));
  return pts;
}

void WindowTest::tradeMarkersFollowTheRuleAndTheToggle() {
  Workspace& ws = win->workspace();
  ChartWidget* c = win->chart();
  const ChartModel& m = ws.chart;
  // The wiring table's press of "売買" may have left them hidden.
  if (!m.markersVisible()) QTest::mouseClick(w("Button130"), Qt::LeftButton);
  win->pickStockRule("1721", 0, false);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S1"));
  QVERIFY(m.markersVisible());
  QVERIFY(!m.line(ChartModel::buys).points.empty());
  QVERIFY(!m.line(ChartModel::sells).points.empty());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(Drawn(c, pos), InModel(m, pos));
    QVERIFY(c->markers(pos)->isVisible());
    QCOMPARE(c->markers(pos)->objectName(), QString::fromStdString(m.line(pos).name));
    QCOMPARE(c->markers(pos)->attachedAxes().size(), 2);
  }
  // Each marker sits on a close the chart draws.
  const QList<QPointF> closes = InModel(m, ChartModel::owarine);
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)})
    for (const QPointF& p : Drawn(c, pos)) QVERIFY(closes.contains(p));
  const double lo = c->valueAxis()->min(), hi = c->valueAxis()->max();
  const double left = c->dateAxis()->min(), right = c->dateAxis()->max();

  // A press on a buy marker picks what the lines under it give, never a marker.
  const ChartPoint& buy = m.line(ChartModel::buys).points.front();
  int onClose = -1;
  for (int i = 0; i < closes.size(); ++i)
    if (closes[i] == QPointF(buy.x, buy.y)) onClose = i;
  QVERIFY(onClose >= 0);
  const ChartHits hits = c->hitTest(c->pointPosition(ChartModel::owarine, onClose));
  QVERIFY(!hits.empty());
  for (const auto& [line, index] : hits) QVERIFY(line != "buys" && line != "sells");
  // The readout lists the trade under the day.
  hover(c->pointPosition(ChartModel::owarine, onClose));
  QVERIFY(c->readoutText().contains(QStringLiteral("仕掛け")));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(c, &leave);

  // "売買" hides them, its second press brings them back; the ranges stay.
  QCOMPARE(w("Button130")->toolTip(), QStringLiteral("売買の印を表示/非表示"));
  QVERIFY(w("Button130")->isVisibleTo(win.get()));
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(!m.markersVisible());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(c->markers(pos)->count(), 0);
    QVERIFY(!c->markers(pos)->isVisible());
  }
  QVERIFY(!m.line(ChartModel::buys).points.empty());  // kept for the next press
  QCOMPARE(c->valueAxis()->min(), lo);
  QCOMPARE(c->valueAxis()->max(), hi);
  QCOMPARE(c->dateAxis()->min(), left);
  QCOMPARE(c->dateAxis()->max(), right);
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(m.markersVisible());
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)}) {
    QCOMPARE(Drawn(c, pos), InModel(m, pos));
    QVERIFY(c->markers(pos)->isVisible());
  }

  // Another rule: the markers are those of its trades.
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S2"));
  for (int pos : {int(ChartModel::buys), int(ChartModel::sells)})
    QCOMPARE(Drawn(c, pos), InModel(m, pos));

  // The pictures of the lines are the same with the markers shown or not:
  // the marker colours show only while they are.
  auto hasColour = [c](QRgb colour) {
    const QImage img = c->grab().toImage();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) == colour) return true;
    return false;
  };
  QVERIFY(hasColour(m.line(ChartModel::buys).color));
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
  QVERIFY(!hasColour(m.line(ChartModel::buys).color));
  QTest::mouseClick(w("Button130"), Qt::LeftButton);
}

void WindowTest::backtestViewFollowsTheRule() {
  Workspace& ws = win->workspace();
  win->pickStockRule("1721", 0, false);
  QVERIFY(!win->backtestView() || !win->backtestView()->isVisible());
  QTest::mouseClick(w("BacktestButton"), Qt::LeftButton);
  BacktestView* v = win->backtestView();
  QVERIFY(v);
  QVERIFY(v->isVisible());
  QVERIFY(v->isWindow());
  QCOMPARE(static_cast<QPushButton*>(w("BacktestButton"))->text(), QStringLiteral("検証図"));
  // What a view of the same figures shows.
  auto expected = [&ws] {
    BacktestView ref;
    ref.show(ws.backtest.figures(), ws.StatsTable);
    return ref.summaryText();
  };
  QVERIFY(ws.backtest.figures().trades > 0);
  QCOMPARE(v->summaryText(), expected());
  QVERIFY(
      v->summaryText().startsWith(QStringLiteral("取引数 %1").arg(ws.backtest.figures().trades)));
  QCOMPARE(v->equitySeries()->count() > 0, true);
  QVERIFY(v->heading().contains(QStringLiteral("1721")));
  QVERIFY(v->heading().contains(QStringLiteral("S1")));
  const QString s1 = v->summaryText();

  // A second rule press: the open view follows.
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(ws.StatsTable.cell(13, 3), std::string("S2"));
  QCOMPARE(v->summaryText(), expected());
  QVERIFY(v->heading().contains(QStringLiteral("S2")));
  QVERIFY(!v->heading().contains(QStringLiteral("S1")));
  const bool buy = ws.SeriesTable.cell(7, 4863) == "1";
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入買") : QStringLiteral("入売")));
  // The direction: the heading says which.
  QTest::mouseClick(w("Button47"), Qt::LeftButton);
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入売") : QStringLiteral("入買")));
  QCOMPARE(v->summaryText(), expected());
  QTest::mouseClick(w("Button47"), Qt::LeftButton);
  QVERIFY(v->heading().endsWith(buy ? QStringLiteral("入買") : QStringLiteral("入売")));
  // Back to S1: the same figures as at first.
  QTest::mouseClick(w("Button37"), Qt::LeftButton);
  QCOMPARE(v->summaryText(), s1);

  // Saved as a PNG the size of the view, without its own button.
  QVERIFY(v->imageButton()->isVisible());
  const QString png = dir.path() + "/figures.png";
  QVERIFY(v->saveImage(png).isEmpty());
  QImage img(png);
  QCOMPARE(img.size(), v->size() * v->devicePixelRatio());
  QVERIFY(v->imageButton()->isVisible());
  QVERIFY(!v->saveImage(dir.path() + "/none/figures.png").isEmpty());

  // Closed, it no longer follows; opened again, it catches up.
  v->close();
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QVERIFY(v->heading().contains(QStringLiteral("S1")));
  QCOMPARE(win->openBacktest(), v);
  QVERIFY(v->heading().contains(QStringLiteral("S2")));
  QCOMPARE(v->summaryText(), expected());
  v->close();
}

void WindowTest::scanTableShowsTheFigureColumns() {
  auto row = [](const char* code, std::optional<double> pf, std::optional<double> dd) {
    ScanRow r;
    r.code = code;
    r.name = "名";
    r.rule = "S1";
    r.trades = 3;
    r.annualRate = "1";
    r.figures.trades = 3;
    r.figures.profitFactor = pf;
    r.figures.maxDrawdown = dd;
    return r;
  };
  // As text "9.5" would come before "10.25" and "1.5" between them.
  ScanWindow* s = scanWith({row("1301", 9.5, 0.2), row("1332", std::nullopt, 0.05),
                            row("1605", 10.25, 0.125), row("1721", 1.5, 0.3)},
                           false);
  QVERIFY(s);
  ScanModel* model = s->model();
  QCOMPARE(model->columnCount(), 14);
  QCOMPARE(int(ScanModel::kColumns), 14);
  for (int c = 0; c < 14; ++c)
    QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString::fromStdString(ScanColumnHeadings()[static_cast<std::size_t>(c)]));
  QCOMPARE(model->headerData(ScanModel::ProfitFactor, Qt::Horizontal, Qt::DisplayRole).toString(),
           QStringLiteral("PF"));
  auto order = [s] {
    QStringList codes;
    for (const ScanRow& r : s->shownRows()) codes << QString::fromStdString(r.code);
    return codes.join(' ');
  };
  s->table()->sortByColumn(ScanModel::ProfitFactor, Qt::DescendingOrder);
  // No value counts below every number.
  QCOMPARE(order(), QStringLiteral("1605 1301 1721 1332"));
  s->table()->sortByColumn(ScanModel::ProfitFactor, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1332 1721 1301 1605"));
  s->table()->sortByColumn(ScanModel::MaxDrawdown, Qt::AscendingOrder);
  QCOMPARE(order(), QStringLiteral("1332 1605 1301 1721"));
  // The figures show in the engine's one form (the tooltip too), percentages
  // as %, right-aligned as numbers.
  const QModelIndex pf = model->index(3, ScanModel::ProfitFactor);  // 1721
  QCOMPARE(model->data(pf, Qt::DisplayRole).toString(), QStringLiteral("1.50"));
  QCOMPARE(model->data(pf, Qt::ToolTipRole).toString(), QStringLiteral("1.50"));
  const QModelIndex dd = model->index(1, ScanModel::MaxDrawdown);  // 1605
  QCOMPARE(model->data(dd, Qt::DisplayRole).toString(), QStringLiteral("12.5%"));
  const QModelIndex none = model->index(0, ScanModel::ProfitFactor);  // 1332
  QCOMPARE(model->data(none, Qt::DisplayRole).toString(),
           QString::fromStdString(FigureText(std::optional<double>())));
  for (int c = ScanModel::MaxDrawdown; c < ScanModel::kColumns; ++c)
    QVERIFY(model->data(model->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignRight);
  // Every column has room on screen.
  for (int c = 0; c < ScanModel::kColumns; ++c) QVERIFY(s->table()->columnWidth(c) >= 40);
  // The CSV carries them.
  const QString csv = dir.path() + "/scan14.csv";
  QVERIFY(s->saveCsv(csv));
  WorkTable back("StockList", 200, 1);
  LoadTableFile(back, csv.toStdString(), 200);
  QCOMPARE(back.cell(ScanModel::ProfitFactor, 0), std::string("PF"));
  QCOMPARE(back.cell(ScanModel::MaxDrawdown, 1), std::string("5.0%"));
  s->close();
}

void WindowTest::importButtonBesideThePriceCollection() {
  auto* import = qobject_cast<QPushButton*>(w("ImportButton"));
  QVERIFY(import);
  QCOMPARE(import->text(), QStringLiteral("取込"));
  QVERIFY(import->toolTip().contains(QStringLiteral("Ctrl+I")));
  QVERIFY(import->isVisibleTo(win.get()));
  QWidget* panel = w("Panel1");
  QCOMPARE(import->parentWidget(), panel);
  QVERIFY(panel->rect().contains(import->geometry()));
  // Under "株価収集", in its column, covering no other control of the panel.
  QCOMPARE(import->x(), w("BitBtn1")->x());
  QVERIFY(import->y() > w("BitBtn1")->geometry().bottom());
  for (QObject* o : panel->children()) {
    auto* other = qobject_cast<QWidget*>(o);
    if (!other || other == import || other->objectName() == "Panel11") continue;
    QVERIFY2(!other->geometry().intersects(import->geometry()), qPrintable(other->objectName()));
  }
  // Ctrl+I opens the same import.
  bool ctrlI = false;
  for (QShortcut* k : win->findChildren<QShortcut*>())
    ctrlI |= k->key() == QKeySequence(Qt::CTRL | Qt::Key_I);
  QVERIFY(ctrlI);
  // With a list that holds stocks the guide stays away.
  QVERIFY(!w("ImportGuide")->isVisibleTo(win.get()));
}

void WindowTest::firstStartShowsTheGuideUntilAnImport() {
  // A data folder with nothing in it, as a first start has it.
  QTemporaryDir empty;
  QVERIFY(empty.isValid());
  HomeSwap swap(empty.path());

  std::vector<Box> got;
  WindowOptions o;
  o.messageHook = [&got](const std::string& t, bool e) { got.push_back({t, e}); };
  auto first = std::make_unique<MainWindow>(o);
  first->resize(1280, 800);
  first->show();
  QVERIFY(QTest::qWaitForWindowExposed(first.get()));
  // A folder without a list or a calendar is a first start: no error.
  QVERIFY(got.empty());
  QWidget* guide = first->widget("ImportGuide");
  QVERIFY(guide && guide->isVisibleTo(first.get()));
  QVERIFY(first->chart()->geometry().contains(guide->geometry()));
  QVERIFY(guide->findChild<QPushButton*>(QStringLiteral("ImportGuideButton")));
  // No design text in the empty memo.
  auto* memo = qobject_cast<QPlainTextEdit*>(first->widget("Memo3"));
  QVERIFY(memo->toPlainText().isEmpty());

  // A file whose name gives the code.
  const QString yahoo = empty.filePath("7203.T.csv");
  WritePriceFile(yahoo, 40, 2500);
  got.clear();
  QVERIFY(first->importFiles({yahoo}));
  Workspace& ws = first->workspace();
  QCOMPARE(LeftBytes(ws.StockList.cell(1, 0), 4), std::string("7203"));
  QVERIFY(!ws.chart.line(ChartModel::owarine).points.empty());
  auto line = [&](const char* name) {
    return qobject_cast<QLineEdit*>(first->widget(name))->text();
  };
  QCOMPARE(line("Edit1"), QStringLiteral("7203"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("7203")));
  // One box with the totals.
  QCOMPARE(got.size(), std::size_t(1));
  QVERIFY(!got[0].error);
  QVERIFY(QString::fromStdString(got[0].text).contains(QStringLiteral("追加 1銘柄")));
  QVERIFY(!guide->isVisibleTo(first.get()));

  // A file that names no code: the code asked for goes with it; a file
  // whose question is cancelled is left alone.
  const QString plain = empty.filePath("prices.csv"), other = empty.filePath("download.csv");
  WritePriceFile(plain, 30, 1200, true);
  WritePriceFile(other, 30, 800);
  QStringList asked;
  first->importer().askCode = [&asked](const QString& file) {
    asked << file;
    return file == "prices.csv" ? QStringLiteral("9984") : QString();
  };
  got.clear();
  QVERIFY(first->importFiles({plain, other}));
  QCOMPARE(asked, QStringList({"prices.csv", "download.csv"}));
  QCOMPARE(line("Edit1"), QStringLiteral("9984"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("9984")));
  QCOMPARE(got.size(), std::size_t(1));
  bool found9984 = false;
  for (int c = 1; c <= 197; ++c) found9984 |= LeftBytes(ws.StockList.cell(c, 0), 4) == "9984";
  QVERIFY(found9984);

  // Files dropped on the window: more than a few go one by one under the
  // progress bar, still with one box; one of them is refused.
  QList<QUrl> urls;
  for (const char* name : {"6758.csv", "8306.csv", "9432.csv", "4502.csv"}) {
    const QString p = empty.filePath(QString::fromLatin1(name));
    WritePriceFile(p, 60, 3000);
    urls << QUrl::fromLocalFile(p);
  }
  const QString broken = empty.filePath("1301.csv");
  WriteLines(broken.toStdString(), {"Date,Close", "yesterday,abc"}, false);
  urls << QUrl::fromLocalFile(broken);
  urls << QUrl(QStringLiteral("https://example.com/1332.csv"));  // not a file: passed over
  got.clear();
  QMimeData mime;
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(first.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(first.get(), &drop);
  QVERIFY(drop.isAccepted());
  QTRY_COMPARE(got.size(), std::size_t(1));
  const QString summary = QString::fromStdString(got[0].text);
  QVERIFY2(summary.contains(QStringLiteral("追加 4銘柄")), qPrintable(summary));
  QVERIFY2(summary.contains(QStringLiteral("1301.csv")), qPrintable(summary));
  QVERIFY(!summary.contains(QStringLiteral("1332")));
  QCOMPARE(line("Edit1"), QStringLiteral("4502"));
  QVERIFY(line("Edit5").startsWith(QStringLiteral("4502")));
  QVERIFY(!guide->isVisibleTo(first.get()));

  // 元に戻す: asked first; a no changes nothing, a yes puts back the list
  // as it was before the dropped files, file and grid alike.
  const QString listPath = empty.filePath(QStringLiteral("デ-タ一覧.csv"));
  const QByteArray afterDrop = ReadAll(listPath);
  first->askUndo = [] { return false; };
  first->chooseUndo();
  QCOMPARE(ReadAll(listPath), afterDrop);
  first->askUndo = [] { return true; };
  got.clear();
  first->chooseUndo();
  QCOMPARE(got.size(), std::size_t(1));
  QVERIFY(!got[0].error);
  bool found4502 = false;
  for (int c = 1; c <= 197; ++c) found4502 |= LeftBytes(ws.StockList.cell(c, 0), 4) == "4502";
  QVERIFY(!found4502);
  QVERIFY(ReadAll(listPath) != afterDrop);
  first.reset();
}

namespace {

// Runs the action and closes the modal dialog it opens. Returns the
// dialog's title, empty when none opened.
QString DialogTitleOf(const std::function<void()>& action) {
  QString title;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      title = d->windowTitle();
      d->reject();
    }
  });
  poll.start(20);
  action();
  return title;
}

// The controls the window places (those bound by name), each with its
// rectangle in the window's coordinates.
std::vector<std::pair<QWidget*, QRect>> PlacedControls(MainWindow* win) {
  std::vector<std::pair<QWidget*, QRect>> out;
  for (QWidget* c : win->findChildren<QWidget*>()) {
    if (c->objectName().isEmpty() || win->widget(c->objectName().toStdString()) != c) continue;
    if (c->isWindow() || !c->isVisibleTo(win)) continue;
    out.push_back({c, QRect(c->mapTo(win, QPoint(0, 0)), c->size())});
  }
  return out;
}

}  // namespace

void WindowTest::columnsFitTheirTextsAndCutCellsShowTheirText() {
  // A first start: the grids' designed column widths, the statistics grid's
  // widened to its dates and labels.
  GridView* stats = win->grid("StringGrid4");
  QHeaderView* header = stats->horizontalHeader();
  QCOMPARE(win->grid("StringGrid2")->horizontalHeader()->sectionSize(1), 85);
  QCOMPARE(win->grid("StringGrid1")->horizontalHeader()->sectionSize(1), 85);
  QVERIFY(header->isVisibleTo(win.get()));
  QCOMPARE(header->sectionResizeMode(1), QHeaderView::Interactive);

  // The start-up's rule S1 listed trades: no date and no label is cut.
  QModelIndex date;
  const WorkTable& t = win->workspace().StatsTable;
  for (int c = 0; c < t.colCount() && !date.isValid(); ++c)
    for (int r = 1; r <= 3 && !date.isValid(); ++r)
      if (QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d$"))
              .match(QString::fromStdString(t.cell(c, r)))
              .hasMatch())
        date = stats->model()->index(r, c);
  QVERIFY(date.isValid());
  for (int c = 0; c < t.colCount(); ++c)
    for (int r = 0; r <= 8; ++r)
      QVERIFY2(stats->cutText(stats->model()->index(r, c)).isEmpty(),
               qPrintable(stats->model()->index(r, c).data().toString()));

  // A column the user narrows cuts its dates and shows them whole as a
  // tooltip; the next backtest leaves the user's width alone.
  const int c = date.column();
  header->resizeSection(c, 45);
  stats->scrollTo(date);
  QCOMPARE(stats->cutText(date), date.data().toString());
  // A short text that fits has no tooltip.
  QVERIFY(stats->cutText(stats->model()->index(date.row(), date.column() + 100)).isEmpty());
  // The tooltip event over the cut cell shows the whole text.
  const QPoint at = stats->visualRect(date).center();
  QHelpEvent help(QEvent::ToolTip, at, stats->viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(stats->viewport(), &help);
  QTRY_COMPARE(QToolTip::text(), date.data().toString());
  QToolTip::hideText();
  QTest::mouseClick(w("Button38"), Qt::LeftButton);
  QCOMPARE(header->sectionSize(c), 45);

  // A double click on the column's right border fits it to its texts.
  const int border = header->sectionViewportPosition(c) + header->sectionSize(c) - 1;
  QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(border, header->height() / 2));
  QTRY_VERIFY(header->sectionSize(c) > 45);
  QVERIFY(stats->cutText(date).isEmpty());
  QTest::mouseClick(w("Button37"), Qt::LeftButton);
}

void WindowTest::nothingCoversAnything() {
  // Every panel that can be shown together with the rule panel.
  show(QStringLiteral("Panel11,Panel7"));
  QVERIFY(w("Panel11")->isVisibleTo(win.get()));
  QVERIFY(w("ScanButton")->isVisibleTo(win.get()));
  QVERIFY(w("StatsCsvButton")->isVisibleTo(win.get()));
  // The panels over the chart lie on the chart by design; among themselves
  // and everywhere else no two controls of one parent meet, and each stands
  // whole inside its parent.
  auto check = [this](const char* size) {
    QCoreApplication::processEvents();
    const std::vector<std::pair<QWidget*, QRect>> placed = PlacedControls(win.get());
    QVERIFY(placed.size() > 40);
    auto overChart = [](const QWidget* a, const QWidget* b) {
      return a->objectName() == "chart1" || b->objectName() == "chart1";
    };
    for (std::size_t i = 0; i < placed.size(); ++i) {
      const auto& [a, ra] = placed[i];
      const QRect parent(a->parentWidget()->mapTo(win.get(), QPoint(0, 0)),
                         a->parentWidget()->size());
      QVERIFY2(parent.contains(ra),
               qPrintable(a->objectName() + " is cut by its parent at " + size));
      for (std::size_t j = i + 1; j < placed.size(); ++j) {
        const auto& [b, rb] = placed[j];
        if (a->parentWidget() != b->parentWidget() || overChart(a, b)) continue;
        QVERIFY2(!ra.intersects(rb),
                 qPrintable(a->objectName() + " covers " + b->objectName() + " at " + size));
      }
    }
  };
  check("1280x800");
  if (QTest::currentTestFailed()) return;
  // The rule panel stands at the right of the rows it used to cover.
  QVERIFY(w("Panel11")->x() > w("BitBtn1")->geometry().right());
  QVERIFY(w("Panel11")->geometry().top() < w("Button59")->geometry().bottom());

  // A short statistics area puts the save buttons side by side, whole.
  QSplitter* sp = win->splitter();
  const QList<int> sizes = sp->sizes();
  sp->setSizes({sizes[0] + sizes[1] - 32, 32, sizes[2]});
  QCoreApplication::processEvents();
  QWidget* strip = w("StatsStrip");
  for (const char* b : {"StatsCsvButton", "ChartImageButton", "BacktestButton"})
    QVERIFY2(strip->rect().contains(w(b)->geometry()), b);
  QCOMPARE(w("StatsCsvButton")->y(), w("BacktestButton")->y());
  sp->setSizes(sizes);
  QCoreApplication::processEvents();
  QVERIFY(w("StatsCsvButton")->x() == w("BacktestButton")->x());

  // A 1920x1080 screen at scale 2 gives 960x540: the window fits in it
  // with the rule panel open, the memo under the chart's legend.
  QVERIFY(win->minimumSizeHint().width() <= 960);
  QVERIFY(win->minimumSizeHint().height() <= 540);
  win->resize(960, 540);
  check("960x540");
  if (QTest::currentTestFailed()) return;
  QCOMPARE(win->size(), QSize(960, 540));
  QCOMPARE(w("Panel7")->y(), 224);
  win->resize(1280, 800);
  QCoreApplication::processEvents();
  sp->setSizes(sizes);

  win->workspace().form.setVisible("Panel11", false);
  win->mirror();
  // Without the rule panel the control panel gives its room back.
  QCOMPARE(w("Panel1")->width(), 539);
}

void WindowTest::shortcutsRunTheButtons() {
  Form& f = win->workspace().form;
  win->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(win.get()));
  auto clicked = [this](const char* control) {
    for (const auto& [c, ev] : events)
      if (c == control && ev.kind == Event::Click) return true;
    return false;
  };
  auto press = [this](QKeyCombination keys) {
    events.clear();
    // Shortcuts belong to the active window; a closed dialog may leave none.
    win->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(win.get()));
    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : win.get();
    QTest::keyClick(to, keys.key(), keys.keyboardModifiers());
  };

  // F1: the manual window, as "利用説明"; again: it stays open.
  f.setVisible("TForm4", false);
  win->mirror();
  press(Qt::Key_F1);
  QVERIFY(clicked("Button88"));
  QVERIFY(f.visible("TForm4"));
  QVERIFY(help->isVisible());
  press(Qt::Key_F1);
  QVERIFY(!clicked("Button88"));
  QVERIFY(help->isVisible());
  f.setVisible("TForm4", false);
  win->mirror();
  win->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(win.get()));

  // Ctrl+P: "印刷", the chart to the printer.
  const QString pdf = dir.path() + "/chart.pdf";
  QFile::remove(pdf);
  press(Qt::CTRL | Qt::Key_P);
  QVERIFY(clicked("Button59"));
  QVERIFY(QFile::exists(pdf));

  // Ctrl+S saves the memo only while it is shown.
  f.setVisible("Panel7", false);
  win->mirror();
  press(Qt::CTRL | Qt::Key_S);
  QVERIFY(!clicked("Button18"));
  show(QStringLiteral("Panel7"));
  boxes.clear();
  press(Qt::CTRL | Qt::Key_S);
  QVERIFY(clicked("Button18"));
  QCOMPARE(boxes.size(), std::size_t(1));
  QCOMPARE(boxes[0].text, std::string("保存しました。"));

  // Ctrl+F: into the code box, its text chosen for typing over.
  w("Edit5")->setFocus();
  press(Qt::CTRL | Qt::Key_F);
  QTRY_VERIFY(w("Edit1")->hasFocus());
  auto* code = static_cast<QLineEdit*>(w("Edit1"));
  QCOMPARE(code->selectedText(), code->text());

  // Ctrl+E and Ctrl+I ask for their files as "CSV保存" and "取込" do.
  QCOMPARE(DialogTitleOf([&] { press(Qt::CTRL | Qt::Key_E); }), QStringLiteral("CSV保存"));
  QCOMPARE(DialogTitleOf([&] { press(Qt::CTRL | Qt::Key_I); }),
           QStringLiteral("株価ファイルの取込"));

  // Each key is named in its control's tooltip.
  const std::pair<const char*, const char*> tips[] = {
      {"Button88", "(F1)"},  {"Button59", "(Ctrl+P)"},       {"Button18", "(Ctrl+S)"},
      {"Edit1", "(Ctrl+F)"}, {"StatsCsvButton", "(Ctrl+E)"}, {"ImportButton", "(Ctrl+I)"}};
  for (const auto& [control, key] : tips)
    QVERIFY2(w(control)->toolTip().contains(QString::fromUtf8(key)), control);
}

void WindowTest::codeBoxProposesStocksByNameOrCode() {
  QTemporaryDir other;
  QVERIFY(other.isValid());
  WriteDataFolder(other.path(), {"1301 極洋", "6503 三菱電機", "7201 日産自動車",
                                 "7203 トヨタ自動車", "6758 ソニーグループ"});
  HomeSwap swap(other.path());
  std::vector<Box> got;
  WindowOptions o;
  o.messageHook = [&got](const std::string& t, bool e) { got.push_back({t, e}); };
  MainWindow list(o);
  list.resize(1280, 800);
  list.show();
  QVERIFY(QTest::qWaitForWindowExposed(&list));
  auto* box = static_cast<QLineEdit*>(list.widget("Edit1"));
  StockFinder* finder = list.finder();
  QVERIFY(finder);
  box->setFocus();

  // Typed as an input method hands it over.
  auto type = [box](const QString& text) {
    box->clear();
    QInputMethodEvent ime;
    ime.setCommitString(text);
    QCoreApplication::sendEvent(box, &ime);
  };
  type(QStringLiteral("トヨ"));
  QCOMPARE(finder->proposals(), QStringList{QStringLiteral("7203 トヨタ自動車")});
  QVERIFY(finder->shown());
  // The list is as wide as its lines, not as the narrow box.
  QAbstractItemView* shownList = finder->completer()->popup();
  QVERIFY(shownList->viewport()->width() >
          shownList->fontMetrics().horizontalAdvance(finder->proposals()[0]));
  type(QStringLiteral("７２"));
  QCOMPARE(finder->proposals(),
           (QStringList{QStringLiteral("7201 日産自動車"), QStringLiteral("7203 トヨタ自動車")}));
  // Typing + Enter without choosing is the look-up of the text as typed:
  // "７２" is no code, so the box is cleared and the stock stays.
  const std::string before = list.workspace().SeriesTable.cell(ctl::Heading);
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!finder->shown());
  QCOMPARE(box->text(), QString());
  QCOMPARE(list.workspace().SeriesTable.cell(ctl::Heading), before);
  // A code not in the list is kept in the box as typed.
  type(QStringLiteral("9999"));
  QVERIFY(finder->proposals().isEmpty());
  QCOMPARE(box->text(), QStringLiteral("9999"));
  QCOMPARE(list.workspace().form.text("Edit1"), std::string("9999"));

  // Choosing a proposal with the keys charts that stock.
  type(QStringLiteral("とよ"));
  QVERIFY(finder->shown());
  QAbstractItemView* popup = finder->completer()->popup();
  QTest::keyClick(popup, Qt::Key_Down);
  QTest::keyClick(popup, Qt::Key_Return);
  QVERIFY(!finder->shown());
  QCOMPARE(box->text(), QStringLiteral("7203"));
  Workspace& ws = list.workspace();
  QCOMPARE(ws.SeriesTable.cell(ctl::Heading), std::string("7203 トヨタ自動車"));
  QCOMPARE(ws.SeriesTable.getInt(ctl::StockColumn), 4);
  QVERIFY(static_cast<QLineEdit*>(list.widget("Edit5"))->text().startsWith(QStringLiteral("7203")));
  QVERIFY(!ws.chart.line(ChartModel::owarine).points.empty());

  // A click on a line chooses it as well.
  type(QStringLiteral("電機"));
  QCOMPARE(finder->proposals(), QStringList{QStringLiteral("6503 三菱電機")});
  finder->choose(0);
  QCOMPARE(ws.SeriesTable.getInt(ctl::StockColumn), 2);
  QCOMPARE(box->text(), QStringLiteral("6503"));
  for (const Box& b : got) QVERIFY2(!b.error, b.text.c_str());
}

void WindowTest::savedPlaceIsKeptWithinTheScreens() {
  const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  // Whole on a screen: kept.
  QCOMPARE(FitToScreens(QRect(100, 50, 1000, 700), screens), QRect(100, 50, 1000, 700));
  QCOMPARE(FitToScreens(QRect(2000, 10, 900, 600), screens), QRect(2000, 10, 900, 600));
  // Hanging over an edge: moved inside the screen it mostly lies on.
  QCOMPARE(FitToScreens(QRect(-200, -30, 1000, 700), screens), QRect(0, 0, 1000, 700));
  QCOMPARE(FitToScreens(QRect(2900, 500, 900, 600), screens), QRect(2300, 424, 900, 600));
  // Larger than its screen: shrunk to it.
  QCOMPARE(FitToScreens(QRect(1900, 0, 1500, 1200), screens), QRect(1920, 0, 1280, 1024));
  // Off every screen, or never saved: none.
  QVERIFY(FitToScreens(QRect(5000, 5000, 800, 600), screens).isNull());
  QVERIFY(FitToScreens(QRect(-900, 0, 800, 600), screens).isNull());
  QVERIFY(FitToScreens(QRect(), screens).isNull());
}

void WindowTest::rememberedSplitterFitsTheWindow() {
  const QList<int> mins = {120, 30, 102};
  // Sizes that fit stay as they were.
  QCOMPARE(FitSplitter({400, 200, 102}, 800, mins), (QList<int>{400, 200, 102}));
  // A size past every screen no longer hides the other panes.
  const QList<int> huge = FitSplitter({2147483647, 300, 200}, 800, mins);
  QCOMPARE(huge.size(), 3);
  QVERIFY(huge[0] + huge[1] + huge[2] <= 800);
  for (int i = 0; i < 3; ++i) QVERIFY(huge[i] >= mins[i]);
  // Too few sizes, or a room the minimums alone overflow: the designed sizes.
  QVERIFY(FitSplitter({400, 200}, 800, mins).isEmpty());
  QVERIFY(FitSplitter({400, 200, 102}, 200, mins).isEmpty());
  // A layout with a pane squeezed away is never kept.
  QVERIFY(SplitterWorthKeeping({400, 200, 102}, mins));
  QVERIFY(!SplitterWorthKeeping({700, 0, 102}, mins));
  QVERIFY(!SplitterWorthKeeping({400, 200, 50}, mins));
}

void WindowTest::windowRemembersItsPlace() {
  WindowOptions o;
  o.messageHook = [](const std::string&, bool) {};
  const QRect place(60, 40, 1180, 820);
  QList<int> sizes;
  {
    MainWindow first(o);
    first.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    first.showNormal();
    first.setGeometry(place);
    QTRY_COMPARE(first.geometry(), place);
    // The user drags the lower splitter up and widens a column of the list.
    QSplitter* sp = first.splitter();
    sizes = sp->sizes();
    sizes[1] -= 40;
    sizes[2] += 40;
    sp->setSizes(sizes);
    QCoreApplication::processEvents();
    sizes = sp->sizes();
    first.grid("StringGrid1")->horizontalHeader()->resizeSection(3, 140);
    QCloseEvent close;
    QCoreApplication::sendEvent(&first, &close);
    QVERIFY(close.isAccepted());
  }
  {
    MainWindow again(o);
    again.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_COMPARE(again.geometry(), place);
    QTRY_COMPARE(again.splitter()->sizes(), sizes);
    QHeaderView* h = again.grid("StringGrid1")->horizontalHeader();
    QCOMPARE(h->sectionSize(3), 140);
    QCOMPARE(h->sectionSize(2), 85);
  }
  // Saved off every screen: the window takes the place the start-up asks.
  QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine"))
      .setValue("window/geometry", QRect(9000, 9000, 900, 700));
  {
    MainWindow off(o);
    off.showAsAsked();
    QVERIFY(QTest::qWaitForWindowExposed(&off));
    QVERIFY(off.screen()->availableGeometry().contains(off.geometry()));
  }
}

void WindowTest::fileDialogsOpenWhereTheUserLastChose() {
  QTemporaryDir dir;
  const QString data = dir.filePath("data"), docs = dir.filePath("docs");
  const QString chosen = dir.filePath("chosen");
  QVERIFY(QDir().mkpath(chosen));
  // A build tree or a folder of the user's own: the data folder. An installed
  // program's data folder is hidden: the documents folder, else home.
  QCOMPARE(DialogFolder(QString(), data, false, docs), data);
  QCOMPARE(DialogFolder(QString(), data, true, docs), docs);
  QCOMPARE(DialogFolder(QString(), data, true, QString()), QDir::homePath());
  // A folder the user chose wins while it exists.
  QCOMPARE(DialogFolder(chosen, data, true, docs), chosen);
  QCOMPARE(DialogFolder(dir.filePath("gone"), data, false, docs), data);

  // A save: the dialog opens in the remembered folder, a name typed without
  // an extension gets the chosen kind's, and the folder is kept for the next.
  RememberDialogFolder(chosen + "/earlier.csv");
  const QString other = dir.filePath("other");
  QVERIFY(QDir().mkpath(other));
  QString openedIn;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    openedIn = d->directory().absolutePath();
    d->selectNameFilter(QStringLiteral("PDF 文書 (*.pdf)"));
    d->setDirectory(other);
    // The user types a name without an extension.
    if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
      name->setText(QStringLiteral("chart"));
    QMetaObject::invokeMethod(d, "accept");
  });
  poll.start(20);
  const QString path = AskSavePath(nullptr, QStringLiteral("画像保存"), QStringLiteral("7203.png"),
                                   {{QStringLiteral("PNG 画像 (*.png)"), QStringLiteral(".png")},
                                    {QStringLiteral("PDF 文書 (*.pdf)"), QStringLiteral(".pdf")}});
  poll.stop();
  QCOMPARE(openedIn, QDir(chosen).absolutePath());
  QCOMPARE(path, other + "/chart.pdf");
  QCOMPARE(DialogFolder(), QDir(other).absolutePath());
}

void WindowTest::exportsAskBeforeReplacingAndNeverWriteDataFiles() {
  // The dialog's answers come from the test: each pickFile takes the next
  // answer ("" cancels), the replace question answers `replace`.
  QStringList answers, proposed, confirmed, refusals;
  bool replace = false;
  SaveQuestions q;
  q.pickFile = [&](QWidget*, const QString&, const QString& p, const QStringList& filters,
                   QString* chosen) {
    proposed << p;
    if (answers.isEmpty()) return QString();
    // "NAME|FILTER" chooses the kind as well.
    const QStringList parts = answers.takeFirst().split(QLatin1Char('|'));
    if (parts.size() > 1) *chosen = filters.value(parts[1].toInt());
    return parts[0];
  };
  q.confirmReplace = [&](QWidget*, const QString&, const QString& p) {
    confirmed << p;
    return replace;
  };
  q.refuse = [&](QWidget*, const QString&, const QString& text) { refusals << text; };
  // Qt's questions come back however the test ends.
  struct Restore {
    SaveQuestions kept;
    ~Restore() { SetSaveQuestions(kept); }
  } restore{SetSaveQuestions(q)};
  auto reset = [&] {
    answers.clear();
    proposed.clear();
    confirmed.clear();
    refusals.clear();
  };
  auto bytes = [](const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
  };
  const QString home = dir.path();
  const QString listPath = home + QStringLiteral("/デ-タ一覧.csv");
  const QByteArray list = bytes(listPath);
  QVERIFY(list.size() > 100);

  // CSV保存 with the stock list's name typed without ".csv": refused with a
  // message naming it, the dialog comes back on it, the list is untouched.
  reset();
  answers = {home + QStringLiteral("/デ-タ一覧"), QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(refusals.size(), 1);
  QVERIFY2(refusals[0].contains(QStringLiteral("デ-タ一覧.csv")), qPrintable(refusals[0]));
  QVERIFY(confirmed.isEmpty());
  QCOMPARE(proposed.size(), 2);
  QCOMPARE(proposed[1], listPath);
  QCOMPARE(bytes(listPath), list);

  // 画像保存 through a link that leads to the list, and the calendar under
  // the root's folder: refused alike.
  QVERIFY(QFile::link(listPath, home + "/shot.png"));
  reset();
  answers = {home + "/shot.png", home + "/tavrine/hizuke|1", QString()};
  QTest::mouseClick(w("ChartImageButton"), Qt::LeftButton);
  QCOMPARE(refusals.size(), 1);  // hizuke.pdf is no data file: asked nothing, written
  QCOMPARE(bytes(listPath), list);
  QVERIFY(bytes(home + "/tavrine/hizuke.pdf").startsWith("%PDF"));
  QFile::remove(home + "/tavrine/hizuke.pdf");
  QFile::remove(home + "/shot.png");

  // Every data file of the program, in each of its folders, is refused;
  // the same names elsewhere, and other names here, are not.
  for (const char* name : {"デ-タ一覧.csv", "memo.txt", "Fname.txt", "tavrine.ini",
                           "tavrine/hizuke.csv", "listwerk/kabuka/code.txt", "tavrine.lock"})
    QVERIFY2(!ExportRefusal(home + "/" + QString::fromUtf8(name)).isEmpty(), name);
  QVERIFY(!ExportRefusal(home + "/tavrine/../memo.txt").isEmpty());
  QVERIFY(ExportRefusal(home + "/stats.csv").isEmpty());
  QVERIFY(ExportRefusal(home + "/config/memo.txt").isEmpty());

  // An existing file named without its extension is asked about as the file
  // with it: "no" writes nothing and opens the dialog again, "yes" replaces.
  const QString report = home + "/report.csv";
  {
    QFile f(report);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
  }
  reset();
  replace = false;
  answers = {home + "/report", QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
  QCOMPARE(proposed.value(1), report);
  QCOMPARE(bytes(report), QByteArray("old\r\n"));
  reset();
  replace = true;
  answers = {home + "/report"};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
  QVERIFY(bytes(report) != QByteArray("old\r\n"));
  // With the extension typed: the same single question.
  reset();
  replace = false;
  answers = {report, QString()};
  QTest::mouseClick(w("StatsCsvButton"), Qt::LeftButton);
  QCOMPARE(confirmed, QStringList{report});
}

void WindowTest::filesHandedOverByASecondStartAreImported() {
  // The name follows the folder, whatever way it is written, and the user.
  const QString home = dir.path();
  QVERIFY(QFile::link(home, home + "/../" + QFileInfo(home).fileName() + "-link"));
  const QString viaLink = home + "-link";
  QCOMPARE(HandOverName(1000, viaLink + "/"), HandOverName(1000, home));
  QVERIFY(HandOverName(1000, home) != HandOverName(1001, home));
  QVERIFY(HandOverName(1000, home) != HandOverName(1000, home + "/tavrine"));
  QFile::remove(viaLink);

  // Nobody listening: the newcomer hears so at once and starts its own window.
  const QString name = HandOverName(1000, home);
  QVERIFY(!HandOverFiles(name, {}));

  // A socket file left by a window that was killed does not stop the next.
  HandOverServer server;
  {
    QLocalServer dead;
    QVERIFY(dead.listen(name));
    const QString left = dead.fullServerName();
    dead.close();
    QFile f(left);  // the file as a killed window leaves it
    QVERIFY(f.open(QIODevice::WriteOnly));
  }
  QVERIFY(server.listen(name));
  ServeWindow(server, *win);

  // Files named relative to the newcomer's folder arrive absolute and are
  // imported as "取込" imports them.
  const QString files = home + QStringLiteral("/渡す ファイル");
  QVERIFY(QDir().mkpath(files));
  WritePriceFile(files + "/6502.csv", 40, 2600);
  WritePriceFile(files + "/6501.csv", 40, 2700);
  const QString keep = QDir::currentPath();
  QDir::setCurrent(files);
  boxes.clear();
  std::atomic<int> answered{-1};
  std::thread newcomer([&] {
    answered = HandOverFiles(name, {QStringLiteral("6502.csv"), files + "/6501.csv"}) ? 1 : 0;
  });
  QTRY_VERIFY_WITH_TIMEOUT(answered.load() >= 0, 30000);
  newcomer.join();
  QDir::setCurrent(keep);
  QCOMPARE(answered.load(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(!boxes.empty(), 30000);
  QVERIFY2(QString::fromStdString(boxes[0].text).contains(QStringLiteral("追加 2銘柄")),
           boxes[0].text.c_str());
  const WorkTable& list = win->workspace().StockList;
  int found = 0;
  for (int c = 1; c < 198; ++c)
    found += list.cell(c, 0).rfind("6501", 0) == 0 || list.cell(c, 0).rfind("6502", 0) == 0;
  QCOMPARE(found, 2);
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
