#pragma once
// A composer of the library copy: one row per distinct composer text.

#include "library/DTEntity.h"

class DTAlbum;
class DTSong;

class DTComposer : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTComposer");
    enum Attribute { nameAttr };
    enum Relationship { songsRel, albumsRel };

    QString name() const { return textAt(nameAttr); }
    void setName(const QString& v) { setTextAt(nameAttr, v); }

    std::vector<DTSong*> songs();
    std::vector<DTAlbum*> albums();
};
