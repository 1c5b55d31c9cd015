#pragma once
// The object model of a store: its entities, each with named attributes and named
// relationships to other entities. Every relationship names its inverse, and the store
// keeps both sides in step.

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class NSManagedObject;

enum class NSAttributeType {
    String,          // text
    Integer64,       // signed whole number
    UInteger64,      // unsigned whole number over the full 64-bit range
    Double,          // any number
};

struct NSAttributeDescription {
    QString name;
    NSAttributeType attributeType = NSAttributeType::String;
    // What rows written before the attribute existed hold (invalid: absent).
    QVariant defaultValue;
};

struct NSRelationshipDescription {
    QString name;
    QString destinationEntityName;
    QString inverseName;
    bool toMany = false;

    // Filled in when the model is completed.
    int destinationEntityIndex = -1;
    int inverseIndex = -1;
};

class NSEntityDescription {
public:
    using ObjectFactory = std::function<std::shared_ptr<NSManagedObject>()>;

    NSEntityDescription(QString name, ObjectFactory factory = {});

    const QString& name() const { return m_name; }
    NSEntityDescription& addAttribute(const QString& name, NSAttributeType type, const QVariant& defaultValue = {});
    NSEntityDescription& addRelationship(const QString& name, const QString& destinationEntity,
                                         const QString& inverseName, bool toMany);

    const std::vector<NSAttributeDescription>& attributes() const { return m_attributes; }
    const std::vector<NSRelationshipDescription>& relationships() const { return m_relationships; }
    int attributeIndex(const QString& name) const;     // -1 when unknown
    int relationshipIndex(const QString& name) const;  // -1 when unknown

    // A new, blank object of the entity's class (NSManagedObject unless a factory was given).
    std::shared_ptr<NSManagedObject> makeObject() const;

    int index() const { return m_index; }

private:
    friend class NSManagedObjectModel;
    QString m_name;
    ObjectFactory m_factory;
    std::vector<NSAttributeDescription> m_attributes;
    std::vector<NSRelationshipDescription> m_relationships;
    int m_index = -1;
};

class NSManagedObjectModel {
public:
    NSManagedObjectModel() = default;
    NSManagedObjectModel(const NSManagedObjectModel&) = delete;
    NSManagedObjectModel& operator=(const NSManagedObjectModel&) = delete;

    NSEntityDescription& addEntity(const QString& name, NSEntityDescription::ObjectFactory factory = {});

    // Resolves every relationship's destination and inverse. Throws std::logic_error when
    // a destination or an inverse is missing or the inverse does not point back.
    void complete();
    bool isComplete() const { return m_complete; }

    const std::vector<std::unique_ptr<NSEntityDescription>>& entities() const { return m_entities; }
    const NSEntityDescription* entityForName(const QString& name) const;  // null when unknown
    const NSEntityDescription& entityAt(int index) const { return *m_entities.at(index); }

private:
    std::vector<std::unique_ptr<NSEntityDescription>> m_entities;
    bool m_complete = false;
};
