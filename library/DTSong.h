#pragma once
// A song of the library copy: one row per song of the device library at the last rebuild.

#include "library/DTEntity.h"
#include "platform/media/MPMediaItem.h"

#include <QImage>
#include <QSize>

class DTAlbum;
class DTArtist;
class DTComposer;
class DTGenre;
class DTPlaylist;

class DTSong : public DTEntity {
public:
    static inline const QString entityName = QStringLiteral("DTSong");
    // Attribute and relationship order of the entity (see DTMusicModel.cpp).
    enum Attribute { identifierAttr, titleAttr, collectionNumberAttr, ArtNameAttr, AlbumNameAttr,
                     trackNumberAttr, discNumberAttr, lyricsAttr, durationAttr, ratingAttr, InitialAttr };
    enum Relationship { artistRel, albumRel, genreRel, composerRel, playlistsRel };

    std::optional<quint64> identifier() const { return numberAt<quint64>(identifierAttr); }
    void setIdentifier(std::optional<quint64> v) { setNumberAt(identifierAttr, v); }
    QString title() const { return textAt(titleAttr); }
    void setTitle(const QString& v) { setTextAt(titleAttr, v); }
    std::optional<qint64> collectionNumber() const { return numberAt<qint64>(collectionNumberAttr); }
    void setCollectionNumber(std::optional<qint64> v) { setNumberAt(collectionNumberAttr, v); }
    QString ArtName() const { return textAt(ArtNameAttr); }
    void setArtName(const QString& v) { setTextAt(ArtNameAttr, v); }
    QString AlbumName() const { return textAt(AlbumNameAttr); }
    void setAlbumName(const QString& v) { setTextAt(AlbumNameAttr, v); }
    std::optional<qint64> trackNumber() const { return numberAt<qint64>(trackNumberAttr); }
    void setTrackNumber(std::optional<qint64> v) { setNumberAt(trackNumberAttr, v); }
    std::optional<qint64> discNumber() const { return numberAt<qint64>(discNumberAttr); }
    void setDiscNumber(std::optional<qint64> v) { setNumberAt(discNumberAttr, v); }
    QString lyrics() const { return textAt(lyricsAttr); }
    void setLyrics(const QString& v) { setTextAt(lyricsAttr, v); }
    std::optional<double> duration() const { return numberAt<double>(durationAttr); }
    std::optional<double> rating() const { return numberAt<double>(ratingAttr); }
    QString Initial() const { return textAt(InitialAttr); }

    DTArtist* artist();
    void setArtist(DTArtist* a);
    DTAlbum* album();
    void setAlbum(DTAlbum* a);
    DTGenre* genre();
    void setGenre(DTGenre* g);
    DTComposer* composer();
    void setComposer(DTComposer* c);
    std::vector<DTPlaylist*> playlists();

    // The device library's item of this song (found by its persistent identifier); the
    // null item when the song has left the device library since the last rebuild.
    MPMediaItem mediaItem() const;
    // The item's artwork rendered at `size`; a null image without an item or artwork.
    QImage artworkImageWithSize(QSize size) const;
};
