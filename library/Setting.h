#pragma once
// The stored effect settings: one row, one number attribute per stored settings key
// (see kStoredSettingKeys).

#include "library/DTEntity.h"

class Setting : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("Setting");
};
