#pragma once
// Search as you type over the three searchable top-level lists (songs, artists, albums).
// Texts are folded once, when the lists are built: lower case, accents and other marks
// removed ("Émile" -> "emile", "Straße" -> "strasse"), everything that is not a letter or
// a digit a word break. A query matches an entry when every word of the query starts a
// word of the entry's texts; a word in a script written without spaces (Chinese,
// Japanese) may match anywhere. Songs are searched by title, artist, album, album
// artist, genre and composer, artists by name, albums by title and artist.
//
// A keystroke scans the folded texts, one contiguous block per list, once; nothing is
// folded or allocated per entry at query time.
//
// Threads: main thread only (the list view's state).

#include "player/MusicListEntry.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// `text` folded as the search compares it (UTF-8, words separated by one space, with a
// leading space before every word).
std::string searchFolded(const QString& text);

class LibrarySearch {
public:
    struct Results {
        QList<int> songs;    // indexes into the song list, in its order
        QList<int> artists;  // into the artist list
        QList<int> albums;   // into the album list
        bool isEmpty() const { return songs.isEmpty() && artists.isEmpty() && albums.isEmpty(); }
    };

    // Folds the texts of the three lists' entries (their representative songs).
    void build(const MusicList& songs, const MusicList& artists, const MusicList& albums);
    // The entries matching `query`; none for a query without a letter or digit.
    Results find(const QString& query) const;

private:
    // The folded texts of one list: entry i is blob[starts[i], starts[i + 1]).
    struct FoldedList {
        std::string blob;
        std::vector<uint32_t> starts;
        void add(std::initializer_list<QStringView> texts);
        QList<int> find(const std::vector<std::string>& words) const;
    };

    FoldedList mSongs;
    FoldedList mArtists;
    FoldedList mAlbums;
};
