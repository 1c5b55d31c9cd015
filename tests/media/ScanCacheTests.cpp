// Rescans: what the scan cache saves, what it must notice, and what survives a restart.

#include "MediaFixtures.h"

#include "platform/media/MPMediaLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

TagValues titled(const QString& title)
{
    TagValues tags;
    tags.title = title;
    return tags;
}

class ScanCacheTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"one.mp3", "two.flac", "sub/three.m4a"}) {
            makeAudioFile(path(name), QFileInfo(name).suffix());
            ASSERT_TRUE(writeTags(path(name), titled(QString(name).section('/', -1).section('.', 0, 0) + "-Alpha")));
        }
    }
    QString path(const QString& name) const { return home.music() + "/" + name; }
    MPMediaLibrary library() const { return MPMediaLibrary(home.music(), home.cacheFile()); }

    // Overwrites text inside the file without changing its size, then restores its
    // modification time: the file looks unchanged to the scan.
    void patchKeepingStamp(const QString& name, const QByteArray& from, const QByteArray& to)
    {
        struct stat before {};
        ASSERT_EQ(::stat(QFile::encodeName(path(name)).constData(), &before), 0);
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray data = file.readAll();
        ASSERT_TRUE(data.contains(from));
        data.replace(from, to);
        file.seek(0);
        file.write(data);
        file.close();
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(name)).constData(), times, 0), 0);
    }

    static QStringList titles(MPMediaLibrary& library)
    {
        QStringList result;
        for (const MPMediaItem& item : library.allItems())
            result << item.title();
        return result;
    }

    TemporaryHome home;
};

TEST_F(ScanCacheTest, UnchangedFilesComeFromTheCacheChangedOnesAreReadAgain)
{
    MPMediaLibrary first = library();
    MPMediaLibraryScanStats stats = first.scan();
    EXPECT_EQ(stats.itemsRead, 3);
    EXPECT_TRUE(stats.cacheWritten);

    // Same size and time: the cached tags stand, even though the bytes changed.
    patchKeepingStamp("one.mp3", "one-Alpha", "one-Omega");
    MPMediaLibrary restarted = library();
    stats = restarted.scan();
    EXPECT_EQ(stats.itemsRead, 0);
    EXPECT_EQ(stats.itemsFromCache, 3);
    EXPECT_FALSE(stats.cacheWritten);
    EXPECT_TRUE(titles(restarted).contains("one-Alpha"));
    // Scanned again unchanged, the library keeps the songs it has handed out.
    const MPMediaItem handedOut = restarted.allItems().first();
    EXPECT_FALSE(restarted.scan().changed);
    EXPECT_EQ(restarted.allItems().first().textViews().title.data(), handedOut.textViews().title.data());

    // A later modification time makes the scan read the file again, and only that file.
    touchLater(path("one.mp3"), 5);
    ASSERT_TRUE(writeTags(path("two.flac"), titled("two-Beta, longer now")));
    stats = restarted.scan();
    EXPECT_EQ(stats.itemsRead, 2);
    EXPECT_EQ(stats.itemsFromCache, 1);
    EXPECT_TRUE(stats.cacheWritten);
    EXPECT_EQ(titles(restarted), (QStringList{"one-Omega", "three-Alpha", "two-Beta, longer now"}));
}

TEST_F(ScanCacheTest, LoudnessValuesComeBackFromTheCache)
{
    {
        TagLib::FileRef ref(QFile::encodeName(path("two.flac")).constData());
        TagLib::PropertyMap map = ref.file()->properties();
        map.replace("REPLAYGAIN_TRACK_GAIN", TagLib::String("-6.50 dB"));
        map.replace("REPLAYGAIN_ALBUM_PEAK", TagLib::String("0.98855"));
        ref.file()->setProperties(map);
        ASSERT_TRUE(ref.save());
    }
    library().scan();
    MPMediaLibrary restarted = library();
    EXPECT_EQ(restarted.scan().itemsFromCache, 3);
    const ReplayGainValues tagged{-650, ReplayGainValues::kNoGain, 0, 9886};
    for (const MPMediaItem& item : restarted.allItems())
        EXPECT_EQ(item.properties().replayGain, item.title() == "two-Alpha" ? tagged : ReplayGainValues());
}

TEST_F(ScanCacheTest, PersistentIDsStayAcrossRescansAndRestartsAndFollowThePath)
{
    MPMediaLibrary first = library();
    first.scan();
    QList<MPMediaEntityPersistentID> ids;
    for (const MPMediaItem& item : first.allItems())
        ids << item.persistentID();
    EXPECT_EQ(ids.front(), MPMediaLibrary::persistentIDForRelativePath("one.mp3"));
    EXPECT_EQ(ids.back(), MPMediaLibrary::persistentIDForRelativePath("two.flac"));
    // First 8 bytes of SHA-256("a/apple.mp3"), big-endian, above 2^63: stored song rows rely on it.
    EXPECT_EQ(MPMediaLibrary::persistentIDForRelativePath("a/apple.mp3"), 17909677638097768672ull);

    ASSERT_TRUE(QFile::remove(home.cacheFile()));
    touchLater(path("sub/three.m4a"), 3);
    MPMediaLibrary second = library();
    second.scan();
    QList<MPMediaEntityPersistentID> again;
    for (const MPMediaItem& item : second.allItems())
        again << item.persistentID();
    EXPECT_EQ(again, ids);
    EXPECT_EQ(second.itemWithPersistentID(ids[1]).title(), "three-Alpha");
    EXPECT_TRUE(second.itemWithPersistentID(12345).isNull());
}

TEST_F(ScanCacheTest, DamagedCacheMeansAFullReadAndAFreshCache)
{
    library().scan();
    QFile cache(home.cacheFile());
    ASSERT_TRUE(cache.open(QIODevice::ReadWrite));
    const QByteArray whole = cache.readAll();
    cache.resize(whole.size() / 2);  // cut in the middle of an entry
    cache.close();

    MPMediaLibrary lib = library();
    MPMediaLibraryScanStats stats = lib.scan();
    EXPECT_EQ(stats.itemsRead, 3);
    EXPECT_TRUE(stats.cacheWritten);
    EXPECT_EQ(QFileInfo(home.cacheFile()).size(), whole.size());
    // The cache is replaced by renaming: nothing else is left beside it.
    EXPECT_EQ(QDir(home.home()).entryList({"scan-cache*"}, QDir::Files), QStringList{"scan-cache.bin"});

    writeTextFile(home.cacheFile(), "not a cache at all");
    stats = library().scan();
    EXPECT_EQ(stats.itemsRead, 3);
}

TEST(MediaLibraryLocations, MusicDirectoryAndCacheFollowTheUsersDirectoriesAndAMissingOneIsEmpty)
{
    TemporaryHome home;
    EXPECT_EQ(MPMediaLibrary::defaultMusicDirectory(), home.music());
    EXPECT_EQ(MPMediaLibrary::defaultCacheFile(), home.home() + "/.local/share/Tavoro/media-scan-cache.bin");

    qunsetenv("XDG_MUSIC_DIR");
    EXPECT_EQ(MPMediaLibrary::defaultMusicDirectory(), home.home() + "/Music");
    writeTextFile(home.home() + "/.config/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Songs\"\n");
    EXPECT_EQ(MPMediaLibrary::defaultMusicDirectory(), home.home() + "/Songs");

    // A music directory that is not there is an empty library.
    MPMediaLibrary lib(home.home() + "/nowhere", home.cacheFile());
    EXPECT_EQ(lib.scan().filesSeen, 0);
    EXPECT_TRUE(lib.allItems().isEmpty());
    EXPECT_TRUE(lib.allPlaylists().isEmpty());
}

} // namespace
