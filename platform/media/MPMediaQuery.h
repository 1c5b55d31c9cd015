#pragma once
// Queries over the device library: all songs, or the songs matching every filter
// predicate, grouped into collections by song, artist, album, genre or playlist.
//
// Order: the way a phone's library sorts (see MediaCollation.h): songs by title, artists,
// albums and genres by their name, playlists by name, each case-insensitively,
// locale-aware and with numbers in numeric order; ties by artist, album, disc and track.
// A playlist keeps its file's order. Songs inside an artist's or genre's collection come
// by album, disc, track and title; inside an album's by disc, track and title.

#include "platform/media/MPMediaItem.h"
#include "platform/media/MPMediaItemCollection.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class MPMediaLibrary;

enum MPMediaPredicateComparison {
    MPMediaPredicateComparisonEqualTo,   // exact text or number equality
    MPMediaPredicateComparisonContains,  // text contains the value, case-insensitively
};

// A filter on one item property: title, artist, album artist, album title, genre,
// composer (texts), persistent identifier, track or disc number (numbers). A predicate
// on a value the item lacks never matches; one on an unknown property matches nothing.
class MPMediaPropertyPredicate {
public:
    static MPMediaPropertyPredicate predicateWithValue(
        QVariant value, QString property,
        MPMediaPredicateComparison comparisonType = MPMediaPredicateComparisonEqualTo);

    const QVariant& value() const { return m_value; }
    const QString& property() const { return m_property; }
    MPMediaPredicateComparison comparisonType() const { return m_comparison; }

    bool matches(const MPMediaItem& item) const;

private:
    QVariant m_value;
    QString m_property;
    MPMediaPredicateComparison m_comparison = MPMediaPredicateComparisonEqualTo;
};

enum MPMediaGrouping {
    MPMediaGroupingTitle,     // one collection per song
    MPMediaGroupingAlbum,     // one per album: album title and album artist (else artist)
    MPMediaGroupingArtist,    // one per artist text (exact; absent and empty apart)
    MPMediaGroupingGenre,     // one per genre text
    MPMediaGroupingComposer,  // one per composer text
    MPMediaGroupingPlaylist,  // one per playlist file
};

class MPMediaQuery {
public:
    // All songs of the library, no filter, one collection per song.
    MPMediaQuery();
    // The songs matching every predicate (initWithFilterPredicates:).
    explicit MPMediaQuery(QList<MPMediaPropertyPredicate> filterPredicates);

    static MPMediaQuery songsQuery();
    static MPMediaQuery artistsQuery();
    static MPMediaQuery albumsQuery();
    static MPMediaQuery genresQuery();
    static MPMediaQuery composersQuery();
    static MPMediaQuery playlistsQuery();

    void addFilterPredicate(const MPMediaPropertyPredicate& predicate);
    const QList<MPMediaPropertyPredicate>& filterPredicates() const { return m_predicates; }

    MPMediaGrouping groupingType() const { return m_grouping; }
    void setGroupingType(MPMediaGrouping grouping) { m_grouping = grouping; }

    // The library asked; the default library (MPMediaLibrary::defaultMediaLibrary(), which
    // scans on first use) unless set.
    void setLibrary(std::shared_ptr<MPMediaLibrary> library) { m_library = std::move(library); }

    // The matching songs in the order of the grouping (for playlists: every playlist's
    // matching songs, playlist after playlist).
    QList<MPMediaItem> items() const;
    // The groups of the matching songs; a group with no matching song is left out. For
    // the playlist grouping the collections are playlists (MPMediaPlaylistPropertyName);
    // without predicates every playlist is listed, an empty one too.
    QList<MPMediaItemCollection> collections() const;

private:
    std::shared_ptr<MPMediaLibrary> library() const;

    QList<MPMediaPropertyPredicate> m_predicates;
    MPMediaGrouping m_grouping = MPMediaGroupingTitle;
    std::shared_ptr<MPMediaLibrary> m_library;
};
