// The media tests run in the C locale whatever the machine offers, so the library's
// order is the English collation it falls back to, and never the tester's language.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("LC_ALL", "C", 1);
    setenv("LANG", "C", 1);
    unsetenv("LANGUAGE");
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
