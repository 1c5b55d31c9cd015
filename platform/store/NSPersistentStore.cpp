#include "platform/store/NSPersistentStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace {

NSPersistentStore::SaveStatementHook& saveHook()
{
    static NSPersistentStore::SaveStatementHook hook;
    return hook;
}

StoreOpenFailure classify(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreOpenFailure::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_FORMAT:
        return StoreOpenFailure::Damaged;
    default:
        return StoreOpenFailure::CannotOpen;
    }
}

bool exec(sqlite3* db, const QString& sql, int* rc)
{
    *rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    return *rc == SQLITE_OK;
}

} // namespace

NSPersistentStore::NSPersistentStore(const StoreSchema& schema, QString path, sqlite3* db, bool readOnly)
    : m_schema(schema), m_path(std::move(path)), m_db(db), m_readOnly(readOnly)
{
}

NSPersistentStore::~NSPersistentStore()
{
    for (auto& [sql, stmt] : m_statements)
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_db);
}

std::unique_ptr<NSPersistentStore> NSPersistentStore::open(const StoreSchema& schema, const QString& path,
                                                           StoreOpenFailure* failure, QString* error)
{
    auto fail = [&](StoreOpenFailure kind, const QString& message, sqlite3* db) {
        *failure = kind;
        if (error)
            *error = message;
        if (db)
            sqlite3_close_v2(db);
        return std::unique_ptr<NSPersistentStore>();
    };

    QDir().mkpath(QFileInfo(path).absolutePath());
    sqlite3* db = nullptr;
    // NOFOLLOW: a link planted at the store's name is refused, never written through.
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (rc != SQLITE_OK)
        return fail(classify(rc), QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)), db);
    const bool readOnly = sqlite3_db_readonly(db, "main") == 1;
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 0);
    // Every commit reaches the disk before the call returns, journal first.
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);

    // A damaged file shows itself here: "file is not a database", or a page check that
    // does not answer "ok".
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr);
    if (rc != SQLITE_OK)
        return fail(classify(rc), QString::fromUtf8(sqlite3_errmsg(db)), db);
    rc = sqlite3_step(check);
    const QString verdict = rc == SQLITE_ROW
        ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)))
        : QString();
    sqlite3_finalize(check);
    if (rc != SQLITE_ROW)
        return fail(classify(rc), QString::fromUtf8(sqlite3_errmsg(db)), db);
    if (verdict != QLatin1String("ok"))
        return fail(StoreOpenFailure::Damaged, verdict, db);
    if (readOnly)
        return std::unique_ptr<NSPersistentStore>(new NSPersistentStore(schema, path, db, true));

    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), &rc))
        return fail(classify(rc), QString::fromUtf8(sqlite3_errmsg(db)), db);
    bool ok = true;
    for (const QString& sql : schema.createStatements())
        ok = ok && exec(db, sql, &rc);
    // Tables written by an older model get the columns they lack; every value is allowed
    // to be absent, so a new column starts out empty.
    for (const auto& entity : schema.model().entities()) {
        if (!ok)
            break;
        QSet<QString> present;
        sqlite3_stmt* info = nullptr;
        const QString pragma = QStringLiteral("PRAGMA table_info(%1)").arg(StoreSchema::quoted(entity->name()));
        rc = sqlite3_prepare_v2(db, pragma.toUtf8().constData(), -1, &info, nullptr);
        ok = rc == SQLITE_OK;
        while (ok && (rc = sqlite3_step(info)) == SQLITE_ROW)
            present.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 1))).toLower());
        ok = ok && rc == SQLITE_DONE;
        sqlite3_finalize(info);
        if (ok && !present.contains(StoreSchema::keyColumn())) {
            rc = SQLITE_SCHEMA;
            ok = false;
        }
        for (const auto& [name, type] : schema.columns(entity->index())) {
            if (ok && !present.contains(name.toLower()))
                ok = exec(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                                  .arg(StoreSchema::quoted(entity->name()), StoreSchema::quoted(name), type), &rc);
        }
    }
    for (const QString& sql : schema.indexAndJoinStatements())
        ok = ok && exec(db, sql, &rc);
    if (!ok) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        // A table of the same name that cannot take our rows (a statement the layout
        // refuses, a missing key column) is as good as damaged; a full disk, an I/O
        // error or a lock is not, and leaves the file alone.
        const int primary = rc & 0xff;
        const StoreOpenFailure kind = primary == SQLITE_ERROR || primary == SQLITE_MISMATCH
                                              || primary == SQLITE_CONSTRAINT
                                          ? StoreOpenFailure::Damaged
                                          : classify(rc);
        return fail(kind, message, db);
    }
    if (!exec(db, QStringLiteral("COMMIT"), &rc)) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(classify(rc), message, db);
    }
    return std::unique_ptr<NSPersistentStore>(new NSPersistentStore(schema, path, db, false));
}

sqlite3_stmt* NSPersistentStore::statement(const QString& sql)
{
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    m_statements.emplace(sql, stmt);
    return stmt;
}

QString NSPersistentStore::lastError() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

void NSPersistentStore::setSaveStatementHook(SaveStatementHook hook)
{
    saveHook() = std::move(hook);
}

int NSPersistentStore::stepForSave(sqlite3_stmt* statement, const QString& sql)
{
    if (saveHook()) {
        const int injected = saveHook()(sql);
        if (injected != SQLITE_OK)
            return injected;
    }
    return sqlite3_step(statement);
}

bool NSPersistentStore::executeForSave(const QString& sql)
{
    sqlite3_stmt* stmt = statement(sql);
    if (!stmt)
        return false;
    const int rc = stepForSave(stmt, sql);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}
