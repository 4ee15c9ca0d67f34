// One window a user and data folder. The window that holds the data folder
// listens on a local socket named after the user and the folder; a second
// `tavrine FILE...` on the same folder hands its files to it and ends, and
// the running window imports them as its own import does.
//
// `tavrine --update` hands its update over the same way, and waits for the
// window to run it.
//
// The exchange: the newcomer sends each file's absolute path as one UTF-8
// line (a backslash doubled, a line feed written as a backslash and "n", so
// any name arrives intact), then an empty line; the window answers "ok" once it has taken
// them. An update is asked for by the line ":update" (no absolute path
// starts so) and the empty line; once the update has ended the window
// answers "done STATUS" (the exit status of `tavrine --update`), the
// summary's lines after it, and closes the connection.
//
// The socket lives in a folder only this user can enter ($XDG_RUNTIME_DIR,
// else a private folder under the temporary one), and each side checks that
// the other end runs as this user before it says or believes anything: no
// other user can take the name, read the paths or answer for the window. A
// request is bounded in size and in the time between its bytes.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace tavrine::gui {

// This process's user id.
uint CurrentUser();

// The folder of the sockets: $XDG_RUNTIME_DIR when it is a folder of this
// user's that no one else may enter, else TMPDIR/tavrine-UID, made so when
// missing. Empty when neither is such a folder: then nothing is handed over.
QString HandOverFolder();

// The socket's path for a user id and a data folder (the folder's canonical
// path when it exists), in HandOverFolder(); empty when there is none.
QString HandOverName(uint userId, const QString& dataFolder);
// The name for this user and HomeDir().
QString HandOverName();

// Sends the files (made absolute against the current folder) to the window
// listening under `name`. True once the window has answered; false at once
// when nothing listens, or when the window has not answered within waitMs
// (a window still in its start-up answers once its first events run).
// peerUser is the user the window must run as (this one's; tests name
// another).
bool HandOverFiles(const QString& name, const QStringList& files, int waitMs = 30000,
                   uint peerUser = CurrentUser());

// Asks the window listening under `name` for an update and waits for its
// end (waitMs bounds the wait for an answer). handed is false at once when
// nothing listens; when the window went away or did not answer in time, the
// status is 1 with a text that says so.
struct HandedUpdate {
  bool handed = false;
  int status = 1;
  QString text;
};
HandedUpdate HandOverUpdate(const QString& name, int waitMs = 3 * 60 * 60 * 1000,
                            uint peerUser = CurrentUser());

// The most a request or an answer may hold, and the longest pause the window
// waits between a request's bytes before it drops the connection.
inline constexpr qsizetype kHandOverMaxBytes = 1 << 20;
inline constexpr int kHandOverIdleMs = 10000;

// The window's end. Listens under `name`; a socket left behind by a window
// that ended without closing it is removed first (the caller holds the data
// folder, so no other window can be listening there).
class HandOverServer : public QObject {
  Q_OBJECT
 public:
  explicit HandOverServer(QObject* parent = nullptr);
  bool listen(const QString& name);
  QString name() const { return server_.serverName(); }
  // Connections from any other user are dropped unanswered (tests name
  // another user); a request idle this long is dropped.
  void setPeerUser(uint user) { peerUser_ = user; }
  void setIdleMs(int ms) { idleMs_ = ms; }

  // Called with the files of each hand-over (possibly none: a second start
  // without files only brings the window forward).
  std::function<void(const QStringList&)> onFiles;
  // Called for an update asked for; answer(status, text) answers the asker
  // once it has ended (called at most once). Unset: answered as refused.
  std::function<void(const std::function<void(int, const QString&)>& answer)> onUpdate;

 private:
  void take();
  QLocalServer server_;
  uint peerUser_;
  int idleMs_ = kHandOverIdleMs;
};

}  // namespace tavrine::gui
