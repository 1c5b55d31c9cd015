#include "platform/media/LibraryScan.h"

#include "platform/media/MediaFileReader.h"
#include "platform/media/PlaylistFile.h"
#include "platform/media/ScanCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FoundFile {
    QString relativePath;  // '/' separated, below the music directory
    QString absolutePath;
    int64_t size = 0;
    int64_t modifiedNs = 0;
};

int64_t modificationNs(const fs::directory_entry& entry, std::error_code& error)
{
    const auto time = entry.last_write_time(error);
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

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
            if (entry.is_directory(error))
                it.disable_recursion_pending();
            continue;
        }
        std::error_code fileError;
        if (!entry.is_regular_file(fileError))
            continue;
        FoundFile file;
        file.size = int64_t(entry.file_size(fileError));
        file.modifiedNs = modificationNs(entry, fileError);
        if (fileError)
            continue;  // vanished or unreadable meanwhile: not part of this scan
        file.absolutePath = QFile::decodeName(QByteArray::fromStdString(entry.path().native()));
        file.relativePath = QFile::decodeName(
            QByteArray::fromStdString(entry.path().lexically_relative(rootPath).generic_string()));
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.relativePath < b.relativePath; });
    return files;
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

    for (const FoundFile& file : files) {
        ++stats.filesSeen;
        if (isPlaylistFile(file.relativePath)) {
            playlistFiles.push_back(&file);
            continue;
        }
        ScanCacheEntry entry;
        const auto cached = oldCache.constFind(file.relativePath);
        if (cached != oldCache.constEnd() && cached->sameFile(file.size, file.modifiedNs)) {
            entry = *cached;
            if (entry.isSong)
                ++stats.itemsFromCache;
        } else {
            changed = true;
            entry.size = file.size;
            entry.modifiedNs = file.modifiedNs;
            if (std::optional<MediaItemProperties> song = readMediaFile(file.absolutePath)) {
                entry.isSong = true;
                entry.song = std::move(*song);
                entry.song.filePath.clear();
                ++stats.itemsRead;
            }
        }
        if (entry.isSong) {
            MediaItemProperties properties = entry.song;
            properties.filePath = file.absolutePath;
            properties.persistentID = MPMediaLibrary::persistentIDForRelativePath(file.relativePath);
            MPMediaItem item(std::move(properties));
            byPath.insert(file.absolutePath, item);
            result.items.append(std::move(item));
        } else {
            ++stats.filesSkipped;
        }
        newCache.insert(file.relativePath, std::move(entry));
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
