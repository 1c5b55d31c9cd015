#include "platform/store/StoreSchema.h"

#include <QSet>

#include <stdexcept>

namespace {

QString sqlType(NSAttributeType type)
{
    switch (type) {
    case NSAttributeType::String:
        return QStringLiteral("TEXT");
    case NSAttributeType::Double:
        return QStringLiteral("REAL");
    case NSAttributeType::Integer64:
    case NSAttributeType::UInteger64:
        return QStringLiteral("INTEGER");
    }
    return QStringLiteral("BLOB");
}

// " DEFAULT <literal>" for a number or a text; empty for none.
QString defaultClause(const QVariant& value)
{
    if (!value.isValid())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        return QStringLiteral(" DEFAULT %1").arg(value.toLongLong());
    case QMetaType::Double:
        return QStringLiteral(" DEFAULT %1").arg(value.toDouble(), 0, 'g', 17);
    default: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        return QStringLiteral(" DEFAULT '%1'").arg(text);
    }
    }
}

bool isManyToMany(const NSManagedObjectModel& model, const NSEntityDescription& e, const NSRelationshipDescription& r)
{
    if (!r.toMany)
        return false;
    const auto& inverse = model.entityAt(r.destinationEntityIndex).relationships()[size_t(r.inverseIndex)];
    return inverse.toMany;
    (void)e;
}

} // namespace

const QString& StoreSchema::keyColumn()
{
    static const QString key = QStringLiteral("_id");
    return key;
}

QString StoreSchema::quoted(const QString& identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

StoreSchema::StoreSchema(const NSManagedObjectModel& model) : m_model(model)
{
    if (!model.isComplete())
        throw std::logic_error("store schema over an incomplete model");

    for (const auto& entityPtr : model.entities()) {
        const NSEntityDescription& e = *entityPtr;
        StoreTable t;
        t.entityIndex = e.index();
        t.name = e.name();
        QStringList names{keyColumn()};
        for (const auto& a : e.attributes())
            names << a.name;
        for (size_t i = 0; i < e.relationships().size(); ++i) {
            if (!e.relationships()[i].toMany) {
                t.keyColumnRelationships.push_back(int(i));
                names << e.relationships()[i].name;
            }
        }
        QSet<QString> seen;
        for (const QString& n : names) {
            if (seen.contains(n.toLower()))
                throw std::logic_error(("column name used twice in " + e.name() + ": " + n).toStdString());
            seen.insert(n.toLower());
        }
        QStringList quotedNames;
        QStringList placeholders;
        for (qsizetype i = 0; i < names.size(); ++i) {
            quotedNames << quoted(names[i]);
            placeholders << QStringLiteral("?%1").arg(i + 1);
        }
        const QString table = quoted(t.name);
        const QString columnList = quotedNames.join(QLatin1Char(','));
        t.selectAll = QStringLiteral("SELECT %1 FROM %2").arg(columnList, table);
        t.selectByKey = t.selectAll + QStringLiteral(" WHERE %1=?1").arg(quoted(keyColumn()));
        t.insert = QStringLiteral("INSERT INTO %1(%2) VALUES(%3)").arg(table, columnList, placeholders.join(QLatin1Char(',')));
        QStringList assignments;
        for (qsizetype i = 1; i < names.size(); ++i)
            assignments << QStringLiteral("%1=?%2").arg(quoted(names[i])).arg(i);
        t.update = QStringLiteral("UPDATE %1 SET %2 WHERE %3=?%4")
                       .arg(table, assignments.join(QLatin1Char(',')), quoted(keyColumn()))
                       .arg(names.size());
        if (assignments.isEmpty())
            t.update.clear();
        t.remove = QStringLiteral("DELETE FROM %1 WHERE %2=?1").arg(table, quoted(keyColumn()));
        t.maxKey = QStringLiteral("SELECT MAX(%1) FROM %2").arg(quoted(keyColumn()), table);
        m_tables.push_back(t);
    }

    // One-to-many lookups need the destination table's SELECT, so they come second.
    for (const auto& entityPtr : model.entities()) {
        const NSEntityDescription& e = *entityPtr;
        StoreTable& t = m_tables[size_t(e.index())];
        t.selectByInverseKey.resize(e.relationships().size());
        for (size_t i = 0; i < e.relationships().size(); ++i) {
            const auto& r = e.relationships()[i];
            if (!r.toMany || isManyToMany(model, e, r))
                continue;
            const auto& inverse = model.entityAt(r.destinationEntityIndex).relationships()[size_t(r.inverseIndex)];
            t.selectByInverseKey[i] = m_tables[size_t(r.destinationEntityIndex)].selectAll
                                      + QStringLiteral(" WHERE %1=?1").arg(quoted(inverse.name));
        }
    }

    for (const auto& entityPtr : model.entities()) {
        const NSEntityDescription& e = *entityPtr;
        for (size_t i = 0; i < e.relationships().size(); ++i) {
            const auto& r = e.relationships()[i];
            if (!isManyToMany(model, e, r))
                continue;
            const auto& other = model.entityAt(r.destinationEntityIndex);
            const auto& inverse = other.relationships()[size_t(r.inverseIndex)];
            const bool source = std::pair(e.name(), r.name) < std::pair(other.name(), inverse.name);
            if (!source)
                continue;
            StoreJoinTable j;
            j.name = e.name() + QLatin1Char('_') + r.name;
            j.sourceEntity = e.index();
            j.sourceRelationship = int(i);
            j.targetEntity = other.index();
            j.targetRelationship = r.inverseIndex;
            const QString table = quoted(j.name);
            j.targetsOfSource = QStringLiteral("SELECT \"target\" FROM %1 WHERE \"source\"=?1").arg(table);
            j.sourcesOfTarget = QStringLiteral("SELECT \"source\" FROM %1 WHERE \"target\"=?1").arg(table);
            j.removeSource = QStringLiteral("DELETE FROM %1 WHERE \"source\"=?1").arg(table);
            j.removeTarget = QStringLiteral("DELETE FROM %1 WHERE \"target\"=?1").arg(table);
            j.insert = QStringLiteral("INSERT OR IGNORE INTO %1(\"source\",\"target\") VALUES(?1,?2)").arg(table);
            m_joins.push_back(j);
        }
    }
}

const StoreJoinTable* StoreSchema::joinTableFor(int entityIndex, int relationshipIndex, bool* isSource) const
{
    for (const auto& j : m_joins) {
        if (j.sourceEntity == entityIndex && j.sourceRelationship == relationshipIndex) {
            *isSource = true;
            return &j;
        }
        if (j.targetEntity == entityIndex && j.targetRelationship == relationshipIndex) {
            *isSource = false;
            return &j;
        }
    }
    return nullptr;
}

std::vector<std::pair<QString, QString>> StoreSchema::columns(int entityIndex) const
{
    const NSEntityDescription& e = m_model.entityAt(entityIndex);
    std::vector<std::pair<QString, QString>> result;
    for (const auto& a : e.attributes())
        result.emplace_back(a.name, sqlType(a.attributeType) + defaultClause(a.defaultValue));
    for (int r : m_tables[size_t(entityIndex)].keyColumnRelationships)
        result.emplace_back(e.relationships()[size_t(r)].name, QStringLiteral("INTEGER"));
    return result;
}

QStringList StoreSchema::createStatements() const
{
    QStringList statements;
    for (const StoreTable& t : m_tables) {
        QStringList defs{quoted(keyColumn()) + QStringLiteral(" INTEGER PRIMARY KEY")};
        for (const auto& [name, type] : columns(t.entityIndex))
            defs << quoted(name) + QLatin1Char(' ') + type;
        statements << QStringLiteral("CREATE TABLE IF NOT EXISTS %1(%2)").arg(quoted(t.name), defs.join(QLatin1Char(',')));
    }
    return statements;
}

QStringList StoreSchema::indexAndJoinStatements() const
{
    QStringList statements;
    for (const StoreTable& t : m_tables) {
        const NSEntityDescription& e = m_model.entityAt(t.entityIndex);
        for (int r : t.keyColumnRelationships) {
            const QString& column = e.relationships()[size_t(r)].name;
            statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)")
                              .arg(quoted(t.name + QLatin1Char('_') + column), quoted(t.name), quoted(column));
        }
    }
    for (const StoreJoinTable& j : m_joins) {
        statements << QStringLiteral("CREATE TABLE IF NOT EXISTS %1(\"source\" INTEGER NOT NULL,"
                                     "\"target\" INTEGER NOT NULL,PRIMARY KEY(\"source\",\"target\"))")
                          .arg(quoted(j.name));
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(\"target\")")
                          .arg(quoted(j.name + QStringLiteral("_target")), quoted(j.name));
    }
    return statements;
}
