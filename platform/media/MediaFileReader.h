#pragma once
// Reading one file of the music directory: whether it is audio (TagLib's reading, else
// FFmpeg's), its tags through TagLib, and its duration from FFmpeg's container reading.

#include "platform/media/MediaItemProperties.h"

#include <QByteArray>
#include <QString>

#include <optional>

class MediaFile;

// FFmpeg's view of a file: nullopt when it is not decodable audio (unknown format, no
// audio stream with a decoder, unreadable). The duration is read from the container's
// headers; the stream info is probed (a few packets) only when the headers lack it.
struct AudioProbeResult {
    double durationSeconds = 0.0;
};
std::optional<AudioProbeResult> probeAudioFile(const MediaFile& file);
std::optional<AudioProbeResult> probeAudioFile(const QByteArray& path);

// The tags of a file into `properties` (title falls back to the file name without
// extension). Broken or missing tags leave the fields absent. Sets `hasArtwork` when an
// embedded cover exists, and puts its encoded bytes into `cover` when given. True when
// TagLib recognises the file as audio (a known format with a sample rate and channels).
bool readTags(const MediaFile& file, MediaItemProperties& properties, QByteArray* cover = nullptr);

// The file name of `path` without directory and extension, readable (see
// displayNameOfPathBytes).
QString displayBaseName(const QByteArray& path);

// A small cover (at most kCoverThumbnailSide pixels on its longer side, JPEG) made from an
// encoded cover; empty when the cover cannot be decoded.
constexpr int kCoverThumbnailSide = 96;
QByteArray makeCoverThumbnail(const QByteArray& encodedCover);

// The encoded bytes of the file's embedded cover (front cover first, else the first
// picture); empty when there is none.
QByteArray readEmbeddedCover(const QByteArray& path);

// What reading one file of the music directory found.
enum class MediaFileKind { Song, NotAudio, Unreadable };
struct MediaFileReading {
    MediaFileKind kind = MediaFileKind::Unreadable;
    MediaItemProperties song;  // for a song: tags, duration and cover thumbnail
};

// A song's properties as the scan reads them from one open file: its tags, its duration
// (FFmpeg) and a thumbnail of its cover, so that nothing needs the file again until it
// is played.
MediaFileReading readMediaFile(const QByteArray& path);
