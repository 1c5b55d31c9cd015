#pragma once
// An ordered group of songs: one song, an artist's, an album's or a genre's songs, the
// songs a user picked, or a playlist. A playlist is a collection that also has a name.

#include "platform/media/MPMediaItem.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

inline const QString MPMediaPlaylistPropertyName = QStringLiteral("MPMediaPlaylistPropertyName");
inline const QString MPMediaPlaylistPropertyPersistentID = QStringLiteral("MPMediaPlaylistPropertyPersistentID");

class MPMediaItemCollection {
public:
    MPMediaItemCollection() = default;  // empty collection
    explicit MPMediaItemCollection(QList<MPMediaItem> items);

    // The songs in order: a list that shares the collection's own (a collection of one
    // song makes its list of one when asked).
    QList<MPMediaItem> items() const;
    qsizetype count() const;
    // The song that stands for the group (its first song); the null item when empty.
    MPMediaItem representativeItem() const;

    // Playlist properties (MPMediaPlaylistPropertyName, MPMediaPlaylistPropertyPersistentID)
    // of a playlist; an invalid QVariant for other collections or unknown names.
    QVariant valueForProperty(const QString& property) const;

protected:
    struct Data {
        QList<MPMediaItem> items;
        bool isPlaylist = false;
        QString playlistName;
        MPMediaEntityPersistentID playlistID = 0;
    };
    std::shared_ptr<const Data> m_data;
    // A collection of one song that is not a playlist (each row of the songs list) holds
    // its song here and has no Data, so a large library's songs list costs no allocation
    // per song beyond the songs themselves.
    MPMediaItem m_single;
};
Q_DECLARE_METATYPE(MPMediaItemCollection)

// A playlist: its songs in the order of its file, and its name (the file name without
// extension). The collections of a playlists query are playlists; wrap one in
// MPMediaPlaylist to read its name directly.
class MPMediaPlaylist : public MPMediaItemCollection {
public:
    MPMediaPlaylist() = default;
    explicit MPMediaPlaylist(const MPMediaItemCollection& collection)
        : MPMediaItemCollection(collection) {}
    MPMediaPlaylist(QString name, MPMediaEntityPersistentID persistentID, QList<MPMediaItem> items);

    QString name() const;  // empty for a collection that is not a playlist
    MPMediaEntityPersistentID persistentID() const;
};
