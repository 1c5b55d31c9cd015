#include "platform/media/MediaFileReader.h"

#include "platform/media/MediaFile.h"

std::optional<MediaItemProperties> readMediaFile(const QString& path)
{
    // FFmpeg decides what is a song; only songs have their tags read.
    const MediaFile file(path);
    const std::optional<AudioProbeResult> probe = probeAudioFile(file);
    if (!probe)
        return std::nullopt;
    MediaItemProperties properties;
    properties.filePath = path;
    properties.playbackDuration = probe->durationSeconds;
    readTags(file, properties);
    return properties;
}
