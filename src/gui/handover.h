// One window a user and data folder. The window that holds the data folder
// listens on a local socket named after the user and the folder; a second
// `tavrine FILE...` on the same folder hands its files to it and ends, and
// the running window imports them as its own import does.
//
// The exchange: the newcomer sends each file's absolute path as one UTF-8
// line, then an empty line; the window answers "ok" once it has taken them.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace tavrine::gui {

// The socket's name for a user id and a data folder (the folder's canonical
// path when it exists).
QString HandOverName(uint userId, const QString& dataFolder);
// The name for this user and HomeDir().
QString HandOverName();

// Sends the files (made absolute against the current folder) to the window
// listening under `name`. True once the window has answered; false at once
// when nothing listens, or when the window has not answered within waitMs
// (a window still in its start-up answers once its first events run).
bool HandOverFiles(const QString& name, const QStringList& files, int waitMs = 30000);

// The window's end. Listens under `name`; a socket left behind by a window
// that ended without closing it is removed first (the caller holds the data
// folder, so no other window can be listening there).
class HandOverServer : public QObject {
  Q_OBJECT
 public:
  explicit HandOverServer(QObject* parent = nullptr);
  bool listen(const QString& name);
  QString name() const { return server_.serverName(); }

  // Called with the files of each hand-over (possibly none: a second start
  // without files only brings the window forward).
  std::function<void(const QStringList&)> onFiles;

 private:
  void take();
  QLocalServer server_;
};

}  // namespace tavrine::gui
