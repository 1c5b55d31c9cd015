// Songs from outside the lists: the message a later start hands to the running player, and
// the songs of command-line arguments with a folder's order.

#include "AppTestSupport.h"

#include "app/InstanceMessage.h"
#include "player/OpenedSongs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Bytes as written, with '|' standing for a NUL byte.
QByteArray bytes(const char* text)
{
    return QByteArray(text).replace('|', '\0');
}

} // namespace

TEST(InstanceMessage, OnlyAWholeMessageOfCleanAbsolutePathsIsTaken)
{
    const QList<QByteArray> paths{"/music/a b.flac", "/x/caf\xe9.mp3"};
    const QByteArray message = encodeOpenMessage(paths + QList<QByteArray>{"relative.mp3", "/a/../b.mp3"});
    const OpenMessage whole = decodeOpenMessage(message);
    EXPECT_EQ(whole.state, OpenMessageState::Complete);
    EXPECT_EQ(whole.paths, paths);
    for (qsizetype size = 0; size < message.size(); ++size)
        EXPECT_EQ(decodeOpenMessage(message.left(size)).state, OpenMessageState::Incomplete) << size;

    const QByteArray invalid[] = {
        bytes("tavoro-open 2\n1\n/a|"),
        bytes("tavoro-open 1\n1\nrelative|"),
        bytes("tavoro-open 1\n1\n/a/./b|"),
        bytes("tavoro-open 1\n1\n/a|/b|"),  // more than announced
        bytes("tavoro-open 1\n01\n/a|"),
        bytes("tavoro-open 1\n10001\n"),
        bytes("tavoro-open 1\n1\n/") + QByteArray(kMaxInstancePathBytes, 'a'),  // a path that never ends
    };
    for (const QByteArray& received : invalid)
        EXPECT_EQ(decodeOpenMessage(received).state, OpenMessageState::Invalid) << received.left(40).constData();
}

TEST(OpenedSongs, ArgumentsGiveTheirSongsInOrderAndAFoldersByAlbumDiscAndTrack)
{
    // generatedSongs: album 1 tracks 1-4 (FLAC, MP3, AAC, WAV), album 2 tracks 1-2 (ALAC, Ogg Vorbis).
    const QList<MPMediaItem>& songs = generatedSongs();
    QTemporaryDir dir;
    const auto place = [&](int song, const QString& name) {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        ASSERT_TRUE(QFile::copy(songs[song].assetURL().toLocalFile(), dir.filePath(name)));
    };
    // Names in the opposite order of the tags, a sub-folder, a hidden song, a playlist.
    place(0, "folder/z.flac");
    place(1, "folder/y.mp3");
    place(4, "folder/sub/b.m4a");
    place(5, "folder/a.ogg");
    place(3, "folder/.hidden.wav");
    place(2, "with space.m4a");
    ASSERT_TRUE(QFile::copy(generatedLibraryDirectory() + "/Demo Mix.m3u", dir.filePath("folder/list.m3u")));

    const OpenedSongs opened = songsOfArguments(
        {"folder", "file://" + QFile::encodeName(dir.filePath("with space.m4a")).toPercentEncoding("/"),
         "folder/list.m3u", "http://example.org/a.mp3"},
        QFile::encodeName(dir.path()));
    QStringList titles;
    for (const MPMediaItem& song : opened.songs)
        titles.append(song.title());
    EXPECT_EQ(titles, (QStringList{songs[0].title(), songs[1].title(), songs[4].title(), songs[5].title(),
                                   songs[2].title()}));
    ASSERT_EQ(opened.problems.size(), 2) << opened.problems.join('\n').toStdString();
    EXPECT_TRUE(opened.problems[1].startsWith("tavoro: http://example.org/a.mp3: "));
}
