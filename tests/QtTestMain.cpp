// The main of the suites that need Qt's event loop but no widgets: a temporary home with
// its own XDG directories, away from the user's files and any audio server (a crash test
// re-runs the binary as a child, which comes up the same way), the C locale whatever the
// machine offers (the music library's order is then the English collation it falls back
// to, never the tester's language), and the player's application name, so that a store
// lands in <XDG_DATA_HOME>/Tavoro.

#include "PrivateHome.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    usePrivateHome(home.path());
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    qunsetenv("LANGUAGE");
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
