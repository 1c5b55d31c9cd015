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
    CannotOpen,  // missing rights, a directory in the way, no file descriptors, a full disk
    Busy,        // another process holds the file locked
    Damaged,     // not a database, pages that quick_check finds corrupt, or tables whose
                 // layout cannot take the model's rows
};

class NSPersistentStore {
public:
    ~NSPersistentStore();
    NSPersistentStore(const NSPersistentStore&) = delete;
    NSPersistentStore& operator=(const NSPersistentStore&) = delete;

    // Opens (creating when missing) the store file at `path` and brings its tables in line
    // with the model: missing tables, columns and indexes are added. Null on failure, with
    // the kind of failure and a message. A file that can only be read opens read-only:
    // it answers fetches as it stands (nothing is added to it) and cannot be saved to.
    static std::unique_ptr<NSPersistentStore> open(const StoreSchema& schema, const QString& path,
                                                   StoreOpenFailure* failure, QString* error);

    const QString& path() const { return m_path; }
    bool isReadOnly() const { return m_readOnly; }
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
    NSPersistentStore(const StoreSchema& schema, QString path, sqlite3* db, bool readOnly);

    const StoreSchema& m_schema;
    QString m_path;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    std::unordered_map<QString, sqlite3_stmt*> m_statements;
};
