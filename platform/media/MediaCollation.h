#pragma once
// How the library orders names: case-insensitive, in the user's language, with digit
// runs compared as numbers ("Track 9" before "Track 10", "äpfel" between "Apple" and
// "Banana"). Where the system offers only the C locale, English collation is used.

#include <QCollatorSortKey>
#include <QString>

// Negative, zero or positive as a sorts before, with or after b in the library's order.
int mediaLibraryCompare(const QString& a, const QString& b);

// A key with the same order as mediaLibraryCompare (compare keys with
// QCollatorSortKey::compare); cheaper when sorting many names.
QCollatorSortKey mediaLibrarySortKey(const QString& text);

// Locale-aware comparison as a person reads it (the user's language, English where only
// the C locale exists), letter case deciding only between otherwise equal texts.
int localizedCompare(const QString& a, const QString& b);
