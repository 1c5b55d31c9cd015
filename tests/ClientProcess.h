#pragma once
// Client programs a test starts (the player's own binary, bus clients, sqlite3) while it
// waits in the event loop, so that a service the test runs on the main thread goes on
// answering them: run to their end, or watched while they run.

#include "EventLoopWait.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ClientRun {
    int exitCode = -1;  // -1 when the client did not end normally within its time
    QString out;
    QString err;
};

inline ClientRun runClient(const QString& program, const QStringList& arguments,
                           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                           double seconds = 30)
{
    QProcess client;
    client.setProcessEnvironment(environment);
    client.start(program, arguments);
    const bool ended = waitFor([&] { return client.state() == QProcess::NotRunning; }, seconds);
    return {ended && client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1,
            QString::fromUtf8(client.readAllStandardOutput()), QString::fromUtf8(client.readAllStandardError())};
}

// A client (a bus monitor, a follower) whose standard output is collected as it arrives.
class ClientWatcher {
public:
    // Standard error is collected with the output; `environment` is the client's.
    explicit ClientWatcher(const QStringList& command,
                           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        mProcess.setProcessEnvironment(environment);
        mProcess.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&mProcess, &QProcess::readyReadStandardOutput,
                         [this] { mOutput += QString::fromUtf8(mProcess.readAllStandardOutput()); });
        mProcess.start(command.first(), command.mid(1));
        mProcess.waitForStarted(5000);
    }
    ~ClientWatcher()
    {
        mProcess.kill();
        mProcess.waitForFinished(5000);
    }
    bool waitForText(const QString& text, double seconds = 5)
    {
        return waitFor([&] { return mOutput.contains(text); }, seconds);
    }
    // Lets the client settle (what it prints up to `readyText`) and forgets what it printed.
    void settle(const QString& readyText)
    {
        waitForText(readyText);
        waitFor([] { return false; }, 0.3);
        mOutput.clear();
    }
    const QString& output() const { return mOutput; }

private:
    QProcess mProcess;
    QString mOutput;
};
