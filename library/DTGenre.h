#pragma once
// A genre of the library copy: one row per distinct genre text.

#include "library/DTEntity.h"

class DTArtist;
class DTSong;

class DTGenre : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTGenre");
    enum Attribute { nameAttr, InitialAttr };
    enum Relationship { songsRel, artistsRel };

    QString name() const { return textAt(nameAttr); }
    void setName(const QString& v) { setTextAt(nameAttr, v); }
    QString Initial() const { return textAt(InitialAttr); }

    std::vector<DTSong*> songs();
    std::vector<DTArtist*> artists();
};
