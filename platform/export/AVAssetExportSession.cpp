#include "platform/export/AVAssetExportSession.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <chrono>
#include <thread>

namespace {

std::atomic<int> g_startDelayMs{0};

constexpr qint64 kCopyChunk = 256 * 1024;

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
    default:
        return false;
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
    } else if (copyFile(m_asset->URL().toLocalFile(), target.toLocalFile())) {
        m_status.store(AVAssetExportSessionStatusCompleted);
    } else if (m_cancelRequested.load()) {
        m_status.store(AVAssetExportSessionStatusCancelled);
    }
    finish();
}

bool AVAssetExportSession::copyFile(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        fail(AVErrorUnknown, QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
        return false;
    }
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly)) {
        fail(AVErrorInvalidOutputURL, QStringLiteral("Cannot write %1: %2").arg(to, target.errorString()));
        return false;
    }
    QByteArray chunk;
    while (!source.atEnd()) {
        if (m_cancelRequested.load()) {
            target.cancelWriting();
            return false;
        }
        chunk = source.read(kCopyChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            target.cancelWriting();
            fail(AVErrorUnknown, QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
            return false;
        }
        if (target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            fail(AVErrorUnknown, QStringLiteral("Cannot write %1: %2").arg(to, target.errorString()));
            return false;
        }
    }
    if (m_cancelRequested.load()) {
        target.cancelWriting();
        return false;
    }
    if (!target.commit()) {
        fail(AVErrorUnknown, QStringLiteral("Cannot write %1: %2").arg(to, target.errorString()));
        return false;
    }
    return true;
}
