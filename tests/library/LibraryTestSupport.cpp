#include "LibraryTestSupport.h"

#include <QStandardPaths>

MPMediaItem makeItem(const SongSpec& song)
{
    MediaItemProperties p;
    p.persistentID = song.id;
    p.filePath = QStringLiteral("/nonexistent/%1.mp3").arg(song.id).toUtf8();
    p.title = song.title.value_or(QString());
    p.artist = song.artist;
    p.albumTitle = song.album;
    p.genre = song.genre;
    p.composer = song.composer;
    p.albumTrackNumber = song.track;
    p.albumTrackCount = song.trackCount;
    return MPMediaItem(p);
}

void LibraryTest::SetUp()
{
    home = std::make_unique<TemporaryHome>();
    setDeviceSongs({});
}

void LibraryTest::TearDown()
{
    MPMediaLibrary::setDefaultMediaLibrary(nullptr);
    home.reset();
}

void LibraryTest::setDeviceSongs(const QList<SongSpec>& songs)
{
    QList<MPMediaItem> items;
    for (const SongSpec& s : songs)
        items << makeItem(s);
    MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(items, QList<MPMediaPlaylist>{}));
}

QString LibraryTest::storePath() const
{
    return home->home() + QStringLiteral("/.local/share/Tavoro/DTMusicModel.sqlite");
}
