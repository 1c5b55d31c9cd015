#include "platform/media/MediaFileReader.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/media/MediaFile.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

MediaFileReading readMediaFile(const QByteArray& path)
{
    MediaFileReading reading;
    const MediaFile file(path);
    if (!file.isOpen())
        return reading;  // unreadable
    MediaItemProperties& properties = reading.song;
    properties.filePath = path;
    // A file TagLib reads as audio is a song; so is every other file in which FFmpeg
    // finds audio it can decode (formats TagLib does not know, files whose tags TagLib
    // cannot make sense of). FFmpeg gives the duration in both cases: TagLib's lengths
    // are off by tens of milliseconds.
    QByteArray cover;
    const bool taggedAudio = readTags(file, properties, &cover);
    const std::optional<AudioProbeResult> probe = probeAudioFile(file);
    if (!taggedAudio && !probe) {
        reading.kind = MediaFileKind::NotAudio;
        return reading;
    }
    reading.kind = MediaFileKind::Song;
    properties.playbackDuration = probe ? probe->durationSeconds : 0.0;
    if (!cover.isEmpty())
        properties.coverThumbnail = CoverThumbnail(makeCoverThumbnail(cover));
    return reading;
}

QString displayBaseName(const QByteArray& path)
{
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    return displayNameOfPathBytes(name);
}

QByteArray makeCoverThumbnail(const QByteArray& encodedCover)
{
    QBuffer input;
    input.setData(encodedCover);
    QImageReader reader(&input);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > kCoverThumbnailSide || full.height() > kCoverThumbnailSide))
        // JPEG decoders scale while decoding: far cheaper than decoding whole and scaling.
        reader.setScaledSize(full.scaled(kCoverThumbnailSide, kCoverThumbnailSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > kCoverThumbnailSide || image.height() > kCoverThumbnailSide)
        image = image.scaled(kCoverThumbnailSide, kCoverThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray thumbnail;
    QBuffer output(&thumbnail);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(85);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
        return {};
    return thumbnail;
}
