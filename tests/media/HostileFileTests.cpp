// Files of the music folder that try to make the scan reach the network or state an absurd
// length; and a playlist whose name is not text. (A FIFO in a song's place: the import
// tests, on the path of a chosen song.)

#include "MediaFixtures.h"

#include "../HostileFiles.h"
#include "platform/media/LibraryScan.h"
#include "platform/media/MediaFileReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(HostileFiles, ReadingOpensNothingBesideTheFileAndBoundsDurations)
{
    QTemporaryDir dir;
    hostile::LocalListener listener;
    // Each file alone, then all of them beside a song in a scan.
    for (const auto& [name, bytes] : hostile::streamingFiles(listener.port())) {
        const QString path = dir.path() + "/" + QString::fromStdString(name);
        writeTextFile(path, QByteArray::fromStdString(bytes));
        EXPECT_EQ(readMediaFile(QFile::encodeName(path)).kind, MediaFileKind::NotAudio) << name;
    }
    makeAudioFile(dir.path() + "/song.mp3", "mp3");
    // A playlist whose own name is not UTF-8 (a Latin-1 "e" with an accent).
    std::FILE* playlist = std::fopen((QFile::encodeName(dir.path()) + "/caf\xE9.m3u").constData(), "w");
    ASSERT_TRUE(playlist && std::fputs("song.mp3\n", playlist) >= 0 && std::fclose(playlist) == 0);
    const LibraryScanResult scan = scanMusicDirectory(dir.path(), dir.path() + "/scan-cache");
    EXPECT_EQ(listener.connections(), 0) << "a file made the scan connect to the address it names";
    ASSERT_EQ(scan.playlists.size(), 1);
    EXPECT_EQ(scan.playlists[0].count(), 1) << "the playlist was not read by its name's bytes";

    const QString huge = dir.path() + "/huge.wav";
    writeTextFile(huge, QByteArray::fromStdString(hostile::hugeRf64()));
    const MediaFileReading reading = readMediaFile(QFile::encodeName(huge));
    ASSERT_EQ(reading.kind, MediaFileKind::Song);
    EXPECT_LT(reading.song.playbackDuration, 1.0) << "the stated length was believed";
}

} // namespace
