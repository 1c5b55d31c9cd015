#include "LibraryTestSupport.h"

#include <QProcess>
#include <QStandardPaths>

MPMediaItem makeItem(const SongSpec& song)
{
    MediaItemProperties p;
    p.persistentID = song.id;
    p.filePath = QStringLiteral("/nonexistent/%1.mp3").arg(song.id);
    p.title = song.title.value_or(QString());
    p.artist = song.artist;
    p.albumTitle = song.album;
    p.genre = song.genre;
    p.composer = song.composer;
    p.albumTrackNumber = song.track;
    p.albumTrackCount = song.trackCount;
    return MPMediaItem(p);
}

QString sqliteShell(const QString& file, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), file, sql});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
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
