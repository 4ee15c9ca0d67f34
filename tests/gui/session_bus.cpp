#include "session_bus.h"

#include <QDBusMessage>
#include <QStandardPaths>

namespace tavrine::testing {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
}  // namespace

TestSessionBus::TestSessionBus() {
  const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (program.isEmpty()) {
    why_ = QStringLiteral("dbus-daemon is not installed (scripts/setup installs it)");
    return;
  }
  daemon_.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
  if (!daemon_.waitForStarted()) {
    why_ = QStringLiteral("dbus-daemon did not start");
    return;
  }
  // The address is its first line, written once it listens.
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(20000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) why_ = QStringLiteral("dbus-daemon gave no address");
}

TestSessionBus::~TestSessionBus() {
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.terminate();
  if (!daemon_.waitForFinished(5000)) daemon_.kill();
}

bool FakeNotifications::serve(const QString& address, const QString& name) {
  name_ = name;
  QDBusConnection bus = QDBusConnection::connectToBus(address, name);
  return bus.isConnected() && bus.registerService(kService) &&
         bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
}

bool FakeNotifications::click(uint id, const QString& action) {
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
  signal << id << action;
  return QDBusConnection(name_).send(signal);
}

bool FakeNotifications::close(uint id) {
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, kService, QStringLiteral("NotificationClosed"));
  signal << id << uint(2);  // closed by the user
  return QDBusConnection(name_).send(signal);
}

uint FakeNotifications::Notify(const QString& app, uint /*replaces*/, const QString& /*icon*/,
                               const QString& summary, const QString& body,
                               const QStringList& actions, const QVariantMap& /*hints*/,
                               int /*timeout*/) {
  const uint id = 40 + static_cast<uint>(calls.size());
  calls.push_back({app, summary, body, actions, id});
  return id;
}

QStringList FakeNotifications::GetCapabilities() {
  return {QStringLiteral("actions"), QStringLiteral("body")};
}

}  // namespace tavrine::testing
