// The list screen driven as a user drives it: list buttons, taps on rows, the side index
// and the keyboard, over a generated library; picked songs and "Clear PlayList" rebuild
// the store behind the waiting alert. Screenshots of the lists go to the test output.

#include "PlayerTestSupport.h"
#include "../Screenshots.h"

#include "player/ListView.h"
#include "player/ListViewIndexBar.h"

#include "library/DTMusicModelController.h"
#include "platform/media/MPMediaLibrary.h"

#include <gtest/gtest.h>

#include <QListView>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

MPMediaItem librarySong(const QString& title, const QString& artist, const QString& album, const QString& genre,
                        std::optional<int> track)
{
    static MPMediaEntityPersistentID nextID = 1000;
    MediaItemProperties p;
    p.persistentID = ++nextID;
    p.title = title;
    p.artist = artist;
    p.albumTitle = album;
    p.genre = genre;
    p.albumTrackNumber = track;
    p.playbackDuration = 60.0;
    return MPMediaItem(p);
}

class ListScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        mSongs = {
            librarySong("Solo One", "Solo Artist", "Only Album", "Pop", 1),
            librarySong("Solo Two", "Solo Artist", "Only Album", "Pop", 2),
            librarySong("Other Shared", "Other Artist", "Only Album", "Pop", 3),
            librarySong("Many A", "Many Albums", "First Album", "Jazz", 1),
            librarySong("Many B", "Many Albums", "Second Album", "Jazz", std::nullopt),
            librarySong("Twin", "Alpha", "Alpha Album", "Rock", 1),
            librarySong("Twin", "beta", "Beta Album", "Rock", 1),
            librarySong("Zulu", "Zed", "Zed Album", "Rock", 1),
            librarySong(QString::fromUtf8("Étude"), QString::fromUtf8("Émile"), "Etudes", "Rock", 2),
            librarySong("The Zoo", "The Beatles", "A Hard Day", "Pop", 1),
            librarySong("Day Tripper", "The Beatles", "A Hard Day", "Pop", 2),
            librarySong("99 Luftballons", "Nena", "Nena", "Pop", 1),
        };
        previous = MPMediaLibrary::defaultMediaLibrary();
        MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(
            mSongs, QList<MPMediaPlaylist>{MPMediaPlaylist("Road Trip", 77, {mSongs[1], mSongs[3]})}));
        h = std::make_unique<PlayerHarness>();
        h->player->show();
        list = h->player->listTable();
        table = list->tableView();
    }
    void TearDown() override
    {
        h.reset();
        MPMediaLibrary::setDefaultMediaLibrary(previous);
    }

    MPMediaItem songTitled(const QString& title, const QString& artist) const
    {
        for (const MPMediaItem& s : mSongs)
            if (s.title() == title && s.artist() == artist)
                return s;
        return {};
    }

    void backToList()
    {
        if (h->player->isPlayerViewOnScreen())
            h->player->flipInfoAction();
    }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Texts of the rows (and of the headers, when asked), in order.
    QStringList rowTexts(int role = Qt::DisplayRole, bool headers = false) const
    {
        QStringList texts;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (headers || !list->model()->isHeaderRow(r))
                texts.append(list->model()->index(r).data(role).toString());
        return texts;
    }
    QList<int> rowsNamed(const QString& text) const
    {
        QList<int> rows;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (!list->model()->isHeaderRow(r) && list->model()->index(r).data().toString() == text)
                rows.append(r);
        return rows;
    }
    void tap(const QString& text, int occurrence = 0)
    {
        const QList<int> rows = rowsNamed(text);
        ASSERT_GT(rows.size(), occurrence) << text.toStdString();
        const QModelIndex index = list->model()->index(rows[occurrence]);
        table->scrollTo(index);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
    }
    int topRow() const { return table->indexAt(QPoint(5, 1)).row(); }
    // The side index and every row shown, headers too.
    QStringList shownList() const { return list->indexBar()->titles() + QStringList{"|"} + rowTexts(Qt::DisplayRole, true); }
    void saveScreen(const QString& name)
    {
        QTest::qWait(50);  // the view lays its rows out from the event loop
        EXPECT_TRUE(saveScreenshot(h->player.get(), name));
    }

    std::shared_ptr<MPMediaLibrary> previous;
    QList<MPMediaItem> mSongs;
    std::unique_ptr<PlayerHarness> h;
    ListView* list = nullptr;
    QListView* table = nullptr;
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

TEST_F(ListScreen, StartsOnThePlaylistsAndEachButtonMarksItsList)
{
    EXPECT_EQ(h->player->listChangeFlag(), ListKindPlaylists);
    EXPECT_EQ(rowTexts(), QStringList({"Road Trip"}));
    EXPECT_FALSE(list->syncButtonItem->isHidden());

    const struct {
        QPushButton* button;
        const char* shot;
    } lists[] = {{list->TitleButton, "list-0-titles"},  {list->ArtistButton, "list-1-artists"},
                 {list->GenreButton, "list-2-genres"},  {list->AlbumButton, "list-3-albums"},
                 {list->PlayListButton, "list-4-playlists"}};
    const QStringList plain = {"title.png", "artist.png", "genre.png", "album.png", "playlist.png"};
    for (int kind = 0; kind < 5; ++kind) {
        press(lists[kind].button);
        EXPECT_EQ(h->player->listChangeFlag(), uint32_t(kind));
        for (int k = 0; k < 5; ++k) {
            QString expected = plain[k];
            if (k == kind)
                expected.replace(".png", "_select.png");
            EXPECT_EQ(imageNameOf(lists[k].button), expected) << kind;
        }
        saveScreen(lists[kind].shot);
    }

    press(list->TitleButton);
    // The title list in sections: "Étude" files under T ("É" is skipped), and "The Zoo"
    // under Z, so Z comes back after T.
    EXPECT_EQ(list->indexBar()->titles(), QStringList({"#", "D", "T", "M", "O", "S", "Z", "T", "Z"}));
    EXPECT_EQ(list->model()->index(0).data().toString(), "123");
    EXPECT_EQ(list->model()->index(1).data().toString(), "99 Luftballons");
    EXPECT_EQ(list->model()->index(1).data(ListViewModel::DetailTextRole).toString(), "Nena - Nena");
    EXPECT_EQ(list->model()->index(1).data(ListViewModel::ReuseIdentifierRole).toString(), "titlesCell");

    press(list->GenreButton);
    EXPECT_TRUE(list->indexBar()->isHidden());
    EXPECT_EQ(rowTexts(), QStringList({"Jazz", "Pop", "Rock"}));
    EXPECT_EQ(list->model()->index(0).data(ListViewModel::ReuseIdentifierRole).toString(), "Cell");
}

TEST_F(ListScreen, ASongChosenInASectionedListIsTheOneItsRowShows)
{
    press(list->TitleButton);
    // The second "Twin" row and the last section's "Zulu" are far from their row numbers.
    tap("Twin", 1);
    EXPECT_EQ(h->player->currentSong(), songTitled("Twin", "beta"));
    EXPECT_TRUE(h->player->isPlayerViewOnScreen());
    backToList();
    tap("Zulu");
    EXPECT_EQ(h->player->currentSong(), songTitled("Zulu", "Zed"));
    EXPECT_EQ(h->player->currentPlayList().size(), mSongs.size());
    EXPECT_FALSE(list->syncButtonItem->isHidden());  // the title list keeps the sync button
    backToList();

    // Both songs called "Twin" are marked while one of them is loaded, no other row.
    tap("Twin", 0);
    backToList();
    QStringList marked;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->model()->index(r).data(ListViewModel::AccessoryImageRole).toString() == "speaker.png")
            marked.append(list->model()->index(r).data().toString());
    EXPECT_EQ(marked, QStringList({"Twin", "Twin"}));
}

TEST_F(ListScreen, ArtistDrillDowns)
{
    press(list->ArtistButton);
    EXPECT_EQ(list->indexBar()->titles().first(), "A");
    EXPECT_TRUE(rowsNamed("The Beatles").size() == 1);

    // One album, several songs: every song of that album title, other artists' too.
    tap("Solo Artist");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindArtistSongs);
    EXPECT_EQ(sorted(rowTexts()), QStringList({"1 Solo One", "2 Solo Two", "3 Other Shared"}));
    EXPECT_TRUE(list->syncButtonItem->isHidden());
    saveScreen("list-7-artist-songs");

    press(list->ArtistButton);
    EXPECT_FALSE(list->syncButtonItem->isHidden());
    tap("Many Albums");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindArtistAlbums);
    EXPECT_EQ(rowTexts(), QStringList({"First Album", "Second Album"}));
    tap("Second Album");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindArtistAlbumSongs);
    EXPECT_EQ(rowTexts(), QStringList({"0 Many B"}));  // no track number
    EXPECT_TRUE(list->syncButtonItem->isHidden());
    EXPECT_EQ(imageNameOf(list->ArtistButton), "artist_select.png");  // the family stays marked

    tap("0 Many B");
    EXPECT_EQ(h->player->currentSong(), songTitled("Many B", "Many Albums"));
    backToList();
    EXPECT_EQ(list->model()->index(0).data(ListViewModel::AccessoryImageRole).toString(), "speaker.png");
    EXPECT_TRUE(list->syncButtonItem->isHidden());
}

TEST_F(ListScreen, AlbumGenreAndPlaylistDrillDowns)
{
    press(list->AlbumButton);
    // Two albums share a title; each row's detail is its own artist, and either lists all.
    const QList<int> shared = rowsNamed("Only Album");
    ASSERT_EQ(shared.size(), 2);
    QStringList details;
    for (int r : shared)
        details.append(list->model()->index(r).data(ListViewModel::DetailTextRole).toString());
    EXPECT_EQ(sorted(details), QStringList({"Other Artist", "Solo Artist"}));
    EXPECT_EQ(rowsNamed("A Hard Day").size(), 1);
    tap("Only Album", 1);
    EXPECT_EQ(h->player->listChangeFlag(), ListKindAlbumSongs);
    EXPECT_EQ(sorted(rowTexts()), QStringList({"1 Solo One", "2 Solo Two", "3 Other Shared"}));

    // A genre's artists in the order a person reads them, then like the artist list.
    press(list->GenreButton);
    tap("Rock");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindGenreArtists);
    EXPECT_EQ(rowTexts(), QStringList({"Alpha", "beta", QString::fromUtf8("Émile"), "Zed"}));
    EXPECT_TRUE(list->syncButtonItem->isHidden());
    tap("Zed");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindArtistSongs);
    EXPECT_EQ(rowTexts(), QStringList({"1 Zulu"}));

    press(list->PlayListButton);
    tap("Road Trip");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindPlaylistSongs);
    EXPECT_EQ(rowTexts(), QStringList({"Solo Two", "Many A"}));
    EXPECT_EQ(rowTexts(ListViewModel::DetailTextRole), QStringList({"Solo Artist - Only Album", "Many Albums - First Album"}));
    tap("Many A");
    EXPECT_EQ(h->player->currentSong(), songTitled("Many A", "Many Albums"));
    EXPECT_EQ(h->player->currentPlayList().size(), 2);
}

TEST_F(ListScreen, SearchAsYouTypeFromTheKeyboardAndEscapeRestoresTheList)
{
    press(list->TitleButton);
    table->setFocus();
    table->setCurrentIndex(list->model()->index(rowsNamed("Solo One").first()));
    table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
    const int scroll = table->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    // Typing on the list starts the search; accents, case and articles do not matter, and
    // every word of the query starts a word of a title, artist, album or genre.
    QTest::keyClicks(table, "e");
    EXPECT_TRUE(list->isSearching());
    EXPECT_EQ(list->searchField->text(), "e");
    QTest::keyClicks(list->searchField, "tude");
    EXPECT_EQ(rowTexts(), QStringList({QString::fromUtf8("Étude"), "Etudes"}));
    EXPECT_TRUE(list->indexBar()->titles().isEmpty());
    list->searchField->setText("the BEA");
    EXPECT_EQ(rowTexts(), QStringList({"Day Tripper", "The Zoo", "The Beatles", "A Hard Day"}));
    list->searchField->setText("hard day");

    // A song plays with the song results as its queue; the list under them is kept.
    tap("Day Tripper");
    EXPECT_EQ(h->player->currentSong(), songTitled("Day Tripper", "The Beatles"));
    EXPECT_EQ(h->player->currentPlayList().size(), 2);
    EXPECT_EQ(h->player->itemsArray().size(), mSongs.size());
    backToList();

    QTest::keyClick(list->searchField, Qt::Key_Escape);
    EXPECT_TRUE(list->searchField->text().isEmpty());
    EXPECT_EQ(rowTexts().size(), mSongs.size());
    EXPECT_EQ(table->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(table->currentIndex().data().toString(), "Solo One");

    // Ctrl+F, then an artist drills down as the artist list does.
    EXPECT_FALSE(list->isSearching());
    h->player->activateWindow();  // shortcuts reach the active window only
    ASSERT_TRUE(QTest::qWaitForWindowActive(h->player.get()));
    QTest::keyClick(table, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(list->isSearching());
    QTest::keyClicks(list->searchField, "many");
    tap("Many Albums");
    EXPECT_EQ(h->player->listChangeFlag(), ListKindArtistAlbums);
    EXPECT_EQ(rowTexts(), QStringList({"First Album", "Second Album"}));
    EXPECT_TRUE(list->searchField->text().isEmpty());
}

TEST_F(ListScreen, KeyboardAndSideIndexFindTheirSection)
{
    press(list->TitleButton);
    table->setFocus();
    table->setCurrentIndex(list->model()->index(rowsNamed("Many A").first()));
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(h->player->currentSong(), songTitled("Many B", "Many Albums"));
    backToList();

    // A press on the side index, then a drag along it.
    ListViewIndexBar* bar = list->indexBar();
    const QStringList titles = bar->titles();
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->centreOf(int(titles.indexOf("D"))));
    EXPECT_EQ(topRow(), list->model()->rowOfSection(1));
    QTest::mouseMove(bar, bar->centreOf(int(titles.indexOf("S"))));
    EXPECT_EQ(topRow(), list->model()->rowOfSection(5));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->centreOf(int(titles.indexOf("S"))));
}

TEST_F(ListScreen, PickedSongsAndClearingRebuildTheStore)
{
    press(list->ArtistButton);
    const QStringList artists = shownList();
    press(list->TitleButton);
    const QStringList titles = shownList();
    int announcements = 0;
    NotificationCenter::defaultCenter().addObserver(this, DTMusicListWillBeginUpdatingNotification, nullptr,
                                                    [&](const Notification& n) {
                                                        EXPECT_EQ(n.object, h->player.get());
                                                        ++announcements;
                                                    });
    press(list->addSongButton);
    MPMediaPickerController* picker = h->player->presentedMediaPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->prompt(), "add Song");
    press(picker->cancelButton());
    EXPECT_EQ(h->player->presentedMediaPicker(), nullptr);
    EXPECT_EQ(announcements, 0);

    press(list->addSongButton);
    picker = h->player->presentedMediaPicker();
    ASSERT_NE(picker, nullptr);
    ASSERT_EQ(picker->items().size(), mSongs.size());
    QListView* choices = picker->listView();
    for (int row : {2, 5, 7}) {
        const QModelIndex index = choices->model()->index(row, 0);
        choices->scrollTo(index);
        QTest::mouseClick(choices->viewport(), Qt::LeftButton, {}, choices->visualRect(index).center());
    }
    picker->setItemPicked(7, false);
    press(picker->doneButton());

    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(h->player->userMediaItemCollection().count(), 2);
    EXPECT_EQ(h->player->listChangeFlag(), ListKindTitles);
    ASSERT_NE(h->player->waitingAlert(), nullptr);
    EXPECT_EQ(h->player->waitingAlert()->windowTitle(), "Loading....");
    // The rebuild follows a rescan of the music folder; its end closes the alert.
    QTRY_VERIFY(h->player->waitingAlert()->isHidden());
    auto songs = h->library->allSongs();
    ASSERT_TRUE(songs.has_value());
    EXPECT_EQ(int(songs->size()), mSongs.size());
    // The store's list in the library's order under its own index; a list button agrees.
    EXPECT_EQ(shownList(), titles);
    tap("Zulu");
    EXPECT_EQ(h->player->currentSong(), songTitled("Zulu", "Zed"));
    backToList();
    press(list->TitleButton);
    EXPECT_EQ(shownList(), titles);

    press(list->editButton);
    EXPECT_TRUE(list->isEditing());
    EXPECT_EQ(list->tableHeaderView(), list->EditDoneView);
    press(list->doneButton);
    EXPECT_FALSE(list->isEditing());

    press(list->ArtistButton);  // the list the rebuild refreshes
    press(list->clearButton);
    QMessageBox* sheet = h->player->clearPlayListSheet();
    ASSERT_NE(sheet, nullptr);
    QAbstractButton* clear = nullptr;
    for (QAbstractButton* b : sheet->buttons())
        if (b->text() == "Clear PlayList")
            clear = b;
    ASSERT_NE(clear, nullptr);
    h->engine->playing = true;
    clear->click();
    EXPECT_EQ(announcements, 2);
    EXPECT_EQ(h->player->userMediaItemCollection().count(), 0);
    EXPECT_TRUE(h->player->currentSong().isNull());
    EXPECT_TRUE(h->player->infoButtonItem->isHidden());
    EXPECT_FALSE(h->engine->playing);
    EXPECT_EQ(list->tableHeaderView(), list->TableHeaderView);
    QTRY_VERIFY(h->player->waitingAlert()->isHidden());
    EXPECT_EQ(shownList(), artists);
    press(list->ArtistButton);
    EXPECT_EQ(shownList(), artists);
    // Nothing picked: no sheet.
    press(list->clearButton);
    EXPECT_EQ(h->player->clearPlayListSheet(), nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(ListScreen, TheSyncButtonAndAScanReportRefreshTheListOnScreen)
{
    press(list->TitleButton);
    const auto addToLibrary = [&](const char* title) {
        mSongs.append(librarySong(title, "Nena", "Nena", "Pop", 2));
        MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(mSongs, QList<MPMediaPlaylist>{}));
    };
    addToLibrary("Quiet");
    EXPECT_FALSE(list->indexBar()->titles().contains("Q"));
    press(list->syncButtonItem);
    QTRY_VERIFY(list->indexBar()->titles().contains("Q"));  // after the rescan reports
    tap("Quiet");
    EXPECT_EQ(h->player->currentSong().title(), "Quiet");
    backToList();

    addToLibrary("Kite");
    EXPECT_FALSE(list->indexBar()->titles().contains("K"));
    NotificationCenter::defaultCenter().postNotification(MPMediaLibraryDidChangeNotification, nullptr);
    EXPECT_TRUE(list->indexBar()->titles().contains("K"));
    tap("Kite");
    EXPECT_EQ(h->player->currentSong().title(), "Kite");
}
