// A rebuild from a real music directory: audio files made with ffmpeg, tags written with
// TagLib, a playlist. Which files are songs and what their titles fall back to is the scan's
// (tests/media); the grouping is checked on device songs (RebuildTests).

#include "LibraryTestSupport.h"

#include <QFile>

namespace {

TagValues tags(std::optional<QString> title, QString artist, QString album)
{
    TagValues t;
    t.title = std::move(title);
    t.artist = std::move(artist);
    t.album = std::move(album);
    return t;
}

} // namespace

TEST_F(LibraryTest, RebuildFromAGeneratedMusicDirectory)
{
    const QString m = home->music();
    makeAudioFile(m + "/a/alpha.mp3", "mp3");
    TagValues alpha = tags("Alpha", "The Band", "Shared");
    ASSERT_TRUE(writeTags(m + "/a/alpha.mp3", alpha));
    makeAudioFile(m + "/b/beta.m4a", "m4a");
    TagValues beta = tags("beta", "the band", "Shared");
    beta.lyrics = "la la";
    beta.track = "2/2";
    ASSERT_TRUE(writeTags(m + "/b/beta.m4a", beta));
    makeAudioFile(m + "/gamma.flac", "flac");
    ASSERT_TRUE(writeTags(m + "/gamma.flac", tags("Gamma", "Other", "Shared")));
    ASSERT_TRUE(embedCover(m + "/gamma.flac", Qt::red));
    writeTextFile(m + "/list.m3u", "a/alpha.mp3\nb/beta.m4a\n");

    MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(m, home->cacheFile()));
    DTMusicModelController controller;
    controller.setSettingValue(LiveTable::defaultSettingTable(), LiveTable::defaultPlayControlTable());
    controller.setupMusicData(false);

    auto songs = controller.allSongs();
    ASSERT_TRUE(songs.has_value());
    EXPECT_EQ(songs->size(), 3);

    EXPECT_EQ(sql("SELECT count(*) FROM DTPlaylist"), "0");  // device playlists are not copied
    EXPECT_EQ(sql("SELECT lyrics, trackNumber FROM DTSong WHERE title='beta'"), "la la|2");

    for (const auto& s : *songs) {
        const MPMediaItem item = s->mediaItem();
        ASSERT_FALSE(item.isNull()) << s->title().toStdString();
        EXPECT_EQ(item.persistentID(), *s->identifier());
        const QImage cover = s->artworkImageWithSize(QSize(32, 20));
        if (s->title() == "Gamma") {
            ASSERT_FALSE(cover.isNull());
            EXPECT_EQ(cover.size(), QSize(32, 20));
            const QColor pixel(cover.pixel(5, 5));  // from a JPEG thumbnail: red within a few steps
            EXPECT_GE(pixel.red(), 250);
            EXPECT_LE(pixel.green() + pixel.blue(), 8);
            EXPECT_TRUE(item.assetURL().toLocalFile().endsWith("/gamma.flac"));
        } else {
            EXPECT_TRUE(cover.isNull()) << s->title().toStdString();
        }
    }
}
