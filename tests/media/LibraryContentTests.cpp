// A generated music directory with several formats and awkward tags, scanned once; the
// tests check the songs, their properties, the queries and the playlists.

#include "MediaFixtures.h"

#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MPMediaQuery.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using Titles = std::vector<std::string>;

Titles titlesOf(const QList<MPMediaItem>& items)
{
    Titles titles;
    for (const MPMediaItem& item : items)
        titles.push_back(item.title().toStdString());
    return titles;
}

std::string artistOf(const MPMediaItem& item)
{
    return item.artist() ? "'" + item.artist()->toStdString() + "'" : "none";
}

class LibraryContent : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        home = new TemporaryHome;
        const QString m = home->music();
        auto song = [&m](const char* path, const TagValues& tags) {
            const QString file = m + "/" + path;
            makeAudioFile(file, file.section('.', -1));
            ASSERT_TRUE(writeTags(file, tags)) << path;
        };
        song("a/apple.mp3", {"Apple", "abba", "Gold", "Pop", "Benny", "Line one", "1/3", "1/2"});
        song("a/aether.m4a", {"Äther", "ABBA", "Gold", "Pop", {}, {}, "2/3", "1/2"});
        song("b/banana.flac", {"Banana", "Zed", "Gold", "Rock", {}, {}, "3/3", "2/2"});
        song("b/track9.ogg", {"Track 9", "Zed", "Numbers", "Rock", {}, {}, "9", "", "12", "2"});
        song("b/track10.wav", {"Track 10", "Zed", "Numbers", {}, "Benny", {}, "10", ""});
        song("c/notitle.mp3", {{}, "Nobody", "Untitled Songs", {}, {}, {}, "", ""});
        song("c/empty-artist.m4a", {"Shared One", "", "Shared", {}, {}, {}, "", ""});
        song("c/no-artist.flac", {"Shared Two", {}, "Shared", {}, {}, {}, "", ""});
        ASSERT_TRUE(embedCover(m + "/a/apple.mp3", Qt::red, 40, 30));
        ASSERT_TRUE(embedCover(m + "/a/aether.m4a", Qt::blue));
        ASSERT_TRUE(embedCover(m + "/b/banana.flac", Qt::green));

        // An ID3 tag of garbage in front of good audio: listed, named after its file.
        makeAudioFile(m + "/c/broken.mp3", "mp3");
        QFile audio(m + "/c/broken.mp3");
        ASSERT_TRUE(audio.open(QIODevice::ReadOnly));
        const QByteArray tag = QByteArray("ID3\x04\x00\x00\x00\x00\x00\x40", 10) + QByteArray(64, '\xfe');
        const QByteArray data = tag + audio.readAll();
        audio.close();
        writeTextFile(m + "/c/broken.mp3", data);
        // A format TagLib does not read: FFmpeg finds the audio, the name is the title.
        makeAudioFile(m + "/c/raw.aac", "aac");
        // Not songs: skipped without stopping the scan.
        writeTextFile(m + "/notes.txt", "liner notes\n");
        writeTextFile(m + "/c/garbage.flac", "fLaC" + QByteArray(4000, '\x07'));
        writeTextFile(m + "/.hidden/secret.mp3", data);

        writeTextFile(m + "/Road Trip.m3u",
                      "#EXTM3U\n#EXTINF:1,Apple\na/apple.mp3\n\n" + (m + "/b/banana.flac").toUtf8()
                          + "\nmissing.mp3\nnotes.txt\nhttp://radio.example/stream.mp3\n");
        writeTextFile(m + "/lists/Mix.m3u8",
                      "\xEF\xBB\xBF../b/track10.wav\r\n" + QUrl::fromLocalFile(m + "/b/track9.ogg").toEncoded()
                          + "\r\n../c/../a/apple.mp3\r\n");
        writeTextFile(m + "/Empty.m3u", "# nothing here\n");

        library = std::make_shared<MPMediaLibrary>(m, home->cacheFile());
        stats = library->scan();
    }
    static void TearDownTestSuite()
    {
        library.reset();
        delete home;
    }

    static MPMediaQuery query(MPMediaQuery q)
    {
        q.setLibrary(library);
        return q;
    }
    static MPMediaItem song(const QString& title)
    {
        MPMediaQuery q({MPMediaPropertyPredicate::predicateWithValue(title, MPMediaItemPropertyTitle)});
        const QList<MPMediaItem> items = query(q).items();
        return items.size() == 1 ? items.first() : MPMediaItem();
    }

    static inline TemporaryHome* home = nullptr;
    static inline std::shared_ptr<MPMediaLibrary> library;
    static inline MPMediaLibraryScanStats stats;
};

TEST_F(LibraryContent, ScanListsEveryDecodableFileAndSkipsTheRest)
{
    EXPECT_EQ(stats.itemsRead, 10);
    EXPECT_EQ(stats.notAudio, 2);  // notes.txt, garbage.flac (the hidden folder is not read)
    EXPECT_EQ(stats.playlists, 3);
    EXPECT_EQ(library->allItems().size(), 10);
}

TEST_F(LibraryContent, SongsCarryTheirTagsDurationAndFile)
{
    const MPMediaItem apple = song("Apple");
    ASSERT_FALSE(apple.isNull());
    EXPECT_EQ(apple.artist(), "abba");
    EXPECT_EQ(apple.albumTitle(), "Gold");
    EXPECT_EQ(apple.genre(), "Pop");
    EXPECT_EQ(apple.composer(), "Benny");
    EXPECT_EQ(apple.lyrics(), "Line one");
    EXPECT_EQ(apple.albumTrackNumber(), 1);
    EXPECT_EQ(apple.albumTrackCount(), 3);
    EXPECT_EQ(apple.discNumber(), 1);
    EXPECT_EQ(apple.discCount(), 2);
    EXPECT_EQ(apple.assetURL(), QUrl::fromLocalFile(home->music() + "/a/apple.mp3"));
    EXPECT_EQ(apple.valueForProperty(MPMediaItemPropertyPersistentID).toULongLong(), apple.persistentID());
    EXPECT_EQ(apple.valueForProperty(MPMediaItemPropertyComposer).toString(), "Benny");
    EXPECT_FALSE(apple.valueForProperty(QStringLiteral("NoSuchProperty")).isValid());

    EXPECT_EQ(song("Banana").discNumber(), 2);
    EXPECT_EQ(song("Track 10").composer(), "Benny");
    EXPECT_EQ(song("Track 9").albumTrackCount(), 12);  // totals in keys of their own
    EXPECT_EQ(song("Track 9").discCount(), 2);
    EXPECT_EQ(song("Track 10").albumTrackCount(), std::nullopt);
    EXPECT_FALSE(song("Track 9").valueForProperty(MPMediaItemPropertyLyrics).isValid());
    EXPECT_FALSE(song("Shared Two").valueForProperty(MPMediaItemPropertyArtist).isValid());
    for (const MPMediaItem& item : library->allItems())
        EXPECT_NEAR(item.playbackDuration(), 0.2, 0.06) << item.title().toStdString();
}

TEST_F(LibraryContent, MissingTitlesAndBrokenTagsFallBackToTheFileName)
{
    EXPECT_EQ(song("notitle").artist(), "Nobody");
    const MPMediaItem broken = song("broken");
    ASSERT_FALSE(broken.isNull());
    EXPECT_EQ(broken.artist(), std::nullopt);
    EXPECT_EQ(broken.albumTitle(), std::nullopt);
}

TEST_F(LibraryContent, ArtworkIsTheEmbeddedCoverAtTheRequestedSize)
{
    for (const auto& [title, colour] : {std::pair{"Apple", QColor(Qt::red)}, {"Äther", QColor(Qt::blue)},
                                        {"Banana", QColor(Qt::green)}}) {
        const MPMediaItemArtwork artwork =
            song(title).valueForProperty(MPMediaItemPropertyArtwork).value<MPMediaItemArtwork>();
        const QImage image = artwork.imageWithSize(QSize(100, 80));
        ASSERT_EQ(image.size(), QSize(100, 80)) << title;
        EXPECT_EQ(QColor(image.pixel(50, 40)), colour) << title;
    }
    EXPECT_EQ(song("Apple").artwork().image().size(), QSize(40, 30));
    EXPECT_TRUE(song("Track 9").artwork().isNull());
    EXPECT_FALSE(song("Track 9").valueForProperty(MPMediaItemPropertyArtwork).isValid());
}

TEST_F(LibraryContent, SongsSortLikeAPhoneLibrary)
{
    const Titles expected = {"Apple", "Äther", "Banana", "broken", "notitle", "raw",
                             "Shared One", "Shared Two", "Track 9", "Track 10"};
    EXPECT_EQ(titlesOf(query(MPMediaQuery::songsQuery()).items()), expected);
    const QList<MPMediaItemCollection> songs = query(MPMediaQuery::songsQuery()).collections();
    ASSERT_EQ(songs.size(), 10);
    EXPECT_EQ(songs[2].count(), 1);
    EXPECT_EQ(songs[2].representativeItem().title(), "Banana");
}

TEST_F(LibraryContent, ArtistsAlbumsAndGenresGroupByExactText)
{
    std::vector<std::string> artists;
    for (const auto& c : query(MPMediaQuery::artistsQuery()).collections())
        artists.push_back(artistOf(c.representativeItem()) + std::to_string(c.count()));
    EXPECT_EQ(artists, (std::vector<std::string>{"none3", "''1", "'ABBA'1", "'abba'1", "'Nobody'1", "'Zed'3"}));

    std::vector<std::string> albums;
    for (const auto& c : query(MPMediaQuery::albumsQuery()).collections()) {
        const MPMediaItem item = c.representativeItem();
        albums.push_back(item.albumTitle().value_or("none").toStdString() + "/" + artistOf(item));
    }
    EXPECT_EQ(albums, (std::vector<std::string>{"none/none", "Gold/'ABBA'", "Gold/'abba'", "Gold/'Zed'",
                                                "Numbers/'Zed'", "Shared/none", "Shared/''",
                                                "Untitled Songs/'Nobody'"}));
    // Inside an album, songs come in track order, not title order.
    const auto numbers = query(MPMediaQuery::albumsQuery()).collections()[4];
    EXPECT_EQ(titlesOf(numbers.items()), (Titles{"Track 9", "Track 10"}));

    const auto genres = query(MPMediaQuery::genresQuery()).collections();
    ASSERT_EQ(genres.size(), 3);
    EXPECT_EQ(genres[1].representativeItem().genre(), "Pop");
    EXPECT_EQ(titlesOf(genres[2].items()), (Titles{"Banana", "Track 9"}));
}

TEST_F(LibraryContent, PredicatesFilterSongsAndGroups)
{
    auto titles = [](std::initializer_list<MPMediaPropertyPredicate> predicates) {
        return titlesOf(query(MPMediaQuery(predicates)).items());
    };
    using P = MPMediaPropertyPredicate;
    EXPECT_EQ(titles({P::predicateWithValue("abba", MPMediaItemPropertyArtist)}), Titles{"Apple"});
    EXPECT_EQ(titles({P::predicateWithValue("Gold", MPMediaItemPropertyAlbumTitle)}),
              (Titles{"Apple", "Äther", "Banana"}));
    EXPECT_EQ(titles({P::predicateWithValue("Rock", MPMediaItemPropertyGenre),
                      P::predicateWithValue("Numbers", MPMediaItemPropertyAlbumTitle)}),
              Titles{"Track 9"});
    EXPECT_EQ(titles({P::predicateWithValue("TRACK", MPMediaItemPropertyTitle,
                                            MPMediaPredicateComparisonContains)}),
              (Titles{"Track 9", "Track 10"}));
    EXPECT_EQ(titles({P::predicateWithValue("", MPMediaItemPropertyArtist)}), Titles{"Shared One"});
    EXPECT_EQ(titles({P::predicateWithValue("x", QStringLiteral("NoSuchProperty"))}), Titles{});

    const MPMediaItem banana = song("Banana");
    const QVariant id = QVariant::fromValue<qulonglong>(banana.persistentID());
    EXPECT_EQ(titles({P::predicateWithValue(id, MPMediaItemPropertyPersistentID)}), Titles{"Banana"});
    EXPECT_EQ(titles({P::predicateWithValue(id, MPMediaItemPropertyPersistentID),
                      P::predicateWithValue("Pop", MPMediaItemPropertyGenre)}),
              Titles{});

    MPMediaQuery zedAlbums = MPMediaQuery::albumsQuery();
    zedAlbums.addFilterPredicate(P::predicateWithValue("Zed", MPMediaItemPropertyArtist));
    EXPECT_EQ(query(zedAlbums).collections().size(), 2);
}

TEST_F(LibraryContent, PlaylistsComeFromPlaylistFilesInFileOrder)
{
    const auto lists = query(MPMediaQuery::playlistsQuery()).collections();
    ASSERT_EQ(lists.size(), 3);
    EXPECT_EQ(lists[0].valueForProperty(MPMediaPlaylistPropertyName).toString(), "Empty");
    EXPECT_EQ(lists[0].count(), 0);
    EXPECT_EQ(MPMediaPlaylist(lists[1]).name(), "Mix");
    EXPECT_EQ(titlesOf(lists[1].items()), (Titles{"Track 10", "Track 9", "Apple"}));
    EXPECT_EQ(MPMediaPlaylist(lists[2]).name(), "Road Trip");
    EXPECT_EQ(titlesOf(lists[2].items()), (Titles{"Apple", "Banana"}));

    MPMediaQuery withApple = MPMediaQuery::playlistsQuery();
    withApple.addFilterPredicate(MPMediaPropertyPredicate::predicateWithValue("Zed", MPMediaItemPropertyArtist));
    const auto filtered = query(withApple).collections();
    ASSERT_EQ(filtered.size(), 2);
    EXPECT_EQ(titlesOf(filtered[0].items()), (Titles{"Track 10", "Track 9"}));
}

} // namespace
