// The song after the current one, prepared while the current one plays so that the engine
// goes straight on to it: which song the play modes make next, its import into a second
// file and a second reader, discarding it when it stops being the right one, the screen's
// move to it once the engine has moved on, and songs that cannot be played.
//
// Threads: everything here runs on the main thread except preparedExportFinished, which
// runs on the export's completion thread and hands its screen-free result back.

#include "player/TavoroViewController.h"

#include "player/ExportChoice.h"

#include <QDir>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>

std::optional<int> TavoroViewController::nextRowByPlayMode() const
{
    const int n = queueLength();
    if (n == 0 || SeclectMusicRow < 0 || SeclectMusicRow >= n)
        return std::nullopt;
    if (PlayModeFlag == 2)
        return SeclectMusicRow;
    if (SeclectMusicRow + 1 < n)
        return SeclectMusicRow + 1;
    if (PlayModeFlag == 1)
        return 0;
    return std::nullopt;
}

void TavoroViewController::prepareNextSong()
{
    discardPreparedSong();
    if (song.isNull() || !mGraphController->mfileLoadStateFlag())
        return;
    const std::optional<int> row = nextRowByPlayMode();
    if (!row)
        return;
    const MusicList& queue = enableShuffleMode ? currentShufflePlayListArray : currentPlayListArray;
    const MPMediaItem next = queue[*row].song();
    auto asset = AVURLAsset::URLAssetWithURL(next.isNull() ? QUrl() : next.assetURL());
    const QList<AVAssetTrack> tracks = asset->tracksWithMediaType(AVMediaTypeAudio);
    if (tracks.isEmpty() || tracks.first().formatDescriptions().isEmpty())
        return; // the end of the current song takes the usual road, which reports it
    const AudioStreamBasicDescription source = tracks.first().formatDescriptions().first();
    const ExportChoice choice = exportChoiceFor(source, asset->URL());

    // The song that plays keeps its file: the next one goes to the other of two names, so
    // that the open reader never finds its file replaced (it reopens it to go back to the
    // start of some formats).
    const QString extension = choice.extension.isEmpty() ? QString() : QStringLiteral(".") + choice.extension;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    QString target = QDir(dir).filePath(QStringLiteral("music") + extension);
    if (target == mPlayingExportPath)
        target = QDir(dir).filePath(QStringLiteral("music-next") + extension);
    myDeleteFile(target);

    mPreparedRow = *row;
    mPreparedSong = next;
    mPreparedExportPath = target;
    const uint64_t number = mPrepareNumber.load();
    auto session = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetPassthrough);
    session->setOutputFileType(choice.fileType);
    session->setOutputURL(QUrl::fromLocalFile(target));
    mPrepareSession = session;

    const bool needsOneChannel = source.mFormatID == kAudioFormatMPEG4AAC && source.mChannelsPerFrame != 2;
    // The song's leveling gain goes with its reader, so it applies from its first frame.
    const int32_t playbackGain = levelingGainOf(next);
    auto gate = mCompletionGate;
    std::weak_ptr<AVAssetExportSession> weakSession = session;
    session->exportAsynchronouslyWithCompletionHandler([this, gate, weakSession, number, needsOneChannel,
                                                        playbackGain] {
        if (!gate->enter())
            return;
        if (auto finished = weakSession.lock())
            preparedExportFinished(finished, number, needsOneChannel, playbackGain);
        gate->leave();
    });
}

void TavoroViewController::preparedExportFinished(const std::shared_ptr<AVAssetExportSession>& session,
                                                  uint64_t number, bool needsOneChannel, int32_t playbackGain)
{
    // One completion at a time, so that a stale one's discard below cannot remove the
    // reader of a newer one.
    std::lock_guard prepareLock(mPrepareMutex);
    if (number != mPrepareNumber.load() || session->status() != AVAssetExportSessionStatusCompleted)
        return;
    // A song that needs the other channel layout cannot follow without the graph being
    // reconfigured: the end of the current song takes the usual road.
    if (needsOneChannel != AACChannelChnageType.load())
        return;
    PlayerEngine& engine = *mGraphController;
    if (!engine.prepareNextFile(session->outputURL(), playbackGain))
        return;
    // Discarded meanwhile: the main thread moved the number on before it emptied the
    // engine's slot, so either it removed this reader or this check sees the new number.
    if (number != mPrepareNumber.load())
        engine.discardNextFile();
}

void TavoroViewController::discardPreparedSong()
{
    ++mPrepareNumber;
    mPreparedRow = -1;
    mPreparedSong = MPMediaItem();
    if (mPrepareSession) {
        mPrepareSession->cancelExport();
        mPrepareSession.reset();
    }
    mGraphController->discardNextFile();
}

void TavoroViewController::movedOnToPreparedSong()
{
    // The engine plays the prepared song already: the screen, the queue position and the
    // list follow it. The effects keep their state, and the graph is not touched.
    const int row = mPreparedRow;
    mAutoMove = true;
    mPreparedRow = -1;
    mPreparedSong = MPMediaItem();
    mPrepareSession.reset();
    mPlayingExportPath = mPreparedExportPath;
    SeclectMusicRow = row;
    showSong(row);
    setSliderMaximum(mGraphController->frameCount());
    setPlayOrPauseButtonImage(true);
    infoButtonItem->setHidden(false);
    reloadListView();
    prepareNextSong();
}

void TavoroViewController::importFailed()
{
    // A song that cannot be imported, opened or decoded: the alert once (an alert still
    // open stands for it), the player shown as not playing at position 0.
    setSliderValue(0);
    setSliderMaximum(0);
    const bool automatic = mAutoMove;
    mAlertMovesOn = !automatic;
    if (mFileErrorAlert && mFileErrorAlert->isVisible())
        setPlayOrPauseButtonImage(false);
    else
        fileOpenErrorAlertView();
    if (!automatic)
        return;
    // The player moved on by itself: it skips the song, and stops after one pass through
    // the queue found nothing playable.
    if (++mUnplayableInARow >= queueLength()) {
        mAutoMove = false;
        mUnplayableInARow = 0;
        if (mGraphController->isPlaying())
            mGraphController->stopAUGraph();
        return;
    }
    skipToNextSong();
}

void TavoroViewController::skipToNextSong()
{
    // One-track repeat would reload the damaged file; move on to the next song instead.
    const uint8_t mode = PlayModeFlag;
    if (PlayModeFlag == 2)
        PlayModeFlag = 0;
    MusicPlaybackState();
    PlayModeFlag = mode;
}

void TavoroViewController::preparedSongFollowsModes()
{
    // A change of shuffle or repeat may make another song the next one.
    const std::optional<int> row = nextRowByPlayMode();
    const MusicList& queue = enableShuffleMode ? currentShufflePlayListArray : currentPlayListArray;
    if (row && *row == mPreparedRow && queue[*row].song() == mPreparedSong)
        return;
    prepareNextSong();
}
