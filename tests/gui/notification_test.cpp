// The notice after 一括更新 on a D-Bus session of the test's own: a stand-in
// notification server records what the window sends and answers with a
// click, which opens 本日の信号; the notice can be turned off and stays so.
#include <QCheckBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "gui/main_window.h"
#include "gui/notification.h"
#include "gui/today_window.h"
#include "gui/update_ui.h"
#include "session_bus.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

class NotificationTest : public WindowTest {
  Q_OBJECT

 private slots:
  void initTestCase();
  void noticeCountsTheSignalsAndAClickOpensToday();
  void noticeCanBeTurnedOff();

 private:
  DesktopNotifier* notifier() const {
    return win->findChild<DesktopNotifier*>(QStringLiteral("UpdateNotifier"));
  }

  TestSessionBus bus_;
  FakeNotifications server_;
};

void NotificationTest::initTestCase() {
  QVERIFY2(!bus_.address().isEmpty(), qPrintable(bus_.why()));
  // The window's session bus is this one: set before any window asks for it.
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
  QVERIFY(server_.serve(bus_.address(), QStringLiteral("server")));
}

void NotificationTest::noticeCountsTheSignalsAndAClickOpensToday() {
  server_.calls.clear();
  QVERIFY(notifier());
  QVERIFY(UpdateNoticesOn());
  SignalNotice n;
  n.day = QStringLiteral("2026/12/04");
  n.signalCount = 3;
  n.stocks = 2;
  n.text = QStringLiteral("1301 極洋、1332 日本水産");
  QSignalSpy delivered(notifier(), &DesktopNotifier::delivered);
  win->updater().notify(n);
  QTRY_COMPARE_WITH_TIMEOUT(delivered.count(), 1, 20000);
  QCOMPARE(delivered.at(0).at(0).toBool(), true);
  QCOMPARE(server_.calls.size(), std::size_t{1});
  const FakeNotifications::Call& c = server_.calls[0];
  QCOMPARE(c.app, QStringLiteral("tavrine"));
  QVERIFY2(c.summary.contains(QStringLiteral("3件")), qPrintable(c.summary));
  QVERIFY2(c.summary.contains(QStringLiteral("2銘柄")), qPrintable(c.summary));
  QVERIFY(c.summary.contains(n.day));
  QCOMPARE(c.body, n.text);
  QVERIFY(c.actions.contains(QStringLiteral("default")));

  // Another program's notice clicked opens nothing; ours opens 本日の信号.
  QVERIFY(!win->todayWindow() || !win->todayWindow()->isVisible());
  QSignalSpy opened(notifier(), &DesktopNotifier::opened);
  QVERIFY(server_.click(c.id + 100));
  QVERIFY(server_.click(c.id));
  QTRY_VERIFY_WITH_TIMEOUT(win->todayWindow() && win->todayWindow()->isVisible(), 20000);
  QCOMPARE(opened.count(), 1);
}

void NotificationTest::noticeCanBeTurnedOff() {
  server_.calls.clear();
  TodayWindow* today = win->openToday();
  QCheckBox* box = today->noticeBox();
  QVERIFY(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(!box->isChecked());
  QVERIFY(!UpdateNoticesOn());
  // Kept with the window's settings.
  QCOMPARE(QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine"))
               .value(QStringLiteral("notices/afterUpdate"))
               .toBool(),
           false);

  SignalNotice n;
  n.day = QStringLiteral("2026/12/04");
  n.signalCount = 1;
  n.stocks = 1;
  QSignalSpy delivered(notifier(), &DesktopNotifier::delivered);
  win->updater().notify(n);  // off: nothing is sent
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(UpdateNoticesOn());
  n.signalCount = 7;
  win->updater().notify(n);
  // Calls on one connection arrive in order: had the first been sent, it
  // would stand before this one.
  QTRY_COMPARE_WITH_TIMEOUT(delivered.count(), 1, 20000);
  QCOMPARE(server_.calls.size(), std::size_t{1});
  QVERIFY(server_.calls[0].summary.contains(QStringLiteral("7件")));
}

QTEST_MAIN(NotificationTest)
#include "notification_test.moc"
