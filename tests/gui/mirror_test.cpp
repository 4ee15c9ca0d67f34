// The window mirrors the engine: the Form's texts, visibility, switches and
// masks on the widgets, the work tables on the grids (edited in place and
// refreshed only when a table moved), and the list's and memo's own codes
// kept through edits.
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <string>
#include <vector>

#include "gui/grid_model.h"
#include "gui/main_window.h"
#include "gui/widgets.h"
#include "store/codec.h"
#include "store/table_file.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class MirrorTest : public WindowTest {
  Q_OBJECT

 private slots:
  void formChangesAppearOnWidgets();
  void stockListShowsAndEditsCells();
  void repeatedCodesShowAsTheirCharacterAndSurviveEdits();
  void gridsRefreshOnlyWhenTheTableMoved();
  void ratioBoxKeepsEveryKeyTypedWhileItsMaskComesOn();
  void fullWidthInputReadsAsHalfWidthInTheBoxes();
  void halfWidthBoxesOfOtherWindows();
};

void MirrorTest::formChangesAppearOnWidgets() {
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
  // Off: letters are taken, still made half-width.
  auto* edit6 = static_cast<QLineEdit*>(w("Edit6"));
  edit6->setText(QStringLiteral("ａ１"));
  QCOMPARE(edit6->text(), QStringLiteral("a1"));
  QVERIFY(edit6->hasAcceptableInput());
  QVERIFY(static_cast<QLineEdit*>(w("MaskEdit1"))->inputMask().isEmpty());
  f.setNumberOnly("Edit6", true);
  f.setEditMask("MaskEdit1", "9.99");
  win->mirror();
  // On: digits alone.
  edit6->setText(QStringLiteral("ａ１"));
  QVERIFY(!edit6->hasAcceptableInput());
  edit6->setText(QStringLiteral("１２"));
  QCOMPARE(edit6->text(), QStringLiteral("12"));
  QVERIFY(edit6->hasAcceptableInput());
  QVERIFY(static_cast<QLineEdit*>(w("MaskEdit1"))->inputMask().startsWith("0.00"));

  f.setText("Button17", "銘柄ボタン");
  f.setText("BitBtn1", "株価収集");
  f.setText("Button81", "S");
  panels(false);
  win->mirror();
  QVERIFY(!w("Panel4")->isVisibleTo(win.get()));
  QVERIFY(w("Button25")->isEnabled());
}

void MirrorTest::stockListShowsAndEditsCells() {
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
  EditCell(win->grid("StringGrid1"), m->index(5, 2), "777");  // typed key by key
  QTRY_COMPARE(win->workspace().StockList.cell(2, 5), std::string("777"));
}

void MirrorTest::repeatedCodesShowAsTheirCharacterAndSurviveEdits() {
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
  EditCell(view, m->index(7, 2), "555");
  QTRY_COMPARE(ws.StockList.cell(2, 7), std::string("555"));
  EditCell(view, m->index(7, 3), "");
  QCOMPARE(ws.StockList.cell(3, 7), kept + "印");
  const std::string saved = home().toStdString() + "/list-saved.csv";
  SaveTableFile(ws.StockList, saved);
  const std::string bytes = ReadBytes(saved);
  QVERIFY(bytes.find(",555,\xED\x40\x88\xF3,") != std::string::npos);
  // Typing the character itself is a change: it is written with its usual code.
  EditCell(view, m->index(7, 3), "纊");
  QTRY_COMPARE(ws.StockList.cell(3, 7), shown.toStdString());

  // The memo: a line the user edits is taken from the box, the others keep
  // their codes, and the memo's save writes them as they were.
  Form& f = ws.form;
  const std::string memoPath = home().toStdString() + "/Fname.txt";
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

  // A text box keeps what it held while it shows it unchanged.
  const std::string held = kept + "7203";
  QCOMPARE(Shown(held), shown + QStringLiteral("7203"));
  QCOMPARE(FromQt(Shown(held), held), held);
  QCOMPARE(FromQt(shown + QStringLiteral("7204"), held), shown.toStdString() + "7204");
}

void MirrorTest::gridsRefreshOnlyWhenTheTableMoved() {
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
}

void MirrorTest::ratioBoxKeepsEveryKeyTypedWhileItsMaskComesOn() {
  // The minimum-ratio box gets its mask on the first change; the keys typed
  // after it go on where the typing stands.
  auto* box = static_cast<QLineEdit*>(w("MaskEdit1"));
  QCOMPARE(box->text(), QStringLiteral("0.00"));
  QVERIFY(box->inputMask().isEmpty());
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, "1.05");
  QVERIFY(box->inputMask().startsWith("0.00"));
  QCOMPARE(box->text(), QStringLiteral("1.05"));
  QCOMPARE(QString::fromStdString(win->workspace().form.text("MaskEdit1")), QStringLiteral("1.05"));

  // Typed again over the whole text, the mask already on.
  box->selectAll();
  QTest::keyClicks(box, "2.5");
  QCOMPARE(box->text(), QStringLiteral("2.5"));
  QCOMPARE(QString::fromStdString(win->workspace().form.text("MaskEdit1")), QStringLiteral("2.5"));
}

void MirrorTest::fullWidthInputReadsAsHalfWidthInTheBoxes() {
  const auto box = [this](const char* name) { return static_cast<QLineEdit*>(w(name)); };
  const auto held = [this](const char* name) {
    return QString::fromStdString(win->workspace().form.text(name));
  };
  // The ratio box, before its mask comes on and once it is on.
  win->typeInto("MaskEdit1", "１．０５");
  QVERIFY(box("MaskEdit1")->inputMask().startsWith("0.00"));
  QCOMPARE(box("MaskEdit1")->text(), QStringLiteral("1.05"));
  QCOMPARE(held("MaskEdit1"), QStringLiteral("1.05"));
  win->typeInto("MaskEdit1", "２．５０");
  QCOMPARE(box("MaskEdit1")->text(), QStringLiteral("2.50"));
  QCOMPARE(held("MaskEdit1"), QStringLiteral("2.50"));

  // A date, as the box shows it while it is typed.
  box("Edit2")->setText(QStringLiteral("２０２４／０１／０５"));
  QCOMPARE(box("Edit2")->text(), QStringLiteral("2024/01/05"));
  // An era date keeps its era; only the full-width forms change.
  box("Edit2")->setText(QStringLiteral("令和６年１月５日"));
  QCOMPARE(box("Edit2")->text(), QStringLiteral("令和6年1月5日"));

  // The code box: a full-width code, and a name whose long-vowel mark is
  // part of the name, not a minus.
  box("Edit1")->setText(QStringLiteral("１３０ａ"));
  QCOMPARE(box("Edit1")->text(), QStringLiteral("130a"));
  box("Edit1")->setText(QStringLiteral("ソニー"));
  QCOMPARE(box("Edit1")->text(), QStringLiteral("ソニー"));

  // Typed with the input method: the committed text is made half-width at
  // once, the cursor behind it.
  QLineEdit* date = box("Edit2");
  date->clear();
  date->setFocus();
  QInputMethodEvent ime;
  ime.setCommitString(QStringLiteral("２０２４－０１－０５"));
  QCoreApplication::sendEvent(date, &ime);
  QCOMPARE(date->text(), QStringLiteral("2024-01-05"));
  QCOMPARE(date->cursorPosition(), 10);
}

void MirrorTest::halfWidthBoxesOfOtherWindows() {
  // A number box: full-width digits, point and either minus.
  QLineEdit number;
  TakeHalfWidth(&number, HalfWidthValidator::Kind::Number);
  number.setText(QStringLiteral("－１．０５"));
  QCOMPARE(number.text(), QStringLiteral("-1.05"));
  number.setText(QStringLiteral("ー２０"));
  QCOMPARE(number.text(), QStringLiteral("-20"));
  // A text box keeps the long-vowel mark.
  QLineEdit text;
  TakeHalfWidth(&text);
  text.setText(QStringLiteral("ソニー　ＡＢ"));
  QCOMPARE(text.text(), QStringLiteral("ソニー AB"));
  // Digits only: a letter is refused, full-width or not.
  QLineEdit digits;
  TakeHalfWidth(&digits, HalfWidthValidator::Kind::Digits);
  digits.setText(QStringLiteral("１２"));
  QCOMPARE(digits.text(), QStringLiteral("12"));
  QVERIFY(digits.hasAcceptableInput());
  digits.setText(QStringLiteral("１ｂ"));
  QVERIFY(!digits.hasAcceptableInput());

  // A count spin box takes full-width digits as its value.
  CountBox count;
  count.setRange(0, 100);
  count.setValue(5);
  count.findChild<QLineEdit*>()->setText(QStringLiteral("１２"));
  count.interpretText();
  QCOMPARE(count.value(), 12);
  QCOMPARE(count.text(), QStringLiteral("12"));
}

QTEST_MAIN(MirrorTest)
#include "mirror_test.moc"
