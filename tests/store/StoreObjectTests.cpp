// Objects in a context: attribute values through the file and back, fetch order, and
// relationships kept in step on both sides, before and after a save.

#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QStringList titles(const NSManagedObjectList& rows, const QString& key = QStringLiteral("title"))
{
    QStringList out;
    for (const auto& r : rows) {
        const QVariant v = r->valueForKey(key);
        out << (v.isValid() ? v.toString() : QStringLiteral("<absent>"));
    }
    return out;
}

template <typename Range>
bool holds(const Range& objects, NSManagedObject* o)
{
    return std::find(objects.begin(), objects.end(), o) != objects.end();
}

} // namespace

TEST(StoreValues, EveryTypeRoundTripsThroughTheFileIncludingUnsignedAbove2To63)
{
    TestStore s;
    const quint64 big = 0xFEDCBA9876543210ull;  // above 2^63: negative as a signed integer
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
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book WHERE pages IS NULL AND weight IS NULL AND title = ''"), "1");

    auto context = s.open();
    auto rows = s.fetch(*context, "Book", {{"serial", true}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->valueForKey("serial").toULongLong(), big);  // unsigned order: big < 2^64-1
    EXPECT_EQ(rows[1]->valueForKey("serial").toULongLong(), ~0ull);
    EXPECT_EQ(rows[0]->valueForKey("title").toString(), QStringLiteral("Ünïcødé 𝄞"));
    EXPECT_EQ(rows[0]->valueForKey("pages").toLongLong(), -42);
    EXPECT_DOUBLE_EQ(rows[0]->valueForKey("weight").toDouble(), 2.5);
    EXPECT_TRUE(rows[1]->valueForKey("title").isValid());
    EXPECT_TRUE(rows[1]->valueForKey("title").toString().isEmpty());
    EXPECT_FALSE(rows[1]->valueForKey("pages").isValid());
}

TEST(StoreFetch, SortsByCodePointWithAbsentFirstAndKeepsTiesInOrder)
{
    TestStore s;
    auto context = s.open();
    // U+FFFD sorts below U+1D11E by code point although its UTF-16 unit is higher.
    for (const char* t : {"apple", "Zebra", "\xF0\x9D\x84\x9E", "\xEF\xBF\xBD", "", "Äpfel", "Apple"}) {
        auto b = context->insertNewObjectForEntityForName("Book");
        b->setValue(QString::fromUtf8(t), "title");
    }
    context->insertNewObjectForEntityForName("Book");  // no title
    const QStringList expected{"<absent>", "", "Apple", "Zebra", "apple", "Äpfel",
                               QString::fromUtf8("\xEF\xBF\xBD"), QString::fromUtf8("\xF0\x9D\x84\x9E")};
    // Unsaved rows are sorted the same way as stored ones.
    EXPECT_EQ(titles(s.fetch(*context, "Book", {{"title", true}})), expected);
    ASSERT_TRUE(context->save());
    auto reopened = s.open();
    EXPECT_EQ(titles(s.fetch(*reopened, "Book", {{"title", true}})), expected);
    QStringList descending = expected;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(titles(s.fetch(*reopened, "Book", {{"title", false}})), descending);

    // Equal first keys keep falling back to the next descriptor.
    auto c = s.open();
    for (auto& row : s.fetch(*c, "Book"))
        row->setValue(row->valueForKey("title").toString().isEmpty() ? 1 : 2, "pages");
    EXPECT_EQ(titles(s.fetch(*c, "Book", {{"pages", true}, {"title", false}})).mid(0, 2),
              (QStringList{"", "<absent>"}));
}

TEST(StoreFetch, UnknownEntityOrSortKeyAnswersNothing)
{
    TestStore s;
    auto context = s.open();
    QString error;
    EXPECT_FALSE(context->executeFetchRequest({"Nope", {}, 0}, &error).has_value());
    EXPECT_FALSE(context->executeFetchRequest({"Book", {{"nope", true}}, 0}, &error).has_value());
    EXPECT_EQ(context->insertNewObjectForEntityForName("Nope"), nullptr);
    auto empty = context->executeFetchRequest({"Book", {}, 6});
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
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
        book->setValue("b1", "title");
        book->setToOne("shelf", red.get());
        EXPECT_TRUE(holds(red->toMany("books"), book.get()));
        // Adding from the to-many side moves the book off the other shelf.
        blue->addToMany("books", book.get());
        EXPECT_EQ(book->toOne("shelf"), blue.get());
        EXPECT_TRUE(red->toMany("books").empty());
        auto label = context->insertNewObjectForEntityForName("Label");
        label->setValue("new", "name");
        book->addToMany("labels", label.get());
        EXPECT_TRUE(holds(label->toMany("books"), book.get()));
        red->setToOne("partner", blue.get());
        EXPECT_EQ(blue->toOne("partner"), red.get());
        ASSERT_TRUE(context->save());
    }
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book_labels"), "1");

    auto context = s.open();
    auto shelves = s.fetch(*context, "Shelf", {{"name", true}});
    ASSERT_EQ(shelves.size(), 2u);
    NSManagedObject* blue = shelves[0].get();
    NSManagedObject* red = shelves[1].get();
    ASSERT_EQ(blue->toMany("books").size(), 1u);
    NSManagedObject* book = blue->toMany("books")[0];
    EXPECT_EQ(book->toOne("shelf"), blue);
    EXPECT_EQ(red->toOne("partner"), blue);
    ASSERT_EQ(book->toMany("labels").size(), 1u);
    NSManagedObject* label = book->toMany("labels")[0];

    // Changes to stored rows whose other side has not been read yet.
    auto other = s.open();
    auto books = s.fetch(*other, "Book");
    auto otherShelves = s.fetch(*other, "Shelf", {{"name", true}});
    books[0]->setToOne("shelf", otherShelves[1].get());  // blue -> red, blue's set never read
    EXPECT_TRUE(otherShelves[0]->toMany("books").empty());
    EXPECT_EQ(otherShelves[1]->toMany("books").size(), 1u);
    otherShelves[0]->setToOne("partner", nullptr);
    EXPECT_EQ(otherShelves[1]->toOne("partner"), nullptr);
    ASSERT_TRUE(other->save());

    auto third = s.open();
    auto thirdShelves = s.fetch(*third, "Shelf", {{"name", true}});
    EXPECT_TRUE(thirdShelves[0]->toMany("books").empty());
    EXPECT_EQ(thirdShelves[1]->toMany("books").size(), 1u);
    EXPECT_EQ(thirdShelves[1]->toOne("partner"), nullptr);

    // Deleting a row clears it from every set that held it, here and in the file.
    context->deleteObject(label);
    EXPECT_TRUE(book->toMany("labels").empty());
    context->deleteObject(blue);
    EXPECT_EQ(book->toOne("shelf"), nullptr);
    EXPECT_EQ(red->toOne("partner"), nullptr);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Book_labels"), "0");
    EXPECT_EQ(sqliteShell(s.path(), "SELECT count(*) FROM Shelf"), "1");
}

TEST(StoreChanges, FetchesSeeUnsavedInsertionsAndDeletionsAndHasChangesFollows)
{
    TestStore s;
    auto context = s.open();
    EXPECT_FALSE(context->hasChanges());
    auto kept = context->insertNewObjectForEntityForName("Book");
    kept->setValue("kept", "title");
    auto dropped = context->insertNewObjectForEntityForName("Book");
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(s.fetch(*context, "Book").size(), 2u);
    context->deleteObject(dropped.get());  // never saved: simply gone
    EXPECT_EQ(s.fetch(*context, "Book").size(), 1u);
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_GT(kept->storeKey(), 0);

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
