#pragma once
// Connects contexts to the store file of a model.
//
// A store that cannot be added leaves the coordinator without a store: fetches then fail
// and answer nothing. The next save asks for a store to write to, and what happens then
// depends on why the file could not be used:
// - a damaged file (one that quick_check or the layout check finds damaged) is moved
//   aside as "<file>.corrupt-<yyyyMMdd-HHmmss>" (never deleted) and a fresh, working store
//   is created in its place, so one bad file does not make every later save fail;
// - any other failure (no rights, no file descriptors, a full disk, a lock held by
//   another process) leaves the file where it is: the reason is logged, the save fails,
//   and the next save tries to open the file again. The caller keeps its values.
// A file that can only be read is added read-only (fetches answer from it); a save
// reopens it for writing and fails, keeping it, while it is still read-only.

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
