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

// One song held compactly: a large library holds many of these for the life of the
// process. The optional texts are plain (pooled) texts with a bit each saying whether the
// song has them, the numbers plain integers with a bit each, and the duration is held once
// (atomic: items are shared between threads and the duration may be read late). A field
// added to the scanned song data goes here as a plain value with a presence bit when it
// is optional, and into the constructor and MPMediaItem::properties().
struct MPMediaItem::Shared {
    enum Text { Artist, AlbumArtist, AlbumTitle, Genre, Composer, Lyrics, TextCount };
    enum Number { TrackNumber, TrackCount, DiscNumber, DiscCount, NumberCount };

    MPMediaEntityPersistentID persistentID = 0;
    QByteArray filePath;
    QString title;
    QString texts[TextCount];
    CoverThumbnail coverThumbnail;
    mutable std::atomic<double> duration{-1.0};
    ReplayGainValues replayGain;
    int32_t numbers[NumberCount] = {};
    uint8_t textPresent = 0;   // bit per Text
    uint8_t numberPresent = 0; // bit per Number
    bool hasArtwork = false;

    explicit Shared(MediaItemProperties values)
        : persistentID(values.persistentID),
          filePath(std::move(values.filePath)),
          title(std::move(values.title)),
          coverThumbnail(std::move(values.coverThumbnail)),
          duration(values.playbackDuration),
          replayGain(values.replayGain),
          hasArtwork(values.hasArtwork)
    {
        std::optional<QString>* optionalTexts[TextCount] = {&values.artist, &values.albumArtist, &values.albumTitle,
                                                            &values.genre, &values.composer, &values.lyrics};
        for (int i = 0; i < TextCount; ++i)
            if (*optionalTexts[i]) {
                texts[i] = std::move(**optionalTexts[i]);
                textPresent |= uint8_t(1u << i);
            }
        const std::optional<int> optionalNumbers[NumberCount] = {values.albumTrackNumber, values.albumTrackCount,
                                                                 values.discNumber, values.discCount};
        for (int i = 0; i < NumberCount; ++i)
            if (optionalNumbers[i]) {
                numbers[i] = *optionalNumbers[i];
                numberPresent |= uint8_t(1u << i);
            }
    }

    std::optional<QString> text(Text which) const
    {
        return textPresent & (1u << which) ? std::optional<QString>(texts[which]) : std::nullopt;
    }
    std::optional<int> number(Number which) const
    {
        return numberPresent & (1u << which) ? std::optional<int>(numbers[which]) : std::nullopt;
    }
};

MPMediaItem::MPMediaItem(MediaItemProperties properties)
    : m_shared(std::make_shared<const Shared>(std::move(properties)))
{
}

MediaItemProperties MPMediaItem::properties() const
{
    MediaItemProperties values;
    if (!m_shared)
        return values;
    values.persistentID = m_shared->persistentID;
    values.filePath = m_shared->filePath;
    values.title = m_shared->title;
    values.artist = artist();
    values.albumArtist = albumArtist();
    values.albumTitle = albumTitle();
    values.genre = genre();
    values.composer = composer();
    values.lyrics = lyrics();
    values.albumTrackNumber = albumTrackNumber();
    values.albumTrackCount = albumTrackCount();
    values.discNumber = discNumber();
    values.discCount = discCount();
    values.playbackDuration = m_shared->duration.load(std::memory_order_relaxed);
    values.hasArtwork = m_shared->hasArtwork;
    values.coverThumbnail = m_shared->coverThumbnail;
    values.replayGain = m_shared->replayGain;
    return values;
}

MPMediaItem::TextViews MPMediaItem::textViews() const
{
    if (!m_shared)
        return {};
    const Shared& s = *m_shared;
    return {s.title, s.texts[Shared::Artist], s.texts[Shared::AlbumTitle], s.texts[Shared::AlbumArtist],
            s.texts[Shared::Genre], s.texts[Shared::Composer]};
}

MPMediaEntityPersistentID MPMediaItem::persistentID() const { return m_shared ? m_shared->persistentID : 0; }
QString MPMediaItem::title() const { return m_shared ? m_shared->title : QString(); }
std::optional<QString> MPMediaItem::artist() const { return m_shared ? m_shared->text(Shared::Artist) : std::nullopt; }
std::optional<QString> MPMediaItem::albumArtist() const
{
    return m_shared ? m_shared->text(Shared::AlbumArtist) : std::nullopt;
}
std::optional<QString> MPMediaItem::albumTitle() const
{
    return m_shared ? m_shared->text(Shared::AlbumTitle) : std::nullopt;
}
std::optional<QString> MPMediaItem::genre() const { return m_shared ? m_shared->text(Shared::Genre) : std::nullopt; }
std::optional<QString> MPMediaItem::composer() const
{
    return m_shared ? m_shared->text(Shared::Composer) : std::nullopt;
}
std::optional<QString> MPMediaItem::lyrics() const { return m_shared ? m_shared->text(Shared::Lyrics) : std::nullopt; }
std::optional<int> MPMediaItem::albumTrackNumber() const
{
    return m_shared ? m_shared->number(Shared::TrackNumber) : std::nullopt;
}
std::optional<int> MPMediaItem::albumTrackCount() const
{
    return m_shared ? m_shared->number(Shared::TrackCount) : std::nullopt;
}
std::optional<int> MPMediaItem::discNumber() const
{
    return m_shared ? m_shared->number(Shared::DiscNumber) : std::nullopt;
}
std::optional<int> MPMediaItem::discCount() const
{
    return m_shared ? m_shared->number(Shared::DiscCount) : std::nullopt;
}
double MPMediaItem::playbackDuration() const
{
    if (isNull())
        return 0.0;
    double seconds = m_shared->duration.load(std::memory_order_relaxed);
    if (seconds < 0.0) {
        const std::optional<AudioProbeResult> probe = probeAudioFile(m_shared->filePath);
        seconds = probe ? probe->durationSeconds : 0.0;
        m_shared->duration.store(seconds, std::memory_order_relaxed);
    }
    return seconds;
}

QUrl MPMediaItem::assetURL() const
{
    if (isNull() || m_shared->filePath.isEmpty())
        return {};
    return fileURLWithPathBytes(m_shared->filePath);
}

MPMediaItemArtwork MPMediaItem::artwork() const
{
    if (isNull() || !m_shared->hasArtwork)
        return {};
    return MPMediaItemArtwork(m_shared->filePath, m_shared->coverThumbnail);
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
