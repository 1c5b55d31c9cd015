#pragma once
// Connects contexts to the store file of a model.
//
// A store that cannot be added (a damaged file, a file that cannot be opened) leaves the
// coordinator without a store: fetches then fail and answer nothing, so the application
// shows empty lists. The next save asks for a store to write to: the coordinator then
// moves the unusable file aside as "<file>.corrupt-<yyyyMMdd-HHmmss>" (never deleting it)
// and creates a fresh, working store in its place, so one bad file does not make every
// later save fail. A file that is only locked by another process is left where it is.

#include "platform/store/NSManagedObjectModel.h"
#include "platform/store/NSPersistentStore.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <vector>

inline const QString NSSQLiteStoreType = QStringLiteral("SQLite");

class NSPersistentStoreCoordinator {
public:
    explicit NSPersistentStoreCoordinator(std::shared_ptr<NSManagedObjectModel> model);
    ~NSPersistentStoreCoordinator();

    const std::shared_ptr<NSManagedObjectModel>& managedObjectModel() const { return m_model; }
    const StoreSchema& schema() const { return *m_schema; }

    // Adds the store at the file URL. Null when the type is not NSSQLiteStoreType or the
    // file cannot be opened or brought in line with the model; `error` says why.
    NSPersistentStore* addPersistentStoreWithType(const QString& storeType, const QString& configuration,
                                                  const QUrl& storeURL, const QVariantMap& options,
                                                  QString* error);
    std::vector<NSPersistentStore*> persistentStores() const;

    // The store to read from: null when none could be added.
    NSPersistentStore* store() const { return m_store.get(); }
    // The store to write to: the added store, or else a fresh one in place of a file that
    // could not be added (see above). Null when that fails as well.
    NSPersistentStore* storeForSaving(QString* error);

private:
    bool openStore(const QString& path, QString* error);

    std::shared_ptr<NSManagedObjectModel> m_model;
    std::unique_ptr<StoreSchema> m_schema;
    std::unique_ptr<NSPersistentStore> m_store;
    QString m_failedPath;  // a store file that could not be added
    StoreOpenFailure m_failure = StoreOpenFailure::None;
};
