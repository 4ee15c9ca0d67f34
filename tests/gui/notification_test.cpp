// The notice after 一括更新 on a D-Bus session of the test's own: a stand-in
// notification server records what the window sends and answers with a
// click, which opens 本日の信号; the notice can be turned off and stays so.
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include "gui/main_window.h"
#include "gui/notification.h"
#include "gui/today_window.h"
#include "gui/update_ui.h"
#include "window_fixture.h"

using namespace tavrine;
using namespace tavrine::gui;
using namespace tavrine::testing;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The desktop's notification server as far as the window uses it.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  struct Call {
    QString app, summary, body;
    QStringList actions;
    uint id;
  };
  std::vector<Call> calls;

 public slots:
  uint Notify(const QString& app, uint /*replaces*/, const QString& /*icon*/,
              const QString& summary, const QString& body, const QStringList& actions,
              const QVariantMap& /*hints*/, int /*timeout*/) {
    const uint id = 40 + static_cast<uint>(calls.size());
    calls.push_back({app, summary, body, actions, id});
    return id;
  }
  QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
};

}  // namespace

class NotificationTest : public WindowTest {
  Q_OBJECT
 public:
  ~NotificationTest() override {
    bus_.terminate();
    if (!bus_.waitForFinished(5000)) bus_.kill();
  }

 private slots:
  void initTestCase();
  void noticeCountsTheSignalsAndAClickOpensToday();
  void noticeCanBeTurnedOff();

 private:
  // The server says the user clicked notice `id`.
  void click(uint id, const QString& action = QStringLiteral("default"));
  DesktopNotifier* notifier() const {
    return win->findChild<DesktopNotifier*>(QStringLiteral("UpdateNotifier"));
  }

  QProcess bus_;
  FakeNotifications server_;
  QString address_;
};

void NotificationTest::initTestCase() {
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (daemon.isEmpty()) QFAIL("dbus-daemon is not installed (scripts/setup installs it)");
  bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
  QVERIFY(bus_.waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(bus_.canReadLine(), 20000);
  address_ = QString::fromUtf8(bus_.readLine()).trimmed();
  QVERIFY(!address_.isEmpty());
  // The window's session bus is this one: set before any window asks for it.
  qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
  QDBusConnection server = QDBusConnection::connectToBus(address_, QStringLiteral("server"));
  QVERIFY(server.isConnected());
  QVERIFY(server.registerService(kService));
  QVERIFY(server.registerObject(kPath, &server_, QDBusConnection::ExportAllSlots));
}

void NotificationTest::click(uint id, const QString& action) {
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
  signal << id << action;
  QVERIFY(QDBusConnection(QStringLiteral("server")).send(signal));
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
  click(c.id + 100);
  click(c.id);
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
