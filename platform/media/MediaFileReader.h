#pragma once
// Reading one file of the music directory: whether FFmpeg can decode it as audio, its
// duration from the container, and its tags through TagLib.

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

// The tags of an audio file into `properties` (title falls back to the file name without
// extension). Broken or missing tags leave the fields absent; never fails. Sets
// `hasArtwork` when an embedded cover exists.
void readTags(const MediaFile& file, MediaItemProperties& properties);
void readTags(const QString& path, MediaItemProperties& properties);

// The encoded bytes of the file's embedded cover (front cover first, else the first
// picture); empty when there is none.
QByteArray readEmbeddedCover(const QString& path);

// Both of the above on one open file, as the scan does it; nullopt when the file is not
// decodable audio.
std::optional<MediaItemProperties> readMediaFile(const QString& path);
