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
std::optional<AudioProbeResult> probeAudioFile(const QString& path);

// The tags of a file into `properties` (title falls back to the file name without
// extension). Broken or missing tags leave the fields absent. Sets `hasArtwork` when an
// embedded cover exists. True when TagLib recognises the file as audio (a known format
// with a sample rate and channels).
bool readTags(const MediaFile& file, MediaItemProperties& properties);

// The encoded bytes of the file's embedded cover (front cover first, else the first
// picture); empty when there is none.
QByteArray readEmbeddedCover(const QString& path);

// A song's properties as the scan reads them from one open file; nullopt when the file is
// not audio. The duration is left unknown (negative) when TagLib recognised the file.
std::optional<MediaItemProperties> readMediaFile(const QString& path);
