#include "platform/media/MediaFileReader.h"

std::optional<MediaItemProperties> readMediaFile(const QString& path)
{
    // FFmpeg decides what is a song; only songs have their tags read.
    const std::optional<AudioProbeResult> probe = probeAudioFile(path);
    if (!probe)
        return std::nullopt;
    MediaItemProperties properties;
    properties.filePath = path;
    properties.playbackDuration = probe->durationSeconds;
    readTags(path, properties);
    return properties;
}
