// The letter index over plain names: the letter each name is filed under, and the sections
// and side index built from a list in its own order.

#include "player/LetterIndex.h"

#include <gtest/gtest.h>

TEST(LetterIndexHeader, ArticlesAndTheLetterRules)
{
    const struct {
        uint32_t kind;
        QString name;
        const char* header;
    } cases[] = {
        // Artists skip only an exact leading "The " of a longer name.
        {ListKindArtists, "The Beatles", "B"},
        {ListKindArtists, "The", "T"},
        {ListKindArtists, "the band", "T"},
        {ListKindArtists, "Them Crooked", "T"},
        {ListKindArtists, "The  Roots", "#"},  // the space after the article decides
        {ListKindArtists, "A Tribe", "A"},     // artists keep "A "
        // Titles and albums drop every article found in the first four characters.
        {ListKindTitles, "A Day in the Life", "D"},
        {ListKindTitles, "Mamma Mia", "M"},
        {ListKindTitles, "The Who Sell Out", "W"},
        {ListKindAlbums, "A A Band", "B"},  // every "A ", not only the first
        {ListKindTitles, "An Apple", "A"},  // "An" is no article
        {ListKindTitles, "a day", "D"},
        {ListKindTitles, "the end", "T"},  // case-sensitive
        {ListKindTitles, "A Go", "A"},     // four characters: as it is
        {ListKindTitles, "A Goo", "G"},
        {ListKindTitles, "The ", "T"},
        {ListKindTitles, "The The ", "#"},  // nothing left
        {ListKindTitles, "(A Day", "D"},     // after leading punctuation
        {ListKindTitles, "\"The End", "T"},  // the article runs past the fourth character
        // What is skipped and what stops the scan.
        {ListKindTitles, "99 Luftballons", "#"},
        {ListKindTitles, " Leading space", "#"},
        {ListKindTitles, "(Untitled)", "U"},
        {ListKindTitles, "...And Justice", "A"},
        {ListKindTitles, QString::fromUtf8("Édith"), "D"},
        {ListKindTitles, QString::fromUtf8("¿Quién?"), "Q"},
        {ListKindTitles, QString::fromUtf8("“Quoted”"), "Q"},  // general punctuation
        {ListKindTitles, QString::fromUtf8("e\u0301tude"), "E"},
        {ListKindTitles, QString::fromUtf8("\u0301x"), "#"},  // a lone combining mark
        {ListKindTitles, QString::fromUtf8("사랑"), "#"},
        {ListKindTitles, QString::fromUtf8("Ёлка"), "#"},
        {ListKindTitles, QString::fromUtf8("東京"), "#"},
        {ListKindTitles, QString::fromUtf8("Ａbc"), "#"},        // full-width Latin
        {ListKindTitles, QString::fromUtf8("\U0001D11E Clef"), "#"},  // a surrogate pair
        {ListKindTitles, QString::fromUtf8("«»"), "#"},           // only skipped units
        {ListKindTitles, "", "#"},
        {ListKindTitles, QString(), "#"},
        {ListKindArtists, QString(), "#"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(sectionHeader(c.kind, c.name), QString::fromLatin1(c.header));
    }
}

TEST(LetterIndex, SectionsRunInListOrderWithNamesAndListNumbersShownForTheirKindOnly)
{
    LetterIndex index;
    index.InitIndexArray();
    index.makeIndex(ListKindTitles, {"Apple", "avocado", "The Bee", QString(), "Dog", "Bat", "Bus"}, ListKindTitles);
    index.makeIndex(ListKindArtists, {"The Cure"}, ListKindTitles);

    EXPECT_EQ(index.sectionIndexTitles(), QStringList({"A", "B", "#", "D", "B"}));
    EXPECT_EQ(index.numberOfSections(), 5);
    EXPECT_EQ(index.titleForHeaderInSection(2), "123");
    EXPECT_EQ(index.sectionForSectionIndexTitle("B"), 1);
    EXPECT_EQ(index.sectionForSectionIndexTitle("Q"), -1);
    EXPECT_EQ(index.numberOfRowsInSection(0), 2);
    EXPECT_EQ(index.rowValue(0, 1), "avocado");
    EXPECT_EQ(index.rowValue(1, 0), "The Bee");  // the name, not the key
    EXPECT_EQ(index.rowValue(2, 0), "");
    EXPECT_EQ(index.listNumber(3, 0), 4);
    EXPECT_EQ(index.listNumber(4, 1), 6);
    EXPECT_EQ(index.listNumber(4, 2), -1);
    EXPECT_EQ(index.listNumber(9, 0), -1);
    EXPECT_EQ(index.numberOfRowsInSection(-1), 0);
    EXPECT_TRUE(sectionsOfNames(ListKindTitles, {}).isEmpty());

    index.LoadListIndex(ListKindArtists);
    EXPECT_EQ(index.sectionIndexTitles(), QStringList({"C"}));
    for (uint32_t kind : {ListKindGenres, ListKindPlaylists, ListKindArtistAlbums}) {
        index.LoadListIndex(kind);
        EXPECT_EQ(index.numberOfSections(), 0);
        EXPECT_TRUE(index.indices().isEmpty());
    }

    // A second build of the same kind appends; a rebuild empties first.
    index.makeIndex(ListKindArtists, {"Abba"}, ListKindArtists);
    EXPECT_EQ(index.sectionIndexTitles(), QStringList({"C", "A"}));
    index.clearIndexes();
    index.LoadListIndex(ListKindTitles);
    EXPECT_EQ(index.numberOfSections(), 0);
}
