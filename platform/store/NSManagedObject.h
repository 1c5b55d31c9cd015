#pragma once
// One row of an entity, alive in a context. Attribute values are read and written by
// name (an invalid QVariant is an absent value); relationships are set through the
// object, and the context keeps the other side in step. When its context is destroyed
// the object keeps its attribute values but loses its relationships.

#include "platform/store/NSManagedObjectModel.h"

#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

class NSManagedObjectContext;

class NSManagedObject : public std::enable_shared_from_this<NSManagedObject> {
public:
    NSManagedObject() = default;
    virtual ~NSManagedObject() = default;
    NSManagedObject(const NSManagedObject&) = delete;
    NSManagedObject& operator=(const NSManagedObject&) = delete;

    const NSEntityDescription* entity() const { return m_entity; }
    NSManagedObjectContext* managedObjectContext() const { return m_context; }

    // The row's key in its table; 0 until the object has been saved.
    int64_t storeKey() const { return m_storeKey; }

    bool isInserted() const { return m_inserted; }
    bool isUpdated() const { return m_updated; }
    bool isDeleted() const { return m_deleted; }

    // Attributes by name. Unknown names read as absent and are not written.
    QVariant valueForKey(const QString& key) const;
    void setValue(const QVariant& value, const QString& key);
    // The same by attribute index, for the entity classes.
    const QVariant& valueAt(int attributeIndex) const { return m_values.at(size_t(attributeIndex)); }
    void setValueAt(int attributeIndex, const QVariant& value);

    // Relationships by name. A to-one answers its object or null; a to-many its objects
    // (in no particular order). Both answer nothing once the context is gone.
    NSManagedObject* toOne(const QString& key);
    void setToOne(const QString& key, NSManagedObject* object);
    std::vector<NSManagedObject*> toMany(const QString& key);
    void addToMany(const QString& key, NSManagedObject* object);
    void removeFromMany(const QString& key, NSManagedObject* object);

    NSManagedObject* toOneAt(int relationshipIndex);
    void setToOneAt(int relationshipIndex, NSManagedObject* object);
    std::vector<NSManagedObject*> toManyAt(int relationshipIndex);

private:
    friend class NSManagedObjectContext;

    struct RelationshipSlot {
        NSManagedObject* one = nullptr;
        int64_t storedKey = 0;     // a to-one read from the store but not yet resolved
        bool oneResolved = true;
        std::vector<NSManagedObject*> many;
        bool manyLoaded = true;    // false: the set is still only in the store
        bool manyChanged = false;  // a many-to-many set to rewrite at the next save
    };

    const NSEntityDescription* m_entity = nullptr;
    NSManagedObjectContext* m_context = nullptr;
    int64_t m_storeKey = 0;
    bool m_inserted = false;
    bool m_updated = false;
    bool m_deleted = false;
    std::vector<QVariant> m_values;
    std::vector<RelationshipSlot> m_relationships;
};

// Converts `value` to the stored form of an attribute type: QString, qint64, quint64 or
// double; an invalid QVariant stays absent (an empty text is a present value).
QVariant normalizedAttributeValue(NSAttributeType type, const QVariant& value);
