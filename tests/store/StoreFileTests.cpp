// The store file under faults: a statement failing inside a save, and a damaged file. A
// process dying in the middle of a save and a file of an older model are tried through the
// library (tests/library), whose saves and tables they concern.

#include "StoreTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

void addBook(NSManagedObjectContext& context, const QString& title)
{
    context.insertNewObjectForEntityForName("Book")->setValue(title, "title");
}

struct HookGuard {
    ~HookGuard() { NSPersistentStore::setSaveStatementHook({}); }
};

} // namespace

TEST(StoreSave, AStatementFailingMidSaveLeavesTheFileAsBeforeAndTheChangesPending)
{
    TestStore s;
    HookGuard guard;
    auto context = s.open();
    addBook(*context, "first");
    ASSERT_TRUE(context->save());

    auto first = s.fetch(*context, "Book")[0];
    context->deleteObject(first.get());
    addBook(*context, "second");
    addBook(*context, "third");
    int inserts = 0;
    NSPersistentStore::setSaveStatementHook([&](const QString& sql) {
        // The delete has run; the second insert fails.
        return sql.startsWith("INSERT") && ++inserts == 2 ? SQLITE_IOERR : SQLITE_OK;
    });
    QString error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(sqliteShell(s.path(), "SELECT group_concat(title) FROM Book"), "first");
    EXPECT_TRUE(context->hasChanges());

    NSPersistentStore::setSaveStatementHook({});
    ASSERT_TRUE(context->save(&error)) << error.toStdString();
    EXPECT_EQ(sqliteShell(s.path(), "SELECT group_concat(title) FROM (SELECT title FROM Book ORDER BY title)"),
              "second,third");
}

TEST(StoreFile, ADamagedOrTruncatedFileReadsAsNothingAndTheNextSaveMovesItAsideForAFreshStore)
{
    for (bool truncated : {false, true}) {
        SCOPED_TRACE(truncated ? "truncated" : "garbage");
        TestStore s;
        if (truncated) {
            auto context = s.open();
            for (int i = 0; i < 400; ++i)
                addBook(*context, QString(200, QChar('a' + i % 26)));
            ASSERT_TRUE(context->save());
        } else {
            QFile garbage(s.path());
            ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'Z')) == 8192);
        }
        QFile file(s.path());
        if (truncated) {
            ASSERT_TRUE(file.resize(file.size() / 2));
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = file.readAll();

        std::shared_ptr<NSPersistentStoreCoordinator> coordinator;
        auto context = s.open(&coordinator);
        EXPECT_TRUE(coordinator->persistentStores().empty());
        EXPECT_FALSE(context->executeFetchRequest({"Book", {}, 0}).has_value());
        addBook(*context, "rescued");
        ASSERT_TRUE(context->save());
        EXPECT_EQ(sqliteShell(s.path(), "SELECT title FROM Book"), "rescued");
        const QStringList aside = QDir(s.dir.path()).entryList({"Shelves.sqlite.corrupt-*"});
        ASSERT_EQ(aside.size(), 1);
        QFile kept(s.dir.filePath(aside[0]));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), damaged);  // the damaged file is kept, not lost
    }
}

TEST(StoreFile, ALinkAtItsNameIsNeverWrittenThrough)
{
    TestStore s;
    const QString elsewhere = s.dir.filePath("elsewhere.sqlite");
    ASSERT_TRUE(QFile::link(elsewhere, s.path()));
    auto context = s.open();
    addBook(*context, "leaked");
    EXPECT_FALSE(context->save());
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
}

