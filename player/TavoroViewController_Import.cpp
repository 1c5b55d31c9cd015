// The track import: the chosen song's file is exported unchanged to "music" plus the
// extension of its format in the application's data directory; when the export completes
// the engine closes the old file, opens the new one and starts.

#include "player/TavoroViewController.h"

#include "player/ExportChoice.h"
#include "player/PlayerImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>



void TavoroViewController::backgroundThread()
{
    // Background execution time is not rationed on this platform: the request is only
    // numbered, and nothing ever expires it.
    ++bgTask;
}

void TavoroViewController::myDeleteFile(const QString& path)
{
    if (QFile::exists(path))
        QFile::remove(path);
}

QString TavoroViewController::exportFilePath() const
{
    std::lock_guard lock(mExportMutex);
    return filePath;
}

std::shared_ptr<AVAssetExportSession> TavoroViewController::currentExportSession() const
{
    std::lock_guard lock(mExportMutex);
    return exportSession;
}

void TavoroViewController::FileOpenAndFilePlay()
{
    PlayerEngine& engine = *mGraphController;
    // Whatever was prepared to follow the last song does not follow this one.
    discardPreparedSong();
    engine.setFileLoadStartFlag();
    backgroundThread();

    assetURL = song.isNull() ? QUrl() : song.assetURL();
    songAsset = AVURLAsset::URLAssetWithURL(assetURL);

    // Only the newest import may open its file: the one before it is cancelled, and its
    // completion, should it still arrive, changes nothing.
    uint64_t importNumber;
    {
        // Waits for a completion that is opening and starting its song, so that this
        // import either stops it from starting or comes after it.
        std::lock_guard importLock(mImportMutex);
        importNumber = ++mImportNumber;
    }
    auto session = AVAssetExportSession::exportSessionWithAsset(songAsset, AVAssetExportPresetPassthrough);
    {
        std::lock_guard lock(mExportMutex);
        if (exportSession)
            exportSession->cancelExport();
        exportSession = session;
    }

    const QList<AVAssetTrack> tracks = songAsset->tracksWithMediaType(AVMediaTypeAudio);
    if (tracks.isEmpty() || tracks.first().formatDescriptions().isEmpty()) {
        // A file with nothing the player can decode is said as a failed export is, and as
        // late; an item that names no file at all ends the import silently.
        if (!assetURL.isEmpty())
            onMainThread(importNumber, [this] { importFailed(); });
        return;
    }
    const AudioStreamBasicDescription source = tracks.first().formatDescriptions().first();
    const ExportChoice choice = exportChoiceFor(source, assetURL);
    session->setOutputFileType(choice.fileType);

    docDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(docDir);
    const QString target = QDir(docDir).filePath(
        choice.extension.isEmpty() ? QStringLiteral("music") : QStringLiteral("music.") + choice.extension);
    {
        std::lock_guard lock(mExportMutex);
        filePath = target;
    }
    myDeleteFile(target);

    exportURL = QUrl::fromLocalFile(target);
    session->setOutputURL(exportURL);
    session->setShouldOptimizeForNetworkUse(true);

    const int dockingSetting = settingValue(DockingoModeChangeKey);
    // The song's leveling gain goes into the reader with the file.
    const int32_t playbackGain = levelingGainOf(song);
    const UInt32 formatID = source.mFormatID;
    const UInt32 channels = source.mChannelsPerFrame;
    auto gate = mCompletionGate;
    std::weak_ptr<AVAssetExportSession> weakSession = session;
    session->exportAsynchronouslyWithCompletionHandler([this, gate, weakSession, formatID, channels,
                                                        importNumber, dockingSetting, playbackGain] {
        if (!gate->enter())
            return;
        if (auto finished = weakSession.lock()) {
            // The newest-import check and the open and start it allows are one step.
            std::lock_guard importLock(mImportMutex);
            exportFinished(finished, formatID, channels, importNumber, dockingSetting, playbackGain);
        }
        gate->leave();
    });
}

void TavoroViewController::exportFinished(const std::shared_ptr<AVAssetExportSession>& session, UInt32 formatID,
                                          UInt32 channels, uint64_t importNumber, int dockingSetting,
                                          int32_t playbackGain)
{
    if (importNumber != mImportNumber.load())
        return;
    const AVAssetExportSessionStatus status = session->status();
    if (status == AVAssetExportSessionStatusFailed) {
        const NSError error = session->error();
        (void)error;
        onMainThread(importNumber, [this] { importFailed(); });
        return;
    }
    if (status != AVAssetExportSessionStatusCompleted)
        return;

    PlayerEngine& engine = *mGraphController;
    if (engine.isPlaying())
        engine.stopAUGraph();
    engine.CloseFile();

    if (formatID == kAudioFormatMPEG4AAC && channels != 2) {
        engine.InputStremFormatChange(1);
        AACChannelChnageType = true;
    } else if (AACChannelChnageType) {
        engine.InputStremFormatChange(2);
        AACChannelChnageType = false;
    }
    onMainThread(importNumber, [this] { infoButtonItem->setHidden(false); });

    if (!engine.loadFiles(session->outputURL(), playbackGain)) {
        onMainThread(importNumber, [this] { importFailed(); });
        return;
    }
    const int64_t length = engine.frameCount();
    const QString opened = session->outputURL().toLocalFile();
    onMainThread(importNumber, [this, length, opened] {
        setPlayOrPauseButtonImage(true);
        setSliderMaximum(length);
        mPlayingExportPath = opened;
        mUnplayableInARow = 0;
        prepareNextSong();
    });
    if (importNumber == mImportNumber.load())
        engine.startAUGraph(dockingSetting);
}

void TavoroViewController::onMainThread(uint64_t importNumber, std::function<void()> work)
{
    std::weak_ptr<int> alive = mAlive;
    RunLoop::performOnMainThread([this, alive, importNumber, work = std::move(work)] {
        // The screen has moved on to another song, or the controller is gone.
        if (alive.lock() && importNumber == mImportNumber.load())
            work();
    }, false);
}

void TavoroViewController::fileOpenErrorAlertView()
{
    if (mFileErrorAlert) {
        // One alert at a time: the new one replaces it, so OK moves on only once.
        mFileErrorAlert->disconnect(this);
        mFileErrorAlert->deleteLater();
    }
    auto* alert = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("NOTICE!"),
                                  QStringLiteral("We can't play this music file because we found that there is "
                                                 "some error in this file."),
                                  QMessageBox::NoButton, this);
    alert->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::finished, this, [this, alert] { alertView(alert, 0); });
    mFileErrorAlert = alert;
    alert->open();
    setPlayOrPauseButtonImage(false);
}

void TavoroViewController::fileClose()
{
    InitPlayViewItem();
    mGraphController->CloseFile();
    infoButtonItem->setHidden(true);
}
