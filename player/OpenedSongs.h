#pragma once
// Songs opened from outside the lists: files and folders named on the command line, handed
// over by a later start of the program, or opened through the desktop's media controls.
// They become the play queue as a list chosen on the list screen does, and the first one
// plays through the same import as a tapped song. A song in the music directory is the
// library's own song (same identifier); one outside it plays without joining the library.
//
// Threads: main thread (the reading of files is the scan's reading, done here in turn).

#include "platform/media/MPMediaItem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class TavoroViewController;

// At most this many songs are opened at once (the rest of a larger folder is left out).
inline constexpr int kMaxOpenedSongs = 10000;

// The song of the regular file at the absolute path `path`, with its tags read as the
// library reads them; the null item when it is not a song the player can read.
MPMediaItem songOfFile(const QByteArray& path);

struct OpenedSongs {
    QList<MPMediaItem> songs;
    QStringList problems;  // one line per argument that gave nothing to play
};

// The songs of command-line arguments, in order: a path (relative ones against
// `workingDirectory`) or a file URI naming a song, or a folder, whose songs (its
// sub-folders' too; hidden entries and links to folders left out) come in album, disc and
// track order, then by file name. Anything that is not a playable song is left out with a
// problem line; files in a folder that are not songs are left out silently, as the
// library's scan does.
OpenedSongs songsOfArguments(const QList<QByteArray>& arguments, const QByteArray& workingDirectory);

// The songs at the given absolute paths, in order; unplayable ones left out with a problem
// line each.
OpenedSongs songsOfFiles(const QList<QByteArray>& paths);

// Makes `songs` the play queue, as choosing the first in a list of them would, and plays
// it through the import of a chosen song; the list on screen stays as it is. When the
// first song is the one loaded it is not imported again, only played on where it is.
void playSongsAsChosenList(TavoroViewController& player, const QList<MPMediaItem>& songs);
