#pragma once
// The values the device library knows about one song: what the scanner reads from the
// file's tags and container, and what the scan cache stores. A media item is a shared,
// immutable view of one of these.

#include "platform/media/CoverThumbnail.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The library's identifier of an item: stable across scans and restarts, the full
// unsigned 64-bit range (0 is never used, it means "no item").
using MPMediaEntityPersistentID = uint64_t;

// The loudness values taggers write for volume leveling, in the ReplayGain reference
// (gains from Opus R128 tags already converted). Eight bytes per song.
struct ReplayGainValues {
    static constexpr int16_t kNoGain = INT16_MIN;
    int16_t trackGain = kNoGain;  // hundredths of a dB
    int16_t albumGain = kNoGain;
    uint16_t trackPeak = 0;       // ten-thousandths of full scale; 0: no peak
    uint16_t albumPeak = 0;

    bool operator==(const ReplayGainValues&) const = default;
};

struct MediaItemProperties {
    MPMediaEntityPersistentID persistentID = 0;
    QByteArray filePath;               // absolute path of the audio file, as the file system's bytes
    QString title;                     // tag title, or the file name without extension
    std::optional<QString> artist;     // absent when the tag has none; may be empty
    std::optional<QString> albumArtist;
    std::optional<QString> albumTitle;
    std::optional<QString> genre;
    std::optional<QString> composer;
    std::optional<QString> lyrics;
    std::optional<int> albumTrackNumber;  // absent when the tag has none (or 0)
    std::optional<int> albumTrackCount;
    std::optional<int> discNumber;
    std::optional<int> discCount;
    // Seconds, from FFmpeg's reading of the container at scan time; negative while not
    // known (MPMediaItem::playbackDuration() then reads the file on first request).
    double playbackDuration = -1.0;
    bool hasArtwork = false;           // an embedded cover was found at scan time
    CoverThumbnail coverThumbnail;     // that cover made small, empty without one
    ReplayGainValues replayGain;

    bool operator==(const MediaItemProperties&) const = default;
};
