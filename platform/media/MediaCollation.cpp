#include "platform/media/MediaCollation.h"

#include <QCollator>
#include <QLocale>

namespace {

// The user's language, or English where the system has only the C locale (whose
// collation is plain code-point order).
QLocale collationLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C || system.language() == QLocale::AnyLanguage)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

// QCollator instances are not safe to share between threads; each thread gets its own.
const QCollator& libraryCollator()
{
    thread_local const QCollator collator = [] {
        QCollator c(collationLocale());
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

const QCollator& localizedCollator()
{
    thread_local const QCollator collator = [] {
        QCollator c(collationLocale());
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    return collator;
}

} // namespace

int mediaLibraryCompare(const QString& a, const QString& b)
{
    return libraryCollator().compare(a, b);
}

QCollatorSortKey mediaLibrarySortKey(const QString& text)
{
    return libraryCollator().sortKey(text);
}

int localizedCompare(const QString& a, const QString& b)
{
    return localizedCollator().compare(a, b);
}
