// A D-Bus session of a test's own, and a stand-in for the desktop's
// notification server on it that records what it is sent.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace tavrine::testing {

// dbus-daemon --session, ended with the object. address() is empty when it
// could not be started (why() says why).
class TestSessionBus {
 public:
  TestSessionBus();
  ~TestSessionBus();
  TestSessionBus(const TestSessionBus&) = delete;
  TestSessionBus& operator=(const TestSessionBus&) = delete;

  const QString& address() const { return address_; }
  const QString& why() const { return why_; }

 private:
  QProcess daemon_;
  QString address_, why_;
};

// org.freedesktop.Notifications as far as the program uses it. Each notice
// gets the id 40, 41, ... in the order they come.
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

  // Registers the server on the bus at `address`, its connection named `name`.
  bool serve(const QString& address, const QString& name);
  // The server's signals as the desktop sends them: a click on notice
  // `id`, and the notice closed.
  bool click(uint id, const QString& action = QStringLiteral("default"));
  bool close(uint id);

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout);
  QStringList GetCapabilities();

 private:
  QString name_;
};

}  // namespace tavrine::testing
