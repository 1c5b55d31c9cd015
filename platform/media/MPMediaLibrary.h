#pragma once
// The device library: the songs and playlists of the user's music directory.
//
// The music directory is the XDG music directory (QStandardPaths::MusicLocation; ~/Music
// when unset), scanned recursively; hidden files and folders are left out. Every audio
// file is a song: one TagLib reads as audio, or else one in which FFmpeg finds a stream it
// can decode. Tags come from TagLib, the duration from FFmpeg's reading of the container
// (for files TagLib reads, when first asked for). `.m3u`/`.m3u8` files are playlists. The scan cache (a binary file in the application's data
// directory) remembers every file by relative path, size and modification time, so a
// later scan reads only new and changed files. A file with broken tags is listed with
// what can be read; an unreadable file is skipped and never stops the scan.
//
// A library is shared by reference; its contents are an immutable snapshot replaced as a
// whole by each scan, so readers on any thread see either the old or the new songs.

#include "platform/media/MPMediaItem.h"
#include "platform/media/MPMediaItemCollection.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>

struct MPMediaLibraryScanStats {
    int filesSeen = 0;        // regular files found below the music directory
    int itemsRead = 0;        // songs whose tags were read this time (new or changed)
    int itemsFromCache = 0;   // songs taken unchanged from the scan cache
    int filesSkipped = 0;     // files that are not decodable audio (or not readable)
    int playlists = 0;
    bool cacheWritten = false;
    double seconds = 0.0;
};

class MPMediaLibrary {
public:
    // A library over `musicDirectory` with its scan cache at `cacheFile` (empty: no
    // cache). Nothing is read until scan() or the first query.
    MPMediaLibrary(QString musicDirectory, QString cacheFile);
    // A fixed library of the given songs and playlists, never scanned (for tests and
    // tools that need a library without audio files).
    MPMediaLibrary(QList<MPMediaItem> items, QList<MPMediaPlaylist> playlists);

    // The process-wide library over the user's music directory with its cache in the
    // application's data directory; created on first use. Tests may replace it.
    static std::shared_ptr<MPMediaLibrary> defaultMediaLibrary();
    static void setDefaultMediaLibrary(std::shared_ptr<MPMediaLibrary> library);

    // The XDG music directory, or ~/Music when none is configured.
    static QString defaultMusicDirectory();
    // "media-scan-cache.bin" in QStandardPaths::AppDataLocation (~/.local/share/Tavoro).
    static QString defaultCacheFile();

    QString musicDirectory() const { return m_musicDirectory; }
    QString cacheFile() const { return m_cacheFile; }

    // Reads the music directory now (tags only of new or changed files) and replaces the
    // songs and playlists; writes the cache when anything changed. Safe to call again.
    MPMediaLibraryScanStats scan();
    // scan() unless the library has been scanned already.
    void scanIfNeeded();
    bool hasScanned() const;

    // All songs (unsorted: in the order files were found) and all playlists; these scan
    // first when the library has not been scanned yet.
    QList<MPMediaItem> allItems();
    QList<MPMediaPlaylist> allPlaylists();
    // The song with this identifier, or the null item.
    MPMediaItem itemWithPersistentID(MPMediaEntityPersistentID persistentID);

    // The identifier of the file at `relativePath` below the music directory: the first
    // 8 bytes of its path's SHA-256 (UTF-8, '/' separators) read big-endian, 0 mapped to 1.
    static MPMediaEntityPersistentID persistentIDForRelativePath(const QString& relativePath);

private:
    struct Snapshot;
    std::shared_ptr<const Snapshot> snapshot();

    QString m_musicDirectory;
    QString m_cacheFile;
    bool m_fixed = false;
    mutable std::mutex m_mutex;       // guards m_snapshot
    std::mutex m_scanMutex;           // one scan at a time
    std::shared_ptr<const Snapshot> m_snapshot;
};
