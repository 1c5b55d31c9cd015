#pragma once
// Playlist files of the music directory: `.m3u` and `.m3u8`, one entry per line.

#include <QString>
#include <QStringList>

bool isPlaylistFile(const QString& path);

// The absolute, cleaned paths of the playlist's entries in file order. Comment and
// directive lines ('#') and blank lines are skipped; an entry is a path relative to the
// playlist's folder, an absolute path or a file URL. `.m3u8` is UTF-8; `.m3u` is read as
// UTF-8 when it is valid UTF-8, else as Latin-1. Empty when the file cannot be read.
QStringList readPlaylistEntries(const QString& path);

// The playlist's name: its file name without extension.
QString playlistName(const QString& path);
