#pragma once
// A scratch pad of objects over a store: rows are fetched into objects, objects are
// inserted, changed and deleted in memory, and save() writes every change to the store
// file in one transaction. Relationships are kept in step on both sides at every change;
// rows that a relationship reaches are read from the store when first needed.
//
// Used from one thread only.

#include "platform/store/NSManagedObject.h"
#include "platform/store/NSPersistentStoreCoordinator.h"
#include "platform/store/NSSortDescriptor.h"

#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct sqlite3_stmt;

using NSManagedObjectList = std::vector<std::shared_ptr<NSManagedObject>>;

class NSManagedObjectContext {
public:
    NSManagedObjectContext() = default;
    ~NSManagedObjectContext();
    NSManagedObjectContext(const NSManagedObjectContext&) = delete;
    NSManagedObjectContext& operator=(const NSManagedObjectContext&) = delete;

    void setPersistentStoreCoordinator(std::shared_ptr<NSPersistentStoreCoordinator> coordinator);
    const std::shared_ptr<NSPersistentStoreCoordinator>& persistentStoreCoordinator() const { return m_coordinator; }

    // The entity of that name in the coordinator's model; null when unknown.
    const NSEntityDescription* entityForName(const QString& name) const;

    // A new object of the named entity, to be written at the next save; null when the
    // entity is unknown.
    std::shared_ptr<NSManagedObject> insertNewObjectForEntityForName(const QString& entityName);

    // Every object of the request's entity: the stored rows not deleted here, plus those
    // inserted here, sorted by the request's descriptors (stable; store order otherwise).
    // nullopt, with `error` set, when the entity or a sort key is unknown or the store
    // cannot be read (no store, a read error).
    std::optional<NSManagedObjectList> executeFetchRequest(const NSFetchRequest& request, QString* error = nullptr);

    // Removes the object at the next save; its relationships are cleared on both sides now.
    void deleteObject(NSManagedObject* object);

    bool hasChanges() const;
    // Writes every insertion, change and deletion in one transaction. On failure nothing
    // of it reaches the store, the changes stay pending, and `error` says why.
    bool save(QString* error = nullptr);

private:
    friend class NSManagedObject;

    NSManagedObject* resolveToOne(NSManagedObject* object, int relationship);
    std::vector<NSManagedObject*> loadToMany(NSManagedObject* object, int relationship);
    void ensureManyLoaded(NSManagedObject* object, int relationship);
    void relate(NSManagedObject* object, int relationship, NSManagedObject* target);
    void unrelate(NSManagedObject* object, int relationship, NSManagedObject* target);
    void attachInverse(NSManagedObject* holder, int inverse, NSManagedObject* object);
    void detachInverse(NSManagedObject* holder, int inverse, NSManagedObject* object);
    void objectDidChange(NSManagedObject* object);

    void prepareObject(NSManagedObject& object, const NSEntityDescription& entity);
    std::shared_ptr<NSManagedObject> objectFromRow(int entityIndex, sqlite3_stmt* row);
    NSManagedObject* objectWithKey(int entityIndex, int64_t key);
    NSPersistentStore* readableStore() const;
    bool writeChanges(NSPersistentStore& store, QString* error);

    std::shared_ptr<NSPersistentStoreCoordinator> m_coordinator;
    std::vector<std::unordered_map<int64_t, std::shared_ptr<NSManagedObject>>> m_registered;  // per entity
    NSManagedObjectList m_inserted;
    std::unordered_set<NSManagedObject*> m_updated;
    NSManagedObjectList m_deleted;
};
