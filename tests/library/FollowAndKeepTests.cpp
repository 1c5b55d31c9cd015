// The library copy follows the music folder while the program runs, and the store sets
// aside only a damaged file: a read-only or otherwise unusable one keeps the user's
// settings, and a store from an older model keeps the defaults of its new columns.

#include "../EventLoopWait.h"
#include "LibraryTestSupport.h"
#include "library/SettingKeys.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

QStringList songTitles(DTMusicModelController& controller)
{
    QStringList titles;
    if (auto songs = controller.allSongs())
        for (const auto& s : *songs)
            titles << s->title();
    return titles;
}

} // namespace

TEST_F(LibraryTest, FirstQueryAnswersEmptyAtOnceAndTheListsRefreshWhenTheScanLands)
{
    makeAudioFile(home->music() + "/one.mp3", "mp3");
    auto library = std::make_shared<MPMediaLibrary>(home->music(), home->cacheFile());
    MPMediaLibrary::setDefaultMediaLibrary(library);
    int changes = 0;
    NotificationCenter::defaultCenter().addObserver(this, MPMediaLibraryDidChangeNotification, nullptr,
                                                    [&](const Notification&) { ++changes; });
    EXPECT_TRUE(library->allItems().isEmpty());  // answered on this thread without scanning
    ASSERT_TRUE(waitFor([&] { return changes == 1; }));
    EXPECT_EQ(library->allItems().size(), 1);
    NotificationCenter::defaultCenter().removeObserver(this);
}

// The rebuild from real files: which files are songs and what their titles fall back to
// is the scan's (tests/media); the grouping is checked on device songs (RebuildTests).
TEST_F(LibraryTest, FilesAddedChangedOrRemovedWhileRunningAppearAfterTheNextRebuild)
{
    const QString first = home->music() + "/first.mp3";
    makeAudioFile(first, "mp3");
    TagValues tags;
    tags.lyrics = "la la";
    tags.track = "2/2";
    ASSERT_TRUE(writeTags(first, tags));
    ASSERT_TRUE(embedCover(first, Qt::red));
    makeAudioFile(home->music() + "/gone.ogg", "ogg");
    writeTextFile(home->music() + "/list.m3u", "gone.ogg\n");
    MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(home->music(), home->cacheFile()));
    DTMusicModelController controller;
    controller.setupMusicData(false);  // waits for the first scan
    EXPECT_EQ(songTitles(controller), (QStringList{"first", "gone"}));
    // Lyrics and track number reach the store; device playlists are not copied.
    EXPECT_EQ(sql("SELECT lyrics, trackNumber FROM DTSong WHERE title='first'; SELECT count(*) FROM DTPlaylist"),
              "la la|2\n0");
    const auto songs = controller.allSongs();
    for (const auto& s : *songs)
        EXPECT_EQ(s->artworkImageWithSize(QSize(32, 20)).size(), s->title() == "first" ? QSize(32, 20) : QSize(0, 0));

    makeAudioFile(home->music() + "/added/later.flac", "flac");
    ASSERT_TRUE(QFile::remove(home->music() + "/gone.ogg"));
    bool done = false;
    controller.rescanAndSetupMusicData(false, [&] { done = true; });
    EXPECT_FALSE(controller.allSongs().has_value());  // nothing half-built is read meanwhile
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_EQ(songTitles(controller), (QStringList{"first", "later"}));

    // A removal alone, of the last song by path, changes the library as well.
    ASSERT_TRUE(QFile::remove(first));
    done = false;
    controller.rescanAndSetupMusicData(false, [&] { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_EQ(songTitles(controller), QStringList{"later"});
}

TEST_F(LibraryTest, ReadOnlyStoreKeepsTheUsersSettings)
{
    const auto saveEq200 = [](DTMusicModelController& controller, int value) {
        auto settings = LiveTable::defaultSettingTable();
        settings->setIntegerValue(EqUserSetting200Key, value);
        controller.saveSetting(settings, LiveTable::defaultPlayControlTable());
    };
    {
        DTMusicModelController first;
        saveEq200(first, 21);
    }
    const QByteArray store = QFile::encodeName(storePath());
    const QByteArray folder = QFile::encodeName(QFileInfo(storePath()).absolutePath());
    ASSERT_EQ(std::system(("chmod -R a+rX '" + QFile::encodeName(home->home()) + "'").constData()), 0);
    ASSERT_EQ(::chmod(store.constData(), 0444), 0);
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const QByteArray before = [&] {
        QFile f(storePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    // As an ordinary user: the settings load, a save fails and is retried, and the file is
    // neither replaced nor moved aside.
    int loaded = 0;
    asOrdinaryUser([&] {
        DTMusicModelController controller;
        auto rows = controller.allSetting();
        if (rows && !rows->empty())
            loaded = int(rows->front()->valueForKey("Eq200db").toLongLong());
        saveEq200(controller, 5);
        saveEq200(controller, 5);
    });
    EXPECT_EQ(loaded, 21);
    QFile after(storePath());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(QDir(QFileInfo(storePath()).absolutePath()).entryList({"*corrupt*"}, QDir::Files), QStringList{});

    // Once it can be written again, the next save stores the newest values, one row.
    ::chmod(folder.constData(), 0755);
    ::chmod(store.constData(), 0644);
    DTMusicModelController controller;
    saveEq200(controller, 6);
    EXPECT_EQ(sql("SELECT count(*), max(Eq200db) FROM Setting"), "1|6");
}

TEST_F(LibraryTest, UnusableButUndamagedStoreIsKeptAndOpenedAgainLater)
{
    {
        DTMusicModelController controller;
        controller.saveSetting(LiveTable::defaultSettingTable(), LiveTable::defaultPlayControlTable());
    }
    // A folder in the way of the journal: every write fails, yet the file is sound.
    const QString journal = storePath() + "-journal";
    ASSERT_TRUE(QDir().mkpath(journal + "/blocker"));
    {
        DTMusicModelController controller;
        auto settings = LiveTable::defaultSettingTable();
        settings->setIntegerValue(StereoBassKey, 9);
        controller.saveSetting(settings, LiveTable::defaultPlayControlTable());
        ASSERT_TRUE(QDir(journal).removeRecursively());
        controller.saveSetting(settings, LiveTable::defaultPlayControlTable());  // tried again
    }
    // Each save replaced the one row of each table, across the restart and the failed save.
    EXPECT_EQ(sql("SELECT count(*), StereoBass FROM Setting; SELECT count(*) FROM PlayControl"), "1|9\n1");
    EXPECT_EQ(QDir(QFileInfo(storePath()).absolutePath()).entryList({"*corrupt*"}, QDir::Files), QStringList{});
}

TEST_F(LibraryTest, StoreFromAnOlderModelKeepsTheDefaultsOfItsNewColumns)
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    // An older store: its Setting table lacks the speed/pitch columns.
    sql("CREATE TABLE Setting(_id INTEGER PRIMARY KEY, StereoEnable INTEGER, StereoSurround INTEGER,"
        " StereoBass INTEGER, EqEnable INTEGER, EqModeChange INTEGER, Eq200db INTEGER, Eq400db INTEGER,"
        " Eq800db INTEGER, Eq1600db INTEGER, Eq3200db INTEGER, Eq6400db INTEGER, Eq12800db INTEGER,"
        " StageEnable INTEGER, DockingEnable INTEGER);"
        " INSERT INTO Setting VALUES(1, 2, 10, 4, 2, 3, 14, 15, 16, 17, 18, 19, 20, 2, 2);");
    DTMusicModelController controller;
    auto rows = controller.allSetting();
    ASSERT_TRUE(rows && rows->size() == 1);
    const auto& row = rows->front();
    EXPECT_EQ(row->valueForKey("StereoSurround").toInt(), 10);  // kept
    EXPECT_EQ(row->valueForKey("SpeedEnable").toInt(), 1);      // new: their defaults, not 0
    EXPECT_EQ(row->valueForKey("SpeedValue").toInt(), 10);
    EXPECT_EQ(row->valueForKey("PTValue").toInt(), 7);
    EXPECT_EQ(row->valueForKey("SPValue").toInt(), 100);
    EXPECT_EQ(row->valueForKey("LevelingMode").toInt(), 1);      // off
    EXPECT_EQ(row->valueForKey("PreventClipping").toInt(), 2);   // on
}
