#pragma once
// What the last scan learnt about every file of the music directory, keyed by its path
// relative to the music directory (the file system's bytes) and checked against the
// file's size and modification time: the tags, the duration and a cover thumbnail of
// every song (the thumbnails stay in the file when it is loaded: see CoverThumbnail).
// Files that turned out not to be songs are remembered too, so an unchanged directory is
// not probed again. Stored as one binary file, replaced atomically.

#include "platform/media/MediaItemProperties.h"

#include <QHash>
#include <QString>

#include <cstdint>

struct ScanCacheEntry {
    int64_t size = 0;
    int64_t modifiedNs = 0;      // modification time, nanoseconds since the epoch
    bool isSong = false;
    MediaItemProperties song;    // filePath and persistentID are not stored

    bool sameFile(int64_t otherSize, int64_t otherModifiedNs) const
    {
        return size == otherSize && modifiedNs == otherModifiedNs;
    }
};

using ScanCache = QHash<QByteArray, ScanCacheEntry>;

// The cache stored at `path`; empty when the file is missing, from another version, or
// damaged in any way (the scan then reads every file again).
ScanCache loadScanCache(const QString& path);

// Writes `cache` to `path` through a temporary file renamed over the old one, so a crash
// leaves the old cache or the new one. Creates the directory. False when it could not.
// Once written, the thumbnails of `cache` are read from the new file, not from memory.
bool saveScanCache(const QString& path, ScanCache& cache);
