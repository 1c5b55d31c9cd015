#include "platform/media/ScanCache.h"

#include "platform/media/TextPool.h"

#include "platform/foundation/SafeFile.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

constexpr quint32 kMagic = 0x54564d43;  // "TVMC"
// Raise whenever the entry layout or what the reader extracts from a file changes.
constexpr quint32 kVersion = 4;
// No song lasts longer: a stored duration beyond it (or negative, or not a number) is
// taken as not known.
constexpr double kLongestSeconds = 7.0 * 24 * 3600;

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

// A thumbnail is stored the way a QByteArray is (a 32-bit length, all ones for none, then
// the bytes); reading it only notes where the bytes lie and steps over them.
CoverThumbnail skipThumbnail(QDataStream& in, QFile& file, const std::shared_ptr<const CoverThumbnail::File>& opened)
{
    quint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok || length == 0xffffffffu || length == 0)
        return {};
    const qint64 offset = file.pos();
    if (qint64(length) > file.size() - offset || in.skipRawData(int(length)) != int(length)) {
        in.setStatus(QDataStream::ReadPastEnd);
        return {};
    }
    return CoverThumbnail(opened, offset, length);
}

// Where a thumbnail's bytes were written: offset and length (0 when none was).
struct WrittenThumbnail {
    CoverThumbnail* thumbnail;
    qint64 offset;
    qint64 length;
};

// Writes a thumbnail as skipThumbnail reads it. A thumbnail that can no longer be read
// (its old cache file is damaged) is written as none.
WrittenThumbnail writeThumbnail(QDataStream& out, QFile& file, CoverThumbnail& thumbnail)
{
    const QByteArray bytes = thumbnail.bytes();
    if (bytes.isEmpty()) {
        out << quint32(0xffffffffu);
        return {&thumbnail, 0, 0};
    }
    out << quint32(bytes.size());
    const qint64 offset = file.pos();
    out.writeRawData(bytes.constData(), int(bytes.size()));
    return {&thumbnail, offset, bytes.size()};
}

} // namespace

ScanCache loadScanCache(const QString& path)
{
    // The thumbnails are not read: each entry keeps where its thumbnail lies in this very
    // file, which stays open for them (see CoverThumbnail).
    const std::shared_ptr<const CoverThumbnail::File> opened = path.isEmpty() ? nullptr : CoverThumbnail::openFile(path);
    QFile file;
    if (!opened || !file.open(CoverThumbnail::descriptor(*opened), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0;
    qint64 count = 0;
    in >> magic >> version >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || count < 0
        || count > file.size())
        return {};

    // The count comes from the file: room is made for no more entries than its bytes can
    // hold, so a forged count cannot claim memory the entries do not back.
    constexpr qint64 kSmallestEntryBytes = 21;  // empty path, size, time, not a song
    ScanCache cache;
    cache.reserve(qsizetype(std::min(count, file.size() / kSmallestEntryBytes)));
    TextPool texts;
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
            in >> song.playbackDuration >> song.hasArtwork;
            if (!(song.playbackDuration >= 0.0 && song.playbackDuration <= kLongestSeconds))
                song.playbackDuration = -1.0;  // not known: read from the file when asked
            in >> song.replayGain.trackGain >> song.replayGain.albumGain >> song.replayGain.trackPeak
                >> song.replayGain.albumPeak;
            song.coverThumbnail = skipThumbnail(in, file, opened);
            texts.shareCommonTexts(song);
        }
        if (in.status() != QDataStream::Ok)
            return {};
        cache.insert(relativePath, std::move(entry));
    }
    return cache;
}

bool saveScanCache(const QString& path, ScanCache& cache)
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Written beside the old cache, synced and renamed over it: a link at the cache's name
    // is replaced, never written through.
    ReplacingFile target(QFile::encodeName(path).toStdString());
    QFile file;
    if (target.descriptor() < 0 || !file.open(target.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << qint64(cache.size());
    std::vector<WrittenThumbnail> placed;
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        ScanCacheEntry& entry = it.value();
        out << it.key() << qint64(entry.size) << qint64(entry.modifiedNs) << entry.isSong;
        if (entry.isSong) {
            MediaItemProperties& song = entry.song;
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
            out << song.playbackDuration << song.hasArtwork;
            out << song.replayGain.trackGain << song.replayGain.albumGain << song.replayGain.trackPeak
                << song.replayGain.albumPeak;
            placed.push_back(writeThumbnail(out, file, song.coverThumbnail));
        }
    }
    const qint64 written = file.pos();
    if (out.status() != QDataStream::Ok || !file.flush())
        return false;
    file.close();
    if (!target.commit())
        return false;
    // From now on the thumbnails are read from the file just written; should it already
    // be another one (not the size written), they stay where they were.
    const std::shared_ptr<const CoverThumbnail::File> saved = CoverThumbnail::openFile(path);
    if (saved && CoverThumbnail::fileSize(*saved) == written)
        for (const WrittenThumbnail& placedOne : placed)
            *placedOne.thumbnail = CoverThumbnail(saved, placedOne.offset, placedOne.length);
    return true;
}
