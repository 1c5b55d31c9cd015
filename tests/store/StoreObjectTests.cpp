// Objects in a context: attribute values through the file and back, fetch order, and
// relationships kept in step on both sides, before and after a save.

#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QStringList titles(const NSManagedObjectList& rows)
{
    QStringList out;
    for (const auto& r : rows)
        out << (r->valueForKey("title").isValid() ? r->valueForKey("title").toString() : QStringLiteral("<absent>"));
    return out;
}

bool holds(const std::vector<NSManagedObject*>& objects, NSManagedObject* o)
{
    return std::find(objects.begin(), objects.end(), o) != objects.end();
}

} // namespace

TEST(StoreValues, EveryTypeRoundTripsThroughTheFileIncludingUnsignedAbove2To63)
{
    TestStore s;
    const quint64 big = 0xFEDCBA9876543210ull;  // negative as a signed 64-bit integer
    {
        auto context = s.open();
        auto a = context->insertNewObjectForEntityForName("Book");
        a->setValue(QStringLiteral("Ünïcødé 𝄞"), "title");
        a->setValue(QVariant::fromValue<quint64>(big), "serial");
        a->setValue(-42, "pages");
        a->setValue(2.5, "weight");
        auto b = context->insertNewObjectForEntityForName("Book");
        b->setValue(QStringLiteral(""), "title");  // empty, not absent
        b->setValue(QVariant::fromValue<quint64>(~0ull), "serial");
        ASSERT_TRUE(context->save());
    }
    // The file holds the bit pattern; the store hands back the unsigned value.
    EXPECT_EQ(sqliteShell(s.path(), "SELECT serial FROM Book ORDER BY _id"), QString("-81985529216486896\n-1"));
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book WHERE pages IS NULL AND title = ''"), "1");

    auto context = s.open();
    auto rows = s.fetch(*context, "Book", {{"serial", true}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->valueForKey("serial").toULongLong(), big);  // unsigned order
    EXPECT_EQ(rows[1]->valueForKey("serial").toULongLong(), ~0ull);
    EXPECT_EQ(rows[0]->valueForKey("title").toString(), QStringLiteral("Ünïcødé 𝄞"));
    EXPECT_EQ(rows[0]->valueForKey("pages").toLongLong(), -42);
    EXPECT_DOUBLE_EQ(rows[0]->valueForKey("weight").toDouble(), 2.5);
    EXPECT_TRUE(rows[1]->valueForKey("title").isValid());
    EXPECT_FALSE(rows[1]->valueForKey("pages").isValid());
}

TEST(StoreFetch, SortsByCodePointWithAbsentFirstSavedOrNot)
{
    TestStore s;
    auto context = s.open();
    // U+FFFD sorts below U+1D11E by code point although its UTF-16 unit is higher.
    for (const char* t : {"apple", "Zebra", "\xF0\x9D\x84\x9E", "\xEF\xBF\xBD", "", "Äpfel", "Apple"})
        context->insertNewObjectForEntityForName("Book")->setValue(QString::fromUtf8(t), "title");
    context->insertNewObjectForEntityForName("Book");  // no title
    const QStringList expected{"<absent>", "", "Apple", "Zebra", "apple", "Äpfel",
                               QString::fromUtf8("\xEF\xBF\xBD"), QString::fromUtf8("\xF0\x9D\x84\x9E")};
    EXPECT_EQ(titles(s.fetch(*context, "Book", {{"title", true}})), expected);
    ASSERT_TRUE(context->save());
    auto reopened = s.open();
    EXPECT_EQ(titles(s.fetch(*reopened, "Book", {{"title", true}})), expected);
    QStringList descending = expected;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(titles(s.fetch(*reopened, "Book", {{"title", false}})), descending);
    // Every book ties on its (absent) page count: the next key decides.
    EXPECT_EQ(titles(s.fetch(*reopened, "Book", {{"pages", true}, {"title", false}})), descending);

    QString error;
    EXPECT_FALSE(reopened->executeFetchRequest({"Nope", {}, 0}, &error).has_value());
    EXPECT_FALSE(reopened->executeFetchRequest({"Book", {{"nope", true}}, 0}, &error).has_value());
}

TEST(StoreRelationships, BothSidesAgreeAfterEveryChangeAndAfterReopening)
{
    TestStore s;
    {
        auto context = s.open();
        auto red = context->insertNewObjectForEntityForName("Shelf");
        red->setValue("red", "name");
        auto blue = context->insertNewObjectForEntityForName("Shelf");
        blue->setValue("blue", "name");
        auto book = context->insertNewObjectForEntityForName("Book");
        book->setToOne("shelf", red.get());
        EXPECT_TRUE(holds(red->toMany("books"), book.get()));
        blue->addToMany("books", book.get());  // moves the book off the red shelf
        EXPECT_EQ(book->toOne("shelf"), blue.get());
        EXPECT_TRUE(red->toMany("books").empty());
        auto label = context->insertNewObjectForEntityForName("Label");
        book->addToMany("labels", label.get());
        EXPECT_TRUE(holds(label->toMany("books"), book.get()));
        red->setToOne("partner", blue.get());
        EXPECT_EQ(blue->toOne("partner"), red.get());
        ASSERT_TRUE(context->save());
    }
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book_labels"), "1");

    // Changes to stored rows whose other side has not been read yet.
    {
        auto context = s.open();
        auto book = s.fetch(*context, "Book")[0];
        auto shelves = s.fetch(*context, "Shelf", {{"name", true}});  // blue, red
        book->setToOne("shelf", shelves[1].get());
        EXPECT_TRUE(shelves[0]->toMany("books").empty());
        EXPECT_EQ(shelves[1]->toMany("books").size(), 1u);
        shelves[0]->setToOne("partner", nullptr);
        EXPECT_EQ(shelves[1]->toOne("partner"), nullptr);
        ASSERT_TRUE(context->save());
    }
    auto context = s.open();
    auto shelves = s.fetch(*context, "Shelf", {{"name", true}});
    EXPECT_TRUE(shelves[0]->toMany("books").empty());
    ASSERT_EQ(shelves[1]->toMany("books").size(), 1u);
    EXPECT_EQ(shelves[1]->toOne("partner"), nullptr);
    NSManagedObject* book = shelves[1]->toMany("books")[0];
    ASSERT_EQ(book->toMany("labels").size(), 1u);

    // Deleting a row clears it from every set that held it, here and in the file.
    context->deleteObject(book->toMany("labels")[0]);
    EXPECT_TRUE(book->toMany("labels").empty());
    context->deleteObject(shelves[1].get());
    EXPECT_EQ(book->toOne("shelf"), nullptr);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book_labels; SELECT count(*), quote(shelf) FROM Book"),
              "0\n1|NULL");
}

TEST(StoreChanges, FetchesSeeUnsavedInsertionsAndDeletionsAndHasChangesFollows)
{
    TestStore s;
    auto context = s.open();
    EXPECT_FALSE(context->hasChanges());
    auto kept = context->insertNewObjectForEntityForName("Book");
    auto dropped = context->insertNewObjectForEntityForName("Book");
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(s.fetch(*context, "Book").size(), 2u);
    context->deleteObject(dropped.get());  // never saved: simply gone
    EXPECT_EQ(s.fetch(*context, "Book").size(), 1u);
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(context->hasChanges());

    kept->setValue("renamed", "title");
    EXPECT_TRUE(context->hasChanges());
    ASSERT_TRUE(context->save());
    EXPECT_EQ(sqliteShell(s.path(), "SELECT title FROM Book"), "renamed");
    context->deleteObject(kept.get());
    EXPECT_TRUE(s.fetch(*context, "Book").empty());
    ASSERT_TRUE(context->save());
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book"), "0");

    // An object outlives its context with its values, but no longer reaches other rows.
    auto book = context->insertNewObjectForEntityForName("Book");
    book->setValue("orphan", "title");
    context.reset();
    EXPECT_EQ(book->valueForKey("title").toString(), "orphan");
    EXPECT_EQ(book->toOne("shelf"), nullptr);
}
