#pragma once
// Typed access to the attributes of the library's entities. A text attribute reads as a
// null QString when absent (an empty text stays empty, not null); numbers read as
// std::nullopt when absent. Setting a null QString or std::nullopt makes it absent.

#include "platform/store/NSManagedObject.h"

#include <QString>

#include <optional>

class DTEntity : public NSManagedObject {
public:
    // The integer stored for the attribute (by its name); nullopt when absent or unknown.
    std::optional<int> integerForAttribute(const QString& attribute) const
    {
        const QVariant v = valueForKey(attribute);
        return v.isValid() ? std::optional<int>(int(v.toLongLong())) : std::nullopt;
    }

protected:
    QString textAt(int index) const
    {
        const QVariant& v = valueAt(index);
        if (!v.isValid())
            return QString();
        QString s = v.toString();
        return s.isNull() ? QStringLiteral("") : s;
    }
    void setTextAt(int index, const QString& text)
    {
        setValueAt(index, text.isNull() ? QVariant() : QVariant(text));
    }
    template <typename T>
    std::optional<T> numberAt(int index) const
    {
        const QVariant& v = valueAt(index);
        return v.isValid() ? std::optional<T>(v.value<T>()) : std::nullopt;
    }
    template <typename T>
    void setNumberAt(int index, std::optional<T> number)
    {
        setValueAt(index, number ? QVariant::fromValue<T>(*number) : QVariant());
    }
    template <typename T>
    T* toOneAs(int relationship)
    {
        return static_cast<T*>(toOneAt(relationship));
    }
    template <typename T>
    std::vector<T*> toManyAs(int relationship)
    {
        std::vector<T*> result;
        for (NSManagedObject* o : toManyAt(relationship))
            result.push_back(static_cast<T*>(o));
        return result;
    }
};
