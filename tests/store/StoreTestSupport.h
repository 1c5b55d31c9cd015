#pragma once
// A small model for the store tests (shelves holding books, books tagged with labels),
// a store in a temporary directory, and the sqlite3 command line for looking at the file
// from outside.

#include "SqliteShell.h"
#include "platform/store/NSManagedObjectContext.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

std::shared_ptr<NSManagedObjectModel> makeShelfModel();

struct TestStore {
    QTemporaryDir dir;
    std::shared_ptr<NSManagedObjectModel> model = makeShelfModel();

    QString path() const { return dir.path() + QStringLiteral("/Shelves.sqlite"); }
    // A new coordinator and context over the file, as a fresh start of the program has.
    std::shared_ptr<NSManagedObjectContext> open(std::shared_ptr<NSPersistentStoreCoordinator>* coordinatorOut = nullptr);
    NSManagedObjectList fetch(NSManagedObjectContext& context, const QString& entity,
                              std::vector<NSSortDescriptor> sort = {});
};
