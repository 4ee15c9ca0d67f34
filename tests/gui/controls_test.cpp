// The window's controls: every wired control event reaches the engine as
// the right event and the handler's effect shows, the start-up fills the
// window, handler errors go to the standard report, the shortcut keys run
// their buttons, and the code box proposes stocks.
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/stock_finder.h"
#include "store/control_cells.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

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

}  // namespace

class ControlsTest : public WindowTest {
  Q_OBJECT

 private slots:
  void startUpFilledTheWindow();
  void wiring_data();
  void wiring();
  void errorsGoToTheStandardReport();
  void shortcutsRunTheButtons();
  void codeBoxProposesStocksByNameOrCode();
};

void ControlsTest::startUpFilledTheWindow() {
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

void ControlsTest::wiring_data() {
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
  row("Edit1 enter", "", "Edit1", "enter", "1802", K, "13", "text Edit5=1802 大林組");
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
  row("Edit18 enter", "Panel4,Panel14", "Edit18", "enter", "13", K, "13",
      "message 銘柄コードを入れ直して下さい。");
  row("Edit18 dblclick", "Panel4,Panel14", "Edit18", "dblclick", "13", D, "", "text Edit18=");
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

void ControlsTest::wiring() {
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
  QFile::remove(home() + "/chart.pdf");
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
    QVERIFY(QFile::exists(home() + "/chart.pdf"));
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
}

void ControlsTest::errorsGoToTheStandardReport() {
  boxes.clear();
  QTest::keyClicks(w("Edit10"), "x");  // "1x": not a step count
  QCOMPARE(win->workspace().form.text("Edit10"), std::string("1x"));
  QTest::mouseClick(w("Button62"), Qt::LeftButton);
  QVERIFY(!boxes.empty());
  QVERIFY(boxes.back().error);
  QCOMPARE(QString::fromStdString(boxes.back().text),
           QStringLiteral("「1x」は整数として読めません（例 10）"));
}

void ControlsTest::shortcutsRunTheButtons() {
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
  const QString pdf = home() + "/chart.pdf";
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

void ControlsTest::codeBoxProposesStocksByNameOrCode() {
  // A list of its own, the data folder pointed at it until the end.
  DataFolder other(kToday);
  WriteDataFolder(PathOf(other), {"1301 極洋", "6503 三菱電機", "7201 日産自動車",
                                  "7203 トヨタ自動車", "6758 ソニーグループ"});
  std::vector<Box> got;
  WindowOptions o;
  o.messageHook = [&got](const std::string& t, bool e) { got.push_back({t, e}); };
  const std::unique_ptr<MainWindow> list = ShowWindow(o);
  QVERIFY(list);
  auto* box = static_cast<QLineEdit*>(list->widget("Edit1"));
  StockFinder* finder = list->finder();
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
  const std::string before = list->workspace().SeriesTable.cell(ctl::Heading);
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!finder->shown());
  QCOMPARE(box->text(), QString());
  QCOMPARE(list->workspace().SeriesTable.cell(ctl::Heading), before);
  // A code not in the list is kept in the box as typed.
  type(QStringLiteral("9999"));
  QVERIFY(finder->proposals().isEmpty());
  QCOMPARE(box->text(), QStringLiteral("9999"));
  QCOMPARE(list->workspace().form.text("Edit1"), std::string("9999"));

  // Choosing a proposal with the keys charts that stock.
  type(QStringLiteral("とよ"));
  QVERIFY(finder->shown());
  QAbstractItemView* popup = finder->completer()->popup();
  QTest::keyClick(popup, Qt::Key_Down);
  QTest::keyClick(popup, Qt::Key_Return);
  QVERIFY(!finder->shown());
  QCOMPARE(box->text(), QStringLiteral("7203"));
  Workspace& ws = list->workspace();
  QCOMPARE(ws.SeriesTable.cell(ctl::Heading), std::string("7203 トヨタ自動車"));
  QCOMPARE(ws.SeriesTable.getInt(ctl::StockColumn), 4);
  QVERIFY(
      static_cast<QLineEdit*>(list->widget("Edit5"))->text().startsWith(QStringLiteral("7203")));
  QVERIFY(!ws.chart.line(ChartModel::owarine).points.empty());

  // A click on a line chooses it as well.
  type(QStringLiteral("電機"));
  QCOMPARE(finder->proposals(), QStringList{QStringLiteral("6503 三菱電機")});
  finder->choose(0);
  QCOMPARE(ws.SeriesTable.getInt(ctl::StockColumn), 2);
  QCOMPARE(box->text(), QStringLiteral("6503"));
  for (const Box& b : got) QVERIFY2(!b.error, b.text.c_str());
}

QTEST_MAIN(ControlsTest)
#include "controls_test.moc"
