#pragma once
// One running player per store. The first start holds a lock file and listens on a local
// socket, both named after the application's data directory and kept in a folder only the
// user can reach: the runtime directory (XDG_RUNTIME_DIR), or else the folder "instance"
// of the data directory, made with mode 0700. A later start on the same store finds the
// lock taken and hands its songs to the running player (see InstanceMessage.h), which
// brings its window to the front, plays them and answers.
//
// "Already running" is only ever concluded from that answer. When the lock cannot be
// taken for another reason, or its holder does not answer (a lock file left by someone
// else, a player that hangs), the problem is reported on standard error and this start
// goes on as a player of its own.
//
// Threads: main thread (the socket is served by the main run loop).

#include <QByteArray>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `dataDirectory` names the store the instance works on.
    explicit SingleInstance(const QString& dataDirectory);
    ~SingleInstance() override;

    enum class Claim {
        Running,         // this process is the running player
        Answered,        // the running player took the songs; this start should end
        Unguarded,       // no single instance this time (reported); start anyway
    };
    // Takes the lock, or hands `songPaths` (absolute) to the player that holds it.
    Claim claim(const QList<QByteArray>& songPaths = {});

    // Called in the running player for every message a later start sends: the song paths
    // (possibly none) as they arrived, checked as InstanceMessage.h says. Messages that
    // arrive before a handler is set are kept for it.
    using OpenHandler = std::function<void(const QList<QByteArray>& songPaths)>;
    void setOpenHandler(OpenHandler handler);

    QString lockPath() const { return mLockPath; }
    QString socketPath() const { return mSocketPath; }

private:
    // Sends the message and waits for the answer; true when the running player answered.
    bool handOver(const QList<QByteArray>& songPaths);
    void serve(QLocalSocket* client);
    void deliver(const QList<QByteArray>& songPaths);

    QString mFolderProblem;  // why no private folder could be had (empty: none)
    QString mLockPath;
    QString mSocketPath;
    std::unique_ptr<QLockFile> mLock;
    QLocalServer* mServer = nullptr;
    OpenHandler mOpen;
    QList<QList<QByteArray>> mPending;
};

// The folder that holds the lock and the socket (see above), made when missing; empty,
// with the reason in *problem, when neither is usable.
QString privateInstanceFolder(const QString& dataDirectory, QString* problem);
