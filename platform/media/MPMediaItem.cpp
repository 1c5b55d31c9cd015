#include "platform/media/MPMediaItem.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MediaFileReader.h"
#include "platform/media/MediaItemPool.h"

#include <QHash>

#include <atomic>
#include <cstring>
#include <new>
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
// process, one allocation each. The texts songs have in common, the folder of the file and
// the cover thumbnail lie in the pool's storage (a pointer each, none when absent); the
// title stays a text of its own (sorting and the lists copy it often), and the file name
// follows the record in the same allocation. The numbers are plain integers with a bit
// each, and the duration is held once (atomic: items are shared between threads and the
// duration may be read late). A field added to the scanned song data goes here, into
// make() and into MPMediaItem::properties().
struct MPMediaItem::Shared {
    // The texts held in place come first.
    enum Text { Artist, AlbumTitle, AlbumArtist, Genre, Composer, Lyrics, TextCount };
    static constexpr int kInPlace = 2;
    enum Number { TrackNumber, TrackCount, DiscNumber, DiscCount, NumberCount };

    mutable std::atomic<int32_t> references{1};
    uint32_t nameLength = 0;   // bytes of the file name after the record
    const MediaItemPool::Storage* storage = nullptr;
    MPMediaEntityPersistentID persistentID = 0;
    mutable std::atomic<double> duration{-1.0};
    ReplayGainValues replayGain;
    int32_t numbers[NumberCount] = {};
    uint8_t numberPresent = 0; // bit per Number
    bool hasArtwork = false;
    uint32_t inPlaceSize[kInPlace] = {};
    QString title;
    // The artist and the album title by their characters in the pool (null: absent), so
    // that reading every song's texts (the search index) finds them in the record: they
    // vary the most from song to song, and their held copies would otherwise come into
    // the cache one by one. The other texts by their place in the pool (null: absent).
    const char16_t* inPlace[kInPlace] = {};
    const MediaItemPool::Text* held[TextCount - kInPlace] = {};
    const CoverThumbnail* thumbnail = nullptr; // null: none
    const QByteArray* folder = nullptr;        // null: the path has no folder part

    const char* name() const { return reinterpret_cast<const char*>(this + 1); }

    QByteArray filePath() const
    {
        if (!folder)
            return QByteArray(name(), qsizetype(nameLength));
        QByteArray path;
        path.reserve(folder->size() + 1 + qsizetype(nameLength));
        path.append(*folder).append('/').append(name(), qsizetype(nameLength));
        return path;
    }

    static const Shared* make(const MediaItemProperties& values, MediaItemPool& pool)
    {
        const qsizetype slash = values.filePath.lastIndexOf('/');
        const QByteArrayView name = QByteArrayView(values.filePath).sliced(slash + 1);
        void* memory = ::operator new(sizeof(Shared) + size_t(name.size()));
        Shared* s = new (memory) Shared;
        std::memcpy(static_cast<char*>(memory) + sizeof(Shared), name.data(), size_t(name.size()));
        s->nameLength = uint32_t(name.size());
        if (slash >= 0)
            s->folder = pool.folder(QByteArrayView(values.filePath).first(slash));
        s->storage = pool.storage();
        MediaItemPool::Storage::retain(s->storage);
        s->persistentID = values.persistentID;
        s->duration.store(values.playbackDuration, std::memory_order_relaxed);
        s->replayGain = values.replayGain;
        s->hasArtwork = values.hasArtwork;
        s->title = MediaItemPool::compactCopy(values.title);
        const std::optional<QString>* optionalTexts[TextCount] = {&values.artist, &values.albumTitle,
                                                                  &values.albumArtist, &values.genre,
                                                                  &values.composer, &values.lyrics};
        for (int i = 0; i < TextCount; ++i) {
            if (!*optionalTexts[i])
                continue;
            const MediaItemPool::Text* held = pool.text(**optionalTexts[i]);
            if (i < kInPlace) {
                s->inPlace[i] = held->characters();
                s->inPlaceSize[i] = uint32_t(held->size);
            } else {
                s->held[i - kInPlace] = held;
            }
        }
        if (!values.coverThumbnail.isEmpty())
            s->thumbnail = pool.thumbnail(values.coverThumbnail);
        const std::optional<int> optionalNumbers[NumberCount] = {values.albumTrackNumber, values.albumTrackCount,
                                                                 values.discNumber, values.discCount};
        for (int i = 0; i < NumberCount; ++i)
            if (optionalNumbers[i]) {
                s->numbers[i] = *optionalNumbers[i];
                s->numberPresent |= uint8_t(1u << i);
            }
        return s;
    }

    static void retain(const Shared* s)
    {
        if (s)
            s->references.fetch_add(1, std::memory_order_relaxed);
    }
    static void release(const Shared* s)
    {
        if (!s || s->references.fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        const MediaItemPool::Storage* storage = s->storage;
        s->~Shared();
        ::operator delete(const_cast<Shared*>(s));
        MediaItemPool::Storage::release(storage);
    }

    const MediaItemPool::Text* entry(Text which) const
    {
        if (which >= kInPlace)
            return held[which - kInPlace];
        return inPlace[which] ? MediaItemPool::Text::of(inPlace[which]) : nullptr;
    }
    std::optional<QString> text(Text which) const
    {
        const MediaItemPool::Text* found = entry(which);
        return found ? std::optional<QString>(*found->text) : std::nullopt;
    }
    QStringView view(Text which) const
    {
        if (which < kInPlace)
            return inPlace[which] ? QStringView(inPlace[which], qsizetype(inPlaceSize[which])) : QStringView();
        return held[which - kInPlace] ? held[which - kInPlace]->view() : QStringView();
    }
    std::optional<int> number(Number which) const
    {
        return numberPresent & (1u << which) ? std::optional<int>(numbers[which]) : std::nullopt;
    }
};

MPMediaItem::MPMediaItem(const MediaItemProperties& properties)
{
    MediaItemPool pool;
    m_shared = Shared::make(properties, pool);
}

MPMediaItem::MPMediaItem(const MediaItemProperties& properties, MediaItemPool& pool)
    : m_shared(Shared::make(properties, pool))
{
}

MPMediaItem::MPMediaItem(const MPMediaItem& other) noexcept : m_shared(other.m_shared)
{
    Shared::retain(m_shared);
}

MPMediaItem& MPMediaItem::operator=(const MPMediaItem& other) noexcept
{
    Shared::retain(other.m_shared);
    Shared::release(m_shared);
    m_shared = other.m_shared;
    return *this;
}

MPMediaItem& MPMediaItem::operator=(MPMediaItem&& other) noexcept
{
    if (this != &other) {
        Shared::release(m_shared);
        m_shared = other.m_shared;
        other.m_shared = nullptr;
    }
    return *this;
}

MPMediaItem::~MPMediaItem()
{
    Shared::release(m_shared);
}

MediaItemProperties MPMediaItem::properties() const
{
    MediaItemProperties values;
    if (!m_shared)
        return values;
    values.persistentID = m_shared->persistentID;
    values.filePath = m_shared->filePath();
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
    if (m_shared->thumbnail)
        values.coverThumbnail = *m_shared->thumbnail;
    values.replayGain = m_shared->replayGain;
    return values;
}

MPMediaItem::TextViews MPMediaItem::textViews() const
{
    if (!m_shared)
        return {};
    const Shared& s = *m_shared;
    return {s.title,
            s.view(Shared::Artist),
            s.view(Shared::AlbumTitle),
            s.view(Shared::AlbumArtist),
            s.view(Shared::Genre),
            s.view(Shared::Composer)};
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
        const std::optional<AudioProbeResult> probe = probeAudioFile(m_shared->filePath());
        seconds = probe ? probe->durationSeconds : 0.0;
        m_shared->duration.store(seconds, std::memory_order_relaxed);
    }
    return seconds;
}

QUrl MPMediaItem::assetURL() const
{
    if (isNull() || (m_shared->nameLength == 0 && !m_shared->folder))
        return {};
    return fileURLWithPathBytes(m_shared->filePath());
}

MPMediaItemArtwork MPMediaItem::artwork() const
{
    if (isNull() || !m_shared->hasArtwork)
        return {};
    return MPMediaItemArtwork(m_shared->filePath(),
                              m_shared->thumbnail ? *m_shared->thumbnail : CoverThumbnail());
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
