#pragma once
// One scan of the music directory: walks it, takes unchanged files from the scan cache,
// reads new and changed ones, resolves the playlists, and refreshes the cache.

#include "platform/media/MPMediaItem.h"
#include "platform/media/MPMediaItemCollection.h"
#include "platform/media/MPMediaLibrary.h"

#include <QList>
#include <QString>

struct LibraryScanResult {
    QList<MPMediaItem> items;        // in path order
    QList<MPMediaPlaylist> playlists;  // in path order
    MPMediaLibraryScanStats stats;
};

LibraryScanResult scanMusicDirectory(const QString& musicDirectory, const QString& cacheFile);
