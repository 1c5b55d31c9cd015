#include "platform/media/MPMediaItem.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MediaFileReader.h"

#include <QHash>

#include <atomic>
#include <functional>

MPMediaItemArtwork::MPMediaItemArtwork(QByteArray filePath, CoverThumbnail thumbnail)
    : m_filePath(std::move(filePath)), m_thumbnail(std::move(thumbnail))
{
}

QImage MPMediaItemArtwork::image() const
{
    if (isNull())
        return {};
    const QByteArray encoded = readEmbeddedCover(m_filePath);
    if (encoded.isEmpty())
        return {};
    return QImage::fromData(encoded);
}

QImage MPMediaItemArtwork::imageWithSize(QSize size) const
{
    if (size.isEmpty())
        return {};
    if (!m_thumbnail.isEmpty() && size.width() <= kCoverThumbnailSide && size.height() <= kCoverThumbnailSide) {
        const QImage small = QImage::fromData(m_thumbnail.bytes());
        if (!small.isNull())
            return small.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const QImage cover = image();
    if (cover.isNull())
        return {};
    return cover.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

struct MPMediaItem::Shared {
    MediaItemProperties properties;
    // The duration once known; items are shared between threads, so it is atomic.
    mutable std::atomic<double> duration;

    explicit Shared(MediaItemProperties values)
        : properties(std::move(values)), duration(properties.playbackDuration)
    {
    }
};

MPMediaItem::MPMediaItem(MediaItemProperties properties)
    : m_shared(std::make_shared<const Shared>(std::move(properties)))
{
}

const MediaItemProperties& MPMediaItem::properties() const
{
    static const MediaItemProperties none;
    return m_shared ? m_shared->properties : none;
}

MPMediaEntityPersistentID MPMediaItem::persistentID() const { return properties().persistentID; }
QString MPMediaItem::title() const { return properties().title; }
std::optional<QString> MPMediaItem::artist() const { return properties().artist; }
std::optional<QString> MPMediaItem::albumArtist() const { return properties().albumArtist; }
std::optional<QString> MPMediaItem::albumTitle() const { return properties().albumTitle; }
std::optional<QString> MPMediaItem::genre() const { return properties().genre; }
std::optional<QString> MPMediaItem::composer() const { return properties().composer; }
std::optional<QString> MPMediaItem::lyrics() const { return properties().lyrics; }
std::optional<int> MPMediaItem::albumTrackNumber() const { return properties().albumTrackNumber; }
std::optional<int> MPMediaItem::albumTrackCount() const { return properties().albumTrackCount; }
std::optional<int> MPMediaItem::discNumber() const { return properties().discNumber; }
std::optional<int> MPMediaItem::discCount() const { return properties().discCount; }
double MPMediaItem::playbackDuration() const
{
    if (isNull())
        return 0.0;
    double seconds = m_shared->duration.load(std::memory_order_relaxed);
    if (seconds < 0.0) {
        const std::optional<AudioProbeResult> probe = probeAudioFile(m_shared->properties.filePath);
        seconds = probe ? probe->durationSeconds : 0.0;
        m_shared->duration.store(seconds, std::memory_order_relaxed);
    }
    return seconds;
}

QUrl MPMediaItem::assetURL() const
{
    if (isNull() || m_shared->properties.filePath.isEmpty())
        return {};
    return fileURLWithPathBytes(m_shared->properties.filePath);
}

MPMediaItemArtwork MPMediaItem::artwork() const
{
    if (isNull() || !m_shared->properties.hasArtwork)
        return {};
    return MPMediaItemArtwork(m_shared->properties.filePath, m_shared->properties.coverThumbnail);
}

namespace {

template <typename T>
QVariant optionalValue(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

} // namespace

QVariant MPMediaItem::valueForProperty(const QString& property) const
{
    if (isNull())
        return {};
    using Reader = std::function<QVariant(const MPMediaItem&)>;
    static const QHash<QString, Reader> readers = {
        {MPMediaItemPropertyPersistentID,
         [](const MPMediaItem& i) { return QVariant::fromValue<qulonglong>(i.persistentID()); }},
        {MPMediaItemPropertyTitle, [](const MPMediaItem& i) { return QVariant(i.title()); }},
        {MPMediaItemPropertyArtist, [](const MPMediaItem& i) { return optionalValue(i.artist()); }},
        {MPMediaItemPropertyAlbumArtist,
         [](const MPMediaItem& i) { return optionalValue(i.albumArtist()); }},
        {MPMediaItemPropertyAlbumTitle,
         [](const MPMediaItem& i) { return optionalValue(i.albumTitle()); }},
        {MPMediaItemPropertyGenre, [](const MPMediaItem& i) { return optionalValue(i.genre()); }},
        {MPMediaItemPropertyComposer,
         [](const MPMediaItem& i) { return optionalValue(i.composer()); }},
        {MPMediaItemPropertyLyrics, [](const MPMediaItem& i) { return optionalValue(i.lyrics()); }},
        {MPMediaItemPropertyAlbumTrackNumber,
         [](const MPMediaItem& i) { return optionalValue(i.albumTrackNumber()); }},
        {MPMediaItemPropertyAlbumTrackCount,
         [](const MPMediaItem& i) { return optionalValue(i.albumTrackCount()); }},
        {MPMediaItemPropertyDiscNumber,
         [](const MPMediaItem& i) { return optionalValue(i.discNumber()); }},
        {MPMediaItemPropertyDiscCount,
         [](const MPMediaItem& i) { return optionalValue(i.discCount()); }},
        {MPMediaItemPropertyPlaybackDuration,
         [](const MPMediaItem& i) { return QVariant(i.playbackDuration()); }},
        {MPMediaItemPropertyAssetURL, [](const MPMediaItem& i) { return QVariant(i.assetURL()); }},
        {MPMediaItemPropertyArtwork,
         [](const MPMediaItem& i) {
             const MPMediaItemArtwork artwork = i.artwork();
             return artwork.isNull() ? QVariant() : QVariant::fromValue(artwork);
         }},
    };
    const auto reader = readers.constFind(property);
    return reader == readers.constEnd() ? QVariant() : (*reader)(*this);
}
