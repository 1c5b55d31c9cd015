#pragma once
// The sqlite3 command line, for looking at a store file from outside the program.

#include <QString>

// Runs the sqlite3 command line on `file` and answers its output, trimmed.
QString sqliteShell(const QString& file, const QString& sql);
