#include "platform/store/NSPersistentStoreCoordinator.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

NSPersistentStoreCoordinator::NSPersistentStoreCoordinator(std::shared_ptr<NSManagedObjectModel> model)
    : m_model(std::move(model))
{
    if (!m_model->isComplete())
        m_model->complete();
    m_schema = std::make_unique<StoreSchema>(*m_model);
}

NSPersistentStoreCoordinator::~NSPersistentStoreCoordinator() = default;

NSPersistentStore* NSPersistentStoreCoordinator::addPersistentStoreWithType(
    const QString& storeType, const QString& configuration, const QUrl& storeURL, const QVariantMap& options,
    QString* error)
{
    (void)configuration;
    (void)options;
    if (storeType != NSSQLiteStoreType || !storeURL.isLocalFile()) {
        if (error)
            *error = QStringLiteral("unsupported store type or URL");
        return nullptr;
    }
    if (m_store) {
        if (error)
            *error = QStringLiteral("the coordinator already has a store");
        return nullptr;
    }
    return openStore(storeURL.toLocalFile(), error) ? m_store.get() : nullptr;
}

bool NSPersistentStoreCoordinator::openStore(const QString& path, QString* error)
{
    StoreOpenFailure failure = StoreOpenFailure::None;
    QString reason;
    m_store = NSPersistentStore::open(*m_schema, path, &failure, &reason);
    if (error)
        *error = reason;
    if (m_store) {
        m_failedPath.clear();
        m_failure = StoreOpenFailure::None;
        return true;
    }
    m_failedPath = path;
    m_failure = failure;
    std::printf("Store file %s could not be opened (%s): %s\n", QFile::encodeName(path).constData(),
                failure == StoreOpenFailure::Damaged ? "damaged"
                : failure == StoreOpenFailure::Busy  ? "locked"
                                                     : "not usable now",
                reason.toUtf8().constData());
    std::fflush(stdout);
    return false;
}

std::vector<NSPersistentStore*> NSPersistentStoreCoordinator::persistentStores() const
{
    if (m_store)
        return {m_store.get()};
    return {};
}

NSPersistentStore* NSPersistentStoreCoordinator::storeForSaving(QString* error)
{
    if (m_store && m_store->isReadOnly()) {
        // The rights may have come back since: write through a new connection if so.
        QString reason;
        StoreOpenFailure failure = StoreOpenFailure::None;
        auto writable = NSPersistentStore::open(*m_schema, m_store->path(), &failure, &reason);
        if (writable && !writable->isReadOnly()) {
            m_store = std::move(writable);
            return m_store.get();
        }
        std::printf("Store file %s is read-only; nothing was saved, and the file is kept\n",
                    QFile::encodeName(m_store->path()).constData());
        std::fflush(stdout);
        if (error)
            *error = QStringLiteral("the store file is read-only");
        return nullptr;
    }
    if (m_store || m_failedPath.isEmpty())
        return m_store.get();
    // Only a damaged file is replaced. Anything else (rights, descriptors, space, a
    // lock) may pass: the file stays, and this save tries to open it again.
    if (m_failure != StoreOpenFailure::Damaged) {
        if (openStore(m_failedPath, error))
            return m_store->isReadOnly() ? storeForSaving(error) : m_store.get();
        if (m_failure != StoreOpenFailure::Damaged)
            return nullptr;
    }
    if (QFileInfo::exists(m_failedPath)) {
        const QString base = m_failedPath + QStringLiteral(".corrupt-")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString aside = base;
        for (int n = 1; QFileInfo::exists(aside); ++n)
            aside = base + QLatin1Char('-') + QString::number(n);
        if (!QFile::rename(m_failedPath, aside)) {
            if (error)
                *error = QStringLiteral("cannot move the unusable store file aside");
            return nullptr;
        }
        // A journal left beside the damaged file belongs to it, not to the new one.
        const QString journal = m_failedPath + QStringLiteral("-journal");
        if (QFileInfo::exists(journal))
            QFile::rename(journal, aside + QStringLiteral("-journal"));
        std::printf("Store file %s could not be used; moved aside to %s\n",
                    QFile::encodeName(m_failedPath).constData(), QFile::encodeName(aside).constData());
        std::fflush(stdout);
    }
    openStore(m_failedPath, error);
    return m_store.get();
}
