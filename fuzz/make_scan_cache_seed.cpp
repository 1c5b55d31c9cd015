// Writes a scan cache to seed the scan cache fuzz target: a file that is not a song, a
// song with every tag, and one with a cover thumbnail.

#include "platform/media/ScanCache.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    ScanCache cache;
    cache.insert("notes.txt", ScanCacheEntry{12, 1700000000000000000, false, {}});
    ScanCacheEntry tagged{4096, 1700000000000000001, true, {}};
    tagged.song.title = QStringLiteral("Title");
    tagged.song.artist = QStringLiteral("Artist");
    tagged.song.albumArtist = QStringLiteral("Album Artist");
    tagged.song.albumTitle = QStringLiteral("Album");
    tagged.song.genre = QStringLiteral("Genre");
    tagged.song.composer = QStringLiteral("Composer");
    tagged.song.lyrics = QStringLiteral("Lyrics");
    tagged.song.albumTrackNumber = 2;
    tagged.song.albumTrackCount = 9;
    tagged.song.discNumber = 1;
    tagged.song.discCount = 2;
    tagged.song.playbackDuration = 183.25;
    cache.insert("Album/02 Title.mp3", tagged);
    ScanCacheEntry covered{2048, 1700000000000000002, true, {}};
    covered.song.title = QStringLiteral("Caf\u00e9");
    covered.song.hasArtwork = true;
    covered.song.coverThumbnail = CoverThumbnail(QByteArray("\xff\xd8\xff\xe0 a thumbnail's bytes", 24));
    cache.insert("caf\xe9.flac", covered);
    return saveScanCache(QString::fromLocal8Bit(argv[1]), cache) ? 0 : 1;
}
