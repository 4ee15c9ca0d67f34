// The help window: its two faces (the manual's buttons, the rule's text),
// opened and closed by "利用説明" and its close box, and what its browser
// says when the manual host cannot be reached.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gui/help_window.h"
#include "gui/main_window.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class HelpTest : public WindowTest {
  Q_OBJECT

 private slots:
  void helpWindowFaces();
  void browserSaysWhenHostIsUnreachable();
};

void HelpTest::helpWindowFaces() {
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

void HelpTest::browserSaysWhenHostIsUnreachable() {
  QSignalSpy shown(help->browser(), &ManualBrowser::pageShown);
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QTest::mouseClick(help->button1(), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(shown.count() > 0, 10000);
  QCOMPARE(shown.last().at(1).toBool(), false);
  QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("接続できませんでした")));
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
