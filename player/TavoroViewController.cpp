// Construction of the player controller: its two screens and their controls, the
// notification handlers, and the start-up sequence of the player's own state.

#include "player/TavoroViewController.h"

#include "player/ListView.h"
#include "player/PlayerImages.h"
#include "player/PlayerLayout.h"
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

QLabel* makeLabel(QWidget* parent, int pixelSize = 14)
{
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    return label;
}

QPushButton* makeButton(QWidget* parent, QSize size, int tag)
{
    auto* button = new QPushButton(parent);
    button->resize(size);
    button->setFlat(true);
    button->setFocusPolicy(Qt::TabFocus);  // a click leaves the keyboard where it was
    button->setProperty("tag", tag);
    return button;
}

} // namespace

TavoroViewController::TavoroViewController(std::unique_ptr<PlayerEngine> engine,
                                           std::shared_ptr<DTMusicModelController> modelController,
                                           QWidget* parent)
    : ViewController(parent),
      mGraphController(std::move(engine)),
      musicModelController(std::move(modelController)),
      mChoiceLoad(std::make_unique<DelayedCall>()),
      mDockCheck(std::make_unique<DelayedCall>())
{
    buildViews();
    buildListView();
    buildKeyboard();
    resize(320, 460);
    layoutViews();
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
    mScreens = new QStackedWidget(this);

    // The list screen: the list itself comes with the list view; its bar leads to the player.
    // Every frame is set by layoutViews(), from the screen's size; buttons are made at
    // their size so that their images are drawn to fit.
    listView = new QWidget;
    infoButtonItem = makeButton(listView, QSize(44, 30), 0);
    infoButtonItem->setHidden(true);

    // The player screen: its bar with the way back to the list and to the settings, the
    // cover with its reflection (or the lyrics), and the control panel over the cover's
    // top that a tap shows and hides. The control strip and the 3D quick button are built
    // at start-up (createContentViewControlView).
    contentView = new QWidget;
    contentView->setAttribute(Qt::WA_AcceptTouchEvents);
    contentView->installEventFilter(this);
    coverArtView = new QLabel(contentView);
    coverArtView->setScaledContents(true);
    reflectionView = new QLabel(contentView);
    reflectionView->setScaledContents(true);
    LyricsView = new QPlainTextEdit(contentView);
    LyricsView->setReadOnly(true);
    LyricsView->setHidden(true);

    PlayTopImage = new QLabel(contentView);
    PlayTopImage->setProperty(kImageNameProperty, QStringLiteral("upper.png"));
    makeBarImageView(PlayTopImage);
    currentTitle = makeLabel(contentView, 14);
    currentArtist = makeLabel(contentView, 11);
    currentAlbum = makeLabel(contentView, 11);
    for (QLabel* l : {currentTitle, currentArtist, currentAlbum})
        l->setStyleSheet(QStringLiteral("color: #f4f6f8"));
    listButtonItem = makeButton(contentView, QSize(50, 30), 0);
    settingButtonItem = makeButton(contentView, QSize(50, 30), 0);

    PlayControlView = new QWidget(contentView);
    PlaySeconDImage = new QLabel(PlayControlView);
    PlaySeconDImage->setProperty(kImageNameProperty, QStringLiteral("popup_bar.png"));
    makeBarImageView(PlaySeconDImage);
    currentduration = makeLabel(PlayControlView, 12);
    playbackTimeLabel = makeLabel(PlayControlView, 12);
    for (QLabel* l : {currentduration, playbackTimeLabel})
        l->setStyleSheet(QStringLiteral("color: #f4f6f8"));
    playbackSlider = new QSlider(Qt::Horizontal, PlayControlView);
    playbackSlider->setMinimum(0);
    playbackSlider->setMaximum(0);
    playbackSlider->setPageStep(0);
    currentPlayCountLabel = makeLabel(PlayControlView, 12);
    currentPlayCountLabel->setStyleSheet(QStringLiteral("color: #f4f6f8"));
    allOncerepeatButton = makeButton(PlayControlView, QSize(40, 31), 0);
    shuffleModeButton = makeButton(PlayControlView, QSize(40, 31), 3);

    mScreens->addWidget(listView);
    mScreens->addWidget(contentView);
    mScreens->setCurrentWidget(listView);

    for (QPushButton* b : {allOncerepeatButton, shuffleModeButton}) {
        connect(b, &QPushButton::clicked, this, [this, b] { PlayModeButtonchange(b->property("tag").toInt()); });
    }
    connect(infoButtonItem, &QPushButton::clicked, this, [this] { flipInfoAction(); });
    connect(listButtonItem, &QPushButton::clicked, this, [this] { flipInfoAction(); });
    connect(settingButtonItem, &QPushButton::clicked, this, [this] { flipEQAction(); });
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
    setButtonImages(listButtonItem, QStringLiteral("back.png"), QStringLiteral("back_select.png"));
    setButtonImages(settingButtonItem, QStringLiteral("setting.png"), QStringLiteral("setting_select.png"));
    // The transport buttons get their images with the control strip.
    setButtonImage(shuffleModeButton, QStringLiteral("random.png"));
    setButtonImage(allOncerepeatButton, QStringLiteral("repeat_selection.png"));
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
    observe(VolumeLevelingSettingNotification, &TavoroViewController::volumeLevelingSetting);
    observe(FlipControlViewNotification, &TavoroViewController::FlipControlView);
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
    createControlStrip();  // at 320 x 460: createContentViewControlView(376, 309)

    loadSettingValueAndSetting();
    loadListsAtStartUp();

    mScreens->setCurrentWidget(listView);
    SeclectMusicRow = -1;
    PlayControlViewHiddenFlag = false;
    playbackSlider->setMinimum(0);
    mDockCheck->schedule(0.5, [this] { loaddokingCheck(); });
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
