#pragma once
// A playlist row. The schema has it; no operation of the player creates one.

#include "library/DTEntity.h"

class DTSong;

class DTPlaylist : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTPlaylist");
    enum Attribute { nameAttr };
    enum Relationship { songsRel };

    QString name() const { return textAt(nameAttr); }
    void setName(const QString& v) { setTextAt(nameAttr, v); }
    std::vector<DTSong*> songs();
};
