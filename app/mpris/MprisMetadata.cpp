#include "app/mpris/MprisMetadata.h"

#include "platform/foundation/SafeFile.h"
#include "platform/media/MediaFileReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include <cmath>

QDBusObjectPath mprisTrackId(const MPMediaItem& song)
{
    if (song.isNull())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/org/tavoro/track/%1").arg(song.persistentID(), 16, 16, QLatin1Char('0')));
}

QVariantMap mprisMetadata(const MPMediaItem& song, const QString& artUrl)
{
    QVariantMap map{{QStringLiteral("mpris:trackid"), QVariant::fromValue(mprisTrackId(song))}};
    if (song.isNull())
        return map;
    // A length is only given when it is one: never negative, never beyond a week (a
    // forged header's), so the microseconds cannot overflow.
    const double seconds = song.playbackDuration();
    if (seconds > 0.0 && seconds <= 7.0 * 24 * 3600)
        map.insert(QStringLiteral("mpris:length"), qlonglong(std::llround(seconds * 1e6)));
    map.insert(QStringLiteral("xesam:title"), song.title());
    if (const auto artist = song.artist(); artist && !artist->isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{*artist});
    if (const auto album = song.albumTitle(); album && !album->isEmpty())
        map.insert(QStringLiteral("xesam:album"), *album);
    if (const auto number = song.albumTrackNumber())
        map.insert(QStringLiteral("xesam:trackNumber"), *number);
    if (!artUrl.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), artUrl);
    return map;
}

MprisCoverCache::MprisCoverCache()
    : mDirectory(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
{
}

MprisCoverCache::~MprisCoverCache()
{
    removeFile();
}

void MprisCoverCache::removeFile()
{
    if (!mFile.isEmpty())
        QFile::remove(mFile);
    mFile.clear();
}

QString MprisCoverCache::artUrlFor(const MPMediaItem& song)
{
    const MPMediaEntityPersistentID id = song.isNull() ? 0 : song.persistentID();
    if (id != mSongId) {
        removeFile();
        mSongId = id;
        QByteArray cover = song.artwork().isNull() ? QByteArray() : readEmbeddedCover(song.properties().filePath);
        QByteArray format;
        if (!cover.isEmpty()) {
            QBuffer embedded(&cover);
            format = QImageReader(&embedded).format();
        }
        // PNG and JPEG go to clients as embedded; any other picture Qt can read, as PNG.
        if (!format.isEmpty() && format != "png" && format != "jpeg") {
            const QImage image = QImage::fromData(cover);
            QByteArray png;
            QBuffer out(&png);
            format = !image.isNull() && out.open(QIODevice::WriteOnly) && image.save(&out, "PNG") ? "png" : "";
            cover = png;
        }
        if (format == "png" || format == "jpeg") {
            const QString name = QStringLiteral("cover-%1.%2")
                                     .arg(id, 16, 16, QLatin1Char('0'))
                                     .arg(format == "png" ? QStringLiteral("png") : QStringLiteral("jpg"));
            const QString path = QDir(mDirectory).filePath(name);
            // Written whole or not at all (a client may read the file as soon as it hears of
            // it), replacing rather than following whatever is at the name.
            if (QDir().mkpath(mDirectory)
                && replaceFileContents(QFile::encodeName(path).toStdString(), cover.constData(), size_t(cover.size())))
                mFile = path;
        }
    }
    return mFile.isEmpty() ? QString() : QUrl::fromLocalFile(mFile).toString();
}
