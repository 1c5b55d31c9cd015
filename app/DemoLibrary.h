#pragma once
// A small library of generated, tagged songs for a first start with no music of one's own,
// and for tests and benchmarks that need a library of a given size.
//
// Each song is a few chords synthesised with sox and encoded with ffmpeg, then tagged with
// TagLib (title, artist, album, genre, composer, track number, year) in turn as FLAC, MP3,
// AAC, WAV, ALAC and Ogg Vorbis; the FLAC and Ogg Vorbis (PNG), MP3, AAC and ALAC (JPEG) songs
// carry a cover picture. An m3u playlist lists every song. Songs of one format
// are copies of one encoded source that differ only in their tags, so large libraries are
// quick to make.

#include <QString>
#include <QStringList>

struct DemoLibraryOptions {
    int songs = 6;
    double seconds = 20.0;            // length of each song
    QString playlistName = QStringLiteral("Demo Mix");
};

// Writes the library into `directory` (made if missing). A library already made there with
// the same options is kept as it is. Answers the song files written (empty on failure, with
// the reason in *error).
QStringList generateDemoLibrary(const QString& directory, const DemoLibraryOptions& options, QString* error);

// Whether `directory` holds at least one file the player can read as a song (by extension).
bool directoryHoldsMusic(const QString& directory);
