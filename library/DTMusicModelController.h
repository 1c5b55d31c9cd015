#pragma once
// The library controller: owns the store stack over "DTMusicModel.sqlite" in the
// application's data directory, answers the library lists the player shows, rebuilds
// the library copy from the device library, and stores the settings and play modes.
// Every part of the store stack is created on first use. Main thread only.

#include "library/DTAlbum.h"
#include "library/DTArtist.h"
#include "library/DTGenre.h"
#include "library/DTSong.h"
#include "library/LiveTable.h"
#include "library/PlayControl.h"
#include "library/Setting.h"
#include "platform/media/MPMediaItemCollection.h"
#include "platform/store/NSManagedObjectContext.h"

#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

inline const QString DTMusicListWillBeginUpdatingNotification = QStringLiteral("DTMusicListWillBeginUpdatingNotification");
inline const QString DTMusicListDidEndUpdatingNotification = QStringLiteral("DTMusicListDidEndUpdatingNotification");

template <typename T>
using DTEntityList = std::optional<std::vector<std::shared_ptr<T>>>;  // nullopt: nothing (nil)

class DTMusicModelController {
public:
    DTMusicModelController();
    ~DTMusicModelController();
    DTMusicModelController(const DTMusicModelController&) = delete;
    DTMusicModelController& operator=(const DTMusicModelController&) = delete;

    // Store stack.
    // The application's data directory (QStandardPaths::AppDataLocation); empty when the
    // platform has none.
    QString applicationDocumentsDirectory() const;
    QUrl storeURL() const;
    std::shared_ptr<NSManagedObjectModel> managedObjectModel();
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator();
    std::shared_ptr<NSManagedObjectContext> managedObjectContext();

    // Fetches: every row of the entity, sorted when descriptors are given; nullopt for an
    // unknown entity or a failed fetch (for example, no usable store).
    std::optional<NSManagedObjectList> fetchAllEntitiesForName(const QString& entityName,
                                                               const std::vector<NSSortDescriptor>& sortDescriptors,
                                                               int batchSize);
    std::optional<NSManagedObjectList> fetchAllEntitiesForName(const QString& entityName,
                                                               const std::vector<NSSortDescriptor>& sortDescriptors);
    std::optional<NSManagedObjectList> fetchAllEntitiesForName(const QString& entityName);
    static std::vector<NSSortDescriptor> sortDescriptorArrayWithDescriptorWithKey(const QString& key);

    // Library lists, ascending by title or name; nullopt while a rebuild runs.
    DTEntityList<DTSong> allSongs();
    DTEntityList<DTAlbum> allAlbums();
    DTEntityList<DTArtist> allArtists();
    DTEntityList<DTGenre> allGenres();

    // Stored settings and play modes (at most one row each); not blocked by a rebuild.
    DTEntityList<Setting> allSetting();
    DTEntityList<PlayControl> allPlayControl();

    // Replaces the stored Setting and PlayControl rows with the live tables' values and
    // saves. A failed save is not reported; the next save tries again.
    void saveSetting(const LiveTableRef& settingValueArray, const LiveTableRef& playControlArray);
    // Keeps the player's own tables (not copies) for the next rebuild.
    void setSettingValue(const LiveTableRef& settingValueArray, const LiveTableRef& playControlArray);

    // Rebuilds the library copy from the device library's newest completed scan into a
    // new store file, with the handed-over settings, then posts
    // DTMusicListDidEndUpdatingNotification. The flag has no effect. Before the first
    // scan of the device library has completed it waits for that scan (never longer
    // than a minute; if none completes the old store is kept), so a rebuild never takes
    // an empty library for the real one.
    void setupMusicData(bool flag);
    // The rebuild that follows the music folder: rescans the music folder off the calling
    // thread (reusing the scan cache, so only new and changed files are read), then runs
    // setupMusicData(flag) on the main thread and calls `done` there. Files added,
    // changed or removed since the last scan are in the new store. The list operations
    // answer nothing from this call until the rebuild ends. This is the call for the
    // sync button, the picker and "Clear PlayList". Main thread only; `done` may be empty.
    void rescanAndSetupMusicData(bool flag, std::function<void()> done);
    void sendDTMusicModelDidEndUpdatingNotificationWithUserInfo(const QVariantMap& userInfo);

    bool isSettingUp() const { return m_isSettingUp; }
    const LiveTableRef& SettingValueArray() const { return m_settingValueArray; }
    const LiveTableRef& PlayControlArray() const { return m_playControlArray; }

    // Not owned and never called; the player makes itself the delegate.
    void* delegate() const { return m_delegate; }
    void setDelegate(void* delegate) { m_delegate = delegate; }

    // The songs the user picked; kept, never read here.
    const MPMediaItemCollection& UserMediaItemCollection() const { return m_userMediaItemCollection; }
    void setUserMediaItemCollection(const MPMediaItemCollection& c) { m_userMediaItemCollection = c; }

private:
    template <typename T>
    DTEntityList<T> typedList(std::optional<NSManagedObjectList> rows);
    // A library list sorted ascending by `sortKey`; nullopt while a rebuild runs.
    template <typename T>
    DTEntityList<T> libraryList(const QString& sortKey);
    void writeSettingRows(NSManagedObjectContext& context, const LiveTable* settings, const LiveTable* playControl);
    void importDeviceLibrary(NSManagedObjectContext& context);

    std::shared_ptr<NSManagedObjectModel> m_managedObjectModel;
    std::shared_ptr<NSPersistentStoreCoordinator> m_persistentStoreCoordinator;
    std::shared_ptr<NSManagedObjectContext> m_managedObjectContext;
    bool m_isSettingUp = false;
    LiveTableRef m_settingValueArray;
    LiveTableRef m_playControlArray;
    void* m_delegate = nullptr;
    MPMediaItemCollection m_userMediaItemCollection;
    // Completions of background rescans use the controller only while this lives.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
