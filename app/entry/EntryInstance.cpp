// One running instance per user: a lock file and a local socket in a folder
// of the user's own.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
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

// A folder that only this user can change: a real folder (no link) of this
// user that nobody else may write to. A runtime folder that someone else
// made (as a stale or hostile one in a shared temporary folder can be) is
// none: a lock in it would not be this user's.
bool OwnPrivateFolder(const QString& dir) {
  struct stat st {};
  const QByteArray path = QFile::encodeName(dir);
  return !dir.isEmpty() && lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The folder of the lock and the socket, and the text their names end in:
//  1. the runtime folder, when it is the user's own;
//  2. otherwise "cadenza" in the user's cache folder inside the home, made
//     for the user alone;
//  3. otherwise the temporary folder, with names that hold the user ID.
// Chosen once per process, so that the lock and the socket stay together.
struct InstancePlace {
  QString folder;
  QString suffix;
};

const InstancePlace& Place() {
  static const InstancePlace place = [] {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (OwnPrivateFolder(runtime)) return InstancePlace{runtime, QString()};
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty()) {
      const QString own = cache + QStringLiteral("/cadenza");
      const QByteArray path = QFile::encodeName(own);
      QDir().mkpath(cache);
      ::mkdir(path.constData(), 0700);
      if (OwnPrivateFolder(own)) return InstancePlace{own, QString()};
    }
    return InstancePlace{QStandardPaths::writableLocation(QStandardPaths::TempLocation),
                         QStringLiteral("-") + QString::number(geteuid())};
  }();
  return place;
}

// "cadenza.lock" / "cadenza.socket" in the folder of the place (with the
// user ID in the temporary folder).
QString InstancePath(const char* kind) {
  const InstancePlace& p = Place();
  return p.folder + QStringLiteral("/cadenza") + p.suffix + QStringLiteral(".") + QString::fromLatin1(kind);
}

}  // namespace

int Entry_AcquireInstance() {
  g_lock = std::make_unique<QLockFile>(InstancePath("lock"));
  // Age never makes a lock stale; a lock whose process is gone is.
  g_lock->setStaleLockTime(0);
  if (g_lock->tryLock(0)) return 1;

  QLocalSocket socket;
  socket.connectToServer(InstancePath("socket"));
  if (socket.waitForConnected(kConnectTimeoutMs)) {
    socket.write("raise\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
  }
  return 0;
}

void Entry_ListenForRaise(void (*raise)()) {
  const QString name = InstancePath("socket");
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
