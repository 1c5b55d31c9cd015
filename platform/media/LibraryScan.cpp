#include "platform/media/LibraryScan.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MediaFileReader.h"
#include "platform/media/MediaItemPool.h"
#include "platform/media/PlaylistFile.h"
#include "platform/media/ScanCache.h"
#include "platform/media/TextPool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

struct FoundFile {
    QByteArray relativePath;  // '/' separated, below the music directory, file system bytes
    QByteArray absolutePath;
    int64_t size = 0;
    int64_t modifiedNs = 0;
};

// The walk of the music directory. Names are kept as the file system's bytes, so no file
// is lost to its name's encoding. Symbolic links are followed, to folders as well, and
// every real folder is read once (a link back up the tree, or two links to one folder,
// add nothing). An entry that cannot be read is counted and skipped; the walk goes on.
class DirectoryWalk {
public:
    explicit DirectoryWalk(const QByteArray& root) : m_root(root) {}

    void run()
    {
        struct stat status {};
        if (::stat(m_root.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
            return;  // no music directory: an empty library
        m_visited.insert({status.st_dev, status.st_ino});
        visit(QByteArray());
        // Sorted by path, so that the scan's order does not depend on the file system's.
        std::sort(files.begin(), files.end(),
                  [](const FoundFile& a, const FoundFile& b) { return a.relativePath < b.relativePath; });
    }

    std::vector<FoundFile> files;
    int unreadable = 0;    // folders that could not be listed, entries that could not be examined
    int skippedNames = 0;  // hidden entries (names starting with a dot), left out on purpose

private:
    struct Entry {
        QByteArray name;
        struct stat status;
        bool link;
    };

    void visit(const QByteArray& relative)
    {
        const QByteArray absolute = relative.isEmpty() ? m_root : m_root + '/' + relative;
        DIR* directory = ::opendir(absolute.constData());
        if (!directory) {
            ++unreadable;
            return;
        }
        std::vector<Entry> entries;
        for (;;) {
            errno = 0;
            const dirent* found = ::readdir(directory);
            if (!found) {
                if (errno != 0)
                    ++unreadable;  // the rest of this folder cannot be listed
                break;
            }
            const QByteArray name(found->d_name);
            if (name == "." || name == "..")
                continue;
            if (name.startsWith('.')) {
                ++skippedNames;
                continue;
            }
            const QByteArray path = absolute + '/' + name;
            Entry entry{name, {}, found->d_type == DT_LNK};
            struct stat linkStatus {};
            if (found->d_type == DT_UNKNOWN && ::lstat(path.constData(), &linkStatus) == 0)
                entry.link = S_ISLNK(linkStatus.st_mode);  // a file system without entry types
            if (::stat(path.constData(), &entry.status) != 0) {
                ++unreadable;  // a dangling link, no rights, or gone meanwhile
                continue;
            }
            entries.push_back(std::move(entry));
        }
        ::closedir(directory);

        // Real folders before links, each group by name: a folder reached both ways is
        // listed under its own path, and the outcome does not depend on the listing order.
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.link != b.link ? !a.link : a.name < b.name;
        });
        std::vector<QByteArray> folders;
        for (const Entry& entry : entries) {
            const QByteArray childRelative = relative.isEmpty() ? entry.name : relative + '/' + entry.name;
            if (S_ISDIR(entry.status.st_mode)) {
                if (m_visited.insert({entry.status.st_dev, entry.status.st_ino}).second)
                    folders.push_back(childRelative);
                continue;
            }
            if (!S_ISREG(entry.status.st_mode))
                continue;  // devices, pipes, sockets
            FoundFile file;
            file.relativePath = childRelative;
            file.absolutePath = absolute + '/' + entry.name;
            file.size = int64_t(entry.status.st_size);
            file.modifiedNs = int64_t(entry.status.st_mtim.tv_sec) * 1000000000 + entry.status.st_mtim.tv_nsec;
            files.push_back(std::move(file));
        }
        for (const QByteArray& folder : folders)
            visit(folder);
    }

    QByteArray m_root;
    std::set<std::pair<dev_t, ino_t>> m_visited;
};

// Reads the files on a few threads (the work is mostly parsing, and the files are read
// independently); the results keep the order of `files`.
std::vector<MediaFileReading> readFiles(const std::vector<const FoundFile*>& files)
{
    std::vector<MediaFileReading> results(files.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < files.size(); i = next++)
            results[i] = readMediaFile(files[i]->absolutePath);
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads && t * 16 < files.size(); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    return results;
}

MPMediaPlaylist resolvePlaylist(const FoundFile& file, const QHash<QString, MPMediaItem>& byPath)
{
    QList<MPMediaItem> songs;
    const QString path = displayNameOfPathBytes(file.absolutePath);
    for (const QString& entry : readPlaylistEntries(file.absolutePath)) {
        const auto song = byPath.constFind(entry);
        if (song != byPath.constEnd())
            songs.append(*song);
    }
    const MPMediaEntityPersistentID id =
        MPMediaLibrary::persistentIDForRelativePath(QByteArrayLiteral("playlist:") + file.relativePath);
    return MPMediaPlaylist(playlistName(path), id, std::move(songs));
}

} // namespace

LibraryScanResult scanMusicDirectory(const QString& musicDirectory, const QString& cacheFile)
{
    QElapsedTimer timer;
    timer.start();
    LibraryScanResult result;
    MPMediaLibraryScanStats& stats = result.stats;

    const QByteArray root = QFile::encodeName(QDir::cleanPath(QDir(musicDirectory).absolutePath()));
    ScanCache oldCache = loadScanCache(cacheFile);
    ScanCache newCache;
    newCache.reserve(oldCache.size());
    bool changed = oldCache.isEmpty();

    DirectoryWalk walk(root);
    walk.run();
    stats.unreadable = walk.unreadable;
    stats.skippedNames = walk.skippedNames;
    const std::vector<FoundFile>& files = walk.files;
    std::vector<const FoundFile*> playlistFiles;
    QHash<QString, MPMediaItem> byPath;  // made only when there are playlists to resolve

    // Which files need reading: new ones and those whose size or time changed.
    std::vector<const FoundFile*> songFiles;
    std::vector<const FoundFile*> toRead;
    for (const FoundFile& file : files) {
        ++stats.filesSeen;
        if (isPlaylistFile(displayNameOfPathBytes(file.relativePath))) {
            playlistFiles.push_back(&file);
            continue;
        }
        songFiles.push_back(&file);
        const auto cached = oldCache.constFind(file.relativePath);
        if (cached == oldCache.constEnd() || !cached->sameFile(file.size, file.modifiedNs))
            toRead.push_back(&file);
    }
    std::vector<MediaFileReading> read = readFiles(toRead);
    changed = changed || !toRead.empty();

    size_t nextRead = 0;
    TextPool texts;  // the cached songs share theirs already
    for (const FoundFile* file : songFiles) {
        ScanCacheEntry entry;
        if (nextRead < toRead.size() && toRead[nextRead] == file) {
            MediaFileReading& reading = read[nextRead++];
            if (reading.kind == MediaFileKind::Unreadable) {
                ++stats.unreadable;  // not remembered: the next scan tries it again
                changed = true;
                continue;
            }
            entry.size = file->size;
            entry.modifiedNs = file->modifiedNs;
            if (reading.kind == MediaFileKind::Song) {
                entry.isSong = true;
                entry.song = std::move(reading.song);
                texts.shareCommonTexts(entry.song);
                entry.song.filePath.clear();
                ++stats.itemsRead;
            }
        } else {
            entry = oldCache.value(file->relativePath);
            if (entry.isSong)
                ++stats.itemsFromCache;
        }
        if (!entry.isSong)
            ++stats.notAudio;
        newCache.insert(file->relativePath, std::move(entry));
    }
    if (newCache.size() != oldCache.size())
        changed = true;  // files were removed
    // Written before the items are made, so that their cover thumbnails are read from the
    // new file rather than kept in memory.
    if (changed && !cacheFile.isEmpty())
        stats.cacheWritten = saveScanCache(cacheFile, newCache);

    // The items are made while the caches still hold their memory, so that they lie
    // together rather than in the caches' freed gaps; freeing the caches afterwards then
    // gives back whole pages.
    result.items.reserve(qsizetype(songFiles.size()));
    MediaItemPool pool;
    for (const FoundFile* file : songFiles) {
        const auto entry = newCache.find(file->relativePath);
        if (entry == newCache.end() || !entry->isSong)
            continue;
        MediaItemProperties& properties = entry.value().song;
        properties.filePath = file->absolutePath;
        properties.persistentID = MPMediaLibrary::persistentIDForRelativePath(file->relativePath);
        result.items.append(MPMediaItem(properties, pool));
    }
    oldCache = ScanCache();
    newCache = ScanCache();

    if (!playlistFiles.empty())
        for (const MPMediaItem& item : std::as_const(result.items))
            byPath.insert(displayNameOfPathBytes(item.properties().filePath), item);
    for (const FoundFile* file : playlistFiles)
        result.playlists.append(resolvePlaylist(*file, byPath));
    stats.playlists = int(result.playlists.size());
    stats.seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("Music library scan: %d files seen, %d songs, %d not audio, %d unreadable, %d skipped names "
                "(%.3f s)\n",
                stats.filesSeen, int(result.items.size()), stats.notAudio, stats.unreadable, stats.skippedNames,
                stats.seconds);
    std::fflush(stdout);
    return result;
}
