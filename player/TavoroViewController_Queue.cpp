// The play queue and play modes: choosing a song, next and previous, the shuffled queue,
// the repeat and shuffle buttons, their storage, and songs added with the media picker.

#include "player/TavoroViewController.h"

#include "player/PlayerImages.h"
#include "player/PlaybackTimeFormat.h"
#include "player/ShuffleOrder.h"

#include "library/DTMusicModelController.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <cstdio>

int TavoroViewController::queueLength() const
{
    return int(enableShuffleMode ? currentShufflePlayListArray.size() : currentPlayListArray.size());
}

void TavoroViewController::showQueuePosition(int position)
{
    currentPlayCountLabel->setText(QString::asprintf(" %d / %d", position, int(currentPlayListArray.size())));
}

void TavoroViewController::chooseSongAtListIndex(int listIndex)
{
    if (listIndex < 0 || listIndex >= g_itemsArray.size())
        return;
    const MPMediaItem chosen = g_itemsArray[listIndex].song();
    if (!song.isNull() && chosen == song) {
        if (!isPlayerViewOnScreen())
            flipInfoAction();
        reloadListView();
        return;
    }
    PlayerEngine& engine = *mGraphController;
    // A load still waiting from the transport buttons would follow this one.
    mChoiceLoad->cancel();
    mAutoMove = false;
    mUnplayableInARow = 0;
    if (engine.isPlaying()) {
        engine.stopAUGraph();
        engine.CloseFile();
    }
    currentPlayListArray = g_itemsArray;
    SeclectMusicRow = listIndex;
    useCollectionNum = uint32_t(listIndex);
    if (enableShuffleMode) {
        CreateShuffleArray(g_itemsArray);
        SelectMusicPlay(0);
        SeclectMusicRow = 0;
    } else {
        SelectMusicPlay(listIndex);
    }
    infoButtonItem->setHidden(false);
    FileOpenAndFilePlay();
    if (!isPlayerViewOnScreen())
        flipInfoAction();
    reloadListView();
}

void TavoroViewController::SelectMusicPlay(int index)
{
    if (settingValue(SpeedPitchOnOffKey) == 2)
        mGraphController->setSpeedPitch(1, settingValue(SpeedPitchSpeedKey));
    showSong(index);
}

void TavoroViewController::showSong(int index)
{
    setSliderMaximum(0);
    const MusicList& queue = enableShuffleMode ? currentShufflePlayListArray : currentPlayListArray;
    song = index >= 0 && index < queue.size() ? queue[index].song() : MPMediaItem();
    emit songChanged();
    // The chosen song has not played yet: "previous" now goes back, not to its start.
    PlayTime.store(0, std::memory_order_relaxed);
    showQueuePosition(index + 1);
    reloadMediaItemView();
    setPlayOrPauseButtonImage(true);
    PlayControlViewHiddenFlag = true;
}

void TavoroViewController::ChoiceMusicPlay(double delaySeconds)
{
    printf("ChoiceMusicPlay\n");
    fflush(stdout);
    mAutoMove = false;
    mUnplayableInARow = 0;
    SelectMusicPlay(SeclectMusicRow);
    mChoiceLoad->schedule(delaySeconds, [this] { FileOpenAndFilePlay(); });
}

bool TavoroViewController::choicePending() const
{
    return mChoiceLoad->isPending();
}

void TavoroViewController::nextPressed()
{
    PlayerEngine& engine = *mGraphController;
    if (song.isNull())
        return;
    discardPreparedSong();
    const int n = queueLength();
    engine.QBSInit();
    if (n == 0 || !engine.mfileLoadStateFlag())
        return;
    if (engine.isPlaying()) {
        engine.stopAUGraph();
        fileClose();
    }
    setPlayOrPauseButtonImage(false);
    InitPlayViewItem();
    if (n < 2) {
        if (returnToTheList())
            return;
    } else {
        ++SeclectMusicRow;
        printf("Next button %d, %d,maxTrackCount:%d\n", int(useCollectionNum), SeclectMusicRow, n);
        if (SeclectMusicRow >= n) {
            if (returnToTheList())
                return;
            SeclectMusicRow = 0;
        }
    }
    printf("Next button end\n");
    ChoiceMusicPlay(0.8);
    reloadListView();
}

void TavoroViewController::previousPressed()
{
    PlayerEngine& engine = *mGraphController;
    if (song.isNull())
        return;
    discardPreparedSong();
    engine.QBSInit();
    const int n = queueLength();
    if (n == 0 || !engine.mfileLoadStateFlag())
        return;
    const int64_t t = PlayTime.load(std::memory_order_relaxed);
    const bool wasPlaying = engine.isPlaying();
    if (wasPlaying)
        engine.stopAUGraph();
    if (t / kPlayerFramesPerSecond > 3) {
        // Back to the start of the same song, playing even if it was paused.
        setSliderValue(0);
        reloadMediaItemView();
        engine.FileSeek(0);
        emit positionJumped(0);
        engine.startAUGraph(settingValue(DockingoModeChangeKey));
        setPlayOrPauseButtonImage(true);
        return;
    }
    if (wasPlaying)
        fileClose();
    setPlayOrPauseButtonImage(false);
    InitPlayViewItem();
    if (n < 2) {
        if (returnToTheList())
            return;
    } else {
        --SeclectMusicRow;
        if (SeclectMusicRow < 0) {
            if (returnToTheList())
                return;
            SeclectMusicRow = n - 1;
        }
    }
    printf("Pre button\n");
    ChoiceMusicPlay(0.8);
    reloadListView();
}

bool TavoroViewController::returnToTheList()
{
    const bool ends = PlayModeFlag != 1;
    if (ends) {
        PlayerEngine& engine = *mGraphController;
        mChoiceLoad->cancel();
        discardPreparedSong();
        if (engine.isPlaying())
            engine.stopAUGraph();
        engine.CloseFile();
        if (isPlayerViewOnScreen())
            flipInfoAction();
        infoButtonItem->setHidden(true);
        song = MPMediaItem();
        emit songChanged();
    }
    reloadListView();
    return ends;
}

void TavoroViewController::CreateShuffleArray(const MusicList& /*ignored*/)
{
    // The shuffled queue is made from the play queue; before any song was chosen, from
    // the list on screen.
    const MusicList& source = currentPlayListArray.isEmpty() ? g_itemsArray : currentPlayListArray;
    MusicList rest = source;
    MPMediaItem first;
    if (SeclectMusicRow >= 0 && SeclectMusicRow < source.size()) {
        first = source[SeclectMusicRow].song();
        for (qsizetype i = 0; i < rest.size(); ++i) {
            if (rest[i].song() == first) {
                rest.removeAt(i);
                break;
            }
        }
    }
    MusicList shuffled = sortWithComparator(rest, ShuffleComparator(systemRandomComparison));
    if (!first.isNull())
        shuffled.prepend(MusicListEntry(first));
    currentShufflePlayListArray = shuffled;
}

void TavoroViewController::PlayModeButtonchange(int tag)
{
    if (tag == 3) {
        enableShuffleMode = enableShuffleMode ? 0 : 1;
        setButtonImage(shuffleModeButton,
                       enableShuffleMode ? QStringLiteral("random_select.png") : QStringLiteral("random.png"));
        setPlayControl(ShuffleModeKey, enableShuffleMode);
        if (!enableShuffleMode) {
            showQueuePosition(SeclectMusicRow + 1);
        } else {
            CreateShuffleArray(g_itemsArray);
            SeclectMusicRow = 0;
            showQueuePosition(1);
        }
        preparedSongFollowsModes();
        return;
    }
    if (tag == 0) {
        PlayModeFlag = PlayModeFlag + 1 > 2 ? 0 : PlayModeFlag + 1;
        setPlayControl(PlayModeKey, PlayModeFlag);
        PlayModeButtonImage(PlayModeFlag);
        preparedSongFollowsModes();
        return;
    }
    if (tag == 1 || tag == 2)
        PlayModeButtonImage(PlayModeFlag);
}

void TavoroViewController::PlayModeButtonImage(int mode)
{
    static const char* const images[3] = {"repeat.png", "repeat_select.png", "track_repeat.png"};
    if (mode >= 0 && mode <= 2)
        setButtonImage(allOncerepeatButton, QLatin1String(images[mode]));
}

void TavoroViewController::setPlayControl(const QString& key, int value)
{
    mPlayControlArray->setIntegerValue(key, value);
    emit playControlChanged(key, value);
}

int TavoroViewController::playControlValue(const QString& key) const
{
    return mPlayControlArray->integerValue(key);
}

void TavoroViewController::loadPlayControlAndSetting()
{
    const DTEntityList<PlayControl> rows =
        musicModelController ? musicModelController->allPlayControl() : std::nullopt;
    if (!rows || rows->empty() || !rows->front()) {
        setButtonImage(allOncerepeatButton, QStringLiteral("repeat.png"));
        setButtonImage(shuffleModeButton, QStringLiteral("random.png"));
        return;
    }
    // A stored value outside the modes counts as the nearest mode rather than an image
    // and a queue rule that do not exist.
    const PlayControl& row = *rows->front();
    enableShuffleMode = row.shuffleEnable().value_or(0) != 0 ? 1 : 0;
    PlayModeFlag = uint8_t(std::clamp<qint64>(row.PlayMode().value_or(0), 0, 2));
    setButtonImage(shuffleModeButton,
                   enableShuffleMode ? QStringLiteral("random_select.png") : QStringLiteral("random.png"));
    PlayModeButtonImage(PlayModeFlag);
    setPlayControl(ShuffleModeKey, enableShuffleMode);
    setPlayControl(PlayModeKey, PlayModeFlag);
}

void TavoroViewController::handleChooseSongTapped()
{
    emit mediaPickerRequested();
}

void TavoroViewController::mediaPicker(const MPMediaItemCollection& mediaItemCollection)
{
    updatePlayerQueueWithMediaCollection(mediaItemCollection);
    emit libraryRebuildRequested();
    reloadListView();
}

void TavoroViewController::mediaPickerDidCancel() {}

void TavoroViewController::updatePlayerQueueWithMediaCollection(const MPMediaItemCollection& collection)
{
    if (collection.count() == 0)
        return;
    if (mUserMediaItemCollection.count() == 0) {
        mUserMediaItemCollection = collection;
        song = collection.items().first();
        emit songChanged();
        return;
    }
    QList<MPMediaItem> added = collection.items();
    const QList<MPMediaItem> present = mUserMediaItemCollection.items();
    QList<bool> duplicate(added.size(), false);
    const QString playingAlbum = song.albumTitle().value_or(QString());
    for (qsizetype i = 0; i < added.size(); ++i) {
        for (const MPMediaItem& old : present) {
            if (added[i] == old) {
                duplicate[i] = true;
                if (added[i].title() == playingAlbum && mGraphController->isPlaying()) {
                    mGraphController->stopAUGraph();
                    setPlayOrPauseButtonImage(false);
                }
            }
        }
    }
    QList<MPMediaItem> merged = present;
    for (qsizetype i = 0; i < added.size(); ++i) {
        if (!duplicate[i])
            merged.append(added[i]);
    }
    mUserMediaItemCollection = MPMediaItemCollection(merged);
}
