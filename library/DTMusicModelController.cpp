#include "library/DTMusicModelController.h"

#include "library/DTMusicModel.h"
#include "platform/foundation/NotificationCenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {
const QString kStoreFileName = QStringLiteral("DTMusicModel.sqlite");
}

DTMusicModelController::DTMusicModelController() = default;

DTMusicModelController::~DTMusicModelController()
{
    // The context goes before the coordinator it writes through.
    m_managedObjectContext.reset();
    m_persistentStoreCoordinator.reset();
    m_managedObjectModel.reset();
}

QString DTMusicModelController::applicationDocumentsDirectory() const
{
    // Without an application name Qt would answer the shared data directory itself.
    if (QCoreApplication::applicationName().isEmpty()) {
        const QString shared = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        return shared.isEmpty() ? QString() : shared + QStringLiteral("/Tavoro");
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QUrl DTMusicModelController::storeURL() const
{
    const QString directory = applicationDocumentsDirectory();
    if (directory.isEmpty())
        return QUrl();
    return QUrl::fromLocalFile(QDir(directory).filePath(kStoreFileName));
}

std::shared_ptr<NSManagedObjectModel> DTMusicModelController::managedObjectModel()
{
    if (!m_managedObjectModel)
        m_managedObjectModel = makeDTMusicModel();
    return m_managedObjectModel;
}

std::shared_ptr<NSPersistentStoreCoordinator> DTMusicModelController::persistentStoreCoordinator()
{
    if (!m_persistentStoreCoordinator) {
        m_persistentStoreCoordinator = std::make_shared<NSPersistentStoreCoordinator>(managedObjectModel());
        // A store that cannot be added leaves the coordinator without one: lists come out
        // empty, and the first save puts a fresh store in place of the unusable file.
        m_persistentStoreCoordinator->addPersistentStoreWithType(NSSQLiteStoreType, QString(), storeURL(), {}, nullptr);
    }
    return m_persistentStoreCoordinator;
}

std::shared_ptr<NSManagedObjectContext> DTMusicModelController::managedObjectContext()
{
    if (!m_managedObjectContext) {
        auto coordinator = persistentStoreCoordinator();
        m_managedObjectContext = std::make_shared<NSManagedObjectContext>();
        m_managedObjectContext->setPersistentStoreCoordinator(coordinator);
    }
    return m_managedObjectContext;
}

std::optional<NSManagedObjectList> DTMusicModelController::fetchAllEntitiesForName(
    const QString& entityName, const std::vector<NSSortDescriptor>& sortDescriptors, int batchSize)
{
    auto context = managedObjectContext();
    if (!context->entityForName(entityName))
        return std::nullopt;
    NSFetchRequest request;
    request.entityName = entityName;
    if (batchSize != 0)
        request.fetchBatchSize = batchSize;
    if (!sortDescriptors.empty())
        request.sortDescriptors = sortDescriptors;
    return context->executeFetchRequest(request);
}

std::optional<NSManagedObjectList> DTMusicModelController::fetchAllEntitiesForName(
    const QString& entityName, const std::vector<NSSortDescriptor>& sortDescriptors)
{
    return fetchAllEntitiesForName(entityName, sortDescriptors, 0);
}

std::optional<NSManagedObjectList> DTMusicModelController::fetchAllEntitiesForName(const QString& entityName)
{
    return fetchAllEntitiesForName(entityName, {}, 0);
}

std::vector<NSSortDescriptor> DTMusicModelController::sortDescriptorArrayWithDescriptorWithKey(const QString& key)
{
    return {NSSortDescriptor::sortDescriptorWithKey(key, true)};
}

template <typename T>
DTEntityList<T> DTMusicModelController::typedList(std::optional<NSManagedObjectList> rows)
{
    if (!rows)
        return std::nullopt;
    std::vector<std::shared_ptr<T>> result;
    result.reserve(rows->size());
    for (auto& row : *rows)
        result.push_back(std::static_pointer_cast<T>(std::move(row)));
    return result;
}

template <typename T>
DTEntityList<T> DTMusicModelController::libraryList(const QString& sortKey)
{
    if (m_isSettingUp)
        return std::nullopt;
    return typedList<T>(fetchAllEntitiesForName(T::entityName, sortDescriptorArrayWithDescriptorWithKey(sortKey), 6));
}

DTEntityList<DTSong> DTMusicModelController::allSongs() { return libraryList<DTSong>(QStringLiteral("title")); }
DTEntityList<DTAlbum> DTMusicModelController::allAlbums() { return libraryList<DTAlbum>(QStringLiteral("title")); }
DTEntityList<DTArtist> DTMusicModelController::allArtists() { return libraryList<DTArtist>(QStringLiteral("name")); }
DTEntityList<DTGenre> DTMusicModelController::allGenres() { return libraryList<DTGenre>(QStringLiteral("name")); }

DTEntityList<Setting> DTMusicModelController::allSetting()
{
    return typedList<Setting>(fetchAllEntitiesForName(Setting::entityName));
}

DTEntityList<PlayControl> DTMusicModelController::allPlayControl()
{
    return typedList<PlayControl>(fetchAllEntitiesForName(PlayControl::entityName));
}

void DTMusicModelController::sendDTMusicModelDidEndUpdatingNotificationWithUserInfo(const QVariantMap& userInfo)
{
    NotificationCenter::defaultCenter().postNotification(DTMusicListDidEndUpdatingNotification, this, userInfo);
}
