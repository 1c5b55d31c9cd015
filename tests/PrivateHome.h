#pragma once
// Moves the test process into a home of its own below `root`, laid out as a user's
// (.local/share, .config, .cache, and a runtime folder only the user may enter), so that
// nothing a test runs touches the tester's files or finds their session's audio server.

#include <QDir>
#include <QFile>

inline void usePrivateHome(const QString& root)
{
    QDir(root).mkpath("runtime");
    QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/.local/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/.config").toUtf8());
    qputenv("XDG_CACHE_HOME", (root + "/.cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
}
