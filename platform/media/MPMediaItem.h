#pragma once
// A song of the device library: an immutable, cheaply copied handle on its properties
// (one pointer; copies share one compact record).
// Read properties by name with valueForProperty() (an invalid QVariant means "absent"),
// or through the typed getters. Two items are equal when their persistent identifiers are.

#include "platform/media/MediaItemProperties.h"

#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

class MediaItemPool;

// Property names; each constant's text equals its identifier.
inline const QString MPMediaItemPropertyPersistentID = QStringLiteral("MPMediaItemPropertyPersistentID");
inline const QString MPMediaItemPropertyTitle = QStringLiteral("MPMediaItemPropertyTitle");
inline const QString MPMediaItemPropertyArtist = QStringLiteral("MPMediaItemPropertyArtist");
inline const QString MPMediaItemPropertyAlbumArtist = QStringLiteral("MPMediaItemPropertyAlbumArtist");
inline const QString MPMediaItemPropertyAlbumTitle = QStringLiteral("MPMediaItemPropertyAlbumTitle");
inline const QString MPMediaItemPropertyGenre = QStringLiteral("MPMediaItemPropertyGenre");
inline const QString MPMediaItemPropertyComposer = QStringLiteral("MPMediaItemPropertyComposer");
inline const QString MPMediaItemPropertyAlbumTrackNumber = QStringLiteral("MPMediaItemPropertyAlbumTrackNumber");
inline const QString MPMediaItemPropertyAlbumTrackCount = QStringLiteral("MPMediaItemPropertyAlbumTrackCount");
inline const QString MPMediaItemPropertyDiscNumber = QStringLiteral("MPMediaItemPropertyDiscNumber");
inline const QString MPMediaItemPropertyDiscCount = QStringLiteral("MPMediaItemPropertyDiscCount");
inline const QString MPMediaItemPropertyLyrics = QStringLiteral("MPMediaItemPropertyLyrics");
inline const QString MPMediaItemPropertyArtwork = QStringLiteral("MPMediaItemPropertyArtwork");
inline const QString MPMediaItemPropertyPlaybackDuration = QStringLiteral("MPMediaItemPropertyPlaybackDuration");
inline const QString MPMediaItemPropertyAssetURL = QStringLiteral("MPMediaItemPropertyAssetURL");

// The cover embedded in a song's file. Sizes up to the scan's thumbnail are drawn from
// the thumbnail the scan kept; larger ones read the cover from the file.
class MPMediaItemArtwork {
public:
    MPMediaItemArtwork() = default;
    MPMediaItemArtwork(QByteArray filePath, CoverThumbnail thumbnail);

    bool isNull() const { return m_filePath.isEmpty(); }
    // The cover scaled to exactly `size`; a null image when the file has no readable
    // cover (any more) or the size is empty.
    QImage imageWithSize(QSize size) const;
    // The cover at its stored size; a null image when there is none.
    QImage image() const;

private:
    QByteArray m_filePath;
    CoverThumbnail m_thumbnail;
};
Q_DECLARE_METATYPE(MPMediaItemArtwork)

class MPMediaItem {
public:
    MPMediaItem() = default;  // the null item
    explicit MPMediaItem(const MediaItemProperties& properties);
    // A song of a library read: its texts, folder and thumbnail are held by `pool` and
    // shared with the pool's other songs.
    MPMediaItem(const MediaItemProperties& properties, MediaItemPool& pool);
    MPMediaItem(const MPMediaItem& other) noexcept;
    MPMediaItem(MPMediaItem&& other) noexcept : m_shared(other.m_shared) { other.m_shared = nullptr; }
    MPMediaItem& operator=(const MPMediaItem& other) noexcept;
    MPMediaItem& operator=(MPMediaItem&& other) noexcept;
    ~MPMediaItem();

    bool isNull() const { return !m_shared; }
    explicit operator bool() const { return !isNull(); }

    // By property name: quint64 for the persistent identifier, QString for texts, int for
    // numbers, double for the duration, QUrl for the asset URL, MPMediaItemArtwork for
    // the artwork; an invalid QVariant when the value is absent or the name is unknown.
    QVariant valueForProperty(const QString& property) const;

    MPMediaEntityPersistentID persistentID() const;
    QString title() const;
    std::optional<QString> artist() const;
    std::optional<QString> albumArtist() const;
    std::optional<QString> albumTitle() const;
    std::optional<QString> genre() const;
    std::optional<QString> composer() const;
    std::optional<QString> lyrics() const;
    std::optional<int> albumTrackNumber() const;
    std::optional<int> albumTrackCount() const;
    std::optional<int> discNumber() const;
    std::optional<int> discCount() const;
    // Seconds, from FFmpeg at scan time (read from the file on first request when the
    // scan left it open); 0 when FFmpeg cannot tell.
    double playbackDuration() const;
    QUrl assetURL() const;               // file URL of the song's file (see LocalFileURL.h)
    MPMediaItemArtwork artwork() const;  // null artwork when the song has none

    // The searchable texts in place, without copying them (an absent text is an empty
    // view): valid while this item, or a copy of it, lives. For readers of many songs at
    // once, such as an index built over the whole library.
    struct TextViews {
        QStringView title, artist, albumTitle, albumArtist, genre, composer;
    };
    TextViews textViews() const;

    // All properties at once, as scanned (see playbackDuration()), put together from the
    // item's compact form; empty defaults for the null item.
    MediaItemProperties properties() const;

    friend bool operator==(const MPMediaItem& a, const MPMediaItem& b)
    {
        return a.persistentID() == b.persistentID();
    }

private:
    struct Shared;
    const Shared* m_shared = nullptr;  // holds one of the record's references
};
Q_DECLARE_METATYPE(MPMediaItem)
