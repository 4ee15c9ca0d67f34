#include "gui/handover.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "store/paths.h"

namespace tavrine::gui {

namespace {
// The line that asks for an update instead of naming files.
constexpr const char* kUpdateLine = ":update";

// A folder of this user's that no other user may enter or write in; a link
// is not followed.
bool PrivateFolder(const QByteArray& path) {
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// The user at the other end of a connected local socket, or false.
bool PeerUser(const QLocalSocket& socket, uint* user) {
  const qintptr fd = socket.socketDescriptor();
  if (fd < 0) return false;
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
  *user = static_cast<uint>(cred.uid);
  return true;
}

bool PeerIs(const QLocalSocket& socket, uint user) {
  uint peer = 0;
  return PeerUser(socket, &peer) && peer == user;
}

QByteArray EscapePath(const QString& path) {
  QByteArray out;
  for (const char c : path.toUtf8()) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

QString UnescapePath(const QByteArray& line) {
  QByteArray out;
  for (qsizetype i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      ++i;
      out += line[i] == 'n' ? '\n' : line[i];
    } else {
      out += line[i];
    }
  }
  return QString::fromUtf8(out);
}
}  // namespace

uint CurrentUser() { return static_cast<uint>(::getuid()); }

QString HandOverFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && PrivateFolder(runtime)) return QString::fromLocal8Bit(runtime);
  const QByteArray own =
      QFile::encodeName(QDir::tempPath() + QStringLiteral("/tavrine-%1").arg(CurrentUser()));
  ::mkdir(own.constData(), 0700);  // an existing one is checked like a new one
  if (PrivateFolder(own)) return QFile::decodeName(own);
  return {};
}

QString HandOverName(uint userId, const QString& dataFolder) {
  const QString folder = HandOverFolder();
  if (folder.isEmpty()) return {};
  const QFileInfo info(dataFolder);
  QString data = info.canonicalFilePath();
  if (data.isEmpty()) data = QDir::cleanPath(info.absoluteFilePath());
  const QByteArray digest =
      QCryptographicHash::hash(data.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return QStringLiteral("%1/tavrine-%2-%3")
      .arg(folder)
      .arg(userId)
      .arg(QString::fromLatin1(digest));
}

QString HandOverName() {
  return HandOverName(static_cast<uint>(::getuid()), QString::fromStdString(HomeDir()));
}

bool HandOverFiles(const QString& name, const QStringList& files, int waitMs, uint peerUser) {
  if (name.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(std::min(waitMs, 3000))) return false;
  // Not a word to a listener of another user's.
  if (!PeerIs(socket, peerUser)) return false;
  QByteArray message;
  for (const QString& f : files) message += EscapePath(QFileInfo(f).absoluteFilePath()) + '\n';
  message += '\n';
  if (message.size() > kHandOverMaxBytes) return false;
  socket.write(message);
  if (!socket.waitForBytesWritten(waitMs)) return false;
  QByteArray answer;
  while (!answer.contains('\n') && answer.size() < 16) {
    if (!socket.waitForReadyRead(waitMs)) return false;
    answer += socket.readAll();
  }
  return answer.startsWith("ok\n");
}

HandedUpdate HandOverUpdate(const QString& name, int waitMs, uint peerUser) {
  HandedUpdate r;
  if (name.isEmpty()) return r;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(3000)) return r;
  // A listener of another user's is not the window: nothing is handed.
  if (!PeerIs(socket, peerUser)) return r;
  r.handed = true;
  r.text = QStringLiteral("一括更新を窓に渡しましたが、結果を受け取れませんでした。");
  socket.write(QByteArray(kUpdateLine) + "\n\n");
  if (!socket.waitForBytesWritten(waitMs)) return r;
  // The answer is complete when the window closes the connection.
  QByteArray answer;
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < waitMs &&
         answer.size() <= kHandOverMaxBytes) {
    socket.waitForReadyRead(1000);
    answer += socket.readAll();
  }
  answer += socket.readAll();
  // No end in time, or more than any answer holds.
  if (socket.state() == QLocalSocket::ConnectedState || answer.size() > kHandOverMaxBytes) return r;
  const qsizetype eol = answer.indexOf('\n');
  const QByteArray head = answer.left(eol);
  bool ok = false;
  const int status = head.startsWith("done ") ? head.mid(5).toInt(&ok) : 0;
  if (!ok) return r;
  r.status = status;
  r.text = eol < 0 ? QString() : QString::fromUtf8(answer.mid(eol + 1)).trimmed();
  return r;
}

HandOverServer::HandOverServer(QObject* parent) : QObject(parent), peerUser_(CurrentUser()) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &HandOverServer::take);
}

bool HandOverServer::listen(const QString& name) {
  if (name.isEmpty()) return false;
  if (server_.listen(name)) return true;
  QLocalServer::removeServer(name);
  return server_.listen(name);
}

void HandOverServer::take() {
  while (QLocalSocket* s = server_.nextPendingConnection()) {
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    if (!PeerIs(*s, peerUser_)) {
      // Another user's program: dropped without a word.
      s->abort();
      s->deleteLater();
      continue;
    }
    auto buffer = std::make_shared<QByteArray>();
    QPointer<QLocalSocket> guarded(s);
    // A request that stalls is dropped; so is one larger than any request.
    auto* idle = new QTimer(s);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, s, [guarded] {
      if (guarded) guarded->abort();
    });
    idle->start(idleMs_);
    connect(s, &QLocalSocket::readyRead, this, [this, guarded, buffer, idle] {
      if (!guarded) return;
      // Bytes after a complete request are not read.
      if (!idle->isActive()) return;
      *buffer += guarded->readAll();
      if (buffer->size() > kHandOverMaxBytes) {
        idle->stop();
        guarded->abort();
        return;
      }
      idle->start(idleMs_);
      // Complete once an empty line ends the list.
      if (!(buffer->startsWith('\n') || buffer->contains("\n\n"))) return;
      idle->stop();
      const qsizetype end = buffer->startsWith('\n') ? 0 : buffer->indexOf("\n\n");
      QStringList files;
      for (const QByteArray& line : buffer->left(end).split('\n'))
        if (!line.isEmpty()) files << UnescapePath(line);
      buffer->clear();
      if (files == QStringList{QString::fromLatin1(kUpdateLine)}) {
        // Answered when the update has ended, which may take minutes; the
        // update runs on the window's next turn, not inside this signal.
        auto answer = [guarded](int status, const QString& text) {
          if (!guarded) return;  // the asker went away
          guarded->write("done " + QByteArray::number(status) + '\n' + text.toUtf8() + '\n');
          guarded->flush();
          guarded->disconnectFromServer();
        };
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
              if (onUpdate)
                onUpdate(answer);
              else
                answer(1, QStringLiteral("この窓は一括更新を受け付けません。"));
            },
            Qt::QueuedConnection);
        return;
      }
      guarded->write("ok\n");
      guarded->flush();
      guarded->disconnectFromServer();
      // The import may open message boxes: it runs on the window's next turn,
      // not inside this socket's signal.
      QMetaObject::invokeMethod(
          this,
          [this, files] {
            if (onFiles) onFiles(files);
          },
          Qt::QueuedConnection);
    });
  }
}

}  // namespace tavrine::gui
