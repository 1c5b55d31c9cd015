#pragma once
// How the library orders names: case-insensitive, in the user's language, with digit
// runs compared as numbers ("Track 9" before "Track 10", "äpfel" between "Apple" and
// "Banana"). Where the system offers only the C locale, English collation is used.

#include <QByteArray>
#include <QString>

// Negative, zero or positive as a sorts before, with or after b in the library's order.
int mediaLibraryCompare(const QString& a, const QString& b);

// A binary key with the same order as mediaLibraryCompare (compare keys with memcmp /
// QByteArray's operator<); cheaper when sorting many names.
QByteArray mediaLibrarySortKey(const QString& text);

// Locale-aware comparison as a person reads it (the user's language, English where only
// the C locale exists), letter case deciding only between otherwise equal texts.
int localizedCompare(const QString& a, const QString& b);
