#include "player/OpenedSongs.h"

#include "platform/foundation/CleanPath.h"
#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MediaCollation.h"
#include "platform/media/MediaFileReader.h"
#include "player/MusicListEntry.h"
#include "player/TavoroViewController.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

// Deeper folders than this are not entered (a guard against pathological trees).
constexpr int kMaxFolderDepth = 64;

QString shown(const QByteArray& argument)
{
    return displayNameOfPathBytes(argument);
}

// "scheme://..." (a URI rather than a file name that happens to hold a colon).
bool looksLikeUri(const QByteArray& argument)
{
    const qsizetype colon = argument.indexOf("://");
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const char c = argument[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return true;
}

// The regular files below `folder` (sorted by path within each folder), at most `room`.
void collectFiles(const QByteArray& folder, int depth, QList<QByteArray>& files, qsizetype room)
{
    struct Closer {
        void operator()(DIR* dir) const { closedir(dir); }
    };
    std::unique_ptr<DIR, Closer> dir(opendir(folder.constData()));
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.')
            names.append(QByteArray(entry->d_name));
    }
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : names) {
        if (files.size() >= room)
            return;
        const QByteArray path = folder + '/' + name;
        struct stat link {};
        if (::lstat(path.constData(), &link) != 0)
            continue;
        if (S_ISDIR(link.st_mode)) {
            if (depth < kMaxFolderDepth)
                collectFiles(path, depth + 1, files, room);
            continue;
        }
        // A link is followed to a file, never to a folder (no loops, no second visits).
        struct stat target {};
        if (S_ISREG(link.st_mode) || (S_ISLNK(link.st_mode) && ::stat(path.constData(), &target) == 0
                                      && S_ISREG(target.st_mode)))
            files.append(path);
    }
}

struct FolderSong {
    MPMediaItem song;
    QCollatorSortKey album;
    int disc;
    int track;
    QCollatorSortKey name;
};

// The songs of a folder in album, disc and track order, then by file name.
QList<MPMediaItem> songsOfFolder(const QByteArray& folder, qsizetype room)
{
    QList<QByteArray> files;
    collectFiles(folder, 0, files, room);
    std::vector<FolderSong> found;
    for (const QByteArray& file : files) {
        const MPMediaItem song = songOfFile(file);
        if (song.isNull())
            continue;
        found.push_back({song, mediaLibrarySortKey(song.albumTitle().value_or(QString())),
                         song.discNumber().value_or(1), song.albumTrackNumber().value_or(0),
                         mediaLibrarySortKey(displayNameOfPathBytes(file.mid(folder.size() + 1)))});
    }
    std::stable_sort(found.begin(), found.end(), [](const FolderSong& a, const FolderSong& b) {
        if (const int album = a.album.compare(b.album))
            return album < 0;
        if (a.disc != b.disc)
            return a.disc < b.disc;
        if (a.track != b.track)
            return a.track < b.track;
        return a.name.compare(b.name) < 0;
    });
    QList<MPMediaItem> songs;
    for (const FolderSong& entry : found)
        songs.append(entry.song);
    return songs;
}

} // namespace

MPMediaItem songOfFile(const QByteArray& path)
{
    MediaFileReading reading = readMediaFile(path);
    if (reading.kind != MediaFileKind::Song)
        return {};
    const QByteArray musicDirectory =
        QFile::encodeName(QDir::cleanPath(MPMediaLibrary::defaultMediaLibrary()->musicDirectory())) + '/';
    const QByteArray key = path.startsWith(musicDirectory) ? path.mid(musicDirectory.size()) : path;
    reading.song.persistentID = MPMediaLibrary::persistentIDForRelativePath(key);
    return MPMediaItem(reading.song);
}

OpenedSongs songsOfArguments(const QList<QByteArray>& arguments, const QByteArray& workingDirectory)
{
    OpenedSongs opened;
    for (const QByteArray& argument : arguments) {
        QByteArray path = argument;
        if (looksLikeUri(argument) || argument.startsWith("file:")) {
            const QUrl url = QUrl::fromEncoded(argument);
            const bool here = url.host().isEmpty() || url.host() == QLatin1String("localhost");
            path = here ? pathBytesOfFileURL(url) : QByteArray();
            if (path.isEmpty()) {
                opened.problems.append(QStringLiteral("tavoro: %1: only local files can be played").arg(shown(argument)));
                continue;
            }
        }
        path = absoluteCleanPath(path, workingDirectory);
        const qsizetype room = kMaxOpenedSongs - opened.songs.size();
        struct stat info {};
        if (room <= 0) {
            opened.problems.append(QStringLiteral("tavoro: %1: left out, %2 songs are the most opened at once")
                                       .arg(shown(argument))
                                       .arg(kMaxOpenedSongs));
        } else if (::stat(path.constData(), &info) != 0) {
            opened.problems.append(QStringLiteral("tavoro: %1: no such file or folder").arg(shown(argument)));
        } else if (S_ISDIR(info.st_mode)) {
            const QList<MPMediaItem> songs = songsOfFolder(path, room);
            if (songs.isEmpty())
                opened.problems.append(QStringLiteral("tavoro: %1: no songs in this folder").arg(shown(argument)));
            opened.songs += songs;
        } else {
            const MPMediaItem song = S_ISREG(info.st_mode) ? songOfFile(path) : MPMediaItem();
            if (song.isNull())
                opened.problems.append(QStringLiteral("tavoro: %1: not a song the player can play").arg(shown(argument)));
            else
                opened.songs.append(song);
        }
    }
    return opened;
}

OpenedSongs songsOfFiles(const QList<QByteArray>& paths)
{
    OpenedSongs opened;
    for (const QByteArray& path : paths) {
        struct stat info {};
        const MPMediaItem song =
            ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) ? songOfFile(path) : MPMediaItem();
        if (song.isNull())
            opened.problems.append(QStringLiteral("tavoro: %1: not a song the player can play").arg(shown(path)));
        else
            opened.songs.append(song);
    }
    return opened;
}

void playSongsAsChosenList(TavoroViewController& player, const QList<MPMediaItem>& songs)
{
    if (songs.isEmpty())
        return;
    MusicList list;
    for (const MPMediaItem& song : songs)
        list.append(MusicListEntry(song));
    // Choosing the song that is loaded only shows it, so a paused one is played as well.
    const bool loaded = player.currentSong() == songs.first();
    const MusicList shownList = player.itemsArray();
    player.setItemsArray(list);
    player.chooseSongAtListIndex(0);
    player.setItemsArray(shownList);
    player.reloadListView();
    if (loaded && !player.graphController().isPlaying())
        player.buttonPressedAction(1);
}
