#pragma once
// The stored effect settings: one row, one number attribute per stored settings key
// (see kStoredSettingKeys).

#include "library/DTEntity.h"

class Setting : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("Setting");

    // The integer stored for the attribute; nullopt when absent or unknown.
    std::optional<int> integerForAttribute(const QString& attribute) const
    {
        const QVariant v = valueForKey(attribute);
        return v.isValid() ? std::optional<int>(int(v.toLongLong())) : std::nullopt;
    }
};
