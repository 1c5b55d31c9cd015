// The engine tests run under a QCoreApplication: position reports, delayed calls and the
// end report's hand-off use the main run loop.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    // Keep the tests off the real home directory and any audio server.
    QTemporaryDir home;
    const QByteArray homePath = home.path().toUtf8();
    setenv("HOME", homePath.constData(), 1);
    setenv("XDG_CONFIG_HOME", (homePath + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (homePath + "/data").constData(), 1);
    const QByteArray runtime = homePath + "/runtime";
    mkdir(runtime.constData(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
    setenv("LC_ALL", "C", 1);

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
