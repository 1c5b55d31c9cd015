// The full rebuild of the library copy from the device library.

#include "library/DTComposer.h"
#include "library/DTMusicModelController.h"
#include "library/SettingKeys.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MPMediaQuery.h"

#include <QFile>
#include <QHash>

#include <cstdio>

namespace {

// Finds an album during the import: the artist text (absent and empty being different
// artists) and the album title, kept apart so that no two of them run together.
struct AlbumKey {
    bool hasArtist;
    QString artist;
    QString title;
    bool operator==(const AlbumKey&) const = default;
};

size_t qHash(const AlbumKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.hasArtist, key.artist, key.title);
}

QString presentText(const std::optional<QString>& text)
{
    if (!text)
        return QString();
    return text->isNull() ? QStringLiteral("") : *text;
}

// The values of the stored rows as live tables, for a rebuild that was handed no tables.
LiveTableRef tableFromRow(NSManagedObject* row, const StoredSettingKey* keys, size_t count)
{
    if (!row)
        return nullptr;
    auto table = std::make_shared<LiveTable>();
    for (size_t i = 0; i < count; ++i)
        table->setIntegerValue(keys[i].key, int(row->valueForKey(QString::fromLatin1(keys[i].attribute)).toLongLong()));
    return table;
}

} // namespace

void DTMusicModelController::rescanAndSetupMusicData(bool flag, std::function<void()> done)
{
    m_isSettingUp = true;
    std::weak_ptr<int> alive = m_alive;
    MPMediaLibrary::defaultMediaLibrary()->rescan(
        [this, alive, flag, done = std::move(done)](const MPMediaLibraryScanStats&) {
            if (!alive.lock())
                return;  // the controller is gone
            setupMusicData(flag);
            if (done)
                done();
        });
}

void DTMusicModelController::setupMusicData(bool flag)
{
    (void)flag;
    m_isSettingUp = true;

    // Importing before the first scan would replace the library copy with nothing.
    constexpr int kFirstScanWaitMs = 60000;
    if (!MPMediaLibrary::defaultMediaLibrary()->waitUntilScanned(kFirstScanWaitMs)) {
        std::printf("The music library has not been read yet; the library copy is kept\n");
        std::fflush(stdout);
        m_isSettingUp = false;
        m_settingValueArray.reset();
        m_playControlArray.reset();
        sendDTMusicModelDidEndUpdatingNotificationWithUserInfo({});
        return;
    }

    LiveTableRef settings = m_settingValueArray;
    LiveTableRef playControl = m_playControlArray;
    // Without a hand-over the stored settings would be replaced by zeros; carry the
    // stored rows into the new store instead.
    if (!settings) {
        auto rows = fetchAllEntitiesForName(Setting::entityName);
        settings = tableFromRow(rows && !rows->empty() ? rows->front().get() : nullptr, kStoredSettingKeys.data(),
                                kStoredSettingKeys.size());
    }
    if (!playControl) {
        auto rows = fetchAllEntitiesForName(PlayControl::entityName);
        playControl = tableFromRow(rows && !rows->empty() ? rows->front().get() : nullptr,
                                   kStoredPlayControlKeys.data(), kStoredPlayControlKeys.size());
    }

    // The new store is written beside the old one and takes its place only once it has
    // been saved whole: a crash or a failed save during the rebuild leaves the previous
    // store, settings included, instead of an empty or missing one.
    const QString path = storeURL().toLocalFile();
    const QString building = path.isEmpty() ? QString() : path + QStringLiteral(".rebuild");
    if (!building.isEmpty()) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
    }
    m_persistentStoreCoordinator.reset();
    m_managedObjectContext.reset();
    m_persistentStoreCoordinator = std::make_shared<NSPersistentStoreCoordinator>(managedObjectModel());
    m_persistentStoreCoordinator->addPersistentStoreWithType(
        NSSQLiteStoreType, QString(), building.isEmpty() ? QUrl() : QUrl::fromLocalFile(building), {}, nullptr);

    auto context = managedObjectContext();
    writeSettingRows(*context, settings.get(), playControl.get());
    importDeviceLibrary(*context);

    m_isSettingUp = false;
    const bool saved = !context->hasChanges() || context->save();
    const bool written = saved && !m_persistentStoreCoordinator->persistentStores().empty();
    context.reset();
    m_managedObjectContext.reset();  // closes the new file
    m_persistentStoreCoordinator.reset();
    if (written) {
        // A journal left by the old file must not be applied to the new one.
        QFile::remove(path + QStringLiteral("-journal"));
        std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData());
    } else if (!building.isEmpty()) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
    }
    m_settingValueArray.reset();
    m_playControlArray.reset();
    sendDTMusicModelDidEndUpdatingNotificationWithUserInfo({});
}

void DTMusicModelController::importDeviceLibrary(NSManagedObjectContext& context)
{
    // Grouping rows are found through these tables, never by a fetch per song.
    QHash<QString, DTArtist*> artists;
    QHash<QString, DTGenre*> genres;
    QHash<QString, DTComposer*> composers;
    QHash<AlbumKey, DTAlbum*> albums;
    qint64 songCounter = 0;

    auto insert = [&context](const QString& entityName) { return context.insertNewObjectForEntityForName(entityName); };
    auto findOrCreateNamed = [&](auto& table, const QString& entityName, const QString& name) {
        using Row = std::remove_pointer_t<typename std::remove_reference_t<decltype(table)>::mapped_type>;
        auto found = table.constFind(name);
        if (found != table.constEnd())
            return found.value();
        auto row = static_cast<Row*>(insert(entityName).get());
        row->setName(name);
        table.insert(name, row);
        return row;
    };

    const QList<MPMediaItem> items = MPMediaQuery().items();
    for (const MPMediaItem& item : items) {
        auto song = static_cast<DTSong*>(insert(DTSong::entityName).get());
        song->setValueAt(DTSong::identifierAttr, item.valueForProperty(MPMediaItemPropertyPersistentID));
        song->setTitle(item.title());
        song->setCollectionNumber(songCounter++);

        const std::optional<QString> artistText = item.artist();
        DTArtist* currentArtist = nullptr;
        if (artistText && !artistText->isEmpty()) {
            currentArtist = findOrCreateNamed(artists, DTArtist::entityName, *artistText);
            song->setArtist(currentArtist);
            song->setArtName(*artistText);
        }

        const std::optional<QString> albumTitle = item.albumTitle();
        DTAlbum* album = nullptr;
        if (albumTitle && !albumTitle->isEmpty()) {
            const AlbumKey key{artistText.has_value(), presentText(artistText), *albumTitle};
            auto found = albums.constFind(key);
            if (found != albums.constEnd()) {
                album = found.value();
            } else {
                album = static_cast<DTAlbum*>(insert(DTAlbum::entityName).get());
                album->setTitle(*albumTitle);
                album->setArtist(currentArtist);
                albums.insert(key, album);
            }
            song->setAlbum(album);
            song->setAlbumName(*albumTitle);
            album->setArtistName(presentText(artistText));
        }
        if (album) {
            album->setValueAt(DTAlbum::trackCountAttr, item.valueForProperty(MPMediaItemPropertyAlbumTrackCount));
            album->setValueAt(DTAlbum::discCountAttr, item.valueForProperty(MPMediaItemPropertyDiscCount));
        }
        song->setValueAt(DTSong::trackNumberAttr, item.valueForProperty(MPMediaItemPropertyAlbumTrackNumber));

        const std::optional<QString> genreText = item.genre();
        if (genreText && !genreText->isEmpty())
            song->setGenre(findOrCreateNamed(genres, DTGenre::entityName, *genreText));
        const std::optional<QString> composerText = item.composer();
        if (composerText && !composerText->isEmpty())
            song->setComposer(findOrCreateNamed(composers, DTComposer::entityName, *composerText));

        song->setValueAt(DTSong::lyricsAttr, item.valueForProperty(MPMediaItemPropertyLyrics));
        song->setValueAt(DTSong::discNumberAttr, item.valueForProperty(MPMediaItemPropertyDiscNumber));
    }
}
