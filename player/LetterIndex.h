#pragma once
// The letter index of the title, artist and album lists: sections of consecutive entries
// that share a letter, and the side index over them. Plain logic over names; the list view
// asks it the table's section questions for the list shown.
//
// A name's letter is looked for in its UTF-16 code units: the first Latin letter (made
// upper case) or digit ("#") decides, punctuation, Latin-1 symbols and letters, and general
// punctuation are skipped, anything else (a space, another script) gives "#". Titles and
// albums lose a leading article first ("The ", "A ", "a "), artists skip a leading "The ".
// Sections follow the list's own order: a letter that comes back later starts a new
// section with the same header.
//
// Threads: main thread only (it is the list view's state).

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// The lists of the list view (ListChangeFlag). 0 to 4 are the top-level lists.
enum ListKind : uint32_t {
    ListKindTitles = 0,
    ListKindArtists = 1,
    ListKindGenres = 2,
    ListKindAlbums = 3,
    ListKindPlaylists = 4,
    ListKindAlbumSongs = 5,
    ListKindArtistAlbums = 6,
    ListKindArtistSongs = 7,
    ListKindArtistAlbumSongs = 8,
    ListKindPlaylistSongs = 9,
    ListKindGenreArtists = 11,
};

// One section: its letter ("A" to "Z" or "#"), the names of its rows and, for each row, the
// index of its entry in the list.
struct SectionRecord {
    QString headerTitle;
    QStringList rowValues;
    QList<int> ListNumber;
};
using SectionList = QList<SectionRecord>;

// The section letter of a name in the list of `kind` (0 titles, 1 artists, 3 albums). A
// null name (an entry without one) is "#".
QString sectionHeader(uint32_t kind, const QString& name);
// Sections of `names` (one per entry, in list order), numbered from entry 0.
SectionList sectionsOfNames(uint32_t kind, const QStringList& names);

class LetterIndex {
public:
    // Creates the four index arrays empty (titles, artists, genres, albums).
    void InitIndexArray();
    // Empties the title, artist and album indexes before a rebuild.
    void clearIndexes();
    // Appends the sections of `names` to the kind's index array, then shows the sections
    // of `shownKind`.
    void makeIndex(uint32_t kind, const QStringList& names, uint32_t shownKind);
    // Shows the sections of `names`, a list of `kind` other than the one its index was
    // built from (the store's rows after a rebuild); the kind's index stays with the list
    // its list button brings back.
    void showSections(uint32_t kind, const QStringList& names);
    // Makes the sections of `kind` the ones shown (g_content and g_indices); none for a
    // kind without an index.
    void LoadListIndex(uint32_t kind);

    const SectionList& indexArray(uint32_t kind) const;
    const SectionList& content() const { return g_content; }
    const QStringList& indices() const { return g_indices; }

    // The table's section answers for the sections shown.
    int numberOfSections() const { return int(g_content.size()); }
    int numberOfRowsInSection(int section) const;
    // "#" is shown as "123".
    QString titleForHeaderInSection(int section) const;
    QStringList sectionIndexTitles() const { return g_indices; }
    // The section of a side index title: its first position in the index; -1 if absent.
    int sectionForSectionIndexTitle(const QString& title) const;
    // The entry a row stands for, and its name; -1 and a null text outside the sections.
    int listNumber(int section, int row) const;
    QString rowValue(int section, int row) const;

private:
    SectionList* mutableIndex(uint32_t kind);
    // g_indices from g_content.
    void showIndices();

    SectionList SongsIndexArray;
    SectionList ArtistsIndexArray;
    SectionList GenreIndexArray;  // created like the others but never filled
    SectionList AlbumIndexArray;
    SectionList g_content;
    QStringList g_indices;
};
