#pragma once
// One open SQLite store file laid out by StoreSchema. Statements are prepared once and
// kept. The file uses SQLite's rollback journal with full syncs, so a save cut short by
// a crash or a power loss leaves the file as it was before that save.

#include "platform/store/StoreSchema.h"

#include <QString>

#include <functional>
#include <memory>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

enum class StoreOpenFailure {
    None,
    CannotOpen,  // missing directory rights, a directory in the way, a read-only file
    Busy,        // another process holds the file locked
    Damaged,     // not a database, corrupt pages, or tables that cannot be brought in line
};

class NSPersistentStore {
public:
    ~NSPersistentStore();
    NSPersistentStore(const NSPersistentStore&) = delete;
    NSPersistentStore& operator=(const NSPersistentStore&) = delete;

    // Opens (creating when missing) the store file at `path` and brings its tables in line
    // with the model: missing tables, columns and indexes are added. Null on failure, with
    // the kind of failure and a message.
    static std::unique_ptr<NSPersistentStore> open(const StoreSchema& schema, const QString& path,
                                                   StoreOpenFailure* failure, QString* error);

    const QString& path() const { return m_path; }
    const StoreSchema& schema() const { return m_schema; }
    sqlite3* database() const { return m_db; }

    // The prepared statement for `sql`, reset and with its bindings cleared.
    sqlite3_stmt* statement(const QString& sql);
    QString lastError() const;

    // Statements of a save run through here, so that tests can make one fail (a non-zero
    // SQLite result from the hook is taken as the statement's result) or stop the process
    // in the middle of a save. The hook sees the SQL text.
    using SaveStatementHook = std::function<int(const QString& sql)>;
    static void setSaveStatementHook(SaveStatementHook hook);
    // Steps a statement of a save; answers the SQLite result code.
    int stepForSave(sqlite3_stmt* statement, const QString& sql);
    bool executeForSave(const QString& sql);

private:
    NSPersistentStore(const StoreSchema& schema, QString path, sqlite3* db);

    const StoreSchema& m_schema;
    QString m_path;
    sqlite3* m_db = nullptr;
    std::unordered_map<QString, sqlite3_stmt*> m_statements;
};
