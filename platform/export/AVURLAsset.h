#pragma once
// An asset: the audio of one library song, opened on its asset URL (a file URL). Its
// tracks are read with FFmpeg when first asked for; each audio track carries the stream
// description of its source format, which the import uses to choose the export's file
// type and the engine's channel count.

#include "platform/audiofile/ExtAudioFile.h"  // the reader's format ids: kAudioFormatFLAC, ...
#include "platform/coreaudio/CoreAudioTypes.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <mutex>
#include <optional>

inline const QString AVMediaTypeAudio = QStringLiteral("soun");
inline const QString AVMediaTypeVideo = QStringLiteral("vide");

// One track of an asset. An audio track has exactly one format description; a video
// track (such as an attached cover picture) has none.
class AVAssetTrack {
public:
    AVAssetTrack(QString mediaType, QList<AudioStreamBasicDescription> formatDescriptions)
        : m_mediaType(std::move(mediaType)), m_formatDescriptions(std::move(formatDescriptions)) {}

    const QString& mediaType() const { return m_mediaType; }
    const QList<AudioStreamBasicDescription>& formatDescriptions() const { return m_formatDescriptions; }

private:
    QString m_mediaType;
    QList<AudioStreamBasicDescription> m_formatDescriptions;
};

// Reads the source format of the container's first stream of each kind.
//   mFormatID: 'aac ', 'alac', '.mp3', 'lpcm', 'flac', 'vorb', 'opus', or for anything
//              else FFmpeg decodes the codec's own tag, else the first four letters of
//              the name of FFmpeg's decoder for it; 0 when FFmpeg cannot decode it
//   mFormatFlags (lpcm): signed integer 4 or float 1, packed 8, big-endian 2
//   mChannelsPerFrame: the stream's channel count; mSampleRate: its rate
//   mBitsPerChannel, mBytesPerFrame, mBytesPerPacket: the sample layout for lpcm, 0 for
//              compressed formats; mFramesPerPacket: the codec's frame size where known
class AVURLAsset {
public:
    // An asset on `url` with no options. Nothing is read until the tracks are asked for.
    // The URL's path is taken as the file system's bytes (see LocalFileURL.h).
    static std::shared_ptr<AVURLAsset> URLAssetWithURL(const QUrl& url);
    explicit AVURLAsset(QUrl url);

    const QUrl& URL() const { return m_url; }

    // The tracks of the given media type, in stream order. An asset whose URL is empty,
    // not a local file, or not readable as a media container has no tracks.
    QList<AVAssetTrack> tracksWithMediaType(const QString& mediaType) const;

private:
    void loadTracks() const;

    QUrl m_url;
    mutable std::once_flag m_loaded;
    mutable QList<AVAssetTrack> m_tracks;
};
