#pragma once
// A client process (a bus monitor, a follower) whose standard output is collected as it
// arrives while the test waits in the event loop. Shared by the desktop media-control tests
// and the program tests that watch what the running player announces on its bus.

#include "../EventLoopWait.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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
