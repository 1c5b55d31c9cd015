#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr char kActivateMessage[] = "activate\n";

QString runtimeDirectory()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

} // namespace

SingleInstance::SingleInstance(const QString& dataDirectory)
{
    const QByteArray key = QCryptographicHash::hash(QDir(dataDirectory).absolutePath().toUtf8(),
                                                    QCryptographicHash::Sha1).toHex().left(16);
    const QString base = QDir(runtimeDirectory()).filePath(QStringLiteral("tavoro-") + QString::fromLatin1(key));
    mSocketPath = base + QStringLiteral(".sock");
    mLock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    mLock->setStaleLockTime(0);  // stale only when its process is gone
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (!mLock->tryLock(0)) {
        QLocalSocket socket;
        socket.connectToServer(mSocketPath);
        if (socket.waitForConnected(2000)) {
            socket.write(kActivateMessage);
            socket.waitForBytesWritten(2000);
            socket.disconnectFromServer();
        }
        return false;
    }
    QLocalServer::removeServer(mSocketPath);  // left behind by a player that was killed
    mServer = new QLocalServer(this);
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    mServer->listen(mSocketPath);
    connect(mServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = mServer->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("activate") && mActivate)
                    mActivate();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}
