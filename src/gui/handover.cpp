#include "gui/handover.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <algorithm>

#include "store/paths.h"

namespace tavrine::gui {

namespace {
// The line that asks for an update instead of naming files.
constexpr const char* kUpdateLine = ":update";
}  // namespace

QString HandOverName(uint userId, const QString& dataFolder) {
  const QFileInfo info(dataFolder);
  QString folder = info.canonicalFilePath();
  if (folder.isEmpty()) folder = QDir::cleanPath(info.absoluteFilePath());
  const QByteArray digest =
      QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return QStringLiteral("tavrine-%1-%2").arg(userId).arg(QString::fromLatin1(digest));
}

QString HandOverName() {
  return HandOverName(static_cast<uint>(::getuid()), QString::fromStdString(HomeDir()));
}

bool HandOverFiles(const QString& name, const QStringList& files, int waitMs) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(std::min(waitMs, 3000))) return false;
  QByteArray message;
  for (const QString& f : files) {
    const QString path = QFileInfo(f).absoluteFilePath();
    if (path.contains(QLatin1Char('\n'))) continue;  // no such name can be passed on
    message += path.toUtf8() + '\n';
  }
  message += '\n';
  socket.write(message);
  if (!socket.waitForBytesWritten(waitMs)) return false;
  QByteArray answer;
  while (!answer.contains('\n')) {
    if (!socket.waitForReadyRead(waitMs)) return false;
    answer += socket.readAll();
  }
  return answer.startsWith("ok\n");
}

HandedUpdate HandOverUpdate(const QString& name, int waitMs) {
  HandedUpdate r;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(3000)) return r;
  r.handed = true;
  r.text = QStringLiteral("一括更新を窓に渡しましたが、結果を受け取れませんでした。");
  socket.write(QByteArray(kUpdateLine) + "\n\n");
  if (!socket.waitForBytesWritten(waitMs)) return r;
  // The answer is complete when the window closes the connection.
  QByteArray answer;
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < waitMs) {
    socket.waitForReadyRead(1000);
    answer += socket.readAll();
  }
  answer += socket.readAll();
  if (socket.state() == QLocalSocket::ConnectedState) return r;  // no end in time
  const qsizetype eol = answer.indexOf('\n');
  const QByteArray head = answer.left(eol);
  bool ok = false;
  const int status = head.startsWith("done ") ? head.mid(5).toInt(&ok) : 0;
  if (!ok) return r;
  r.status = status;
  r.text = eol < 0 ? QString() : QString::fromUtf8(answer.mid(eol + 1)).trimmed();
  return r;
}

HandOverServer::HandOverServer(QObject* parent) : QObject(parent) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &HandOverServer::take);
}

bool HandOverServer::listen(const QString& name) {
  if (server_.listen(name)) return true;
  QLocalServer::removeServer(name);
  return server_.listen(name);
}

void HandOverServer::take() {
  while (QLocalSocket* s = server_.nextPendingConnection()) {
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    QPointer<QLocalSocket> guarded(s);
    connect(s, &QLocalSocket::readyRead, this, [this, guarded, buffer] {
      if (!guarded) return;
      *buffer += guarded->readAll();
      // Complete once an empty line ends the list.
      if (!(buffer->startsWith('\n') || buffer->contains("\n\n"))) return;
      QStringList files;
      for (const QByteArray& line : buffer->split('\n'))
        if (!line.isEmpty()) files << QString::fromUtf8(line);
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
