// The search over a generated library: accents and case folded away, words matched at
// their start in every searched text, articles searchable like any word, other scripts
// (Cyrillic by word, Japanese anywhere), and the results in the lists' own order.

#include "player/LibrarySearch.h"

#include <gtest/gtest.h>

namespace {

// Title, artist, album, then optionally album artist, genre and composer.
MPMediaItem song(std::initializer_list<const char*> texts)
{
    static MPMediaEntityPersistentID next = 1;
    MediaItemProperties p;
    p.persistentID = next++;
    std::optional<QString>* fields[] = {&p.artist, &p.albumTitle, &p.albumArtist, &p.genre, &p.composer};
    auto text = texts.begin();
    p.title = QString::fromUtf8(*text++);
    for (std::optional<QString>* field : fields)
        if (text != texts.end())
            *field = QString::fromUtf8(*text++);
    return MPMediaItem(p);
}

} // namespace

TEST(LibrarySearch, FindsWordStartsWhateverTheirAccentsCaseOrScript)
{
    const QList<MPMediaItem> songs = {
        song({"Étude in Blue", "Émile Zola Band", "Night Songs", "Various", "Jazz", "Chopin"}),
        song({"The Long Road", "The Beatles", "A Hard Day"}),
        song({"Straße der Nacht", "Kraftwerk", "Autobahn", "", "", "Ralf Hütter"}),
        song({"Ёлка", "Кино", "Звезда"}),
        song({"東京タワー", "花子", "東京"}),
        song({"Road to Nowhere", "Talking Heads", "Little Creatures"}),
        song({"Ångström", "Ænima Øresund", "Œuvre"}),
    };
    MusicList songList, artistList, albumList;
    for (const MPMediaItem& s : songs) {
        songList.append(MusicListEntry(s));
        artistList.append(MusicListEntry(s));  // one artist per song here
        albumList.append(MusicListEntry(s));
    }
    LibrarySearch search;
    search.build(songList, artistList, albumList);

    const struct {
        const char* query;
        QList<int> songs, artists, albums;
    } cases[] = {
        {"ÉTUDE", {0}, {}, {}},
        {"emile", {0}, {0}, {0}},
        {"various", {0}, {}, {0}},  // album artist
        {"jazz", {0}, {}, {}},      // genre
        {"chopin", {0}, {}, {}},    // composer
        {"road", {1, 5}, {}, {}},
        {"oad", {}, {}, {}},        // not a word start
        {"the", {1}, {1}, {1}},     // an article is a word like any
        {"day hard", {1}, {}, {1}},
        {"road nowhere", {5}, {}, {}},
        {"strasse", {2}, {}, {}},
        {"hutter", {2}, {}, {}},
        {"ЕЛКА", {3}, {}, {}},
        {"кино", {3}, {3}, {3}},
        {"京", {4}, {}, {4}},       // no spaces between Japanese words: anywhere
        {"タワー", {4}, {}, {}},
        {"aenima oresund", {6}, {6}, {6}},
        {"angstrom oeuvre", {6}, {}, {}},
        {"!?", {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const LibrarySearch::Results found = search.find(QString::fromUtf8(c.query));
        EXPECT_EQ(found.songs, c.songs);
        EXPECT_EQ(found.artists, c.artists);
        EXPECT_EQ(found.albums, c.albums);
    }
}
