#pragma once
// The device library: the songs and playlists of the user's music directory.
//
// The music directory is the XDG music directory (QStandardPaths::MusicLocation; ~/Music
// when unset), scanned recursively, symbolic links to folders followed (each real folder
// once); hidden files and folders are left out. File names are kept as the file system's
// bytes, whatever their encoding. Every audio file is a song: one TagLib reads as audio,
// or else one in which FFmpeg finds a stream it can decode. Tags come from TagLib, the
// duration from FFmpeg's reading of the container, and a small cover thumbnail is made at
// scan time. `.m3u`/`.m3u8` files are playlists. The scan cache (a binary file in the
// application's data directory) remembers every file by relative path, size and
// modification time with all of the above, so a later scan reads only new and changed
// files and an unchanged library opens no file at all. A file with broken tags is listed
// with what can be read; an entry that cannot be read is counted and skipped and never
// stops the scan. Each scan logs one line with its counts.
//
// A library is shared by reference; its contents are an immutable snapshot replaced as a
// whole by each scan, so readers on any thread see either the old or the new songs.
//
// Scans never need the main (GUI) thread. Queries answer from the newest completed scan.
// Before the first scan has completed they answer empty at once and start that scan in
// the background; when a background scan lands with different contents the library posts
// MPMediaLibraryDidChangeNotification on the main thread, and the lists are refreshed
// from it. rescan() runs a new scan in the background and reports on the main thread.

#include "platform/media/MPMediaItem.h"
#include "platform/media/MPMediaItemCollection.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Posted on the main thread, with the library as object, when a background scan has
// replaced the library's contents with different ones.
inline const QString MPMediaLibraryDidChangeNotification = QStringLiteral("MPMediaLibraryDidChangeNotification");

struct MPMediaLibraryScanStats {
    int filesSeen = 0;        // regular files found below the music directory
    int itemsRead = 0;        // songs whose tags were read this time (new or changed)
    int itemsFromCache = 0;   // songs taken unchanged from the scan cache
    int notAudio = 0;         // files that are not decodable audio
    int unreadable = 0;       // files and folders that could not be read
    int skippedNames = 0;     // hidden entries, left out by their name
    int playlists = 0;
    bool cacheWritten = false;
    bool changed = false;     // the songs or playlists differ from those before the scan
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
    // Waits for a background scan that is running to end.
    ~MPMediaLibrary();
    MPMediaLibrary(const MPMediaLibrary&) = delete;
    MPMediaLibrary& operator=(const MPMediaLibrary&) = delete;

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

    // Reads the music directory now, on the calling thread (never the main thread of an
    // application: use rescan() there), reading only new or changed files, and replaces
    // the songs and playlists; writes the cache when anything changed.
    MPMediaLibraryScanStats scan();

    // Rescans the music folder on the library's own worker thread (reusing the scan
    // cache), then calls `done` on the main thread once queries answer from the new scan;
    // without a main run loop (no QCoreApplication) `done` runs on the worker. Requests
    // made while a scan runs are served by one more scan after it, so a file added at any
    // time before the call is seen. `done` may be empty.
    using ScanCompletion = std::function<void(const MPMediaLibraryScanStats&)>;
    void rescan(ScanCompletion done);
    // Starts the first scan in the background unless one has completed or is under way.
    void scanInBackgroundIfNeeded();
    // Whether a scan has completed (a fixed library always has).
    bool hasScanned() const;
    // Blocks until a scan has completed or `milliseconds` have passed; answers hasScanned().
    // Starts the first scan when none is under way.
    bool waitUntilScanned(int milliseconds);

    // All songs (unsorted: in the order files were found) and all playlists of the newest
    // completed scan; empty before the first scan has completed (which they start).
    QList<MPMediaItem> allItems();
    QList<MPMediaPlaylist> allPlaylists();
    // The song with this identifier, or the null item.
    MPMediaItem itemWithPersistentID(MPMediaEntityPersistentID persistentID);

    // The identifier of the file at `relativePath` below the music directory: the first
    // 8 bytes of the SHA-256 of its path's bytes ('/' separators; text as UTF-8) read
    // big-endian, 0 mapped to 1.
    static MPMediaEntityPersistentID persistentIDForRelativePath(const QByteArray& relativePath);

private:
    struct Snapshot;
    std::shared_ptr<const Snapshot> snapshot();
    // Replaces the contents; answers whether they differ from the previous ones.
    bool install(std::shared_ptr<const Snapshot> next);
    void requestScan(ScanCompletion done);
    void workerLoop();

    QString m_musicDirectory;
    QString m_cacheFile;
    bool m_fixed = false;
    mutable std::mutex m_mutex;       // guards m_snapshot
    std::condition_variable m_scanned;  // m_snapshot set (with m_mutex)
    std::mutex m_scanMutex;           // one scan at a time
    std::shared_ptr<const Snapshot> m_snapshot;

    // The worker thread: started on the first background request, ended by the
    // destructor. Guarded by m_workMutex: the pending requests and the stop flag.
    std::mutex m_workMutex;
    std::condition_variable m_work;
    bool m_scanRequested = false;
    bool m_stopWorker = false;
    std::vector<ScanCompletion> m_waiting;
    std::thread m_worker;
};
