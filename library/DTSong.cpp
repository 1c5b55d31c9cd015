#include "library/DTSong.h"

#include "library/DTAlbum.h"
#include "library/DTArtist.h"
#include "library/DTComposer.h"
#include "library/DTGenre.h"
#include "platform/media/MPMediaQuery.h"

void DTSong::setArtist(DTArtist* a) { setToOneAt(artistRel, a); }
void DTSong::setAlbum(DTAlbum* a) { setToOneAt(albumRel, a); }
void DTSong::setGenre(DTGenre* g) { setToOneAt(genreRel, g); }
void DTSong::setComposer(DTComposer* c) { setToOneAt(composerRel, c); }

MPMediaItem DTSong::mediaItem() const
{
    const std::optional<quint64> id = identifier();
    if (!id)
        return MPMediaItem();
    MPMediaQuery query({MPMediaPropertyPredicate::predicateWithValue(QVariant::fromValue<quint64>(*id),
                                                                     MPMediaItemPropertyPersistentID)});
    const QList<MPMediaItem> items = query.items();
    return items.isEmpty() ? MPMediaItem() : items.first();
}

QImage DTSong::artworkImageWithSize(QSize size) const
{
    const MPMediaItem item = mediaItem();
    if (item.isNull())
        return QImage();
    const MPMediaItemArtwork artwork = item.artwork();
    return artwork.isNull() ? QImage() : artwork.imageWithSize(size);
}
