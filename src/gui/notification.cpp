#include "gui/notification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSettings>
#include <QStringList>
#include <QVariantMap>

namespace tavrine::gui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kSettingKey = QStringLiteral("notices/afterUpdate");
// How long the server shows the notice, in milliseconds.
constexpr int kShownMs = 15000;

}  // namespace

bool UpdateNoticesOn() {
  const QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  return s.value(kSettingKey, true).toBool();
}

void SetUpdateNoticesOn(bool on) {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kSettingKey, on);
}

QString NewSignalsTitle(const QString& day, int signalCount, int stocks) {
  if (signalCount <= 0) return QStringLiteral("一括更新: %1 まで　新しい信号はありません").arg(day);
  return QStringLiteral("%1 の新しい信号: %2件（%3銘柄）").arg(day).arg(signalCount).arg(stocks);
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
  bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
               SLOT(actionInvoked(uint, QString)));
  bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
               SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifier::notify(const QString& title, const QString& body) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  // The action "default" is the click on the notice itself.
  const QStringList actions = {QStringLiteral("default"), QStringLiteral("開く")};
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tavrine"));
  call << QStringLiteral("tavrine") << uint(0) << QStringLiteral("tavrine") << title << body
       << actions << hints << kShownMs;
  if (!bus_.isConnected()) {
    // Said from the event loop, as an answer would be.
    QMetaObject::invokeMethod(
        this, [this] { emit delivered(false); }, Qt::QueuedConnection);
    return;
  }
  // Not waited for: the window stays responsive while the server answers.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<uint> reply = *w;
    w->deleteLater();
    if (reply.isError()) {
      emit delivered(false);
      return;
    }
    ids_.insert(reply.value());
    emit delivered(true);
  });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
  // Every program's notices come by this signal: only ours open the list.
  if (!ids_.contains(id)) return;
  if (action == QLatin1String("default") || action.isEmpty()) emit opened();
}

void DesktopNotifier::notificationClosed(uint id, uint /*reason*/) {
  if (ids_.remove(id) && ids_.isEmpty()) emit allClosed();
}

}  // namespace tavrine::gui
