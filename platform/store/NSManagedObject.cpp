#include "platform/store/NSManagedObject.h"

#include "platform/store/NSManagedObjectContext.h"

namespace {
const QVariant kAbsent;
}

QVariant NSManagedObject::valueForKey(const QString& key) const
{
    const int index = m_entity ? m_entity->attributeIndex(key) : -1;
    return index < 0 ? kAbsent : m_values[size_t(index)];
}

void NSManagedObject::setValue(const QVariant& value, const QString& key)
{
    const int index = m_entity ? m_entity->attributeIndex(key) : -1;
    if (index >= 0)
        setValueAt(index, value);
}

void NSManagedObject::setValueAt(int attributeIndex, const QVariant& value)
{
    const NSAttributeType type = m_entity->attributes().at(size_t(attributeIndex)).attributeType;
    m_values[size_t(attributeIndex)] = normalizedAttributeValue(type, value);
    if (m_context)
        m_context->objectDidChange(this);
}

NSManagedObject* NSManagedObject::toOne(const QString& key)
{
    const int index = m_entity ? m_entity->relationshipIndex(key) : -1;
    return index < 0 ? nullptr : toOneAt(index);
}

void NSManagedObject::setToOne(const QString& key, NSManagedObject* object)
{
    const int index = m_entity ? m_entity->relationshipIndex(key) : -1;
    if (index >= 0)
        setToOneAt(index, object);
}

std::vector<NSManagedObject*> NSManagedObject::toMany(const QString& key)
{
    const int index = m_entity ? m_entity->relationshipIndex(key) : -1;
    return index < 0 ? std::vector<NSManagedObject*>{} : toManyAt(index);
}

NSManagedObject* NSManagedObject::toOneAt(int relationshipIndex)
{
    if (!m_context || m_entity->relationships().at(size_t(relationshipIndex)).toMany)
        return nullptr;
    return m_context->resolveToOne(this, relationshipIndex);
}

void NSManagedObject::setToOneAt(int relationshipIndex, NSManagedObject* object)
{
    if (m_context && !m_entity->relationships().at(size_t(relationshipIndex)).toMany)
        m_context->relate(this, relationshipIndex, object);
}

std::vector<NSManagedObject*> NSManagedObject::toManyAt(int relationshipIndex)
{
    if (!m_context || !m_entity->relationships().at(size_t(relationshipIndex)).toMany)
        return {};
    return m_context->loadToMany(this, relationshipIndex);
}

void NSManagedObject::addToMany(const QString& key, NSManagedObject* object)
{
    const int index = m_entity ? m_entity->relationshipIndex(key) : -1;
    if (index >= 0 && m_context && object && m_entity->relationships()[size_t(index)].toMany)
        m_context->relate(this, index, object);
}

void NSManagedObject::removeFromMany(const QString& key, NSManagedObject* object)
{
    const int index = m_entity ? m_entity->relationshipIndex(key) : -1;
    if (index >= 0 && m_context && object && m_entity->relationships()[size_t(index)].toMany)
        m_context->unrelate(this, index, object);
}

QVariant normalizedAttributeValue(NSAttributeType type, const QVariant& value)
{
    if (!value.isValid())
        return {};
    switch (type) {
    case NSAttributeType::String:
        return value.toString();
    case NSAttributeType::Integer64:
        return QVariant::fromValue<qint64>(value.toLongLong());
    case NSAttributeType::UInteger64:
        return QVariant::fromValue<quint64>(value.toULongLong());
    case NSAttributeType::Double:
        return value.toDouble();
    }
    return {};
}
