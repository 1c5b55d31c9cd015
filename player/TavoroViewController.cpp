// Construction of the player controller: its two screens and their controls, the
// notification handlers, and the start-up sequence of the player's own state.

#include "player/TavoroViewController.h"

#include "player/ListView.h"
#include "player/PlayerImages.h"
#include "player/NavigationController.h"
#include "player/SettingsMenuFactory.h"

#include "engine/MusicPlayTimerNotification.h"
#include "library/DTMusicModelController.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 460;
constexpr int kControlStripTag = 10000000;

QLabel* makeLabel(QWidget* parent, const QRect& frame, int pixelSize = 14)
{
    auto* label = new QLabel(parent);
    label->setGeometry(frame);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QRect& frame, int tag)
{
    auto* button = new QPushButton(parent);
    button->setGeometry(frame);
    button->setFlat(true);
    button->setProperty("tag", tag);
    return button;
}

} // namespace

TavoroViewController::TavoroViewController(std::unique_ptr<PlayerEngine> engine,
                                           std::shared_ptr<DTMusicModelController> modelController,
                                           QWidget* parent)
    : QWidget(parent),
      mGraphController(std::move(engine)),
      musicModelController(std::move(modelController)),
      mChoiceLoad(std::make_unique<DelayedCall>()),
      mDockCheck(std::make_unique<DelayedCall>())
{
    buildViews();
    buildListView();
}

TavoroViewController::~TavoroViewController()
{
    delete mListTable;  // it asks this controller for its rows until it is gone
    NotificationCenter::defaultCenter().removeObserver(this);
    mChoiceLoad->cancel();
    mDockCheck->cancel();
    {
        std::lock_guard lock(mExportMutex);
        if (exportSession)
            exportSession->cancelExport();
    }
    // An export completing right now may still be calling the engine.
    mCompletionGate->close();
    mAlive.reset();
}

void TavoroViewController::buildViews()
{
    setFixedSize(kScreenWidth, kScreenHeight);
    mScreens = new QStackedWidget(this);
    mScreens->setGeometry(0, 0, kScreenWidth, kScreenHeight);

    // The list screen: the list itself comes with the list view; its bar leads to the player.
    listView = new QWidget;
    infoButtonItem = makeButton(listView, QRect(270, 7, 44, 30), 0);
    infoButtonItem->setHidden(true);

    // The player screen.
    contentView = new QWidget;
    currentTitle = makeLabel(contentView, QRect(10, 4, 300, 20), 16);
    currentArtist = makeLabel(contentView, QRect(10, 24, 300, 16));
    currentAlbum = makeLabel(contentView, QRect(10, 40, 300, 16));
    coverArtView = new QLabel(contentView);
    coverArtView->setGeometry(70, 60, 180, 170);
    coverArtView->setScaledContents(true);
    reflectionView = new QLabel(contentView);
    reflectionView->setGeometry(70, 230, 180, 36);
    reflectionView->setScaledContents(true);
    LyricsView = new QPlainTextEdit(contentView);
    LyricsView->setGeometry(20, 60, 280, 170);
    LyricsView->setReadOnly(true);
    LyricsView->setHidden(true);

    currentduration = makeLabel(contentView, QRect(4, 270, 50, 16), 12);
    playbackTimeLabel = makeLabel(contentView, QRect(266, 270, 50, 16), 12);
    playbackSlider = new QSlider(Qt::Horizontal, contentView);
    playbackSlider->setGeometry(56, 268, 208, 20);
    playbackSlider->setMinimum(0);
    playbackSlider->setMaximum(0);
    playbackSlider->setPageStep(0);
    currentPlayCountLabel = makeLabel(contentView, QRect(110, 288, 100, 16), 12);
    allOncerepeatButton = makeButton(contentView, QRect(8, 318, 40, 31), 0);
    shuffleModeButton = makeButton(contentView, QRect(272, 318, 40, 31), 3);

    QuickStereoButton = makeButton(contentView, QRect(57, 309, 205, 50), 0);
    QuickStereoButton->lower();

    auto* strip = new QWidget(contentView);
    strip->setObjectName(QStringLiteral("controlStrip"));
    strip->setProperty("tag", kControlStripTag);
    strip->setGeometry(0, 376, kScreenWidth, 84);
    auto* stripImage = new QLabel(strip);
    stripImage->setGeometry(0, 0, kScreenWidth, 84);
    setViewImage(stripImage, QStringLiteral("down_popup.png"));
    preButton = makeButton(strip, QRect(50, 7, 40, 31), 2);
    playOrPauseToggleButton = makeButton(strip, QRect(140, 7, 40, 31), 1);
    nextButton = makeButton(strip, QRect(230, 7, 40, 31), 3);
    volumeView = new QWidget(strip);
    volumeView->setGeometry(0, 42, kScreenWidth, 42);
    auto* volume = new QSlider(Qt::Horizontal, volumeView);
    volume->setGeometry(20, 15, 280, 20);
    volume->setRange(0, 100);
    volume->setValue(100);

    mScreens->addWidget(listView);
    mScreens->addWidget(contentView);
    mScreens->setCurrentWidget(listView);

    for (QPushButton* b : {preButton, playOrPauseToggleButton, nextButton}) {
        connect(b, &QPushButton::clicked, this, [this, b] { buttonPressedAction(b->property("tag").toInt()); });
    }
    for (QPushButton* b : {allOncerepeatButton, shuffleModeButton}) {
        connect(b, &QPushButton::clicked, this, [this, b] { PlayModeButtonchange(b->property("tag").toInt()); });
    }
    connect(QuickStereoButton, &QPushButton::clicked, this, [this] { QuickStereoMenu(); });
    connect(infoButtonItem, &QPushButton::clicked, this, [this] { flipInfoAction(); });
    // A drag seeks at every step; letting go releases the seek lock.
    connect(playbackSlider, &QSlider::valueChanged, this, [this] {
        if (playbackSlider->isSliderDown())
            SeekSlider();
    });
    connect(playbackSlider, &QSlider::sliderReleased, this, [this] { SeekSliderEditEnd(); });
}

void TavoroViewController::InitListMenuButton()
{
    setButtonImage(infoButtonItem, QStringLiteral("player_button.png"));
    infoButtonItem->setHidden(true);
    setButtonImage(nextButton, QStringLiteral("ff.png"));
    setButtonImage(preButton, QStringLiteral("rw.png"));
    setButtonImage(shuffleModeButton, QStringLiteral("random.png"));
    setButtonImage(allOncerepeatButton, QStringLiteral("repeat_selection.png"));
    setButtonImage(QuickStereoButton, QStringLiteral("3dstereo_select.png"));
    setPlayOrPauseButtonImage(false);
}

void TavoroViewController::initNotification()
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const auto observe = [&](const QString& name, void (TavoroViewController::*handler)(const Notification&)) {
        center.addObserver(this, name, nullptr, [this, handler](const Notification& n) { (this->*handler)(n); });
    };
    observe(EqualizerSettingNotification, &TavoroViewController::EqEffectChangeSetting);
    observe(StereoChangeSettingNotification, &TavoroViewController::StereoChangeSetting);
    observe(MusicPlayTimerNotification, &TavoroViewController::updatingPlaybakcTime);
    observe(StageChangeSettingNotification, &TavoroViewController::stageChangeSetting);
    observe(SpeedPitchSettingNotification, &TavoroViewController::speedPitchSetting);
    observe(DockingChangeSettingNotification, &TavoroViewController::DockingModeSetting);
    center.addObserver(this, UIApplicationDidEnterBackgroundNotification, nullptr,
                       [this](const Notification&) { SettingValueSave(); });
}

void TavoroViewController::viewDidLoad()
{
    song = MPMediaItem();
    emit songChanged();
    reloadMediaItemView();
    InitSettingValue();
    initNotification();
    InitListMenuButton();

    PlayerEngine& engine = *mGraphController;
    engine.setModeChange(EffectModeEqualizer, 0);
    engine.setModeChange(EffectModeStereo3D, 0);
    engine.setModeChange(EffectModeStage, 0);
    enableShuffleMode = 0;
    PlayModeFlag = 0;
    setSliderValue(0);
    SeclectMusicRow = 0;

    loadSettingValueAndSetting();
    loadListsAtStartUp();

    mScreens->setCurrentWidget(listView);
    SeclectMusicRow = -1;
    PlayControlViewHiddenFlag = false;
    playbackSlider->setMinimum(0);
    mDockCheck->schedule(0.5, [this] { loaddokingCheck(); });
}

void TavoroViewController::flipInfoAction()
{
    mScreens->setCurrentWidget(isPlayerViewOnScreen() ? listView : contentView);
    emit viewFlipped(isPlayerViewOnScreen());
}

void TavoroViewController::flipEQAction()
{
    NavigationController* stack = NavigationController::of(this);
    ViewController* menu = stack ? makeSettingsMenu(mSettingValueArray) : nullptr;
    if (!menu)
        return;
    menu->setTitle(QStringLiteral("Settings"));
    stack->pushViewController(menu, true);
}

bool TavoroViewController::isPlayerViewOnScreen() const
{
    return mScreens->currentWidget() == contentView;
}

void TavoroViewController::reloadListView()
{
    emit listViewReloaded();
}
