// The rebuild of the library copy from the device library.

#include "LibraryTestSupport.h"
#include "library/DTComposer.h"
#include "library/SettingKeys.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/MPMediaQuery.h"

#include <QFile>

#include <csignal>
#include <sqlite3.h>

namespace {

const quint64 kBigID = 0xF000000000000001ull;

QList<SongSpec> groupingSongs()
{
    return {
        {1, "b song", "Band", "Same", "Rock", "C1", 1, 10},
        {2, "A song", "band", "Same", "Rock", std::nullopt, 2, 12},
        {3, "c song", "Band", "Same", std::nullopt, "C1", 3, 11},
        {4, "d", "", "Loose"},
        {5, "e", std::nullopt, "Loose"},
        {6, std::nullopt, std::nullopt, std::nullopt},
        {7, "f", "AB", "C"},
        {8, "g", "A", "BC"},
        {kBigID, "Zed", "Band", "Other", ""},
    };
}

template <typename T>
QStringList names(const DTEntityList<T>& rows)
{
    QStringList out;
    for (const auto& r : *rows)
        out << r->name();
    return out;
}

template <typename T, typename Match>
std::vector<std::shared_ptr<T>> where(const DTEntityList<T>& rows, Match match)
{
    std::vector<std::shared_ptr<T>> out;
    std::copy_if(rows->begin(), rows->end(), std::back_inserter(out), [&](const auto& r) { return match(*r); });
    return out;
}

qsizetype queryIndex(const QList<MPMediaItem>& order, quint64 id)
{
    return std::find_if(order.begin(), order.end(), [&](const MPMediaItem& i) { return i.persistentID() == id; })
           - order.begin();
}

} // namespace

TEST_F(LibraryTest, RebuildGroupsByExactTextsAndByArtistAndAlbumTitle)
{
    setDeviceSongs(groupingSongs());
    DTMusicModelController controller;
    controller.setSettingValue(LiveTable::defaultSettingTable(), LiveTable::defaultPlayControlTable());
    controller.setupMusicData(false);

    // Texts compare exactly: two artists differing in case, plain code-point order.
    EXPECT_EQ(names(controller.allArtists()), (QStringList{"A", "AB", "Band", "band"}));
    EXPECT_EQ(names(controller.allGenres()), QStringList{"Rock"});  // an empty genre makes none

    auto albums = controller.allAlbums();
    ASSERT_EQ(albums->size(), 7u);
    auto same = where(albums, [](DTAlbum& a) { return a.title() == "Same" && a.artistName() == "Band"; });
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(same[0]->artist()->name(), "Band");
    EXPECT_EQ(same[0]->songs().size(), 2u);
    // Artist text and album title are kept apart: "AB" + "C" is not "A" + "BC".
    EXPECT_EQ(where(albums, [](DTAlbum& a) { return a.title() == "C" || a.title() == "BC"; }).size(), 2u);
    // An empty artist text and a missing one make two albums, neither with an artist.
    EXPECT_EQ(sql("SELECT quote(artistName), quote(artist) FROM DTAlbum WHERE title='Loose' ORDER BY artistName"),
              "NULL|NULL\n''|NULL");

    // Songs: untitled first, then code-point order (upper case before lower case).
    auto songs = controller.allSongs();
    QStringList titles;
    for (const auto& s : *songs)
        titles << (s->title().isNull() ? QStringLiteral("<none>") : s->title());
    EXPECT_EQ(titles, (QStringList{"<none>", "A song", "Zed", "b song", "c song", "d", "e", "f", "g"}));

    // collectionNumber counts the query's order from 0, without gaps.
    const QList<MPMediaItem> order = MPMediaQuery().items();
    for (const auto& s : *songs)
        EXPECT_EQ(s->collectionNumber(), queryIndex(order, *s->identifier())) << s->title().toStdString();
    // The album keeps the track count of its last song in that order.
    EXPECT_EQ(same[0]->trackCount(), queryIndex(order, 3) > queryIndex(order, 1) ? 11 : 10);

    auto d = where(songs, [](DTSong& s) { return s.title() == "d"; })[0];
    EXPECT_TRUE(d->ArtName().isNull());
    EXPECT_EQ(d->artist(), nullptr);
    EXPECT_EQ(d->AlbumName(), "Loose");
    auto b = where(songs, [](DTSong& s) { return s.title() == "b song"; })[0];
    EXPECT_EQ(b->trackNumber(), 1);
    EXPECT_EQ(b->composer()->songs().size(), 2u);
    EXPECT_EQ(b->genre()->songs().size(), 2u);
    EXPECT_EQ(b->artist()->albums().size(), 2u);  // Same and Other
    EXPECT_EQ(b->artist()->genres(), nullptr);     // never filled
    auto zed = where(songs, [](DTSong& s) { return s.title() == "Zed"; })[0];
    EXPECT_EQ(zed->identifier(), kBigID);
    EXPECT_EQ(sql("SELECT identifier FROM DTSong WHERE title='Zed'"), QString::number(qint64(kBigID)));
}

TEST_F(LibraryTest, RebuildReplacesTheWholeStoreAndWritesTheHandedOverTables)
{
    setDeviceSongs(groupingSongs());
    DTMusicModelController controller;
    auto settings = LiveTable::defaultSettingTable();
    auto play = LiveTable::defaultPlayControlTable();
    settings->setIntegerValue(EqUserSetting800Key, 20);
    controller.saveSetting(settings, play);
    controller.setSettingValue(settings, play);
    controller.setupMusicData(false);
    EXPECT_EQ(sql("SELECT Eq800db FROM Setting"), "20");

    // The live tables change after the store was written; the next rebuild takes them.
    settings->setIntegerValue(EqUserSetting800Key, 5);
    play->setIntegerValue(PlayModeKey, 2);
    setDeviceSongs({{1, "b song", "Band", "Same"}, {20, "new", "Newcomer", "Fresh"}});
    controller.setSettingValue(settings, play);
    controller.setupMusicData(true);
    EXPECT_EQ(controller.SettingValueArray(), nullptr);  // the hand-over is released
    EXPECT_EQ(sql("SELECT count(*), Eq800db, Eq200db FROM Setting; SELECT count(*), PlayMode FROM PlayControl"),
              "1|5|13\n1|2");
    // Songs that left are gone, and so is every grouping row without a song.
    EXPECT_EQ(names(controller.allArtists()), (QStringList{"Band", "Newcomer"}));
    EXPECT_EQ(sql("SELECT (SELECT count(*) FROM DTSong), (SELECT count(*) FROM DTAlbum),"
                  " (SELECT count(*) FROM DTGenre), (SELECT count(*) FROM DTComposer)"),
              "2|2|0|0");

    // Without a hand-over the stored settings are carried over rather than zeroed.
    setDeviceSongs({});
    controller.setupMusicData(false);
    EXPECT_EQ(sql("SELECT Eq800db, EqEnable FROM Setting; SELECT PlayMode FROM PlayControl"), "5|1\n2");
    EXPECT_EQ(sql("SELECT count(*) FROM DTSong"), "0");
    ASSERT_TRUE(controller.allSongs().has_value());
    EXPECT_TRUE(controller.allSongs()->empty());
}

TEST_F(LibraryTest, TheEndNotificationComesOnceAfterTheStoreIsWritten)
{
    setDeviceSongs({{1, "one", "A", "X"}, {2, "two", "B", "Y"}});
    DTMusicModelController controller;
    int observer = 0;
    int posts = 0;
    NotificationCenter::defaultCenter().addObserver(
        &observer, DTMusicListDidEndUpdatingNotification, nullptr, [&](const Notification& n) {
            ++posts;
            EXPECT_EQ(n.object, &controller);
            EXPECT_TRUE(n.userInfo.isEmpty());
            auto songs = controller.allSongs();
            EXPECT_TRUE(songs && songs->size() == 2u);
            EXPECT_EQ(sqliteShell(storePath(), "SELECT count(*) FROM DTSong"), "2");
        });
    controller.setupMusicData(false);
    NotificationCenter::defaultCenter().removeObserver(&observer);
    EXPECT_EQ(posts, 1);
}

TEST_F(LibraryTest, ASongFindsItsDeviceItemUntilItLeavesTheLibrary)
{
    setDeviceSongs({{kBigID, "one", "A", "X"}});
    DTMusicModelController controller;
    controller.setupMusicData(false);
    std::shared_ptr<DTSong> song = controller.allSongs()->front();
    EXPECT_EQ(song->mediaItem().persistentID(), kBigID);

    // The player may still hold rows of the old store after a rebuild.
    setDeviceSongs({{2, "two", "B", "Y"}});
    controller.setupMusicData(false);
    EXPECT_EQ(song->title(), "one");
    EXPECT_TRUE(song->mediaItem().isNull());
    EXPECT_EQ(song->artist(), nullptr);
}

TEST_F(LibraryTest, ARebuildCutShortByACrashOrAFailedSaveLeavesThePreviousStore)
{
    setDeviceSongs({{1, "old", "A", "X"}});
    DTMusicModelController controller;
    auto settings = LiveTable::defaultSettingTable();
    settings->setIntegerValue(StereoBassKey, 6);
    controller.setSettingValue(settings, LiveTable::defaultPlayControlTable());
    controller.setupMusicData(false);

    setDeviceSongs({{2, "new", "B", "Y"}, {3, "newer", "B", "Y"}});
    settings->setIntegerValue(StereoBassKey, 9);
    EXPECT_EXIT(
        {
            NSPersistentStore::setSaveStatementHook([](const QString& sql) {
                if (sql.contains("\"DTSong\"") && sql.startsWith("INSERT"))
                    std::raise(SIGKILL);
                return 0;
            });
            controller.setSettingValue(settings, LiveTable::defaultPlayControlTable());
            controller.setupMusicData(false);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(sql("PRAGMA integrity_check; SELECT StereoBass FROM Setting; SELECT title FROM DTSong"), "ok\n6\nold");
    // A save that fails (a full disk) keeps it as well.
    NSPersistentStore::setSaveStatementHook(
        [](const QString& sql) { return sql.contains("\"DTSong\"") && sql.startsWith("INSERT") ? SQLITE_FULL : SQLITE_OK; });
    controller.setSettingValue(settings, LiveTable::defaultPlayControlTable());
    controller.setupMusicData(false);
    NSPersistentStore::setSaveStatementHook({});
    EXPECT_EQ(sql("SELECT StereoBass FROM Setting; SELECT title FROM DTSong"), "6\nold");

    DTMusicModelController restarted;  // the next rebuild clears what the crash left
    restarted.setSettingValue(settings, LiveTable::defaultPlayControlTable());
    restarted.setupMusicData(false);
    EXPECT_EQ(sql("SELECT StereoBass FROM Setting; SELECT count(*) FROM DTSong"), "9\n2");
    EXPECT_FALSE(QFile::exists(storePath() + ".rebuild"));
}
