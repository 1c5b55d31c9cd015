// The walk of the music directory loses nothing it can read: names in any encoding,
// folders reached through links (each once, loops included), and it goes on past what it
// cannot read, counting every kind of file. A restart over an unchanged library opens no
// file: durations and cover thumbnails come from the scan cache.

#include "MediaFixtures.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MediaFile.h"

#include <QFile>
#include <QImage>
#include <QMap>

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

namespace {

QByteArray bytes(const QString& path) { return QFile::encodeName(path); }

QStringList paths(MPMediaLibrary& library)
{
    QStringList result;
    for (const MPMediaItem& item : library.allItems())
        result << displayNameOfPathBytes(pathBytesOfFileURL(item.assetURL()));
    return result;
}

} // namespace

TEST(ScanWalk, NamesLinksLoopsAndUnreadableFoldersAreHandled)
{
    TemporaryHome home;
    const QString m = home.music();
    makeAudioFile(m + "/plain.mp3", "mp3");
    // A Latin-1 name from an old archive: "caf\xe9.mp3" is not valid UTF-8.
    makeAudioFile(m + "/latin.mp3", "mp3");
    const QByteArray latin1 = bytes(m) + "/caf\xe9.mp3";
    ASSERT_EQ(::rename(bytes(m + "/latin.mp3").constData(), latin1.constData()), 0);
    // A folder outside the music directory, linked in; a link back up (a loop); a link to
    // the same folder twice; a dangling link; a hidden folder.
    makeAudioFile(home.home() + "/elsewhere/album/linked.flac", "flac");
    ASSERT_EQ(::symlink(bytes(home.home() + "/elsewhere/album").constData(), bytes(m + "/linked").constData()), 0);
    ASSERT_EQ(::symlink(bytes(home.home() + "/elsewhere/album").constData(), bytes(m + "/again").constData()), 0);
    ASSERT_EQ(::symlink("..", bytes(home.home() + "/elsewhere/album/up").constData()), 0);
    ASSERT_EQ(::symlink(".", bytes(m + "/self").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", bytes(m + "/dangling.mp3").constData()), 0);
    makeAudioFile(m + "/.hidden/secret.mp3", "mp3");
    writeTextFile(m + "/notes.txt", "not music");
    makeAudioFile(m + "/locked/away.mp3", "mp3");
    ASSERT_EQ(std::system(("chmod -R a+rX '" + bytes(home.home()) + "'").constData()), 0);
    ASSERT_EQ(::chmod(bytes(m + "/locked").constData(), 0), 0);

    MPMediaLibrary library(m, QString());
    MPMediaLibraryScanStats stats;
    asOrdinaryUser([&] { stats = library.scan(); });
    ::chmod(bytes(m + "/locked").constData(), 0755);

    // Every readable song once; "elsewhere" (reached through "again" and "linked") is
    // listed under the first link by name; the loops add nothing.
    EXPECT_EQ(paths(library), (QStringList{m + "/again/linked.flac", m + "/café.mp3", m + "/plain.mp3"}));
    EXPECT_EQ(stats.filesSeen, 4);
    EXPECT_EQ(stats.notAudio, 1);      // notes.txt
    EXPECT_EQ(stats.unreadable, 2);    // the locked folder, the dangling link
    EXPECT_EQ(stats.skippedNames, 1);  // .hidden

    // The Latin-1 song keeps its bytes all the way to its asset URL, and its title (no
    // tag) is its name as well as it can be shown.
    for (const MPMediaItem& item : library.allItems()) {
        if (!item.title().startsWith("caf"))
            continue;
        EXPECT_EQ(item.title(), "café");
        EXPECT_EQ(pathBytesOfFileURL(item.assetURL()), latin1);
        EXPECT_GT(item.playbackDuration(), 0.15);
    }
}

// The colour at the middle of each song's small cover, by title; songs without one are left out.
QMap<QString, QColor> thumbnailColours(const QList<MPMediaItem>& items)
{
    QMap<QString, QColor> colours;
    for (const MPMediaItem& item : items) {
        const QImage small = item.artwork().imageWithSize(QSize(48, 48));
        if (!small.isNull())
            colours.insert(item.title(), QColor(small.pixel(24, 24)));
    }
    return colours;
}

bool nearly(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 24;
}

TEST(ScanWalk, RestartOverAnUnchangedLibraryOpensNoFile)
{
    TemporaryHome home;
    const QString m = home.music();
    makeAudioFile(m + "/covered.mp3", "mp3");
    ASSERT_TRUE(embedCover(m + "/covered.mp3", Qt::blue, 300, 300));
    makeAudioFile(m + "/bare.ogg", "ogg");
    makeAudioFile(m + "/bare.m4a", "m4a");
    {
        MPMediaLibrary first(m, home.cacheFile());
        first.scan();
    }

    const uint64_t opensBefore = MediaFile::openCount();
    MPMediaLibrary restarted(m, home.cacheFile());
    const MPMediaLibraryScanStats stats = restarted.scan();
    EXPECT_EQ(stats.itemsFromCache, 3);
    for (const MPMediaItem& item : restarted.allItems())
        EXPECT_NEAR(item.playbackDuration(), 0.2, 0.05) << item.title().toStdString();
    const QList<MPMediaItem> before = restarted.allItems();
    ASSERT_EQ(thumbnailColours(before).keys(), QStringList{"covered"});
    EXPECT_TRUE(nearly(thumbnailColours(before).value("covered"), Qt::blue));
    EXPECT_EQ(MediaFile::openCount(), opensBefore) << "a file was probed although nothing changed";

    // The small covers are read from the cache file when asked for; a rescan that writes a
    // new cache over it changes neither the songs still shown nor the new ones.
    makeAudioFile(m + "/added.flac", "flac");
    ASSERT_TRUE(embedCover(m + "/added.flac", Qt::red, 200, 100));
    EXPECT_TRUE(restarted.scan().cacheWritten);
    const QMap<QString, QColor> after = thumbnailColours(restarted.allItems());
    ASSERT_EQ(after.keys(), (QStringList{"added", "covered"}));
    EXPECT_TRUE(nearly(after.value("added"), Qt::red));
    EXPECT_TRUE(nearly(after.value("covered"), Qt::blue));
    EXPECT_TRUE(nearly(thumbnailColours(before).value("covered"), Qt::blue));

    // Without a cache file they stay in memory.
    MPMediaLibrary uncached(m, QString());
    uncached.scan();
    EXPECT_EQ(thumbnailColours(uncached.allItems()).keys(), (QStringList{"added", "covered"}));
}
