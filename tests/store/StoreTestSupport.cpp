#include "StoreTestSupport.h"

#include <QUrl>

#include <gtest/gtest.h>

std::shared_ptr<NSManagedObjectModel> makeShelfModel()
{
    using T = NSAttributeType;
    auto model = std::make_shared<NSManagedObjectModel>();
    model->addEntity("Book")
        .addAttribute("title", T::String)
        .addAttribute("serial", T::UInteger64)
        .addAttribute("pages", T::Integer64)
        .addAttribute("weight", T::Double)
        .addRelationship("shelf", "Shelf", "books", false)
        .addRelationship("labels", "Label", "books", true);
    model->addEntity("Shelf")
        .addAttribute("name", T::String)
        .addRelationship("books", "Book", "shelf", true)
        .addRelationship("partner", "Shelf", "partner", false);
    model->addEntity("Label")
        .addAttribute("name", T::String)
        .addRelationship("books", "Book", "labels", true);
    model->complete();
    return model;
}

std::shared_ptr<NSManagedObjectContext> TestStore::open(std::shared_ptr<NSPersistentStoreCoordinator>* coordinatorOut)
{
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    coordinator->addPersistentStoreWithType(NSSQLiteStoreType, QString(), QUrl::fromLocalFile(path()), {}, nullptr);
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    if (coordinatorOut)
        *coordinatorOut = coordinator;
    return context;
}

NSManagedObjectList TestStore::fetch(NSManagedObjectContext& context, const QString& entity,
                                     std::vector<NSSortDescriptor> sort)
{
    QString error;
    auto rows = context.executeFetchRequest({entity, std::move(sort), 0}, &error);
    EXPECT_TRUE(rows.has_value()) << error.toStdString();
    return rows ? *rows : NSManagedObjectList{};
}
