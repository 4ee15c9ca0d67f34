// The help window: its two faces (the manual's buttons, the rule's text),
// opened and closed by "利用説明" and its close box, and what its browser
// says when the manual host cannot be reached.
#include <QDir>
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
  void escapeClosesEitherFace();
  void backAndForwardWalkThePagesSeen();
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

void HelpTest::escapeClosesEitherFace() {
  Form& f = win->workspace().form;
  // The manual's face, the key pressed in its page.
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(help->isVisible());
  help->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(help.get()));
  help->browser()->setFocus();
  QTest::keyClick(help->browser(), Qt::Key_Escape);
  QVERIFY(!help->isVisible());
  QVERIFY(!f.visible("TForm4"));
  // 説明: the rule's text.
  win->workspace().help.ShowText("規則の説明");
  win->mirror();
  QVERIFY(help->isVisible());
  QVERIFY(help->panel()->isVisible());
  help->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(help.get()));
  QTest::keyClick(help.get(), Qt::Key_Escape);
  QVERIFY(!help->isVisible());
  QVERIFY(!f.visible("TForm4"));
  // It opens again as before.
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  QVERIFY(help->isVisible());
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
}

void HelpTest::backAndForwardWalkThePagesSeen() {
  QTest::mouseClick(w("Button88"), Qt::LeftButton);
  ManualBrowser* b = help->browser();
  QPushButton* back = help->backButton();
  QPushButton* forward = help->forwardButton();
  QVERIFY(back->isVisible());
  QVERIFY(!back->toolTip().isEmpty());
  const QUrl one = ManualBrowser::ShippedPage(QStringLiteral("tavrine.htm"));
  b->navigate(one);
  QVERIFY(!forward->isEnabled());
  // A second page, then a third.
  QDir pages(QStringLiteral(":/manual"));
  const QStringList htm = pages.entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
  QVERIFY(htm.size() >= 3);
  QList<QUrl> walk{one};
  for (const QString& p : htm)
    if (p != QLatin1String("tavrine.htm") && walk.size() < 3) walk << ManualBrowser::ShippedPage(p);
  b->navigate(walk[1]);
  b->navigate(walk[2]);
  QCOMPARE(b->shown(), walk[2]);
  QVERIFY(back->isEnabled());
  QTest::mouseClick(back, Qt::LeftButton);
  QCOMPARE(b->shown(), walk[1]);
  QVERIFY(forward->isEnabled());
  QTest::mouseClick(back, Qt::LeftButton);
  QCOMPARE(b->shown(), walk[0]);
  QTest::mouseClick(forward, Qt::LeftButton);
  QCOMPARE(b->shown(), walk[1]);
  // A new page from the middle drops the pages ahead.
  b->navigate(walk[0]);
  QVERIFY(!forward->isEnabled());
  QTest::mouseClick(back, Qt::LeftButton);
  QCOMPARE(b->shown(), walk[1]);
  // Alt+Left is 戻る.
  help->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(help.get()));
  QTest::keyClick(help.get(), Qt::Key_Left, Qt::AltModifier);
  QCOMPARE(b->shown(), walk[0]);
  // The text face has no pages to walk.
  win->workspace().help.ShowText("規則の説明");
  win->mirror();
  QVERIFY(!back->isVisible());
  help->close();
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
