#pragma once
// An album of the library copy: one row per album key (artist text and album title).

#include "library/DTEntity.h"

class DTArtist;
class DTComposer;
class DTSong;

class DTAlbum : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTAlbum");
    enum Attribute { titleAttr, artistNameAttr, trackCountAttr, discCountAttr, InitialAttr };
    enum Relationship { artistRel, songsRel, composersRel };

    QString title() const { return textAt(titleAttr); }
    void setTitle(const QString& v) { setTextAt(titleAttr, v); }
    QString artistName() const { return textAt(artistNameAttr); }
    void setArtistName(const QString& v) { setTextAt(artistNameAttr, v); }
    std::optional<qint64> trackCount() const { return numberAt<qint64>(trackCountAttr); }
    void setTrackCount(std::optional<qint64> v) { setNumberAt(trackCountAttr, v); }
    std::optional<qint64> discCount() const { return numberAt<qint64>(discCountAttr); }
    void setDiscCount(std::optional<qint64> v) { setNumberAt(discCountAttr, v); }
    QString Initial() const { return textAt(InitialAttr); }

    DTArtist* artist();
    void setArtist(DTArtist* a);
    std::vector<DTSong*> songs();
    std::vector<DTComposer*> composers();
};
