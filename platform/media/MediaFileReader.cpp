#include "platform/media/MediaFileReader.h"

#include "platform/media/MediaFile.h"

std::optional<MediaItemProperties> readMediaFile(const QString& path)
{
    const MediaFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    MediaItemProperties properties;
    properties.filePath = path;
    // A file TagLib reads as audio is a song; its duration comes from FFmpeg when first
    // asked for. Every other file is a song when FFmpeg finds audio it can decode in it:
    // formats TagLib does not know, and files whose tags TagLib cannot make sense of.
    if (readTags(file, properties))
        return properties;
    const std::optional<AudioProbeResult> probe = probeAudioFile(file);
    if (!probe)
        return std::nullopt;
    properties.playbackDuration = probe->durationSeconds;
    return properties;
}
