#pragma once
// A session bus of the test's own: started with the object, killed with it, and killed by the
// kernel should the test process die first. `address` stays empty when it did not start.

#include <QProcess>
#include <QString>

#include <csignal>
#include <sys/prctl.h>

struct PrivateSessionBus {
    PrivateSessionBus()
    {
        daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};
