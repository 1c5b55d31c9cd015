#pragma once
// One running player per store: the first launch holds a lock file and listens on a local
// socket, both in the runtime directory and named after the application's data directory;
// a later launch on the same store finds the lock taken, asks the running player to bring
// its window to the front, and ends.
//
// Threads: main thread (the socket is served by the main run loop).

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `dataDirectory` names the store the instance works on.
    explicit SingleInstance(const QString& dataDirectory);
    ~SingleInstance() override;

    // True when this process is now the running instance. When another one runs, it has
    // been asked to come to the front (if it could be reached) and this answers false.
    bool claim();

    // Called in the running instance when a later launch asks for the window.
    void setActivationHandler(std::function<void()> handler) { mActivate = std::move(handler); }

    QString socketPath() const { return mSocketPath; }

private:
    QString mSocketPath;
    std::unique_ptr<QLockFile> mLock;
    QLocalServer* mServer = nullptr;
    std::function<void()> mActivate;
};
