#include "platform/media/LibraryScan.h"

#include "platform/media/MediaFileReader.h"
#include "platform/media/PlaylistFile.h"
#include "platform/media/ScanCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct FoundFile {
    QString relativePath;  // '/' separated, below the music directory
    QString absolutePath;
    int64_t size = 0;
    int64_t modifiedNs = 0;
};

// Every regular file below `root` (hidden files and folders left out), sorted by path
// so that the scan's order does not depend on the file system's.
std::vector<FoundFile> listFiles(const QString& root)
{
    std::vector<FoundFile> files;
    const fs::path rootPath(QFile::encodeName(root).toStdString());
    std::error_code error;
    fs::recursive_directory_iterator it(rootPath, fs::directory_options::skip_permission_denied, error);
    const fs::recursive_directory_iterator end;
    for (; !error && it != end; it.increment(error)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().native();
        if (!name.empty() && name[0] == '.') {
            std::error_code typeError;
            if (entry.is_directory(typeError))
                it.disable_recursion_pending();
            continue;
        }
        // One stat per file for type, size and time (the directory entry's own getters
        // would stat once for each).
        struct stat status {};
        if (::stat(entry.path().c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;  // not a file, or vanished meanwhile: not part of this scan
        FoundFile file;
        file.size = int64_t(status.st_size);
        file.modifiedNs = int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        file.absolutePath = QFile::decodeName(QByteArray::fromStdString(entry.path().native()));
        file.relativePath = QFile::decodeName(
            QByteArray::fromStdString(entry.path().lexically_relative(rootPath).generic_string()));
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.relativePath < b.relativePath; });
    return files;
}

// Reads the files on a few threads (the work is mostly parsing, and the files are read
// independently); the results keep the order of `files`.
std::vector<std::optional<MediaItemProperties>> readFiles(const std::vector<const FoundFile*>& files)
{
    std::vector<std::optional<MediaItemProperties>> results(files.size());
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
    for (const QString& entry : readPlaylistEntries(file.absolutePath)) {
        const auto song = byPath.constFind(entry);
        if (song != byPath.constEnd())
            songs.append(*song);
    }
    const MPMediaEntityPersistentID id =
        MPMediaLibrary::persistentIDForRelativePath(QLatin1String("playlist:") + file.relativePath);
    return MPMediaPlaylist(playlistName(file.absolutePath), id, std::move(songs));
}

} // namespace

LibraryScanResult scanMusicDirectory(const QString& musicDirectory, const QString& cacheFile)
{
    QElapsedTimer timer;
    timer.start();
    LibraryScanResult result;
    MPMediaLibraryScanStats& stats = result.stats;

    const QString root = QDir::cleanPath(QDir(musicDirectory).absolutePath());
    const ScanCache oldCache = loadScanCache(cacheFile);
    ScanCache newCache;
    newCache.reserve(oldCache.size());
    bool changed = oldCache.isEmpty();

    std::vector<FoundFile> files = listFiles(root);
    std::vector<const FoundFile*> playlistFiles;
    QHash<QString, MPMediaItem> byPath;
    byPath.reserve(qsizetype(files.size()));

    // Which files need reading: new ones and those whose size or time changed.
    std::vector<const FoundFile*> songFiles;
    std::vector<const FoundFile*> toRead;
    for (const FoundFile& file : files) {
        ++stats.filesSeen;
        if (isPlaylistFile(file.relativePath)) {
            playlistFiles.push_back(&file);
            continue;
        }
        songFiles.push_back(&file);
        const auto cached = oldCache.constFind(file.relativePath);
        if (cached == oldCache.constEnd() || !cached->sameFile(file.size, file.modifiedNs))
            toRead.push_back(&file);
    }
    std::vector<std::optional<MediaItemProperties>> read = readFiles(toRead);
    changed = changed || !toRead.empty();

    size_t nextRead = 0;
    for (const FoundFile* file : songFiles) {
        ScanCacheEntry entry;
        if (nextRead < toRead.size() && toRead[nextRead] == file) {
            entry.size = file->size;
            entry.modifiedNs = file->modifiedNs;
            if (std::optional<MediaItemProperties>& song = read[nextRead]) {
                entry.isSong = true;
                entry.song = std::move(*song);
                entry.song.filePath.clear();
                ++stats.itemsRead;
            }
            ++nextRead;
        } else {
            entry = oldCache.value(file->relativePath);
            if (entry.isSong)
                ++stats.itemsFromCache;
        }
        if (entry.isSong) {
            MediaItemProperties properties = entry.song;
            properties.filePath = file->absolutePath;
            properties.persistentID = MPMediaLibrary::persistentIDForRelativePath(file->relativePath);
            MPMediaItem item(std::move(properties));
            byPath.insert(file->absolutePath, item);
            result.items.append(std::move(item));
        } else {
            ++stats.filesSkipped;
        }
        newCache.insert(file->relativePath, std::move(entry));
    }
    if (newCache.size() != oldCache.size())
        changed = true;  // files were removed

    for (const FoundFile* file : playlistFiles)
        result.playlists.append(resolvePlaylist(*file, byPath));
    stats.playlists = int(result.playlists.size());

    if (changed && !cacheFile.isEmpty())
        stats.cacheWritten = saveScanCache(cacheFile, newCache);
    stats.seconds = double(timer.nsecsElapsed()) / 1e9;
    return result;
}
