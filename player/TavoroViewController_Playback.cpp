// The playback controller: play and pause, the position report and the time labels,
// seeking with the slider, the display of the current song, and the end of a track.

#include "player/TavoroViewController.h"

#include "player/PlaybackTimeFormat.h"
#include "player/PlayerImages.h"

#include "engine/MusicPlayTimerNotification.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

void TavoroViewController::setPlayOrPauseButtonImage(bool playing)
{
    if (!playOrPauseToggleButton)  // the control strip is not built yet
        return;
    setButtonImage(playOrPauseToggleButton, playing ? QStringLiteral("stop.png") : QStringLiteral("play.png"));
    emit playButtonStateChanged(playing);
}

void TavoroViewController::setSliderMaximum(int64_t frames)
{
    playbackSlider->setMaximum(int(std::clamp<int64_t>(frames, 0, INT32_MAX)));
}

void TavoroViewController::setSliderValue(int64_t frames)
{
    playbackSlider->setValue(int(std::clamp<int64_t>(frames, 0, INT32_MAX)));
}

void TavoroViewController::showPlaybackTimes(int64_t position)
{
    currentduration->setText(elapsedTimeText(position));
    playbackTimeLabel->setText(remainingTimeText(mGraphController->frameCount(), position));
}

void TavoroViewController::showHeardPosition()
{
    if (playbackSlider->maximum() == 0)
        return;
    const int64_t position = mGraphController->heardFrame();
    if (position <= 0) // the song has not been heard yet: nothing to move
        return;
    PlayTime.store(position, std::memory_order_relaxed);
    setSliderValue(position);
    showPlaybackTimes(position);
}

void TavoroViewController::updatingPlaybakcTime(const Notification& notification)
{
    const int64_t position = notification.userInfo.value(MusicPlayTimerKey).toLongLong();
    const bool finished = notification.userInfo.value(MusciPlayfinishKey).toInt() != 0;
    const bool movedOn = notification.userInfo.value(MusicPlayMovedOnKey).toInt() != 0;
    const bool readFailed = notification.userInfo.value(MusicPlayReadFailedKey).toInt() != 0;
    PlayTime.store(position, std::memory_order_relaxed);

    // The engine posts both reports on the main thread. A report posted on any other thread
    // is queued to the main thread, never waited for: the poster may be a thread the main
    // thread itself waits for when it stops or starts the graph.
    auto work = [this, position, finished, movedOn, readFailed] {
        if (readFailed) {
            importFailed();
            return;
        }
        if (movedOn) {
            // The engine went on to the song prepared behind this one; when that song was
            // discarded meanwhile (the user moved elsewhere), the user's move stands.
            if (mPreparedRow >= 0)
                movedOnToPreparedSong();
            return;
        }
        if (position != 0) {
            setSliderValue(position);
            showPlaybackTimes(position);
        }
        if (finished)
            MusicPlaybackState();
    };
    if (RunLoop::isMainThread()) {
        work();
        return;
    }
    std::weak_ptr<int> alive = mAlive;
    RunLoop::performOnMainThread([alive, work] {
        if (alive.lock())
            work();
    }, false);
}

void TavoroViewController::MusicPlaybackState()
{
    PlayerEngine& engine = *mGraphController;
    discardPreparedSong();
    mAutoMove = true;
    setSliderValue(0);
    setSliderMaximum(0);
    engine.QBSInit();
    if (engine.isPlaying())
        engine.stopAUGraph();
    setPlayOrPauseButtonImage(false);

    if (PlayModeFlag == 2) {
        fileClose();
        SelectMusicPlay(SeclectMusicRow);
        FileOpenAndFilePlay();
        setPlayOrPauseButtonImage(true);
        return;
    }

    const int n = queueLength();
    bool moved = false;
    if (n > 1) {
        ++SeclectMusicRow;
        moved = SeclectMusicRow < n;
    }
    if (!moved) {
        if (n > 1)
            SeclectMusicRow = 0;
        if (returnToTheList())
            return;
        // An empty queue has nothing to repeat.
        if (n == 0)
            return;
    }
    fileClose();
    SelectMusicPlay(SeclectMusicRow);
    FileOpenAndFilePlay();
    setPlayOrPauseButtonImage(true);
    infoButtonItem->setHidden(false);
    reloadListView();
}

void TavoroViewController::buttonPressedAction(int tag)
{
    PlayerEngine& engine = *mGraphController;
    if (tag == 2) {
        previousPressed();
        return;
    }
    if (tag == 3) {
        nextPressed();
        return;
    }
    if (tag != 1)
        return;

    if (song.isNull() || !engine.mfileLoadStateFlag())
        return;
    if (engine.isPlaying()) {
        engine.stopAUGraph();
        setPlayOrPauseButtonImage(false);
        showHeardPosition();
        return;
    }
    if (settingValue(SpeedPitchOnOffKey) == 2)
        engine.setSpeedPitch(1, settingValue(SpeedPitchSpeedKey));
    engine.startAUGraph(settingValue(DockingoModeChangeKey));
    setPlayOrPauseButtonImage(true);
}

void TavoroViewController::SeekSlider()
{
    if (playbackSlider->maximum() == 0)
        return;
    const int64_t position = playbackSlider->value();
    showPlaybackTimes(position);
    mGraphController->FileSeek(position);
}

void TavoroViewController::SeekSliderEditEnd()
{
    mGraphController->LockSeekChange(false);
    if (playbackSlider->maximum() != 0)
        emit positionJumped(playbackSlider->value());
}

void TavoroViewController::reloadMediaItemView()
{
    currentArtist->setText(song.artist().value_or(QString()));
    currentAlbum->setText(song.albumTitle().value_or(QString()));
    currentTitle->setText(song.isNull() ? QString() : song.title());

    showArtwork();

    playbackTimeLabel->setText(songLengthText(song.isNull() ? 0.0 : song.playbackDuration()));
    currentduration->setText(elapsedTimeText(0));
    setPlayOrPauseButtonImage(false);

    LyricsView->setHidden(true);
    const auto lyrics = song.isNull() ? std::nullopt : song.lyrics();
    if (lyrics && !lyrics->isEmpty()) {
        LyricsView->setPlainText(*lyrics);
        LyricsView->setHidden(false);
    }
}

void TavoroViewController::showArtwork()
{
    // Drawn for the screen's pixels, so that a cover stays sharp at any pixel ratio.
    const qreal ratio = coverArtView->devicePixelRatioF();
    const MPMediaItemArtwork artwork = song.isNull() ? MPMediaItemArtwork() : song.artwork();
    QImage cover = artwork.isNull() ? QImage() : artwork.imageWithSize(coverArtView->size() * ratio);
    if (cover.isNull()) {
        setViewImage(coverArtView, QStringLiteral("noimage_pro.png"));
    } else {
        cover.setDevicePixelRatio(ratio);
        coverArtView->setPixmap(QPixmap::fromImage(cover));
        coverArtView->setProperty(kImageNameProperty, QString());
    }
    reflectionView->setPixmap(QPixmap::fromImage(reflectedImage(coverArtView, coverArtView->height())));
}

void TavoroViewController::InitPlayViewItem()
{
    currentTitle->setText(QString());
    currentArtist->setText(QString());
    currentAlbum->setText(QString());
    setViewImage(coverArtView, QStringLiteral("noimage_pro.png"));
    setSliderValue(0);
}

void TavoroViewController::PlayStop()
{
    PlayerEngine& engine = *mGraphController;
    if (engine.mfileLoadStateFlag() && engine.isPlaying()) {
        engine.stopAUGraph();
        setPlayOrPauseButtonImage(false);
        showHeardPosition();
    }
}

void TavoroViewController::stopForInterruption()
{
    backgroundThread();
    PlayerEngine& engine = *mGraphController;
    if (engine.isPlaying()) {
        engine.stopAUGraph();
        InterruptPlayStopFlag = true;
        showHeardPosition();
    }
    setPlayOrPauseButtonImage(false);
}

void TavoroViewController::playstart()
{
    if (InterruptPlayStopFlag) {
        if (!song.isNull()) {
            mGraphController->startAUGraph(settingValue(DockingoModeChangeKey));
            setPlayOrPauseButtonImage(true);
        }
    }
    InterruptPlayStopFlag = false;
}

void TavoroViewController::alertView(QMessageBox* /*alert*/, int buttonIndex)
{
    // After a song the player skipped by itself, OK only closes the alert.
    if (buttonIndex != 0 || !mAlertMovesOn)
        return;
    if (queueLength() < 2) {
        infoButtonItem->setHidden(true);
        if (isPlayerViewOnScreen())
            flipInfoAction();
        song = MPMediaItem();
        emit songChanged();
        return;
    }
    skipToNextSong();
}

void TavoroViewController::setUIDefaults()
{
    mGraphController->setInputVolume(0, 1.0f);
    mGraphController->setOutputVolume(12.0f);
}
