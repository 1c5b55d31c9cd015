#include "platform/export/AVAssetExportSession.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/foundation/SafeFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> g_startDelayMs{0};
std::atomic<bool> g_cloneAllowed{true};

// Whether a passthrough copy of a source with this format may be labelled with this type.
bool fileTypeSuitsFormat(const QString& type, UInt32 formatID)
{
    switch (formatID) {
    case kAudioFormatMPEG4AAC:
    case kAudioFormatAppleLossless:
        return type == AVFileTypeAppleM4A || type == AVFileTypeQuickTimeMovie;
    case kAudioFormatMPEGLayer3:
        return type == AVFileTypeQuickTimeMovie;
    case kAudioFormatLinearPCM:
        return type == AVFileTypeAIFF || type == AVFileTypeWAVE;
    case kAudioFormatFLAC:
        return type == AVFileTypeFLAC;
    case kAudioFormatVorbis:
        return type == AVFileTypeOggVorbis;
    case kAudioFormatOpus:
        return type == AVFileTypeOpus;
    default:
        // Any other format the reader decodes goes out in its own container as it came.
        return formatID != 0 && type == AVFileTypeAudio;
    }
}

} // namespace

std::shared_ptr<AVAssetExportSession> AVAssetExportSession::exportSessionWithAsset(
    std::shared_ptr<AVURLAsset> asset, const QString& presetName)
{
    return std::make_shared<AVAssetExportSession>(std::move(asset), presetName);
}

AVAssetExportSession::AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName)
    : m_asset(std::move(asset)), m_presetName(std::move(presetName))
{
}

void AVAssetExportSession::setOutputFileType(const QString& type)
{
    std::lock_guard lock(m_mutex);
    m_outputFileType = type;
}

QString AVAssetExportSession::outputFileType() const
{
    std::lock_guard lock(m_mutex);
    return m_outputFileType;
}

void AVAssetExportSession::setOutputURL(const QUrl& url)
{
    std::lock_guard lock(m_mutex);
    m_outputURL = url;
}

QUrl AVAssetExportSession::outputURL() const
{
    std::lock_guard lock(m_mutex);
    return m_outputURL;
}

void AVAssetExportSession::setShouldOptimizeForNetworkUse(bool on)
{
    std::lock_guard lock(m_mutex);
    m_optimizeForNetworkUse = on;
}

bool AVAssetExportSession::shouldOptimizeForNetworkUse() const
{
    std::lock_guard lock(m_mutex);
    return m_optimizeForNetworkUse;
}

NSError AVAssetExportSession::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void AVAssetExportSession::setStartDelayForTesting(int milliseconds)
{
    g_startDelayMs.store(milliseconds > 0 ? milliseconds : 0);
}

void AVAssetExportSession::setCloneAllowedForTesting(bool allowed)
{
    g_cloneAllowed.store(allowed);
}

void AVAssetExportSession::exportAsynchronouslyWithCompletionHandler(std::function<void()> handler)
{
    if (m_started.exchange(true))
        return;
    AVAssetExportSessionStatus expected = AVAssetExportSessionStatusUnknown;
    m_status.compare_exchange_strong(expected, AVAssetExportSessionStatusWaiting);
    // The worker holds the session until the handler has returned.
    const int delayMs = g_startDelayMs.load();
    std::thread([self = shared_from_this(), handler = std::move(handler), delayMs]() mutable {
        self->run(std::move(handler), delayMs);
    }).detach();
}

void AVAssetExportSession::cancelExport()
{
    m_cancelRequested.store(true);
    // A session that never started ends at once; a running one notices at its next step.
    AVAssetExportSessionStatus expected = AVAssetExportSessionStatusUnknown;
    m_status.compare_exchange_strong(expected, AVAssetExportSessionStatusCancelled);
}

void AVAssetExportSession::fail(long code, const QString& description)
{
    {
        std::lock_guard lock(m_mutex);
        m_error = NSError{code, description};
    }
    m_status.store(AVAssetExportSessionStatusFailed);
}

void AVAssetExportSession::run(std::function<void()> handler, int delayMs)
{
    const auto finish = [&] {
        if (handler)
            handler();
    };
    if (m_cancelRequested.load()) {
        m_status.store(AVAssetExportSessionStatusCancelled);
        finish();
        return;
    }
    m_status.store(AVAssetExportSessionStatusExporting);

    for (int waited = 0; waited < delayMs && !m_cancelRequested.load(); waited += 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));

    const QString type = outputFileType();
    const QUrl target = outputURL();
    const QList<AVAssetTrack> tracks = m_asset ? m_asset->tracksWithMediaType(AVMediaTypeAudio) : QList<AVAssetTrack>{};

    if (m_presetName != AVAssetExportPresetPassthrough) {
        fail(AVErrorExportFailed, QStringLiteral("Only passthrough exports are supported"));
    } else if (tracks.isEmpty() || tracks.first().formatDescriptions().isEmpty()) {
        fail(AVErrorNoSourceTrack, QStringLiteral("The source has no audio track"));
    } else if (type.isEmpty()) {
        fail(AVErrorInvalidOutputFileType, QStringLiteral("No output file type was set"));
    } else if (!fileTypeSuitsFormat(type, tracks.first().formatDescriptions().first().mFormatID)) {
        fail(AVErrorFileFormatNotRecognized,
             QStringLiteral("The source's audio format cannot be exported as %1").arg(type));
    } else if (target.isEmpty() || !target.isLocalFile()) {
        fail(AVErrorInvalidOutputURL, QStringLiteral("The output URL is not a local file"));
    } else if (copyFile(pathBytesOfFileURL(m_asset->URL()), pathBytesOfFileURL(target))) {
        m_status.store(AVAssetExportSessionStatusCompleted);
    } else if (m_cancelRequested.load()) {
        m_status.store(AVAssetExportSessionStatusCancelled);
    }
    finish();
}

bool AVAssetExportSession::copyFile(const QByteArray& from, const QByteArray& to)
{
    // Only a regular file, opened without waiting: a FIFO put in a song's place must not
    // block the export.
    const int source = openRegularFile(from.constData());
    if (source < 0) {
        fail(AVErrorUnknown, QStringLiteral("Cannot read %1: %2")
                                 .arg(displayNameOfPathBytes(from), QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    // The copy is written beside the target, synced, and renamed over it only when
    // complete.
    ReplacingFile target(to.toStdString());
    if (target.descriptor() < 0) {
        const int error = errno;
        ::close(source);
        fail(AVErrorInvalidOutputURL, QStringLiteral("Cannot write %1: %2")
                                          .arg(displayNameOfPathBytes(to), QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    const FileCopyResult copy = cloneOrCopyFile(source, target.descriptor(), m_cancelRequested, g_cloneAllowed.load());
    ::close(source);
    if (copy.ok && target.commit()) {
        m_copyMethod.store(copy.method);
        return true;
    }
    const int error = errno;
    if (copy.cancelled)
        return false;
    const QString reason = copy.ok ? QString::fromLocal8Bit(std::strerror(error)) : QString::fromStdString(copy.error);
    fail(AVErrorUnknown, QStringLiteral("Cannot copy %1 to %2: %3")
                             .arg(displayNameOfPathBytes(from), displayNameOfPathBytes(to), reason));
    return false;
}
