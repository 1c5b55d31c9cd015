#include "platform/store/NSManagedObjectContext.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

void bindValue(sqlite3_stmt* stmt, int column, NSAttributeType type, const QVariant& value)
{
    if (!value.isValid()) {
        sqlite3_bind_null(stmt, column);
        return;
    }
    switch (type) {
    case NSAttributeType::String: {
        const QByteArray utf8 = value.toString().toUtf8();
        sqlite3_bind_text(stmt, column, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case NSAttributeType::Integer64:
        sqlite3_bind_int64(stmt, column, value.toLongLong());
        break;
    case NSAttributeType::UInteger64:
        // SQLite integers are signed: the unsigned value is kept as its bit pattern.
        sqlite3_bind_int64(stmt, column, static_cast<sqlite3_int64>(value.toULongLong()));
        break;
    case NSAttributeType::Double:
        sqlite3_bind_double(stmt, column, value.toDouble());
        break;
    }
}

QVariant readValue(sqlite3_stmt* stmt, int column, NSAttributeType type)
{
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return {};
    switch (type) {
    case NSAttributeType::String:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    case NSAttributeType::Integer64:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(stmt, column));
    case NSAttributeType::UInteger64:
        return QVariant::fromValue<quint64>(static_cast<quint64>(sqlite3_column_int64(stmt, column)));
    case NSAttributeType::Double:
        return sqlite3_column_double(stmt, column);
    }
    return {};
}

template <typename T>
void eraseOne(std::vector<T*>& v, T* item)
{
    auto it = std::find(v.begin(), v.end(), item);
    if (it != v.end())
        v.erase(it);
}

} // namespace

NSManagedObjectContext::~NSManagedObjectContext()
{
    // Objects that callers still hold keep their values but no longer reach other rows.
    auto invalidate = [](NSManagedObject& o) {
        o.m_context = nullptr;
        o.m_relationships.clear();
    };
    for (auto& table : m_registered)
        for (auto& [key, object] : table)
            invalidate(*object);
    for (auto& object : m_inserted)
        invalidate(*object);
    for (auto& object : m_deleted)
        invalidate(*object);
}

void NSManagedObjectContext::setPersistentStoreCoordinator(std::shared_ptr<NSPersistentStoreCoordinator> coordinator)
{
    m_coordinator = std::move(coordinator);
    m_registered.assign(m_coordinator ? m_coordinator->managedObjectModel()->entities().size() : 0, {});
}

const NSEntityDescription* NSManagedObjectContext::entityForName(const QString& name) const
{
    return m_coordinator ? m_coordinator->managedObjectModel()->entityForName(name) : nullptr;
}

void NSManagedObjectContext::prepareObject(NSManagedObject& object, const NSEntityDescription& entity)
{
    object.m_entity = &entity;
    object.m_context = this;
    object.m_values.assign(entity.attributes().size(), QVariant());
    object.m_relationships.assign(entity.relationships().size(), NSManagedObject::RelationshipSlot());
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::insertNewObjectForEntityForName(const QString& entityName)
{
    const NSEntityDescription* entity = entityForName(entityName);
    if (!entity)
        return nullptr;
    std::shared_ptr<NSManagedObject> object = entity->makeObject();
    prepareObject(*object, *entity);
    object->m_inserted = true;
    m_inserted.push_back(object);
    return object;
}

NSPersistentStore* NSManagedObjectContext::readableStore() const
{
    return m_coordinator ? m_coordinator->store() : nullptr;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::objectFromRow(int entityIndex, sqlite3_stmt* row)
{
    const int64_t key = sqlite3_column_int64(row, 0);
    auto& registry = m_registered[size_t(entityIndex)];
    auto found = registry.find(key);
    if (found != registry.end())
        return found->second;  // what this context holds is newer than the row

    const NSEntityDescription& entity = m_coordinator->managedObjectModel()->entityAt(entityIndex);
    std::shared_ptr<NSManagedObject> object = entity.makeObject();
    prepareObject(*object, entity);
    object->m_storeKey = key;
    int column = 1;
    for (size_t i = 0; i < entity.attributes().size(); ++i, ++column)
        object->m_values[i] = readValue(row, column, entity.attributes()[i].attributeType);
    const StoreTable& table = m_coordinator->schema().table(entityIndex);
    for (int r : table.keyColumnRelationships) {
        auto& slot = object->m_relationships[size_t(r)];
        slot.storedKey = sqlite3_column_type(row, column) == SQLITE_NULL ? 0 : sqlite3_column_int64(row, column);
        slot.oneResolved = slot.storedKey == 0;
        ++column;
    }
    for (size_t r = 0; r < entity.relationships().size(); ++r)
        if (entity.relationships()[r].toMany)
            object->m_relationships[r].manyLoaded = false;
    registry.emplace(key, object);
    return object;
}

NSManagedObject* NSManagedObjectContext::objectWithKey(int entityIndex, int64_t key)
{
    if (key == 0)
        return nullptr;
    auto& registry = m_registered[size_t(entityIndex)];
    auto found = registry.find(key);
    if (found != registry.end())
        return found->second->m_deleted ? nullptr : found->second.get();
    NSPersistentStore* store = readableStore();
    if (!store)
        return nullptr;
    sqlite3_stmt* stmt = store->statement(m_coordinator->schema().table(entityIndex).selectByKey);
    if (!stmt)
        return nullptr;
    sqlite3_bind_int64(stmt, 1, key);
    NSManagedObject* object = nullptr;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        object = objectFromRow(entityIndex, stmt).get();
    sqlite3_reset(stmt);
    return object;
}

NSManagedObject* NSManagedObjectContext::resolveToOne(NSManagedObject* object, int relationship)
{
    auto& slot = object->m_relationships[size_t(relationship)];
    if (!slot.oneResolved) {
        const auto& r = object->m_entity->relationships()[size_t(relationship)];
        slot.one = objectWithKey(r.destinationEntityIndex, slot.storedKey);
        slot.oneResolved = true;
    }
    return slot.one;
}

void NSManagedObjectContext::ensureManyLoaded(NSManagedObject* object, int relationship)
{
    auto& slot = object->m_relationships[size_t(relationship)];
    if (slot.manyLoaded)
        return;
    slot.manyLoaded = true;
    NSPersistentStore* store = readableStore();
    if (!store || object->m_storeKey == 0)
        return;

    const auto& r = object->m_entity->relationships()[size_t(relationship)];
    const StoreSchema& schema = m_coordinator->schema();
    std::vector<NSManagedObject*> members;
    bool isSource = false;
    if (const StoreJoinTable* join = schema.joinTableFor(object->m_entity->index(), relationship, &isSource)) {
        sqlite3_stmt* stmt = store->statement(isSource ? join->targetsOfSource : join->sourcesOfTarget);
        if (!stmt)
            return;
        sqlite3_bind_int64(stmt, 1, object->m_storeKey);
        std::vector<int64_t> keys;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            keys.push_back(sqlite3_column_int64(stmt, 0));
        sqlite3_reset(stmt);
        for (int64_t key : keys)
            if (NSManagedObject* member = objectWithKey(r.destinationEntityIndex, key))
                members.push_back(member);
    } else {
        const QString& sql = schema.table(object->m_entity->index()).selectByInverseKey[size_t(relationship)];
        sqlite3_stmt* stmt = store->statement(sql);
        if (!stmt)
            return;
        sqlite3_bind_int64(stmt, 1, object->m_storeKey);
        std::vector<std::shared_ptr<NSManagedObject>> rows;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            rows.push_back(objectFromRow(r.destinationEntityIndex, stmt));
        sqlite3_reset(stmt);
        for (auto& member : rows) {
            // A member whose side was changed here no longer belongs to this set.
            const auto& back = member->m_relationships[size_t(r.inverseIndex)];
            const bool pointsHere = back.oneResolved ? back.one == object : back.storedKey == object->m_storeKey;
            if (!member->m_deleted && pointsHere)
                members.push_back(member.get());
        }
    }
    slot.many = std::move(members);
}

std::vector<NSManagedObject*> NSManagedObjectContext::loadToMany(NSManagedObject* object, int relationship)
{
    ensureManyLoaded(object, relationship);
    return object->m_relationships[size_t(relationship)].many;
}

void NSManagedObjectContext::objectDidChange(NSManagedObject* object)
{
    if (object->m_inserted || object->m_deleted)
        return;
    object->m_updated = true;
    m_updated.insert(object);
}

void NSManagedObjectContext::attachInverse(NSManagedObject* holder, int inverse, NSManagedObject* object)
{
    const auto& r = holder->m_entity->relationships()[size_t(inverse)];
    auto& slot = holder->m_relationships[size_t(inverse)];
    if (r.toMany) {
        ensureManyLoaded(holder, inverse);
        slot.many.push_back(object);
        return;  // the key lives in `object`'s row
    }
    // One-to-one: whoever held `holder` before lets go of it.
    NSManagedObject* previous = resolveToOne(holder, inverse);
    if (previous && previous != object) {
        auto& back = previous->m_relationships[size_t(r.inverseIndex)];
        back.one = nullptr;
        back.oneResolved = true;
        objectDidChange(previous);
    }
    slot.one = object;
    slot.oneResolved = true;
    objectDidChange(holder);
}

void NSManagedObjectContext::detachInverse(NSManagedObject* holder, int inverse, NSManagedObject* object)
{
    const auto& r = holder->m_entity->relationships()[size_t(inverse)];
    auto& slot = holder->m_relationships[size_t(inverse)];
    if (r.toMany) {
        ensureManyLoaded(holder, inverse);
        eraseOne(slot.many, object);
        return;
    }
    slot.one = nullptr;
    slot.oneResolved = true;
    objectDidChange(holder);
}

void NSManagedObjectContext::relate(NSManagedObject* object, int relationship, NSManagedObject* target)
{
    if (target && (target->m_context != this || target->m_deleted))
        return;
    const auto& r = object->m_entity->relationships()[size_t(relationship)];
    if (target && target->m_entity->index() != r.destinationEntityIndex)
        return;
    auto& slot = object->m_relationships[size_t(relationship)];
    if (!r.toMany) {
        NSManagedObject* old = resolveToOne(object, relationship);
        if (old == target)
            return;
        if (old)
            detachInverse(old, r.inverseIndex, object);
        if (target)
            attachInverse(target, r.inverseIndex, object);
        slot.one = target;
        slot.oneResolved = true;
        objectDidChange(object);
        return;
    }
    ensureManyLoaded(object, relationship);
    if (std::find(slot.many.begin(), slot.many.end(), target) != slot.many.end())
        return;
    const auto& inverse = target->m_entity->relationships()[size_t(r.inverseIndex)];
    if (!inverse.toMany) {
        relate(target, r.inverseIndex, object);  // the to-one side adds it here
        return;
    }
    ensureManyLoaded(target, r.inverseIndex);
    slot.many.push_back(target);
    slot.manyChanged = true;
    auto& back = target->m_relationships[size_t(r.inverseIndex)];
    back.many.push_back(object);
    back.manyChanged = true;
    objectDidChange(object);
    objectDidChange(target);
}

void NSManagedObjectContext::unrelate(NSManagedObject* object, int relationship, NSManagedObject* target)
{
    const auto& r = object->m_entity->relationships()[size_t(relationship)];
    auto& slot = object->m_relationships[size_t(relationship)];
    ensureManyLoaded(object, relationship);
    if (std::find(slot.many.begin(), slot.many.end(), target) == slot.many.end())
        return;
    const auto& inverse = target->m_entity->relationships()[size_t(r.inverseIndex)];
    if (!inverse.toMany) {
        relate(target, r.inverseIndex, nullptr);
        return;
    }
    ensureManyLoaded(target, r.inverseIndex);
    eraseOne(slot.many, target);
    slot.manyChanged = true;
    auto& back = target->m_relationships[size_t(r.inverseIndex)];
    eraseOne(back.many, object);
    back.manyChanged = true;
    objectDidChange(object);
    objectDidChange(target);
}

void NSManagedObjectContext::deleteObject(NSManagedObject* object)
{
    if (!object || object->m_context != this || object->m_deleted)
        return;
    const auto& relationships = object->m_entity->relationships();
    for (size_t r = 0; r < relationships.size(); ++r) {
        if (!relationships[r].toMany) {
            relate(object, int(r), nullptr);
        } else {
            for (NSManagedObject* member : loadToMany(object, int(r)))
                unrelate(object, int(r), member);
        }
    }
    object->m_deleted = true;
    m_updated.erase(object);
    object->m_updated = false;
    if (object->m_inserted) {
        // Never written: it simply goes away.
        object->m_inserted = false;
        object->m_context = nullptr;
        auto it = std::find_if(m_inserted.begin(), m_inserted.end(), [&](const auto& p) { return p.get() == object; });
        if (it != m_inserted.end())
            m_inserted.erase(it);
        return;
    }
    m_deleted.push_back(object->shared_from_this());
}

bool NSManagedObjectContext::hasChanges() const
{
    return !m_inserted.empty() || !m_updated.empty() || !m_deleted.empty();
}

std::optional<NSManagedObjectList> NSManagedObjectContext::executeFetchRequest(const NSFetchRequest& request,
                                                                               QString* error)
{
    const NSEntityDescription* entity = entityForName(request.entityName);
    if (!entity) {
        setError(error, QStringLiteral("unknown entity ") + request.entityName);
        return std::nullopt;
    }
    std::vector<int> sortColumns;
    for (const NSSortDescriptor& d : request.sortDescriptors) {
        const int index = entity->attributeIndex(d.key);
        if (index < 0) {
            setError(error, QStringLiteral("unknown sort key ") + d.key);
            return std::nullopt;
        }
        sortColumns.push_back(index);
    }
    NSPersistentStore* store = readableStore();
    if (!store) {
        setError(error, QStringLiteral("no store"));
        return std::nullopt;
    }
    sqlite3_stmt* stmt = store->statement(m_coordinator->schema().table(entity->index()).selectAll);
    if (!stmt) {
        setError(error, store->lastError());
        return std::nullopt;
    }
    NSManagedObjectList result;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::shared_ptr<NSManagedObject> object = objectFromRow(entity->index(), stmt);
        if (!object->m_deleted)
            result.push_back(std::move(object));
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        setError(error, store->lastError());
        return std::nullopt;
    }
    for (const auto& object : m_inserted)
        if (object->m_entity == entity)
            result.push_back(object);

    // The batch size only bounds how many rows a platform would materialise at once;
    // every row is in memory here, so it changes nothing in the answer.
    if (!sortColumns.empty()) {
        std::stable_sort(result.begin(), result.end(), [&](const auto& a, const auto& b) {
            for (size_t i = 0; i < sortColumns.size(); ++i) {
                const int c = compareAttributeValues(a->m_values[size_t(sortColumns[i])],
                                                     b->m_values[size_t(sortColumns[i])]);
                if (c != 0)
                    return request.sortDescriptors[i].ascending ? c < 0 : c > 0;
            }
            return false;
        });
    }
    return result;
}

bool NSManagedObjectContext::save(QString* error)
{
    if (!hasChanges())
        return true;
    if (!m_coordinator) {
        setError(error, QStringLiteral("no store coordinator"));
        return false;
    }
    NSPersistentStore* store = m_coordinator->storeForSaving(error);
    if (!store)
        return false;
    if (!store->executeForSave(QStringLiteral("BEGIN IMMEDIATE"))) {
        setError(error, store->lastError());
        return false;
    }
    if (!writeChanges(*store, error) || !store->executeForSave(QStringLiteral("COMMIT"))) {
        if (error && error->isEmpty())
            *error = store->lastError();
        sqlite3_exec(store->database(), "ROLLBACK", nullptr, nullptr, nullptr);
        for (auto& object : m_inserted)
            object->m_storeKey = 0;
        return false;
    }

    for (auto& object : m_inserted) {
        object->m_inserted = false;
        m_registered[size_t(object->m_entity->index())].emplace(object->m_storeKey, object);
    }
    for (auto& object : m_deleted) {
        m_registered[size_t(object->m_entity->index())].erase(object->m_storeKey);
        object->m_context = nullptr;
        object->m_relationships.clear();
    }
    auto settle = [](NSManagedObject& o) {
        o.m_updated = false;
        for (auto& slot : o.m_relationships)
            slot.manyChanged = false;
    };
    for (auto& object : m_inserted)
        settle(*object);
    for (NSManagedObject* object : m_updated)
        settle(*object);
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    return true;
}

bool NSManagedObjectContext::writeChanges(NSPersistentStore& store, QString* error)
{
    const StoreSchema& schema = m_coordinator->schema();
    const NSManagedObjectModel& model = *m_coordinator->managedObjectModel();
    auto run = [&](sqlite3_stmt* stmt, const QString& sql) {
        if (!stmt)
            return false;
        const int rc = store.stepForSave(stmt, sql);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            setError(error, QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errstr(rc)), sql));
            return false;
        }
        return true;
    };
    // Runs a statement whose one parameter is a row's key.
    auto runForKey = [&](const QString& sql, int64_t key) {
        sqlite3_stmt* stmt = store.statement(sql);
        if (stmt)
            sqlite3_bind_int64(stmt, 1, key);
        return run(stmt, sql);
    };

    // New rows take keys above the highest key of their table.
    std::vector<int64_t> nextKey(model.entities().size(), 0);
    for (auto& object : m_inserted) {
        const size_t e = size_t(object->m_entity->index());
        if (nextKey[e] == 0) {
            sqlite3_stmt* stmt = store.statement(schema.table(int(e)).maxKey);
            if (!stmt || sqlite3_step(stmt) != SQLITE_ROW)
                return false;
            nextKey[e] = sqlite3_column_int64(stmt, 0) + 1;
            sqlite3_reset(stmt);
        }
        object->m_storeKey = nextKey[e]++;
    }

    for (auto& object : m_deleted) {
        const int e = object->m_entity->index();
        if (!runForKey(schema.table(e).remove, object->m_storeKey))
            return false;
        for (const StoreJoinTable& join : schema.joinTables()) {
            for (const QString* sql : {join.sourceEntity == e ? &join.removeSource : nullptr,
                                       join.targetEntity == e ? &join.removeTarget : nullptr}) {
                if (sql && !runForKey(*sql, object->m_storeKey))
                    return false;
            }
        }
    }

    auto bindRow = [&](sqlite3_stmt* stmt, NSManagedObject& object, int firstColumn) {
        const NSEntityDescription& entity = *object.m_entity;
        int column = firstColumn;
        for (size_t i = 0; i < entity.attributes().size(); ++i, ++column)
            bindValue(stmt, column, entity.attributes()[i].attributeType, object.m_values[i]);
        for (int r : schema.table(entity.index()).keyColumnRelationships) {
            const auto& slot = object.m_relationships[size_t(r)];
            const int64_t key = slot.oneResolved ? (slot.one ? slot.one->m_storeKey : 0) : slot.storedKey;
            if (key)
                sqlite3_bind_int64(stmt, column, key);
            else
                sqlite3_bind_null(stmt, column);
            ++column;
        }
        return column;
    };

    for (auto& object : m_inserted) {
        const StoreTable& table = schema.table(object->m_entity->index());
        sqlite3_stmt* stmt = store.statement(table.insert);
        if (stmt) {
            sqlite3_bind_int64(stmt, 1, object->m_storeKey);
            bindRow(stmt, *object, 2);
        }
        if (!run(stmt, table.insert))
            return false;
    }
    for (NSManagedObject* object : m_updated) {
        const StoreTable& table = schema.table(object->m_entity->index());
        if (table.update.isEmpty())
            continue;
        sqlite3_stmt* stmt = store.statement(table.update);
        if (stmt) {
            const int keyColumn = bindRow(stmt, *object, 1);
            sqlite3_bind_int64(stmt, keyColumn, object->m_storeKey);
        }
        if (!run(stmt, table.update))
            return false;
    }

    // Many-to-many sets are rewritten from their source side.
    auto writeJoins = [&](NSManagedObject& object, bool isNew) {
        for (const StoreJoinTable& join : schema.joinTables()) {
            if (join.sourceEntity != object.m_entity->index())
                continue;
            const auto& slot = object.m_relationships[size_t(join.sourceRelationship)];
            if (!slot.manyChanged)
                continue;
            if (!isNew && !runForKey(join.removeSource, object.m_storeKey))
                return false;
            for (NSManagedObject* target : slot.many) {
                sqlite3_stmt* s = store.statement(join.insert);
                if (s) {
                    sqlite3_bind_int64(s, 1, object.m_storeKey);
                    sqlite3_bind_int64(s, 2, target->m_storeKey);
                }
                if (!run(s, join.insert))
                    return false;
            }
        }
        return true;
    };
    for (auto& object : m_inserted)
        if (!writeJoins(*object, true))
            return false;
    for (NSManagedObject* object : m_updated)
        if (!writeJoins(*object, false))
            return false;
    return true;
}
