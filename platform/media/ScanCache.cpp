#include "platform/media/ScanCache.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr quint32 kMagic = 0x54564d43;  // "TVMC"
// Raise whenever the entry layout or what the reader extracts from a file changes.
constexpr quint32 kVersion = 3;

void writeText(QDataStream& out, const std::optional<QString>& text)
{
    out << bool(text) << (text ? *text : QString());
}

void readText(QDataStream& in, std::optional<QString>& text)
{
    bool present = false;
    QString value;
    in >> present >> value;
    text = present ? std::optional<QString>(value) : std::nullopt;
}

void writeNumber(QDataStream& out, const std::optional<int>& number)
{
    out << qint32(number.value_or(0));
}

void readNumber(QDataStream& in, std::optional<int>& number)
{
    qint32 value = 0;
    in >> value;
    number = value > 0 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

ScanCache loadScanCache(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0;
    qint64 count = 0;
    in >> magic >> version >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || count < 0
        || count > file.size())
        return {};

    ScanCache cache;
    cache.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        QByteArray relativePath;
        ScanCacheEntry entry;
        qint64 size = 0, modified = 0;
        in >> relativePath >> size >> modified >> entry.isSong;
        entry.size = size;
        entry.modifiedNs = modified;
        if (entry.isSong) {
            MediaItemProperties& song = entry.song;
            in >> song.title;
            readText(in, song.artist);
            readText(in, song.albumArtist);
            readText(in, song.albumTitle);
            readText(in, song.genre);
            readText(in, song.composer);
            readText(in, song.lyrics);
            readNumber(in, song.albumTrackNumber);
            readNumber(in, song.albumTrackCount);
            readNumber(in, song.discNumber);
            readNumber(in, song.discCount);
            in >> song.playbackDuration >> song.hasArtwork >> song.coverThumbnail;
        }
        if (in.status() != QDataStream::Ok)
            return {};
        cache.insert(relativePath, std::move(entry));
    }
    return cache;
}

bool saveScanCache(const QString& path, const ScanCache& cache)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << qint64(cache.size());
    for (auto it = cache.constBegin(); it != cache.constEnd(); ++it) {
        const ScanCacheEntry& entry = it.value();
        out << it.key() << qint64(entry.size) << qint64(entry.modifiedNs) << entry.isSong;
        if (entry.isSong) {
            const MediaItemProperties& song = entry.song;
            out << song.title;
            writeText(out, song.artist);
            writeText(out, song.albumArtist);
            writeText(out, song.albumTitle);
            writeText(out, song.genre);
            writeText(out, song.composer);
            writeText(out, song.lyrics);
            writeNumber(out, song.albumTrackNumber);
            writeNumber(out, song.albumTrackCount);
            writeNumber(out, song.discNumber);
            writeNumber(out, song.discCount);
            out << song.playbackDuration << song.hasArtwork << song.coverThumbnail;
        }
    }
    if (out.status() != QDataStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
