#pragma once
// A live table of the player: one dictionary from a key string to an integer, owned by
// the player and shared by reference (LiveTableRef) with the screens and the library
// controller, which therefore all see and change the same values.
//
// Defaults are created as decimal strings ("13") and later changes are stored as
// numbers; integerValue() reads both alike.

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class LiveTable {
public:
    LiveTable() = default;
    explicit LiveTable(QVariantMap dictionary) : m_dictionary(std::move(dictionary)) {}

    QVariantMap& dictionary() { return m_dictionary; }
    const QVariantMap& dictionary() const { return m_dictionary; }

    QVariant value(const QString& key) const { return m_dictionary.value(key); }
    // The entry's integer value; 0 when the entry is missing or holds no number.
    int integerValue(const QString& key) const;
    // Stores the integer as a number under the key.
    void setIntegerValue(const QString& key, int value) { m_dictionary.insert(key, value); }

    // New tables holding the defaults of every settings key and play-control key.
    static std::shared_ptr<LiveTable> defaultSettingTable();
    static std::shared_ptr<LiveTable> defaultPlayControlTable();

private:
    QVariantMap m_dictionary;
};

using LiveTableRef = std::shared_ptr<LiveTable>;

// The integer value of a table entry: a number, truncated; a text read as a decimal
// integer from its start (leading white space and a sign allowed, anything after the
// digits ignored, no digits giving 0); anything else 0.
int integerValueOf(const QVariant& value);
