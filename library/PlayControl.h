#pragma once
// The stored play modes: one row with the shuffle and repeat modes. Its last-title and
// last-position attributes are in the schema but never written or read.

#include "library/DTEntity.h"

class PlayControl : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("PlayControl");
    enum Attribute { shuffleEnableAttr, PlayModeAttr, LastPlayMusicTitleAttr, LastPosionAttr };

    std::optional<qint64> shuffleEnable() const { return numberAt<qint64>(shuffleEnableAttr); }
    std::optional<qint64> PlayMode() const { return numberAt<qint64>(PlayModeAttr); }
};
