// The desktop notice after 一括更新: sent to the desktop's notification
// server over D-Bus (org.freedesktop.Notifications) with one action, so a
// click on it opens 本日の信号. Whether it is sent is the user's setting.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

namespace tavrine::gui {

// Whether a notice follows 一括更新: on until the user turns it off; kept
// in the user's settings with the window's.
bool UpdateNoticesOn();
void SetUpdateNoticesOn(bool on);

// The notice's title for a count of new signals over a count of stocks.
QString NewSignalsTitle(const QString& day, int signalCount, int stocks);

class DesktopNotifier : public QObject {
  Q_OBJECT
 public:
  explicit DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);

  // Sends a notice with the action "開く". The call does not wait for the
  // server; delivered() says whether one answered.
  void notify(const QString& title, const QString& body);

  // The server's ids of the notices sent and answered, still open.
  const QSet<uint>& pending() const { return ids_; }

 signals:
  // The user clicked one of this program's notices.
  void opened();
  // The server answered a notice (ok) or no server took it.
  void delivered(bool ok);
  // Every notice of this program sent and answered has been closed.
  void allClosed();

 private slots:
  void actionInvoked(uint id, const QString& action);
  void notificationClosed(uint id, uint reason);

 private:
  QDBusConnection bus_;
  QSet<uint> ids_;
};

}  // namespace tavrine::gui
