// The library lists: the five top-level lists and their drill-downs, the table's answers
// (sections, rows, cells, the now-playing mark), the row choice, the letter index, the
// sync button, the picked songs (media picker, editing, "Clear PlayList") and the rebuild
// of the library store behind the "Loading...." alert.
//
// Threads: main thread only. The rebuild announcement is posted on the main thread even
// when a rebuild starts elsewhere, and its caller waits for it.

#include "player/TavoroViewController.h"

#include "player/ListView.h"
#include "player/MPMediaPickerController.h"
#include "player/PlayerImages.h"

#include "library/DTMusicModelController.h"
#include "platform/foundation/ProcessMemory.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MPMediaQuery.h"
#include "platform/media/MediaCollation.h"

#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

bool isSectioned(uint32_t kind)
{
    return kind == ListKindTitles || kind == ListKindArtists || kind == ListKindAlbums;
}

MPMediaQuery topLevelQuery(uint32_t kind)
{
    switch (kind) {
    case ListKindTitles: return MPMediaQuery::songsQuery();
    case ListKindArtists: return MPMediaQuery::artistsQuery();
    case ListKindGenres: return MPMediaQuery::genresQuery();
    case ListKindAlbums: return MPMediaQuery::albumsQuery();
    default: return MPMediaQuery::playlistsQuery();
    }
}

MusicList entriesOf(const QList<MPMediaItemCollection>& collections)
{
    MusicList list;
    list.reserve(collections.size());
    for (const MPMediaItemCollection& c : collections)
        list.append(MusicListEntry(c));
    return list;
}

MPMediaQuery songsWhose(const QString& property, const QString& name)
{
    return MPMediaQuery({MPMediaPropertyPredicate::predicateWithValue(name, property)});
}

// The distinct values of one text of the songs, in the order met; songs without it add none.
QStringList distinctTexts(const QList<MPMediaItem>& songs, std::optional<QString> (MPMediaItem::*text)() const)
{
    QStringList found;
    for (const MPMediaItem& s : songs) {
        const std::optional<QString> value = (s.*text)();
        if (!value || (!found.isEmpty() && found.last() == *value) || found.contains(*value))
            continue;
        found.append(*value);
    }
    return found;
}

MusicList nameEntries(const QStringList& names)
{
    MusicList list;
    for (const QString& n : names)
        list.append(MusicListEntry(n));
    return list;
}

} // namespace

// "artist - album", or the one of them that is there.
QString TavoroViewController::songDetail(const MPMediaItem& s)
{
    const QString artist = s.artist().value_or(QString());
    const QString album = s.albumTitle().value_or(QString());
    if (artist.isEmpty())
        return album;
    return album.isEmpty() ? artist : artist + QStringLiteral(" - ") + album;
}

namespace {

// The name a sectioned list's entry is indexed and shown by.
QString indexName(uint32_t kind, const MPMediaItem& s)
{
    if (s.isNull())
        return QString();
    switch (kind) {
    case ListKindTitles: return s.title();
    case ListKindArtists: return s.artist().value_or(QString());
    default: return s.albumTitle().value_or(QString());
    }
}

// The names of a sectioned list's entries, in list order.
QStringList indexNames(uint32_t kind, const MusicList& entries)
{
    QStringList names;
    names.reserve(entries.size());
    for (const MusicListEntry& entry : entries)
        names.append(indexName(kind, entry.song()));
    return names;
}

// A store row as a list entry: the device library's items of its songs, as a query's
// collection would hold them.
template <typename Songs>
MusicListEntry entryOfSongs(const Songs& songs)
{
    QList<MPMediaItem> items;
    for (DTSong* s : songs) {
        if (MPMediaItem item = s ? s->mediaItem() : MPMediaItem(); !item.isNull())
            items.append(item);
    }
    return MusicListEntry(MPMediaItemCollection(items));
}

template <typename Row>
MusicList entriesOfRows(const DTEntityList<Row>& rows)
{
    MusicList list;
    if (!rows)
        return list;
    for (const std::shared_ptr<Row>& row : *rows) {
        if (!row)
            continue;
        MusicListEntry entry;
        if constexpr (std::is_same_v<Row, DTSong>)
            entry = entryOfSongs(std::vector<DTSong*>{row.get()});
        else
            entry = entryOfSongs(row->songs());
        // A row whose songs have all left the device library has nothing to show or play.
        if (!entry.song().isNull())
            list.append(entry);
    }
    return list;
}

// `rows` in the order of `queryList`: each row takes the place of the query's entry that
// holds its song. Rows the query does not hold follow, in their own order.
MusicList inQueryOrder(MusicList rows, const MusicList& queryList)
{
    QHash<MPMediaEntityPersistentID, int> place;
    for (int i = 0; i < queryList.size(); ++i) {
        if (const MPMediaItemCollection* c = queryList[i].collection()) {
            for (const MPMediaItem& s : c->items())
                place.insert(s.persistentID(), i);
        }
    }
    const auto placeOf = [&place](const MusicListEntry& row) {
        return place.value(row.song().persistentID(), std::numeric_limits<int>::max());
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const MusicListEntry& a, const MusicListEntry& b) { return placeOf(a) < placeOf(b); });
    return rows;
}

} // namespace

// ---- Set-up ---------------------------------------------------------------------------

void TavoroViewController::buildListView()
{
    mListTable = new ListView(this, listView);
    infoButtonItem->raise();
    connect(mListTable, &ListView::listButtonPressed, this, &TavoroViewController::ListTableButtonchange);
    connect(mListTable, &ListView::syncPressed, this, &TavoroViewController::syncBtnAction);
    connect(mListTable, &ListView::addSongPressed, this, &TavoroViewController::handleChooseSongTapped);
    connect(mListTable, &ListView::editPressed, this, &TavoroViewController::editPlayList);
    connect(mListTable, &ListView::clearPressed, this, &TavoroViewController::removeAllList);
    connect(this, &TavoroViewController::listViewReloaded, mListTable, &ListView::reloadData);
    connect(mListTable, &ListView::searchTextChanged, this, &TavoroViewController::searchLibrary);
    connect(this, &TavoroViewController::mediaPickerRequested, this, [this] {
        if (mMediaPicker)
            return;  // one picker at a time
        mMediaPicker = new MPMediaPickerController(MPMediaTypeMusic, this);
        mMediaPicker->setPrompt(QStringLiteral("add Song"));
        mMediaPicker->setAllowsPickingMultipleItems(true);
        mMediaPicker->setWindowModality(Qt::WindowModal);
        connect(mMediaPicker, &MPMediaPickerController::didPickMediaItems, this,
                [this](const MPMediaItemCollection& picked) {
                    dismissMediaPicker();
                    mediaPicker(picked);
                });
        connect(mMediaPicker, &MPMediaPickerController::didCancel, this, [this] {
            dismissMediaPicker();
            mediaPickerDidCancel();
        });
        mMediaPicker->open();
    });
    // The picked songs are in: the title list over the rebuilt store.
    connect(this, &TavoroViewController::libraryRebuildRequested, this, [this] {
        ListChangeFlag = ListKindTitles;
        makeWaitingIndicator();
        rescanDeviceLibrary([this] {
            SaveDB(false);
            UpdateMusicList();
            reloadListView();
        });
    });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, DTMusicListWillBeginUpdatingNotification, nullptr,
                       [this](const Notification& n) { musicListWillBeginUpdating(n); });
    center.addObserver(this, DTMusicListDidEndUpdatingNotification, nullptr,
                       [this](const Notification& n) { musicListFinishedUpdating(n); });
    // Posted on the main thread when a background scan of the music folder lands with new
    // contents (the first scan after start-up above all).
    center.addObserver(this, MPMediaLibraryDidChangeNotification, nullptr,
                       [this](const Notification&) { deviceLibraryDidChange(); });
}

void TavoroViewController::dismissMediaPicker()
{
    if (!mMediaPicker)
        return;
    mMediaPicker->hide();
    mMediaPicker->deleteLater();
    mMediaPicker = nullptr;
}

void TavoroViewController::loadListsAtStartUp()
{
    ListChangeFlag = ListKindPlaylists;
    InitIndexArray();
    createListIndex(false);
    mListTable->reloadData();
}

// ---- Letter index ---------------------------------------------------------------------

void TavoroViewController::InitIndexArray()
{
    mLetterIndex.InitIndexArray();
}

void TavoroViewController::createListIndex(bool reload)
{
    mLetterIndex.clearIndexes();
    for (uint32_t kind = ListKindTitles; kind <= ListKindPlaylists; ++kind) {
        mTopLevelLists[kind] = entriesOf(topLevelQuery(kind).collections());
        if (!isSectioned(kind))
            continue;
        g_itemsArray = mTopLevelLists[kind];
        if (!g_itemsArray.isEmpty())
            makeIndex(kind);
    }
    rebuildSearchIndex();
    selectList(ListChangeFlag);
    if (reload)
        reloadListView();
    releaseFreedMemory();  // sorting the whole library leaves much freed memory behind
}

void TavoroViewController::deviceLibraryDidChange()
{
    // The top-level lists and their indexes follow the new contents at once; a drill-down
    // on screen keeps the entries it shows until the user leaves it.
    const MusicList shown = g_itemsArray;
    createListIndex(false);
    if (ListChangeFlag > ListKindPlaylists)
        g_itemsArray = shown;
    reloadListView();
}

void TavoroViewController::makeIndex(uint32_t kind)
{
    mLetterIndex.makeIndex(kind, indexNames(kind, g_itemsArray), ListChangeFlag);
}

void TavoroViewController::LoadListIndex()
{
    mLetterIndex.LoadListIndex(ListChangeFlag);
}

// ---- Top-level lists ------------------------------------------------------------------

void TavoroViewController::selectList(uint32_t kind)
{
    if (kind > ListKindPlaylists)
        return;  // only the list buttons' kinds have a list of their own
    mListTable->syncButtonItem->setHidden(false);
    // The query's list of the last index build (start-up or sync): the queries over a
    // large library take longer than a list switch may, and the index refers to it.
    g_itemsArray = mTopLevelLists[kind];
    if (kind != ListKindGenres && kind != ListKindPlaylists)
        LoadListIndex();
    ListButtonImageUpdate(kind);
}

void TavoroViewController::ListTableButtonchange(int tag)
{
    if (tag < 0 || tag > int(ListKindPlaylists))
        return;
    if (mListTable->isSearching())
        mListTable->endSearch(false);
    ListChangeFlag = uint32_t(tag);
    selectList(ListChangeFlag);
    reloadListView();
}

void TavoroViewController::ListButtonImageUpdate(uint32_t kind)
{
    static const char* const images[5] = {"title", "artist", "genre", "album", "playlist"};
    QPushButton* const buttons[5] = {mListTable->TitleButton, mListTable->ArtistButton, mListTable->GenreButton,
                                     mListTable->AlbumButton, mListTable->PlayListButton};
    if (kind > ListKindPlaylists)
        return;
    for (uint32_t k = 0; k < 5; ++k) {
        const QString name = QLatin1String(images[k]) + (k == kind ? QStringLiteral("_select.png") : QStringLiteral(".png"));
        setButtonImage(buttons[k], name);
    }
}

// ---- Table answers --------------------------------------------------------------------

int TavoroViewController::numberOfSectionsInTableView() const
{
    if (searchShown())
        return searchSectionCount();
    return isSectioned(ListChangeFlag) ? mLetterIndex.numberOfSections() : 1;
}

int TavoroViewController::numberOfRowsInSection(int section) const
{
    if (searchShown())
        return searchRowCount(section);
    if (isSectioned(ListChangeFlag))
        return mLetterIndex.numberOfRowsInSection(section);
    return section == 0 ? int(g_itemsArray.size()) : 0;
}

QString TavoroViewController::titleForHeaderInSection(int section) const
{
    if (searchShown())
        return searchSectionTitle(section);
    return isSectioned(ListChangeFlag) ? mLetterIndex.titleForHeaderInSection(section) : QString();
}

QStringList TavoroViewController::sectionIndexTitlesForTableView() const
{
    if (searchShown())
        return {};
    return isSectioned(ListChangeFlag) ? mLetterIndex.sectionIndexTitles() : QStringList();
}

int TavoroViewController::sectionForSectionIndexTitle(const QString& title, int /*index*/) const
{
    return mLetterIndex.sectionForSectionIndexTitle(title);
}

ListCell TavoroViewController::cellForRowAtIndexPath(ListIndexPath indexPath) const
{
    if (searchShown())
        return searchCell(indexPath);
    const uint32_t kind = ListChangeFlag;
    ListCell cell;
    cell.subtitleStyle = kind == ListKindTitles || kind == ListKindAlbums || kind == ListKindPlaylistSongs;
    cell.reuseIdentifier = cell.subtitleStyle ? QStringLiteral("titlesCell") : QStringLiteral("Cell");
    cell.accessoryTag = indexPath.row;

    // The entry the row stands for: by its list number in a sectioned list, else the row.
    const int listIndex = isSectioned(kind) ? mLetterIndex.listNumber(indexPath.section, indexPath.row)
                                            : indexPath.row;
    const MusicListEntry entry =
        listIndex >= 0 && listIndex < g_itemsArray.size() ? g_itemsArray[listIndex] : MusicListEntry();
    const MPMediaItem rowSong = entry.song();

    switch (kind) {
    case ListKindTitles:
    case ListKindPlaylistSongs:
        cell.text = rowSong.title();
        cell.detailText = songDetail(rowSong);
        break;
    case ListKindAlbums:
        cell.text = mLetterIndex.rowValue(indexPath.section, indexPath.row);
        cell.detailText = rowSong.artist().value_or(QString());
        break;
    case ListKindArtists:
        cell.text = mLetterIndex.rowValue(indexPath.section, indexPath.row);
        break;
    case ListKindGenres:
        cell.text = rowSong.genre().value_or(QString());
        break;
    case ListKindPlaylists:
        if (const MPMediaItemCollection* c = entry.collection())
            cell.text = c->valueForProperty(MPMediaPlaylistPropertyName).toString();
        break;
    case ListKindAlbumSongs:
    case ListKindArtistSongs:
    case ListKindArtistAlbumSongs:
        cell.text = QString::asprintf("%d", rowSong.albumTrackNumber().value_or(0)) + QStringLiteral(" ")
                    + rowSong.title();
        break;
    default:
        cell.text = entry.name();
        break;
    }

    const bool marksPlaying = kind == ListKindTitles || kind == ListKindPlaylistSongs || kind == ListKindAlbumSongs
                              || kind == ListKindArtistSongs || kind == ListKindArtistAlbumSongs;
    if (marksPlaying)
        markIfPlaying(cell, rowSong);
    return cell;
}

void TavoroViewController::markIfPlaying(ListCell& cell, const MPMediaItem& rowSong) const
{
    if (!song.isNull() && !infoButtonItem->isHidden() && !rowSong.isNull() && rowSong.title() == song.title())
        cell.accessoryImage = QStringLiteral("speaker.png");
}

// ---- Row choice -----------------------------------------------------------------------

void TavoroViewController::didSelectRowAtIndexPath(ListIndexPath indexPath)
{
    if (searchShown()) {
        chooseSearchResult(indexPath);
        return;
    }
    const uint32_t kind = ListChangeFlag;
    if (kind != ListKindTitles)
        mListTable->syncButtonItem->setHidden(true);
    const QString name = cellForRowAtIndexPath(indexPath).text;

    switch (kind) {
    case ListKindTitles:
        chooseSongAtListIndex(mLetterIndex.listNumber(indexPath.section, indexPath.row));
        break;
    case ListKindAlbumSongs:
    case ListKindArtistSongs:
    case ListKindArtistAlbumSongs:
    case ListKindPlaylistSongs:
        chooseSongAtListIndex(indexPath.row);
        break;
    case ListKindAlbums:
    case ListKindArtistAlbums:
        drillDownToAlbum(name, kind == ListKindAlbums ? ListKindAlbumSongs : ListKindArtistAlbumSongs);
        break;
    case ListKindArtists:
    case ListKindGenreArtists:
        drillDownToArtist(name);
        break;
    case ListKindGenres: {
        ListChangeFlag = ListKindGenreArtists;
        QStringList artists = distinctTexts(songsWhose(MPMediaItemPropertyGenre, name).items(), &MPMediaItem::artist);
        std::stable_sort(artists.begin(), artists.end(),
                         [](const QString& a, const QString& b) { return localizedCompare(a, b) < 0; });
        g_itemsArray = nameEntries(artists);
        break;
    }
    case ListKindPlaylists: {
        for (const MPMediaItemCollection& c : MPMediaQuery::playlistsQuery().collections()) {
            if (c.valueForProperty(MPMediaPlaylistPropertyName).toString() == name) {
                MusicList songs;
                for (const MPMediaItem& s : c.items())
                    songs.append(MusicListEntry(s));
                g_itemsArray = songs;
                break;
            }
        }
        ListChangeFlag = ListKindPlaylistSongs;
        break;
    }
    default:
        break;
    }
    reloadListView();
}

void TavoroViewController::drillDownToAlbum(const QString& name, uint32_t songsKind)
{
    ListChangeFlag = songsKind;
    g_itemsArray = entriesOf(songsWhose(MPMediaItemPropertyAlbumTitle, name).collections());
}

void TavoroViewController::drillDownToArtist(const QString& name)
{
    const MPMediaQuery artistSongs = songsWhose(MPMediaItemPropertyArtist, name);
    const QList<MPMediaItem> songs = artistSongs.items();
    const QStringList albums = distinctTexts(songs, &MPMediaItem::albumTitle);
    if (albums.size() == 1) {
        ListChangeFlag = ListKindArtistSongs;
        g_itemsArray = entriesOf(artistSongs.collections());
        if (songs.size() > 1)
            g_itemsArray = entriesOf(songsWhose(MPMediaItemPropertyAlbumTitle, albums.first()).collections());
    } else {
        ListChangeFlag = ListKindArtistAlbums;
        g_itemsArray = nameEntries(albums);
    }
}

// ---- Sync, editing and the picked songs -----------------------------------------------

void TavoroViewController::rescanDeviceLibrary(std::function<void()> then)
{
    // The device library reads new and changed files of the music folder on its own thread
    // and reports back on the main thread, where `then` runs unless this controller has
    // gone in the meantime.
    QPointer<TavoroViewController> self(this);
    MPMediaLibrary::defaultMediaLibrary()->rescan([self, then = std::move(then)](const MPMediaLibraryScanStats&) {
        if (self)
            then();
    });
}

void TavoroViewController::syncBtnAction()
{
    rescanDeviceLibrary([this] { createListIndex(true); });
}

void TavoroViewController::editPlayList(int tag)
{
    const bool editing = tag == 0;
    mListTable->setEditing(editing);
    mListTable->setTableHeaderView(editing ? mListTable->EditDoneView : mListTable->TableHeaderView);
}

void TavoroViewController::removeAllList()
{
    if (mUserMediaItemCollection.count() == 0 || mClearSheet)
        return;
    // Button 0 is the destructive one, as on an action sheet.
    mClearSheet = new QMessageBox(listView);
    mClearSheet->setText(QString());
    QPushButton* clear = mClearSheet->addButton(QStringLiteral("Clear PlayList"), QMessageBox::DestructiveRole);
    QPushButton* cancel = mClearSheet->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    mClearSheet->setEscapeButton(cancel);
    connect(mClearSheet, &QMessageBox::buttonClicked, this, [this, sheet = mClearSheet.data(), clear](QAbstractButton* b) {
        actionSheet(sheet, b == clear ? 0 : 1);
    });
    mClearSheet->open();
}

void TavoroViewController::actionSheet(QMessageBox* sheet, int buttonIndex)
{
    if (buttonIndex == 0 && mUserMediaItemCollection.count() > 0) {
        mUserMediaItemCollection = MPMediaItemCollection();
        song = MPMediaItem();
        emit songChanged();
        infoButtonItem->setHidden(true);
        if (mGraphController->isPlaying()) {
            mGraphController->stopAUGraph();
            setPlayOrPauseButtonImage(false);
            fileClose();
        }
        makeWaitingIndicator();
        mListTable->setTableHeaderView(mListTable->TableHeaderView);
        rescanDeviceLibrary([this] {
            SaveDB(true);
            UpdateMusicList();
            reloadListView();
        });
    }
    if (sheet) {
        sheet->hide();
        sheet->deleteLater();
    }
    mClearSheet = nullptr;
}

// ---- Library rebuild ------------------------------------------------------------------

void TavoroViewController::makeWaitingIndicator()
{
    if (QThread::currentThread() == thread())
        sendWillBeginNotification();
    else
        QMetaObject::invokeMethod(this, [this] { sendWillBeginNotification(); }, Qt::BlockingQueuedConnection);
}

void TavoroViewController::sendWillBeginNotification()
{
    NotificationCenter::defaultCenter().postNotification(DTMusicListWillBeginUpdatingNotification, this);
}

void TavoroViewController::musicListWillBeginUpdating(const Notification&)
{
    if (indicatorAlertView)
        indicatorAlertView->deleteLater();
    auto* alert = new QDialog(this);
    alert->setObjectName(QStringLiteral("indicatorAlertView"));
    alert->setWindowTitle(QStringLiteral("Loading...."));
    alert->setModal(true);
    alert->resize(284, 120);
    alert->setAutoFillBackground(true);
    QPalette pal = alert->palette();
    pal.setColor(QPalette::Window, QColor(0x1c, 0x2a, 0x48));
    pal.setColor(QPalette::WindowText, Qt::white);
    alert->setPalette(pal);
    auto* title = new QLabel(QStringLiteral("Loading...."), alert);
    QFont font = title->font();
    font.setPixelSize(18);
    font.setBold(true);
    title->setFont(font);
    title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    title->setGeometry(0, 16, alert->width(), 24);
    auto* indicator = new ActivityIndicatorView(alert);
    indicator->setObjectName(QStringLiteral("activityIndicator"));
    // Centred across, 50 points above the alert's bottom edge.
    indicator->move(alert->width() / 2 - indicator->width() / 2, alert->height() - 50 - indicator->height() / 2);
    indicator->startAnimating();
    indicatorAlertView = alert;
    alert->show();
}

void TavoroViewController::musicListFinishedUpdating(const Notification&)
{
    if (!indicatorAlertView)
        return;
    if (auto* indicator = indicatorAlertView->findChild<ActivityIndicatorView*>())
        indicator->stopAnimating();
    indicatorAlertView->done(0);  // as if button 0 had been pressed
}

void TavoroViewController::SaveDB(bool flag)
{
    if (!musicModelController)
        return;
    musicModelController->setUserMediaItemCollection(mUserMediaItemCollection);
    musicModelController->setSettingValue(mSettingValueArray, mPlayControlArray);
    musicModelController->setupMusicData(flag);
}

void TavoroViewController::UpdateMusicList()
{
    g_itemsArray.clear();
    if (!musicModelController)
        return;
    DTMusicModelController& model = *musicModelController;
    switch (ListChangeFlag) {
    case ListKindTitles: g_itemsArray = entriesOfRows(model.allSongs()); break;
    case ListKindArtists:
    case ListKindArtistAlbums:
    case ListKindArtistSongs:
    case ListKindArtistAlbumSongs: g_itemsArray = entriesOfRows(model.allArtists()); break;
    case ListKindGenres: g_itemsArray = entriesOfRows(model.allGenres()); break;
    case ListKindAlbums:
    case ListKindAlbumSongs: g_itemsArray = entriesOfRows(model.allAlbums()); break;
    default: break;
    }
    // The store keeps its rows in code-point order; a sectioned list is shown in the order
    // its list button brings it back in, with sections over these very rows, while the
    // kind's own index stays with the query's list it was built from.
    if (isSectioned(ListChangeFlag)) {
        g_itemsArray = inQueryOrder(g_itemsArray, mTopLevelLists[ListChangeFlag]);
        mLetterIndex.showSections(ListChangeFlag, indexNames(ListChangeFlag, g_itemsArray));
    }
}
