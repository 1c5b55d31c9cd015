#pragma once
// A passthrough export session: copies the file of an asset unchanged to a local output
// URL, on a worker thread of its own, and then calls its completion handler once, on that
// thread, with the status completed, failed or cancelled.
//
// The output file type must suit the source's format identifier:
//   'aac ', 'alac'       AVFileTypeAppleM4A (or AVFileTypeQuickTimeMovie)
//   '.mp3'               AVFileTypeQuickTimeMovie
//   'lpcm'               AVFileTypeAIFF or AVFileTypeWAVE
//   'flac'               AVFileTypeFLAC
//   'vorb'               AVFileTypeOggVorbis
//   'opus'               AVFileTypeOpus
//   any other non-zero   AVFileTypeAudio (the source's own container, as it is)
// A zero source format (not decodable), an asset without an audio track, a missing or unsuitable file
// type, a preset other than passthrough, or an output URL that is not a local file in an
// existing directory ends the export as failed, with the reason in error(). The output
// file appears only when the copy is complete (written aside, then renamed over any
// file of the same name); a failed or cancelled export leaves no partial file behind.
// The copy is a clone where the file system allows it (see FileClone.h); the source file
// is only ever opened for reading.
//
// The session keeps itself alive until its completion handler has returned, so the
// owner may drop its reference while the export runs.

#include "platform/export/AVURLAsset.h"
#include "platform/export/FileClone.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

inline const QString AVAssetExportPresetPassthrough = QStringLiteral("AVAssetExportPresetPassthrough");

inline const QString AVFileTypeAppleM4A = QStringLiteral("com.apple.m4a-audio");
inline const QString AVFileTypeQuickTimeMovie = QStringLiteral("com.apple.quicktime-movie");
inline const QString AVFileTypeAIFF = QStringLiteral("public.aiff-audio");
inline const QString AVFileTypeWAVE = QStringLiteral("com.microsoft.waveform-audio");
inline const QString AVFileTypeFLAC = QStringLiteral("org.xiph.flac");
inline const QString AVFileTypeOggVorbis = QStringLiteral("org.xiph.ogg-vorbis");
inline const QString AVFileTypeOpus = QStringLiteral("org.xiph.opus");
inline const QString AVFileTypeAudio = QStringLiteral("public.audio");

enum AVAssetExportSessionStatus {
    AVAssetExportSessionStatusUnknown,
    AVAssetExportSessionStatusWaiting,
    AVAssetExportSessionStatusExporting,
    AVAssetExportSessionStatusCompleted,
    AVAssetExportSessionStatusFailed,
    AVAssetExportSessionStatusCancelled,
};

enum AVError {
    AVErrorUnknown = -11800,
    AVErrorFileFormatNotRecognized = -11828,
    AVErrorNoSourceTrack = -11839,
    AVErrorInvalidOutputURL = -11826,
    AVErrorInvalidOutputFileType = -11843,
    AVErrorExportFailed = -11820,
};

struct NSError {
    long code = 0;
    QString localizedDescription;
};

class AVAssetExportSession : public std::enable_shared_from_this<AVAssetExportSession> {
public:
    static std::shared_ptr<AVAssetExportSession> exportSessionWithAsset(
        std::shared_ptr<AVURLAsset> asset, const QString& presetName);

    AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName);
    AVAssetExportSession(const AVAssetExportSession&) = delete;
    AVAssetExportSession& operator=(const AVAssetExportSession&) = delete;

    const std::shared_ptr<AVURLAsset>& asset() const { return m_asset; }
    const QString& presetName() const { return m_presetName; }

    // Set before the export starts; later changes are ignored by a running export.
    void setOutputFileType(const QString& type);
    QString outputFileType() const;
    void setOutputURL(const QUrl& url);
    QUrl outputURL() const;
    // Accepted for the caller's sake; a passthrough copy has nothing to rearrange.
    void setShouldOptimizeForNetworkUse(bool on);
    bool shouldOptimizeForNetworkUse() const;

    AVAssetExportSessionStatus status() const { return m_status.load(); }
    // The reason of a failed export (code 0 while there is none).
    NSError error() const;

    // Starts the export. Only the first call starts one; later calls are ignored.
    void exportAsynchronouslyWithCompletionHandler(std::function<void()> handler);
    // Ends a waiting or running export as cancelled; no effect once it has finished.
    void cancelExport();

    // Test aid: every export started afterwards waits this long (cancellable) before it
    // copies, so that a test can catch an export while it runs. 0 turns it off.
    static void setStartDelayForTesting(int milliseconds);
    // Test and benchmark aid: false makes every later export copy instead of cloning.
    static void setCloneAllowedForTesting(bool allowed);
    // How the last completed export copied its file (None before one completes).
    FileCopyMethod copyMethod() const { return m_copyMethod.load(); }

private:
    void run(std::function<void()> handler, int delayMs);
    void fail(long code, const QString& description);
    bool copyFile(const QByteArray& from, const QByteArray& to);

    std::shared_ptr<AVURLAsset> m_asset;
    QString m_presetName;
    mutable std::mutex m_mutex;  // guards the settings and the error
    QString m_outputFileType;
    QUrl m_outputURL;
    bool m_optimizeForNetworkUse = false;
    NSError m_error;
    std::atomic<AVAssetExportSessionStatus> m_status{AVAssetExportSessionStatusUnknown};
    std::atomic<bool> m_cancelRequested{false};
    std::atomic<bool> m_started{false};
    std::atomic<FileCopyMethod> m_copyMethod{FileCopyMethod::None};
};
