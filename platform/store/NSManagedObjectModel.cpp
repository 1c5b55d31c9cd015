#include "platform/store/NSManagedObjectModel.h"

#include "platform/store/NSManagedObject.h"

#include <stdexcept>

NSEntityDescription::NSEntityDescription(QString name, ObjectFactory factory)
    : m_name(std::move(name)), m_factory(std::move(factory))
{
}

NSEntityDescription& NSEntityDescription::addAttribute(const QString& name, NSAttributeType type,
                                                       const QVariant& defaultValue)
{
    m_attributes.push_back({name, type, defaultValue});
    return *this;
}

NSEntityDescription& NSEntityDescription::addRelationship(const QString& name, const QString& destinationEntity,
                                                          const QString& inverseName, bool toMany)
{
    NSRelationshipDescription r;
    r.name = name;
    r.destinationEntityName = destinationEntity;
    r.inverseName = inverseName;
    r.toMany = toMany;
    m_relationships.push_back(r);
    return *this;
}

int NSEntityDescription::attributeIndex(const QString& name) const
{
    for (size_t i = 0; i < m_attributes.size(); ++i)
        if (m_attributes[i].name == name)
            return int(i);
    return -1;
}

int NSEntityDescription::relationshipIndex(const QString& name) const
{
    for (size_t i = 0; i < m_relationships.size(); ++i)
        if (m_relationships[i].name == name)
            return int(i);
    return -1;
}

std::shared_ptr<NSManagedObject> NSEntityDescription::makeObject() const
{
    return m_factory ? m_factory() : std::make_shared<NSManagedObject>();
}

NSEntityDescription& NSManagedObjectModel::addEntity(const QString& name, NSEntityDescription::ObjectFactory factory)
{
    if (m_complete)
        throw std::logic_error("entity added to a completed model");
    m_entities.push_back(std::make_unique<NSEntityDescription>(name, std::move(factory)));
    m_entities.back()->m_index = int(m_entities.size() - 1);
    return *m_entities.back();
}

void NSManagedObjectModel::complete()
{
    for (auto& entity : m_entities) {
        for (auto& r : entity->m_relationships) {
            const NSEntityDescription* destination = entityForName(r.destinationEntityName);
            if (!destination)
                throw std::logic_error(("unknown destination entity " + r.destinationEntityName).toStdString());
            const int inverse = destination->relationshipIndex(r.inverseName);
            if (inverse < 0)
                throw std::logic_error(("unknown inverse relationship " + r.inverseName).toStdString());
            const NSRelationshipDescription& back = destination->m_relationships[size_t(inverse)];
            if (back.inverseName != r.name || back.destinationEntityName != entity->m_name)
                throw std::logic_error(("inverse does not point back: " + r.name).toStdString());
            r.destinationEntityIndex = destination->m_index;
            r.inverseIndex = inverse;
        }
    }
    m_complete = true;
}

const NSEntityDescription* NSManagedObjectModel::entityForName(const QString& name) const
{
    for (const auto& entity : m_entities)
        if (entity->name() == name)
            return entity.get();
    return nullptr;
}
