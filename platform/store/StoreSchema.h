#pragma once
// How a model lies in SQLite: one table per entity, named as the entity, with the row key
// "_id", one column per attribute and one key column per to-one relationship (named as
// the relationship); a to-many whose inverse is to-one lives in that inverse's column; a
// many-to-many pair shares a join table "<Entity>_<relationship>" of the side whose
// entity and relationship names sort first, with columns "source" and "target".

#include "platform/store/NSManagedObjectModel.h"

#include <QString>
#include <QStringList>

#include <vector>

struct StoreTable {
    int entityIndex = -1;
    QString name;
    std::vector<int> keyColumnRelationships;  // to-one relationships, in column order
    QString selectAll;       // columns: _id, attributes, relationship keys
    QString selectByKey;     // ... WHERE _id = ?1
    QString insert;          // ?1 = _id, then attributes, then relationship keys
    QString update;          // attributes and relationship keys, then _id last
    QString remove;          // WHERE _id = ?1
    QString maxKey;
    // For each relationship index: the rows of the destination whose key column refers
    // to ?1 (one-to-many), or empty.
    std::vector<QString> selectByInverseKey;
};

struct StoreJoinTable {
    QString name;
    int sourceEntity = -1, sourceRelationship = -1;  // the owning side
    int targetEntity = -1, targetRelationship = -1;
    QString targetsOfSource;  // SELECT target WHERE source = ?1
    QString sourcesOfTarget;  // SELECT source WHERE target = ?1
    QString removeSource;     // DELETE WHERE source = ?1
    QString removeTarget;     // DELETE WHERE target = ?1
    QString insert;           // (?1 source, ?2 target)
};

class StoreSchema {
public:
    // Throws std::logic_error when two columns of a table would share a name.
    explicit StoreSchema(const NSManagedObjectModel& model);

    const NSManagedObjectModel& model() const { return m_model; }
    const StoreTable& table(int entityIndex) const { return m_tables.at(size_t(entityIndex)); }
    const std::vector<StoreJoinTable>& joinTables() const { return m_joins; }
    // The join table of a many-to-many relationship and whether this side is its source;
    // null for other relationships.
    const StoreJoinTable* joinTableFor(int entityIndex, int relationshipIndex, bool* isSource) const;

    // CREATE TABLE statements (IF NOT EXISTS) for every entity table.
    QStringList createStatements() const;
    // The join tables and the indexes on relationship key columns (IF NOT EXISTS); run
    // after missing columns have been added to older tables.
    QStringList indexAndJoinStatements() const;
    // Column name and SQL type of every column of an entity's table except "_id"; the
    // type of an attribute with a default value carries its DEFAULT clause, so rows
    // written before the column was added read the default.
    std::vector<std::pair<QString, QString>> columns(int entityIndex) const;

    static QString quoted(const QString& identifier);
    static const QString& keyColumn();

private:
    const NSManagedObjectModel& m_model;
    std::vector<StoreTable> m_tables;
    std::vector<StoreJoinTable> m_joins;
};
