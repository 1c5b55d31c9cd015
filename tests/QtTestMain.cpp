// The main of the suites that need Qt's event loop but no widgets: a temporary home with
// its own XDG directories, away from the user's files and any audio server (a crash test
// re-runs the binary as a child, which comes up the same way), the C locale whatever the
// machine offers (the music library's order is then the English collation it falls back
// to, never the tester's language), and the player's application name, so that a store
// lands in <XDG_DATA_HOME>/Tavoro.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    const QString root = home.path();
    QDir(root).mkpath("runtime");
    QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/.local/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/.config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    qunsetenv("LANGUAGE");
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
