// Search as you type: the results of the search field in place of the list, in three
// sections (songs, artists, albums) over the top-level lists of the last index build.
// Choosing a song plays it with the song results as the queue; choosing an artist or an
// album leaves the search and drills down as the artist and album lists do.
//
// Threads: main thread only.

#include "player/TavoroViewController.h"

#include "player/ListView.h"

#include <QPushButton>

void TavoroViewController::rebuildSearchIndex()
{
    mLibrarySearch.build(mTopLevelLists[ListKindTitles], mTopLevelLists[ListKindArtists],
                         mTopLevelLists[ListKindAlbums]);
    // The lists changed under results on screen: they index into the new lists.
    if (searchShown())
        mSearchResults = mLibrarySearch.find(mSearchQuery);
}

void TavoroViewController::searchLibrary(const QString& text)
{
    mSearchQuery = text;
    mSearchResults = text.isEmpty() ? LibrarySearch::Results() : mLibrarySearch.find(text);
    reloadListView();
}

const QList<int>* TavoroViewController::searchSection(int section, uint32_t* listKind) const
{
    const std::pair<const QList<int>*, uint32_t> sections[] = {{&mSearchResults.songs, ListKindTitles},
                                                              {&mSearchResults.artists, ListKindArtists},
                                                              {&mSearchResults.albums, ListKindAlbums}};
    for (const auto& [rows, kind] : sections) {
        if (rows->isEmpty())
            continue;
        if (section-- == 0) {
            *listKind = kind;
            return rows;
        }
    }
    return nullptr;
}

int TavoroViewController::searchSectionCount() const
{
    return int(!mSearchResults.songs.isEmpty()) + int(!mSearchResults.artists.isEmpty())
           + int(!mSearchResults.albums.isEmpty());
}

int TavoroViewController::searchRowCount(int section) const
{
    uint32_t kind = 0;
    const QList<int>* rows = searchSection(section, &kind);
    return rows ? int(rows->size()) : 0;
}

QString TavoroViewController::searchSectionTitle(int section) const
{
    uint32_t kind = 0;
    if (!searchSection(section, &kind))
        return QString();
    return kind == ListKindTitles ? tr("Songs") : kind == ListKindArtists ? tr("Artists") : tr("Albums");
}

ListCell TavoroViewController::searchCell(ListIndexPath indexPath) const
{
    ListCell cell;
    cell.accessoryTag = indexPath.row;
    uint32_t kind = 0;
    const QList<int>* rows = searchSection(indexPath.section, &kind);
    if (!rows || indexPath.row < 0 || indexPath.row >= rows->size())
        return cell;
    const MusicList& list = mTopLevelLists[kind];
    const int listIndex = rows->at(indexPath.row);
    const MPMediaItem rowSong = listIndex < list.size() ? list[listIndex].song() : MPMediaItem();
    // Each section's rows look like the rows of its own list.
    cell.subtitleStyle = kind != ListKindArtists;
    cell.reuseIdentifier = cell.subtitleStyle ? QStringLiteral("titlesCell") : QStringLiteral("Cell");
    if (kind == ListKindTitles) {
        cell.text = rowSong.title();
        cell.detailText = songDetail(rowSong);
        markIfPlaying(cell, rowSong);
    } else if (kind == ListKindArtists) {
        cell.text = rowSong.artist().value_or(QString());
    } else {
        cell.text = rowSong.albumTitle().value_or(QString());
        cell.detailText = rowSong.artist().value_or(QString());
    }
    return cell;
}

void TavoroViewController::chooseSearchResult(ListIndexPath indexPath)
{
    uint32_t kind = 0;
    const QList<int>* rows = searchSection(indexPath.section, &kind);
    if (!rows || indexPath.row < 0 || indexPath.row >= rows->size())
        return;
    if (kind == ListKindTitles) {
        // The song results are the queue, as the whole list is when a song is chosen there;
        // the list under the results stays as it was.
        MusicList results;
        results.reserve(rows->size());
        for (int i : *rows)
            results.append(mTopLevelLists[ListKindTitles].value(i));
        const MusicList shown = g_itemsArray;
        g_itemsArray = results;
        chooseSongAtListIndex(indexPath.row);
        g_itemsArray = shown;
        return;
    }
    const QString name = searchCell(indexPath).text;
    mListTable->endSearch(false);
    mListTable->syncButtonItem->setHidden(true);
    ListButtonImageUpdate(kind);
    if (kind == ListKindArtists)
        drillDownToArtist(name);
    else
        drillDownToAlbum(name, ListKindAlbumSongs);
    reloadListView();
}
