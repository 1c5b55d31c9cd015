#pragma once
// An artist of the library copy: one row per distinct artist text (compared exactly).

#include "library/DTEntity.h"

class DTAlbum;
class DTGenre;
class DTSong;

class DTArtist : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTArtist");
    enum Attribute { nameAttr, InitialAttr };
    enum Relationship { songsRel, albumsRel, genresRel };

    QString name() const { return textAt(nameAttr); }
    void setName(const QString& v) { setTextAt(nameAttr, v); }
    QString Initial() const { return textAt(InitialAttr); }

    std::vector<DTSong*> songs();
    std::vector<DTAlbum*> albums();
    // Despite its plural name, at most one genre.
    DTGenre* genres();
};
