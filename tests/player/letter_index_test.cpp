// The letter index over plain names: the letter each name is filed under, and the sections
// and side index built from a list in its own order.

#include "player/LetterIndex.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    uint32_t kind;
    QString name;
    const char* header;
};

QStringList headersOf(const SectionList& sections)
{
    QStringList h;
    for (const SectionRecord& s : sections)
        h.append(s.headerTitle);
    return h;
}

} // namespace

TEST(LetterIndexHeader, ArticlesAndTheLetterRules)
{
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(sectionHeader(c.kind, c.name), QString::fromLatin1(c.header));
    }
}

TEST(LetterIndexSections, RunsInListOrderWithNamesAndListNumbers)
{
    const QStringList names = {"Apple", "avocado", "The Bee", QString(), "Dog", "Bat", "Bus"};
    const SectionList sections = sectionsOfNames(ListKindTitles, names);
    ASSERT_EQ(headersOf(sections), QStringList({"A", "B", "#", "D", "B"}));
    EXPECT_EQ(sections[0].rowValues, QStringList({"Apple", "avocado"}));
    EXPECT_EQ(sections[1].rowValues, QStringList({"The Bee"}));  // the name, not the key
    EXPECT_EQ(sections[2].rowValues, QStringList({""}));
    EXPECT_EQ(sections[4].ListNumber, QList<int>({5, 6}));
    EXPECT_EQ(sections[3].ListNumber, QList<int>({4}));
    EXPECT_TRUE(sectionsOfNames(ListKindTitles, {}).isEmpty());
}

TEST(LetterIndexAnswers, SectionsShownForTheirKindOnly)
{
    LetterIndex index;
    index.InitIndexArray();
    index.makeIndex(ListKindTitles, {"99 Red", "Bee", "Dog", "Bat"}, ListKindTitles);
    index.makeIndex(ListKindArtists, {"The Cure"}, ListKindTitles);

    EXPECT_EQ(index.numberOfSections(), 4);
    EXPECT_EQ(index.titleForHeaderInSection(0), "123");
    EXPECT_EQ(index.sectionIndexTitles(), QStringList({"#", "B", "D", "B"}));
    EXPECT_EQ(index.sectionForSectionIndexTitle("B"), 1);
    EXPECT_EQ(index.sectionForSectionIndexTitle("Q"), -1);
    EXPECT_EQ(index.listNumber(3, 0), 3);
    EXPECT_EQ(index.rowValue(3, 0), "Bat");
    EXPECT_EQ(index.listNumber(3, 1), -1);
    EXPECT_EQ(index.listNumber(9, 0), -1);
    EXPECT_EQ(index.numberOfRowsInSection(-1), 0);

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
