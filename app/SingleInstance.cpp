#include "app/SingleInstance.h"

#include "app/InstanceMessage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// How long a later start tries to reach the running player: connecting (the player may be
// between taking the lock and listening), and waiting for its answer (its main thread may
// be busy with the launch).
constexpr int kConnectMilliseconds = 2000;
constexpr int kAnswerMilliseconds = 20000;
// A connection that has not delivered a whole message by then is dropped.
constexpr int kClientMilliseconds = 30000;

// Whether `path` is a folder (not a link to one) that only the user can reach.
bool isPrivateFolder(const QByteArray& path, QString* problem)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        *problem = QStringLiteral("%1: %2").arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        *problem = QStringLiteral("%1 is not a folder of the user's own").arg(QFile::decodeName(path));
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        *problem = QStringLiteral("%1 is open to others and cannot be closed: %2")
                       .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void report(const QString& line)
{
    std::fprintf(stderr, "tavoro: %s\n", qPrintable(line));
}

} // namespace

QString privateInstanceFolder(const QString& dataDirectory, QString* problem)
{
    // The runtime directory is the user's own by definition; one that is not (a variable
    // pointing elsewhere) is passed over, never made private by force.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (!runtime.isEmpty() && ::lstat(runtime.constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0)
        return QFile::decodeName(runtime);

    const QByteArray folder = QFile::encodeName(QDir(dataDirectory).filePath(QStringLiteral("instance")));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        *problem = QStringLiteral("cannot make %1: %2")
                       .arg(QFile::decodeName(folder), QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return isPrivateFolder(folder, problem) ? QFile::decodeName(folder) : QString();
}

SingleInstance::SingleInstance(const QString& dataDirectory)
{
    const QString folder = privateInstanceFolder(dataDirectory, &mFolderProblem);
    if (folder.isEmpty())
        return;
    const QByteArray key = QCryptographicHash::hash(QDir(dataDirectory).absolutePath().toUtf8(),
                                                    QCryptographicHash::Sha1).toHex().left(16);
    const QString base = QDir(folder).filePath(QStringLiteral("tavoro-") + QString::fromLatin1(key));
    mSocketPath = base + QStringLiteral(".sock");
    mLockPath = base + QStringLiteral(".lock");
    mLock = std::make_unique<QLockFile>(mLockPath);
    mLock->setStaleLockTime(0);  // stale only when its process is gone
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim(const QList<QByteArray>& songPaths)
{
    if (!mLock) {
        report(QStringLiteral("no private folder for the single-instance lock (%1); starting without it").arg(mFolderProblem));
        return Claim::Unguarded;
    }
    if (mLock->tryLock(0)) {
        QLocalServer::removeServer(mSocketPath);  // left behind by a player that was killed
        mServer = new QLocalServer(this);
        mServer->setSocketOptions(QLocalServer::UserAccessOption);
        if (!mServer->listen(mSocketPath)) {
            report(QStringLiteral("later starts cannot reach this player: %1").arg(mServer->errorString()));
            return Claim::Running;
        }
        connect(mServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* client = mServer->nextPendingConnection())
                serve(client);
        });
        return Claim::Running;
    }
    if (mLock->error() == QLockFile::LockFailedError) {
        if (handOver(songPaths))
            return Claim::Answered;
        report(QStringLiteral("%1 is held, but no player answers on %2; starting anyway").arg(mLockPath, mSocketPath));
    } else {
        report(QStringLiteral("cannot take the lock %1 (%2); starting anyway")
                   .arg(mLockPath, mLock->error() == QLockFile::PermissionError ? QStringLiteral("permission denied")
                                                                                 : QStringLiteral("unknown error")));
    }
    return Claim::Unguarded;
}

bool SingleInstance::handOver(const QList<QByteArray>& songPaths)
{
    QLocalSocket socket;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket.connectToServer(mSocketPath);
        if (socket.waitForConnected(kConnectMilliseconds))
            break;
        if (clock.elapsed() >= kConnectMilliseconds)
            return false;
        QThread::msleep(100);
    }
    socket.write(encodeOpenMessage(songPaths));
    QByteArray answer;
    while (clock.elapsed() < kAnswerMilliseconds && socket.state() == QLocalSocket::ConnectedState
           && answer.size() < qsizetype(sizeof kInstanceAnswer - 1)) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(250);
        else if (socket.waitForReadyRead(250))
            answer += socket.readAll();
    }
    answer += socket.readAll();
    return answer == kInstanceAnswer;
}

void SingleInstance::serve(QLocalSocket* client)
{
    auto received = std::make_shared<QByteArray>();
    connect(client, &QLocalSocket::readyRead, this, [this, client, received] {
        if (client->state() != QLocalSocket::ConnectedState)
            return;
        *received += client->readAll();
        OpenMessage message = decodeOpenMessage(*received);
        if (message.state == OpenMessageState::Incomplete)
            return;
        if (message.state == OpenMessageState::Invalid) {
            report(QStringLiteral("refused a malformed message on %1").arg(mSocketPath));
            client->abort();
            client->deleteLater();
            return;
        }
        client->write(kInstanceAnswer);
        client->disconnectFromServer();  // after the answer has gone out
        deliver(message.paths);
    });
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    QTimer::singleShot(kClientMilliseconds, client, [client] {
        client->abort();
        client->deleteLater();
    });
}

void SingleInstance::setOpenHandler(OpenHandler handler)
{
    mOpen = std::move(handler);
    const QList<QList<QByteArray>> pending = std::exchange(mPending, {});
    for (const QList<QByteArray>& songPaths : pending)
        deliver(songPaths);
}

void SingleInstance::deliver(const QList<QByteArray>& songPaths)
{
    if (mOpen)
        mOpen(songPaths);
    else
        mPending.append(songPaths);
}
