// One running instance per user: a lock file and a local socket in the
// user's runtime directory.
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QString>

#include <memory>

#include "app/entry/Entry.h"

namespace {

constexpr int kConnectTimeoutMs = 1000;

std::unique_ptr<QLockFile> g_lock;
std::unique_ptr<QLocalServer> g_server;

QString RuntimePath(const char* name) {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  return dir + QStringLiteral("/") + QString::fromLatin1(name);
}

}  // namespace

int Entry_AcquireInstance() {
  g_lock = std::make_unique<QLockFile>(RuntimePath("cadenza.lock"));
  // Age never makes a lock stale; a lock whose process is gone is.
  g_lock->setStaleLockTime(0);
  if (g_lock->tryLock(0)) return 1;

  QLocalSocket socket;
  socket.connectToServer(RuntimePath("cadenza.socket"));
  if (socket.waitForConnected(kConnectTimeoutMs)) {
    socket.write("raise\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
  }
  return 0;
}

void Entry_ListenForRaise(void (*raise)()) {
  const QString name = RuntimePath("cadenza.socket");
  // A socket left by a crashed run is removed; the lock says it is ours.
  QLocalServer::removeServer(name);
  g_server = std::make_unique<QLocalServer>();
  if (!g_server->listen(name)) return;
  QObject::connect(g_server.get(), &QLocalServer::newConnection, [raise]() {
    while (QLocalSocket* client = g_server->nextPendingConnection()) {
      QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      client->close();
      raise();
    }
  });
}
