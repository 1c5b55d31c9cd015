#include "platform/media/MPMediaLibrary.h"

#include "platform/media/LibraryScan.h"

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

MPMediaLibraryScanStats MPMediaLibrary::scan()
{
    if (m_fixed)
        return {};
    std::lock_guard scanLock(m_scanMutex);
    LibraryScanResult result = scanMusicDirectory(m_musicDirectory, m_cacheFile);
    auto next = std::make_shared<const Snapshot>(std::move(result.items), std::move(result.playlists));
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(next);
    return result.stats;
}

void MPMediaLibrary::scanIfNeeded()
{
    if (hasScanned())
        return;
    std::lock_guard scanLock(m_scanMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_snapshot)
            return;  // another thread scanned while this one waited
    }
    LibraryScanResult result = scanMusicDirectory(m_musicDirectory, m_cacheFile);
    auto next = std::make_shared<const Snapshot>(std::move(result.items), std::move(result.playlists));
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(next);
}

bool MPMediaLibrary::hasScanned() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot != nullptr;
}

std::shared_ptr<const MPMediaLibrary::Snapshot> MPMediaLibrary::snapshot()
{
    scanIfNeeded();
    std::lock_guard lock(m_mutex);
    return m_snapshot;
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

MPMediaEntityPersistentID MPMediaLibrary::persistentIDForRelativePath(const QString& relativePath)
{
    const QByteArray digest =
        QCryptographicHash::hash(relativePath.toUtf8(), QCryptographicHash::Sha256);
    const MPMediaEntityPersistentID id = qFromBigEndian<quint64>(digest.constData());
    return id == 0 ? 1 : id;
}
