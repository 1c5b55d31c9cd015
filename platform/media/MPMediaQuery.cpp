#include "platform/media/MPMediaQuery.h"

#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MediaCollation.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

// ---- predicates ----

MPMediaPropertyPredicate MPMediaPropertyPredicate::predicateWithValue(
    QVariant value, QString property, MPMediaPredicateComparison comparisonType)
{
    MPMediaPropertyPredicate predicate;
    predicate.m_value = std::move(value);
    predicate.m_property = std::move(property);
    predicate.m_comparison = comparisonType;
    return predicate;
}

namespace {

bool matchesText(const std::optional<QString>& text, const QVariant& value,
                 MPMediaPredicateComparison comparison)
{
    if (!text || !value.canConvert<QString>())
        return false;
    const QString wanted = value.toString();
    if (comparison == MPMediaPredicateComparisonContains)
        return text->contains(wanted, Qt::CaseInsensitive);
    return *text == wanted;
}

bool matchesNumber(const std::optional<int>& number, const QVariant& value)
{
    bool ok = false;
    const int wanted = value.toInt(&ok);
    return ok && number && *number == wanted;
}

} // namespace

bool MPMediaPropertyPredicate::matches(const MPMediaItem& item) const
{
    if (item.isNull())
        return false;
    if (m_property == MPMediaItemPropertyPersistentID) {
        bool ok = false;
        const qulonglong wanted = m_value.toULongLong(&ok);
        return ok && wanted == item.persistentID();
    }
    if (m_property == MPMediaItemPropertyTitle)
        return matchesText(item.title(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyArtist)
        return matchesText(item.artist(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyAlbumArtist)
        return matchesText(item.albumArtist(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyAlbumTitle)
        return matchesText(item.albumTitle(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyGenre)
        return matchesText(item.genre(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyComposer)
        return matchesText(item.composer(), m_value, m_comparison);
    if (m_property == MPMediaItemPropertyAlbumTrackNumber)
        return matchesNumber(item.albumTrackNumber(), m_value);
    if (m_property == MPMediaItemPropertyDiscNumber)
        return matchesNumber(item.discNumber(), m_value);
    return false;
}

// ---- ordering and grouping ----

namespace {

enum class Field { Title, Artist, AlbumArtist, Album, Genre, Composer, Disc, Track };

// The artist an album is filed under: its album artist, else the song's artist.
std::optional<QString> albumArtistOf(const MPMediaItem& item)
{
    return item.albumArtist() ? item.albumArtist() : item.artist();
}

std::optional<QString> textOf(const MPMediaItem& item, Field field)
{
    switch (field) {
    case Field::Title: return item.title();
    case Field::Artist: return item.artist();
    case Field::AlbumArtist: return albumArtistOf(item);
    case Field::Album: return item.albumTitle();
    case Field::Genre: return item.genre();
    case Field::Composer: return item.composer();
    default: return std::nullopt;
    }
}

int numberOf(const MPMediaItem& item, Field field)
{
    return (field == Field::Disc ? item.discNumber() : item.albumTrackNumber()).value_or(0);
}

bool isText(Field field) { return field != Field::Disc && field != Field::Track; }

// One song with the sort keys of the text fields its ordering uses.
struct SortRow {
    MPMediaItem item;
    std::vector<std::optional<QCollatorSortKey>> keys;  // per ordering field; unset for numbers
};

// Absent before present, then the library's collation, then exact text (so that texts
// equal but for letter case keep apart and in a fixed order).
int compareText(const std::optional<QString>& a, const std::optional<QCollatorSortKey>& keyA,
                const std::optional<QString>& b, const std::optional<QCollatorSortKey>& keyB)
{
    if (bool(a) != bool(b))
        return a ? 1 : -1;
    if (!a)
        return 0;
    if (const int byKey = keyA->compare(*keyB))
        return byKey;
    return a->compare(*b);
}

std::vector<SortRow> sortedRows(const QList<MPMediaItem>& items, const std::vector<Field>& order)
{
    std::vector<SortRow> rows;
    rows.reserve(size_t(items.size()));
    for (const MPMediaItem& item : items) {
        SortRow row{item, {}};
        row.keys.reserve(order.size());
        for (Field field : order) {
            std::optional<QString> text = isText(field) ? textOf(item, field) : std::nullopt;
            row.keys.push_back(text ? std::optional(mediaLibrarySortKey(*text)) : std::nullopt);
        }
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [&order](const SortRow& a, const SortRow& b) {
        for (size_t i = 0; i < order.size(); ++i) {
            const Field field = order[i];
            int c = 0;
            if (isText(field))
                c = compareText(textOf(a.item, field), a.keys[i], textOf(b.item, field), b.keys[i]);
            else
                c = numberOf(a.item, field) - numberOf(b.item, field);
            if (c)
                return c < 0;
        }
        return a.item.persistentID() < b.item.persistentID();
    });
    return rows;
}

struct GroupingRule {
    std::vector<Field> order;
    std::vector<Field> groupBy;  // empty: one group per song
};

GroupingRule ruleFor(MPMediaGrouping grouping)
{
    using F = Field;
    switch (grouping) {
    case MPMediaGroupingArtist:
        return {{F::Artist, F::Album, F::Disc, F::Track, F::Title}, {F::Artist}};
    case MPMediaGroupingAlbum:
        return {{F::Album, F::AlbumArtist, F::Disc, F::Track, F::Title}, {F::Album, F::AlbumArtist}};
    case MPMediaGroupingGenre:
        return {{F::Genre, F::Artist, F::Album, F::Disc, F::Track, F::Title}, {F::Genre}};
    case MPMediaGroupingComposer:
        return {{F::Composer, F::Artist, F::Album, F::Disc, F::Track, F::Title}, {F::Composer}};
    default:
        return {{F::Title, F::Artist, F::Album, F::Disc, F::Track}, {}};
    }
}

bool sameGroup(const MPMediaItem& a, const MPMediaItem& b, const std::vector<Field>& groupBy)
{
    if (groupBy.empty())
        return false;
    return std::all_of(groupBy.begin(), groupBy.end(),
                       [&](Field field) { return textOf(a, field) == textOf(b, field); });
}

} // namespace

// ---- the query ----

MPMediaQuery::MPMediaQuery() = default;

MPMediaQuery::MPMediaQuery(QList<MPMediaPropertyPredicate> filterPredicates)
    : m_predicates(std::move(filterPredicates))
{
}

namespace {

MPMediaQuery groupedQuery(MPMediaGrouping grouping)
{
    MPMediaQuery query;
    query.setGroupingType(grouping);
    return query;
}

} // namespace

MPMediaQuery MPMediaQuery::songsQuery() { return groupedQuery(MPMediaGroupingTitle); }
MPMediaQuery MPMediaQuery::artistsQuery() { return groupedQuery(MPMediaGroupingArtist); }
MPMediaQuery MPMediaQuery::albumsQuery() { return groupedQuery(MPMediaGroupingAlbum); }
MPMediaQuery MPMediaQuery::genresQuery() { return groupedQuery(MPMediaGroupingGenre); }
MPMediaQuery MPMediaQuery::composersQuery() { return groupedQuery(MPMediaGroupingComposer); }
MPMediaQuery MPMediaQuery::playlistsQuery() { return groupedQuery(MPMediaGroupingPlaylist); }

void MPMediaQuery::addFilterPredicate(const MPMediaPropertyPredicate& predicate)
{
    m_predicates.append(predicate);
}

std::shared_ptr<MPMediaLibrary> MPMediaQuery::library() const
{
    return m_library ? m_library : MPMediaLibrary::defaultMediaLibrary();
}

namespace {

bool matchesAll(const QList<MPMediaPropertyPredicate>& predicates, const MPMediaItem& item)
{
    return std::all_of(predicates.begin(), predicates.end(),
                       [&item](const MPMediaPropertyPredicate& p) { return p.matches(item); });
}

QList<MPMediaItem> filtered(const QList<MPMediaItem>& items,
                            const QList<MPMediaPropertyPredicate>& predicates)
{
    if (predicates.isEmpty())
        return items;
    QList<MPMediaItem> matching;
    for (const MPMediaItem& item : items) {
        if (matchesAll(predicates, item))
            matching.append(item);
    }
    return matching;
}

} // namespace

QList<MPMediaItemCollection> MPMediaQuery::collections() const
{
    const std::shared_ptr<MPMediaLibrary> source = library();
    QList<MPMediaItemCollection> result;

    if (m_grouping == MPMediaGroupingPlaylist) {
        QList<MPMediaPlaylist> playlists = source->allPlaylists();
        std::stable_sort(playlists.begin(), playlists.end(),
                         [](const MPMediaPlaylist& a, const MPMediaPlaylist& b) {
                             return mediaLibraryCompare(a.name(), b.name()) < 0;
                         });
        for (const MPMediaPlaylist& playlist : playlists) {
            if (m_predicates.isEmpty()) {
                result.append(playlist);
                continue;
            }
            QList<MPMediaItem> songs = filtered(playlist.items(), m_predicates);
            if (!songs.isEmpty())
                result.append(MPMediaPlaylist(playlist.name(), playlist.persistentID(), std::move(songs)));
        }
        return result;
    }

    // A lookup by identifier (a stored song finding its library item) needs no full pass.
    QList<MPMediaItem> candidates;
    const auto byID = std::find_if(m_predicates.begin(), m_predicates.end(), [](const auto& p) {
        return p.property() == MPMediaItemPropertyPersistentID;
    });
    if (byID != m_predicates.end()) {
        const MPMediaItem item = source->itemWithPersistentID(byID->value().toULongLong());
        if (!item.isNull())
            candidates.append(item);
    } else {
        candidates = source->allItems();
    }

    const GroupingRule rule = ruleFor(m_grouping);
    const std::vector<SortRow> rows = sortedRows(filtered(candidates, m_predicates), rule.order);
    QList<MPMediaItem> group;
    for (const SortRow& row : rows) {
        if (!group.isEmpty() && !sameGroup(group.first(), row.item, rule.groupBy)) {
            group.squeeze();  // the lists keep the collections: no room to grow into
            result.append(MPMediaItemCollection(std::move(group)));
            group = {};
        }
        group.append(row.item);
    }
    if (!group.isEmpty()) {
        group.squeeze();
        result.append(MPMediaItemCollection(std::move(group)));
    }
    return result;
}

QList<MPMediaItem> MPMediaQuery::items() const
{
    QList<MPMediaItem> result;
    for (const MPMediaItemCollection& collection : collections()) {
        if (collection.count() == 1)
            result.append(collection.representativeItem()); // no list of one made and dropped
        else
            result.append(collection.items());
    }
    return result;
}
