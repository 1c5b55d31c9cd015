#include "platform/media/MPMediaLibrary.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ProcessMemory.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/LibraryScan.h"

#include <QCoreApplication>

#include <QCryptographicHash>
#include <QDir>
#include <QHash>
#include <QStandardPaths>
#include <QtEndian>

struct MPMediaLibrary::Snapshot {
    QList<MPMediaItem> items;
    QList<MPMediaPlaylist> playlists;
    QHash<MPMediaEntityPersistentID, qsizetype> indexByID;

    Snapshot(QList<MPMediaItem> songs, QList<MPMediaPlaylist> lists)
        : items(std::move(songs)), playlists(std::move(lists))
    {
        indexByID.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i)
            indexByID.insert(items[i].persistentID(), i);
    }
};

MPMediaLibrary::MPMediaLibrary(QString musicDirectory, QString cacheFile)
    : m_musicDirectory(std::move(musicDirectory)), m_cacheFile(std::move(cacheFile))
{
}

MPMediaLibrary::MPMediaLibrary(QList<MPMediaItem> items, QList<MPMediaPlaylist> playlists)
    : m_fixed(true), m_snapshot(std::make_shared<const Snapshot>(std::move(items), std::move(playlists)))
{
}

namespace {

std::mutex defaultLibraryMutex;
std::shared_ptr<MPMediaLibrary> defaultLibrary;

} // namespace

std::shared_ptr<MPMediaLibrary> MPMediaLibrary::defaultMediaLibrary()
{
    std::lock_guard lock(defaultLibraryMutex);
    if (!defaultLibrary)
        defaultLibrary = std::make_shared<MPMediaLibrary>(defaultMusicDirectory(), defaultCacheFile());
    return defaultLibrary;
}

void MPMediaLibrary::setDefaultMediaLibrary(std::shared_ptr<MPMediaLibrary> library)
{
    std::lock_guard lock(defaultLibraryMutex);
    defaultLibrary = std::move(library);
}

QString MPMediaLibrary::defaultMusicDirectory()
{
    // XDG_MUSIC_DIR as exported by xdg-user-dirs' shell set-up, then the user-dirs file
    // (which QStandardPaths reads), then ~/Music.
    const QString fromEnvironment = qEnvironmentVariable("XDG_MUSIC_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty())
        return music;
    return QDir::homePath() + QStringLiteral("/Music");
}

QString MPMediaLibrary::defaultCacheFile()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/media-scan-cache.bin");
}

MPMediaLibrary::~MPMediaLibrary()
{
    {
        std::lock_guard lock(m_workMutex);
        m_stopWorker = true;
    }
    m_work.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

bool MPMediaLibrary::install(std::shared_ptr<const Snapshot> next)
{
    std::lock_guard lock(m_mutex);
    bool changed = !m_snapshot || m_snapshot->items.size() != next->items.size()
                   || m_snapshot->playlists.size() != next->playlists.size();
    for (qsizetype i = 0; !changed && i < next->items.size(); ++i)
        changed = m_snapshot->items[i].properties() != next->items[i].properties();
    for (qsizetype i = 0; !changed && i < next->playlists.size(); ++i)
        changed = m_snapshot->playlists[i].name() != next->playlists[i].name()
                  || m_snapshot->playlists[i].items() != next->playlists[i].items();
    // Unchanged contents keep the songs already handed out (the lists hold them), rather
    // than holding a second copy of every song for as long as those lists live.
    if (changed)
        m_snapshot = std::move(next);
    m_scanned.notify_all();
    return changed;
}

MPMediaLibraryScanStats MPMediaLibrary::scan()
{
    if (m_fixed)
        return {};
    std::lock_guard scanLock(m_scanMutex);
    LibraryScanResult result = scanMusicDirectory(m_musicDirectory, m_cacheFile);
    MPMediaLibraryScanStats stats = result.stats;
    stats.changed = install(std::make_shared<const Snapshot>(std::move(result.items), std::move(result.playlists)));
    result = LibraryScanResult();
    releaseFreedMemory();  // the scan's working copies of the cache are gone
    return stats;
}

void MPMediaLibrary::rescan(ScanCompletion done)
{
    requestScan(std::move(done));
}

void MPMediaLibrary::scanInBackgroundIfNeeded()
{
    if (hasScanned())
        return;
    {
        std::lock_guard lock(m_workMutex);
        if (m_worker.joinable())
            return;  // the first scan is under way (or done)
    }
    requestScan({});
}

void MPMediaLibrary::requestScan(ScanCompletion done)
{
    if (m_fixed) {
        // Nothing to read: report at once, in the same way.
        const MPMediaLibraryScanStats none;
        if (done && QCoreApplication::instance())
            RunLoop::performOnMainThread([done = std::move(done), none] { done(none); }, false);
        else if (done)
            done(none);
        return;
    }
    {
        std::lock_guard lock(m_workMutex);
        m_scanRequested = true;
        if (done)
            m_waiting.push_back(std::move(done));
        if (!m_worker.joinable())
            m_worker = std::thread([this] { workerLoop(); });
    }
    m_work.notify_all();
}

// Worker thread: runs the requested scans one after another and hands each result to the
// main thread. Touches the snapshot only through scan() (under its locks).
void MPMediaLibrary::workerLoop()
{
    for (;;) {
        std::vector<ScanCompletion> waiting;
        {
            std::unique_lock lock(m_workMutex);
            m_work.wait(lock, [this] { return m_scanRequested || m_stopWorker; });
            if (m_stopWorker)
                return;
            m_scanRequested = false;
            waiting.swap(m_waiting);
        }
        const MPMediaLibraryScanStats stats = scan();
        {
            std::lock_guard lock(m_workMutex);
            if (m_stopWorker)
                return;  // the library is going away: nobody is left to tell
        }
        const void* sender = this;
        auto report = [waiting = std::move(waiting), stats, sender] {
            if (stats.changed)
                NotificationCenter::defaultCenter().postNotification(MPMediaLibraryDidChangeNotification, sender);
            for (const ScanCompletion& done : waiting)
                done(stats);
        };
        if (QCoreApplication::instance())
            RunLoop::performOnMainThread(std::move(report), false);
        else
            report();
    }
}

bool MPMediaLibrary::hasScanned() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot != nullptr;
}

bool MPMediaLibrary::waitUntilScanned(int milliseconds)
{
    scanInBackgroundIfNeeded();
    std::unique_lock lock(m_mutex);
    return m_scanned.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_snapshot != nullptr; });
}

std::shared_ptr<const MPMediaLibrary::Snapshot> MPMediaLibrary::snapshot()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_snapshot)
            return m_snapshot;
    }
    scanInBackgroundIfNeeded();
    static const auto empty = std::make_shared<const Snapshot>(QList<MPMediaItem>{}, QList<MPMediaPlaylist>{});
    return empty;
}

QList<MPMediaItem> MPMediaLibrary::allItems()
{
    return snapshot()->items;
}

QList<MPMediaPlaylist> MPMediaLibrary::allPlaylists()
{
    return snapshot()->playlists;
}

MPMediaItem MPMediaLibrary::itemWithPersistentID(MPMediaEntityPersistentID persistentID)
{
    const auto current = snapshot();
    const auto found = current->indexByID.constFind(persistentID);
    return found == current->indexByID.constEnd() ? MPMediaItem() : current->items[*found];
}

MPMediaEntityPersistentID MPMediaLibrary::persistentIDForRelativePath(const QByteArray& relativePath)
{
    const QByteArray digest = QCryptographicHash::hash(relativePath, QCryptographicHash::Sha256);
    const MPMediaEntityPersistentID id = qFromBigEndian<quint64>(digest.constData());
    return id == 0 ? 1 : id;
}
