#pragma once
// Playlist files of the music directory: `.m3u` and `.m3u8`, one entry per line.

#include <QString>
#include <QStringList>

bool isPlaylistFile(const QString& path);

#include <QByteArray>

// The absolute, cleaned paths of the playlist's entries in file order. Comment and
// directive lines ('#') and blank lines are skipped; an entry is a path relative to the
// playlist's folder, an absolute path or a local file URL; other URLs are left out.
// `.m3u8` is UTF-8; `.m3u` is read as UTF-8 when it is valid UTF-8, else as Latin-1.
// `path`: the file system's bytes of the playlist's path. Empty when the file cannot be
// read, is not a regular file or is larger than any playlist (16 MiB).
QStringList readPlaylistEntries(const QByteArray& path);

// The entries of playlist text `content` as above; relative ones resolve against the
// absolute `folder`. `utf8` forces UTF-8 (`.m3u8`).
QStringList parsePlaylistEntries(const QByteArray& content, const QString& folder, bool utf8);

// The playlist's name: its file name without extension.
QString playlistName(const QString& path);
