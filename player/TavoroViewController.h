#pragma once
// The main player controller: the player screen's controls, the playback controller, the
// play queue and play modes, the track import and the bridge that carries effect settings
// to the engine and the store. Its operations live in one file per concern:
//   TavoroViewController.cpp           construction, widgets, start-up, notifications
//   TavoroViewController_Playback.cpp  transport, position, seeking, end of track
//   TavoroViewController_Queue.cpp     song choice, next/previous, shuffle and repeat
//   TavoroViewController_Import.cpp    export of the chosen song and opening it
//   TavoroViewController_NextSong.cpp  the next song prepared ahead, unplayable songs
//   TavoroViewController_Settings.cpp  effect change handlers, restore and save, docking
//   TavoroViewController_MainScreen.cpp control strip, flips, panel taps, cover reflection
//   TavoroViewController_List.cpp      library lists, letter index, drill-down, rebuild
//   TavoroViewController_Search.cpp    search as you type over the lists
//
// Threads: everything runs on the main thread except the export's completion (its engine
// calls stay on the completion thread, its screen updates are handed to the main thread)
// and the end-of-track report (posted on the audio thread, which waits while the main
// thread runs the end-of-track handling).

#include "player/LetterIndex.h"
#include "player/LibrarySearch.h"
#include "player/ListViewModel.h"
#include "player/MPMediaPickerController.h"
#include "player/MusicListEntry.h"
#include "player/NavigationController.h"
#include "player/PlayerEngine.h"

#include "library/LiveTable.h"
#include "library/SettingKeys.h"
#include "player/CompletionGate.h"

#include "platform/export/AVAssetExportSession.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class DTMusicModelController;
class ListView;
class QAbstractButton;
class QLabel;

class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;

// Names of the notifications the player observes besides the engine's.
inline const QString EqualizerSettingNotification = QStringLiteral("EqualizerSettingNotification");
inline const QString SpeedPitchSettingNotification = QStringLiteral("SpeedPitchSettingNotification");
inline const QString StereoChangeSettingNotification = QStringLiteral("StereoChangeSettingNotification");
inline const QString StageChangeSettingNotification = QStringLiteral("StageChangeSettingNotification");
inline const QString DockingChangeSettingNotification = QStringLiteral("DockingChangeSettingNotification");
inline const QString VolumeLevelingSettingNotification = QStringLiteral("VolumeLevelingSettingNotification");
inline const QString UIApplicationDidEnterBackgroundNotification =
    QStringLiteral("UIApplicationDidEnterBackgroundNotification");
inline const QString FlipControlViewNotification = QStringLiteral("FlipControlViewNotification");

class MPVolumeView;
class QVariantAnimation;

// The two view transitions of a flip between the list and the player.
enum UIViewAnimationTransition { UIViewAnimationTransitionNone, UIViewAnimationTransitionFlipFromLeft,
                                 UIViewAnimationTransitionFlipFromRight };

// A bitmap context as the cover reflection draws into it: a 32-bit premultiplied image
// (alpha first, little-endian) and a painter on it.
struct BitmapContext {
    QImage image;
    std::unique_ptr<class QPainter> painter;
    ~BitmapContext();
};
std::unique_ptr<BitmapContext> MyCreateBitmapContext(int pixelsWide, int pixelsHigh);
// A one-pixel-wide gray mask of `pixelsHigh` rows, black at the bottom row and white at the
// top row (bitmap coordinates with the origin at the bottom).
QImage CreateGradientImage(int pixelsWide, int pixelsHigh);

// The root screen of the navigation stack: every time it comes back on top it hides the
// stack's bar (viewWillAppear). Its frames follow its size (player/PlayerLayout.h).
class TavoroViewController : public ViewController, public ListTableDataSource {
    Q_OBJECT

public:
    // The controller owns its engine; the library controller is shared with the rest of
    // the application.
    TavoroViewController(std::unique_ptr<PlayerEngine> engine,
                         std::shared_ptr<DTMusicModelController> musicModelController,
                         QWidget* parent = nullptr);
    ~TavoroViewController() override;

    // The start-up sequence as far as the player's own state goes: default tables,
    // notification handlers, buttons, effects 0..2 off, modes 0, stored settings and
    // modes into the engine, no song, and the dock check 0.5 s later.
    void viewDidLoad();

    PlayerEngine& graphController() { return *mGraphController; }

    // ---- Playback -------------------------------------------------------------------
    void updatingPlaybakcTime(const Notification& notification);
    void MusicPlaybackState();
    void buttonPressedAction(int tag);  // 1 play/pause, 2 previous, 3 next
    void SeekSlider();
    void SeekSliderEditEnd();
    void setPlayOrPauseButtonImage(bool playing);
    void reloadMediaItemView();
    void InitPlayViewItem();
    void PlayStop();
    void playstart();
    void alertView(QMessageBox* alert, int buttonIndex);
    void setUIDefaults();
    // Stops playback because the audio session was interrupted (a phone call): a playing
    // engine stops and InterruptPlayStopFlag is set for playstart(); the button shows "play".
    void stopForInterruption();
    void setInterruptPlayStopFlag(bool stopped) { InterruptPlayStopFlag = stopped; }
    bool interruptPlayStopFlag() const { return InterruptPlayStopFlag; }
    int64_t playTime() const { return PlayTime.load(std::memory_order_relaxed); }

    // ---- Queue and play modes -------------------------------------------------------
    // The song choice of a song list: `listIndex` is the entry of g_itemsArray chosen.
    void chooseSongAtListIndex(int listIndex);
    void SelectMusicPlay(int index);
    void ChoiceMusicPlay(double delaySeconds);
    void PlayModeButtonchange(int tag);  // 0 repeat, 3 shuffle
    void PlayModeButtonImage(int mode);
    void CreateShuffleArray(const MusicList& ignored);
    bool returnToTheList();
    void setPlayControl(const QString& key, int value);
    void loadPlayControlAndSetting();
    void handleChooseSongTapped();
    void mediaPicker(const MPMediaItemCollection& mediaItemCollection);
    void mediaPickerDidCancel();
    void updatePlayerQueueWithMediaCollection(const MPMediaItemCollection& mediaItemCollection);

    // ---- Import ---------------------------------------------------------------------
    void FileOpenAndFilePlay();
    void fileOpenErrorAlertView();
    void fileClose();
    static void myDeleteFile(const QString& path);
    void backgroundThread();
    // The file of the last import ("music" + extension in the data directory).
    QString exportFilePath() const;
    std::shared_ptr<AVAssetExportSession> currentExportSession() const;

    // ---- Settings bridge ------------------------------------------------------------
    void setSettingValueList(const QString& key, int value);
    void InitSettingValue();
    void loadSettingValueAndSetting();
    void SettingValueSave();
    void EqEffectChangeSetting(const Notification& notification);
    void StereoChangeSetting(const Notification& notification);
    void stageChangeSetting(const Notification& notification);
    void speedPitchSetting(const Notification& notification);
    void DockingModeSetting(const Notification& notification);
    void volumeLevelingSetting(const Notification& notification);
    void QuickStereoMenu();
    void QuickStereoButtonImage(bool on);
    bool CheckDockingState();
    void DockingCheck(int state);
    void loaddokingCheck();
    bool hwDockingState() const { return HwDockingState != 0; }

    // The live tables, shared by reference with the screens and the library controller.
    const LiveTableRef& settingValueArray() const { return mSettingValueArray; }
    const LiveTableRef& playControlArray() const { return mPlayControlArray; }

    // ---- Main screen ----------------------------------------------------------------
    void viewWillAppear(bool animated) override;
    // Builds the control strip at `stripY` and the quick button at `buttonY` (376 and 309
    // on a 320 x 460 screen); widths and the rest follow the screen's size.
    void createContentViewControlView(int stripY, int buttonY);
    void FlipControlView(const Notification& notification);
    // Flips between the list and the player view with a 0.75 s flip; the screens change at
    // once, the animation plays over them.
    void flipInfoAction();
    UIViewAnimationTransition lastFlipTransition() const { return mLastFlip; }
    bool isFlipAnimating() const;
    // Opens the settings menu, titled "Settings" and holding the live settings table, on
    // the navigation stack the player is on (nothing while the player is on none or no
    // menu is registered).
    void flipEQAction();
    // Taps and touches that ended, at their positions in `view`'s coordinates.
    void touchesEnded(const QList<QPointF>& touches, const QWidget* view);
    QImage reflectedImage(const QLabel* view, int height) const;
    bool isPlayerViewOnScreen() const;
    // Reloads the list view so its now-playing mark follows the song.
    void reloadListView();

    // ---- Library lists and letter index (TavoroViewController_List.cpp) -------------
    void InitIndexArray();
    void createListIndex(bool reload);
    void makeIndex(uint32_t kind);
    void LoadListIndex();
    void selectList(uint32_t kind);
    void ListTableButtonchange(int tag);
    void ListButtonImageUpdate(uint32_t kind);
    int numberOfSectionsInTableView() const override;
    int numberOfRowsInSection(int section) const override;
    QString titleForHeaderInSection(int section) const override;
    QStringList sectionIndexTitlesForTableView() const override;
    int sectionForSectionIndexTitle(const QString& title, int index) const override;
    ListCell cellForRowAtIndexPath(ListIndexPath indexPath) const override;
    void didSelectRowAtIndexPath(ListIndexPath indexPath) override;
    void syncBtnAction();
    void editPlayList(int tag);
    void removeAllList();
    void actionSheet(QMessageBox* sheet, int buttonIndex);
    void SaveDB(bool flag);
    void UpdateMusicList();
    void makeWaitingIndicator();
    void sendWillBeginNotification();
    void musicListWillBeginUpdating(const Notification& notification);
    void musicListFinishedUpdating(const Notification& notification);
    // ---- Search (TavoroViewController_Search.cpp) ------------------------------------
    // Shows the results of `text` in place of the list (the list again when it is empty).
    void searchLibrary(const QString& text);
    bool searchShown() const { return !mSearchQuery.isEmpty(); }
    const LibrarySearch::Results& searchResults() const { return mSearchResults; }
    uint32_t listChangeFlag() const { return ListChangeFlag; }
    ListView* listTable() const { return mListTable; }
    const LetterIndex& letterIndex() const { return mLetterIndex; }
    QDialog* waitingAlert() const { return indicatorAlertView; }
    QMessageBox* clearPlayListSheet() const { return mClearSheet; }
    MPMediaPickerController* presentedMediaPicker() const { return mMediaPicker; }

    // ---- State read by tests and the other screens ----------------------------------
    const MPMediaItem& currentSong() const { return song; }
    int selectedRow() const { return SeclectMusicRow; }
    int playModeFlag() const { return PlayModeFlag; }
    bool shuffleEnabled() const { return enableShuffleMode != 0; }
    const MusicList& itemsArray() const { return g_itemsArray; }
    void setItemsArray(const MusicList& items) { g_itemsArray = items; }
    const MusicList& currentPlayList() const { return currentPlayListArray; }
    const MusicList& currentShufflePlayList() const { return currentShufflePlayListArray; }
    const MPMediaItemCollection& userMediaItemCollection() const { return mUserMediaItemCollection; }
    QMessageBox* fileErrorAlert() const { return mFileErrorAlert; }
    bool choicePending() const;
    bool playControlViewHidden() const { return PlayControlViewHiddenFlag; }

    // Widgets (owned by this view).
    QLabel* currentTitle = nullptr;
    QLabel* currentArtist = nullptr;
    QLabel* currentAlbum = nullptr;
    QLabel* currentduration = nullptr;
    QLabel* playbackTimeLabel = nullptr;
    QSlider* playbackSlider = nullptr;
    QPushButton* playOrPauseToggleButton = nullptr;
    QPushButton* preButton = nullptr;
    QPushButton* nextButton = nullptr;
    QLabel* coverArtView = nullptr;
    QLabel* reflectionView = nullptr;
    QPlainTextEdit* LyricsView = nullptr;
    QLabel* currentPlayCountLabel = nullptr;
    QPushButton* infoButtonItem = nullptr;
    QPushButton* listButtonItem = nullptr;
    QPushButton* settingButtonItem = nullptr;
    QPushButton* allOncerepeatButton = nullptr;
    QPushButton* shuffleModeButton = nullptr;
    QPushButton* QuickStereoButton = nullptr;
    QWidget* volumeView = nullptr;
    MPVolumeView* mpVolumeView = nullptr;
    QWidget* PlayControlView = nullptr;
    QWidget* listView = nullptr;
    QWidget* contentView = nullptr;
    // Bars of the player screen: "upper.png" along the top, "popup_bar.png" behind the
    // panel, "down_popup.png" behind the control strip.
    QLabel* PlayTopImage = nullptr;
    QLabel* PlaySeconDImage = nullptr;
    QLabel* PlayDownImage = nullptr;

signals:
    void listViewReloaded();
    void viewFlipped(bool playerViewOnScreen);
    void mediaPickerRequested();
    void libraryRebuildRequested();
    // State changes for observers outside the screen (the desktop's media controls), all
    // on the main thread: the play button's state (true: "stop.png", playing or loading),
    // `song` replaced or cleared, an entry of the live settings or play-control table
    // written, and a jump of the play position in frames (a slider seek let go, previous
    // restarting the song).
    void playButtonStateChanged(bool playing);
    void songChanged();
    void settingValueChanged(const QString& key, int value);
    void playControlChanged(const QString& key, int value);
    void positionJumped(qint64 frames);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildViews();
    // Puts every part of both screens at its frame for the present size.
    void layoutViews();
    // The control strip and quick button at the heights the present size gives them.
    void createControlStrip();
    QWidget* controlStrip() const;
    // The song's cover (or "noimage_pro.png") and its reflection, drawn at the cover's size.
    void showArtwork();
    void initNotification();
    void InitListMenuButton();
    void nextPressed();
    void previousPressed();
    int settingValue(const QString& key) const;
    // The leveling gain (16.16) the current settings give `item`, from the values the scan
    // read, so no file is opened for it.
    int32_t levelingGainOf(const MPMediaItem& item) const;
    // Switches one effect off in the engine and marks it off in the live settings.
    void switchEffectOff(int mode, const QString& key);
    int playControlValue(const QString& key) const;
    int queueLength() const;
    void showQueuePosition(int position);
    void setSliderMaximum(int64_t frames);
    void setSliderValue(int64_t frames);
    void showPlaybackTimes(int64_t position);
    // After a pause: the slider, the time labels (and through the slider the desktop media
    // controls) show the frame heard last instead of the last once-a-second report.
    void showHeardPosition();
    // The next song by the play modes: the row of the queue in use, none at the end of a
    // play-once queue.
    std::optional<int> nextRowByPlayMode() const;
    // Discards what was prepared and, while a song is loaded, imports the next one and has
    // the engine open it behind the current one.
    void prepareNextSong();
    void preparedExportFinished(const std::shared_ptr<AVAssetExportSession>& session, uint64_t number,
                                bool needsOneChannel, int32_t playbackGain);
    // After a change of the play modes: prepares the song they make next, unless it is the
    // one prepared already.
    void preparedSongFollowsModes();
    // Forgets the prepared song and takes it back from the engine.
    void discardPreparedSong();
    // The engine went on to the prepared song: the screen follows.
    void movedOnToPreparedSong();
    // The song cannot be imported, opened or decoded.
    void importFailed();
    // Moves on from a song that cannot play, by the play modes but never to itself.
    void skipToNextSong();
    // Shows queue entry `index` as the current song (SelectMusicPlay without the speed).
    void showSong(int index);
    void exportFinished(const std::shared_ptr<AVAssetExportSession>& session, UInt32 sourceFormatID,
                        UInt32 sourceChannels, uint64_t importNumber, int dockingSetting, int32_t playbackGain);
    // Runs screen work of an import on the main thread, unless a newer import has begun
    // or the controller is gone by then.
    void onMainThread(uint64_t importNumber, std::function<void()> work);

    std::unique_ptr<PlayerEngine> mGraphController;
    std::shared_ptr<DTMusicModelController> musicModelController;
    LiveTableRef mSettingValueArray = LiveTable::defaultSettingTable();
    LiveTableRef mPlayControlArray = LiveTable::defaultPlayControlTable();

    // Playback.
    MPMediaItem song;
    std::atomic<int64_t> PlayTime{0};
    bool InterruptPlayStopFlag = false;

    // Queue and modes.
    MusicList g_itemsArray;
    MusicList currentPlayListArray;
    MusicList currentShufflePlayListArray;
    int32_t SeclectMusicRow = -1;
    uint32_t useCollectionNum = 0;
    uint8_t enableShuffleMode = 0;
    uint8_t PlayModeFlag = 0;
    MPMediaItemCollection mUserMediaItemCollection;
    bool PlayControlViewHiddenFlag = false;
    std::unique_ptr<DelayedCall> mChoiceLoad;

    // Import. The export's completion runs on its own thread: it acts only while its
    // import is still the latest one (mImportNumber).
    QUrl assetURL;
    std::shared_ptr<AVURLAsset> songAsset;
    std::shared_ptr<AVAssetExportSession> exportSession;
    mutable std::mutex mExportMutex;  // guards exportSession and filePath
    QString docDir;
    QString filePath;
    QUrl exportURL;
    std::atomic<uint64_t> mImportNumber{0};
    // Held by an export completion from its newest-import check through the start of the
    // engine, and by a new import while it takes its number (main thread).
    std::mutex mImportMutex;
    std::atomic<bool> AACChannelChnageType{false};
    int bgTask = 0;
    QPointer<QMessageBox> mFileErrorAlert;
    std::shared_ptr<CompletionGate> mCompletionGate = std::make_shared<CompletionGate>();

    // The next song: the row and song being prepared (-1 and none when nothing is), the
    // number that tells a current preparation from a discarded one, its export, and the
    // files the playing and the prepared song were exported to. mPrepareMutex keeps the
    // completions of two preparations apart.
    int mPreparedRow = -1;
    MPMediaItem mPreparedSong;
    std::atomic<uint64_t> mPrepareNumber{0};
    std::mutex mPrepareMutex;
    std::shared_ptr<AVAssetExportSession> mPrepareSession;
    QString mPlayingExportPath;
    QString mPreparedExportPath;
    // The current import is the player's own move (end of a song, skip after a failure);
    // the songs that failed in a row on such moves; whether the alert's OK moves on.
    bool mAutoMove = false;
    int mUnplayableInARow = 0;
    bool mAlertMovesOn = true;

    // Settings bridge.
    uint8_t HwDockingState = 0;
    std::unique_ptr<DelayedCall> mDockCheck;

    // Keyboard and screen-reader names (TavoroViewController_Keyboard.cpp).
    void buildKeyboard();
    void nameControls();
    void seekBy(double seconds);
    // Space: presses the button that has the keyboard focus, or else plays or pauses.
    void spacePressed();
    // Left and Right on the player screen: a focused slider moves, or else the song seeks.
    void arrowPressed(int direction);

    // Library lists (TavoroViewController_List.cpp).
    void buildListView();
    void loadListsAtStartUp();
    void rescanDeviceLibrary(std::function<void()> then);
    void deviceLibraryDidChange();
    void dismissMediaPicker();
    static QString songDetail(const MPMediaItem& s);
    // The now-playing mark on a song's row.
    void markIfPlaying(ListCell& cell, const MPMediaItem& rowSong) const;
    void drillDownToAlbum(const QString& name, uint32_t songsKind);
    void drillDownToArtist(const QString& name);
    // Search (TavoroViewController_Search.cpp).
    void rebuildSearchIndex();
    int searchSectionCount() const;
    int searchRowCount(int section) const;
    QString searchSectionTitle(int section) const;
    ListCell searchCell(ListIndexPath indexPath) const;
    void chooseSearchResult(ListIndexPath indexPath);
    // The result rows of a shown section (songs, artists, albums; empty ones left out),
    // with the list they index into; null outside.
    const QList<int>* searchSection(int section, uint32_t* listKind) const;
    LibrarySearch mLibrarySearch;
    QString mSearchQuery;
    LibrarySearch::Results mSearchResults;
    uint32_t ListChangeFlag = ListKindPlaylists;
    LetterIndex mLetterIndex;
    // The five top-level lists as the library's queries gave them when the indexes were
    // built, so that a sectioned list's rows always point into the list they were built from.
    MusicList mTopLevelLists[ListKindPlaylists + 1];
    ListView* mListTable = nullptr;
    QPointer<QDialog> indicatorAlertView;
    QPointer<QMessageBox> mClearSheet;
    QPointer<MPMediaPickerController> mMediaPicker;

    QStackedWidget* mScreens = nullptr;
    UIViewAnimationTransition mLastFlip = UIViewAnimationTransitionNone;
    QPointer<QVariantAnimation> mFlipAnimation;
    std::shared_ptr<int> mAlive = std::make_shared<int>(0);
};
