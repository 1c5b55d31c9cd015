// The controller's store stack: where the file lives, the first start, an unusable file.

#include "LibraryTestSupport.h"

#include <QDir>
#include <QFile>

TEST_F(LibraryTest, FirstListFetchCreatesAnEmptyStoreInTheDataDirectoryAndAnswersEmptyLists)
{
    DTMusicModelController controller;
    EXPECT_EQ(controller.storeURL().toLocalFile(), storePath());
    EXPECT_FALSE(QFile::exists(storePath()));
    auto songs = controller.allSongs();
    ASSERT_TRUE(songs.has_value());  // an empty list, not nothing
    EXPECT_TRUE(songs->empty());
    ASSERT_TRUE(controller.allSetting().has_value());
    EXPECT_TRUE(controller.allSetting()->empty());
    EXPECT_TRUE(QFile::exists(storePath()));
    EXPECT_EQ(sql("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type='table' ORDER BY name)"),
              "DTAlbum,DTAlbum_composers,DTArtist,DTComposer,DTGenre,DTPlaylist,DTPlaylist_songs,DTSong,PlayControl,"
              "Setting");
    EXPECT_FALSE(controller.fetchAllEntitiesForName("NoSuchEntity").has_value());
}

TEST_F(LibraryTest, ADamagedStoreShowsEmptyListsAndTheNextSaveWritesAFreshWorkingStore)
{
    QDir().mkpath(QFileInfo(storePath()).absolutePath());
    {
        QFile f(storePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("SQLite format 3") + QByteArray(4000, '\x01'));
    }
    DTMusicModelController controller;
    EXPECT_FALSE(controller.allSongs().has_value());   // the player shows an empty list
    EXPECT_FALSE(controller.allSetting().has_value());  // and keeps its default settings

    // How the damaged file is set aside is the store's (tests/store).
    controller.saveSetting(LiveTable::defaultSettingTable(), LiveTable::defaultPlayControlTable());
    EXPECT_EQ(sql("SELECT count(*) FROM Setting; SELECT count(*) FROM PlayControl"), "1\n1");
    ASSERT_TRUE(controller.allSongs().has_value());
    ASSERT_TRUE(controller.allSetting().has_value());
    EXPECT_EQ(controller.allSetting()->size(), 1u);

    // A later start reads the fresh store.
    DTMusicModelController restarted;
    ASSERT_TRUE(restarted.allSetting().has_value());
    EXPECT_EQ(*restarted.allSetting()->front()->integerForAttribute("Eq200db"), 13);
}
