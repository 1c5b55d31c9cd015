// Reading playlist files: the entry forms and encodings found in the wild.

#include "MediaFixtures.h"

#include "platform/media/PlaylistFile.h"

#include <gtest/gtest.h>

namespace {

TEST(PlaylistFile, EntriesResolveAgainstThePlaylistsFolder)
{
    QTemporaryDir dir;
    const QString list = dir.path() + "/lists/Party.Mix.m3u";
    writeTextFile(list, "#EXTM3U\r\n#EXTINF:12,Song\r\n  song.mp3  \r\n../up/two.flac\r\n/abs/three.ogg\r\n"
                        "file:///url/four%20x.wav\r\nhttps://remote/five.mp3\r\n:six.mp3\r\n\r\n");
    EXPECT_EQ(readPlaylistEntries(QFile::encodeName(list)),
              (QStringList{dir.path() + "/lists/song.mp3", dir.path() + "/up/two.flac", "/abs/three.ogg",
                           "/url/four x.wav", dir.path() + "/lists/:six.mp3"}));
    EXPECT_EQ(playlistName(list), "Party.Mix");
    EXPECT_TRUE(isPlaylistFile(list));
    EXPECT_TRUE(isPlaylistFile("x/Y.M3U8"));
    EXPECT_FALSE(isPlaylistFile("x/y.m3u.txt"));
    EXPECT_TRUE(readPlaylistEntries(QFile::encodeName(dir.path() + "/none.m3u")).isEmpty());
}

TEST(PlaylistFile, EncodingsUtf8WithBomAndLatin1)
{
    QTemporaryDir dir;
    writeTextFile(dir.path() + "/a.m3u8", "\xEF\xBB\xBF/m/\xC3\x84ther.mp3\n");
    EXPECT_EQ(readPlaylistEntries(QFile::encodeName(dir.path() + "/a.m3u8")), QStringList{"/m/Äther.mp3"});
    writeTextFile(dir.path() + "/b.m3u", "/m/\xC4ther.mp3\n");  // Latin-1 "Ä"
    EXPECT_EQ(readPlaylistEntries(QFile::encodeName(dir.path() + "/b.m3u")), QStringList{"/m/Äther.mp3"});
    writeTextFile(dir.path() + "/c.m3u", "/m/\xC3\x84ther.mp3\n");
    EXPECT_EQ(readPlaylistEntries(QFile::encodeName(dir.path() + "/c.m3u")), QStringList{"/m/Äther.mp3"});
}

} // namespace
