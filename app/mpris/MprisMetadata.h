#pragma once
// A song as the desktop's media controls describe it: the metadata map of the player
// interface and the cover written to a file that clients can read.

#include "platform/media/MPMediaItem.h"

#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

// The track id of a song: "/org/tavoro/track/" and its persistent identifier in hex; the
// no-track path for the null item.
QDBusObjectPath mprisTrackId(const MPMediaItem& song);

// "mpris:trackid", "mpris:length" (microseconds), "xesam:title", "xesam:artist" (a list of
// one), "xesam:album", "xesam:trackNumber" and, when `artUrl` is not empty, "mpris:artUrl";
// entries the song has no value for are left out. Only the track id for the null item.
QVariantMap mprisMetadata(const MPMediaItem& song, const QString& artUrl);

// The cover of the current song as a file in the application's cache directory, named by
// the song ("cover-<id>.png" or ".jpg", the encoded bytes exactly as embedded), so that a
// client that caches by address never shows the previous song's cover. One file at a time:
// the previous song's file is removed when another song's is written, and the last one
// when the cache is destroyed. Main thread only.
class MprisCoverCache {
public:
    MprisCoverCache();
    ~MprisCoverCache();
    MprisCoverCache(const MprisCoverCache&) = delete;
    MprisCoverCache& operator=(const MprisCoverCache&) = delete;

    // The file URL of the song's cover, written on the first request for this song; empty
    // when the song has no readable cover (its previous file is removed all the same).
    QString artUrlFor(const MPMediaItem& song);

private:
    void removeFile();

    QString mDirectory;
    MPMediaEntityPersistentID mSongId = 0;
    QString mFile;  // the current song's cover file, empty when it has none
};
