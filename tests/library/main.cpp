// The library tests run in the C locale with the application name the player has, so the
// store lands in <XDG_DATA_HOME>/Tavoro of each test's temporary home.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("LC_ALL", "C", 1);
    setenv("LANG", "C", 1);
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
