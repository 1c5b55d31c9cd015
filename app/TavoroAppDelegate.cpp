#include "app/TavoroAppDelegate.h"

#include "assets/ImageCatalog.h"
#include "library/DTMusicModelController.h"
#include "library/SettingKeys.h"
#include "player/AUGraphPlayerEngine.h"
#include "player/NavigationController.h"
#include "player/TavoroViewController.h"

#include <QEvent>
#include <QIcon>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

TavoroAppDelegate::TavoroAppDelegate() = default;

TavoroAppDelegate::~TavoroAppDelegate()
{
    if (mGraphInitThread.joinable())
        mGraphInitThread.join();
    // The window owns the navigation stack, which owns the player.
    mWindow.reset();
}

void TavoroAppDelegate::loadMainInterface()
{
    auto engine = std::make_unique<AUGraphPlayerEngine>();
    mGraphController = &engine->controller();
    mMusicModelController = std::make_shared<DTMusicModelController>();
    auto* player = new TavoroViewController(std::move(engine), mMusicModelController);
    mTavoroViewController = player;

    mWindow = std::make_unique<QWidget>();
    mWindow->setWindowTitle(QStringLiteral("Tavoro"));
    mWindow->setWindowIcon(QIcon(applicationIconPath()));
    // Ctrl+Q closes the window, which quits the way closing it by hand does, saving first.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), mWindow.get());
    QObject::connect(quit, &QShortcut::activated, mWindow.get(), &QWidget::close);
    auto* layout = new QVBoxLayout(mWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);
    mNavigationController = new NavigationController(player, mWindow.get());
    layout->addWidget(mNavigationController);
    // The player's screen fills the window below a hidden navigation bar. The window can be
    // resized down to the phone screen the layout starts from, and opens at the size it had.
    mWindow->setMinimumSize(kMinimumWindowSize);
    player->viewDidLoad();
    mNavigationController->setNavigationBarHidden(true, false);
    restoreWindowSize();
    mWindow->installEventFilter(this);
}

void TavoroAppDelegate::restoreWindowSize()
{
    const LiveTableRef& settings = mTavoroViewController->settingValueArray();
    QSize size = QSize(settings->integerValue(WindowWidthKey), settings->integerValue(WindowHeightKey))
                     .expandedTo(kMinimumWindowSize);
    // A size kept from a larger screen shrinks to this one.
    if (const QScreen* screen = mWindow->screen())
        size = size.boundedTo(screen->availableGeometry().size()).expandedTo(kMinimumWindowSize);
    mWindow->resize(size);
    settings->setIntegerValue(WindowWidthKey, size.width());
    settings->setIntegerValue(WindowHeightKey, size.height());
}

bool TavoroAppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // The live settings follow the window's size; the next save of the settings keeps it.
    if (watched == mWindow.get() && event->type() == QEvent::Resize && mTavoroViewController) {
        const LiveTableRef& settings = mTavoroViewController->settingValueArray();
        settings->setIntegerValue(WindowWidthKey, mWindow->width());
        settings->setIntegerValue(WindowHeightKey, mWindow->height());
    }
    return QObject::eventFilter(watched, event);
}

void TavoroAppDelegate::applicationDidFinishLaunching()
{
    // The launch wait blocks the main thread, as the window is not on screen yet.
    QThread::usleep(static_cast<unsigned long>(kLaunchWaitSeconds * 1e6));
    mWindow->show();
    mWindow->raise();
    mWindow->activateWindow();

    if (audioSessionSetUp)
        audioSessionSetUp(this);

    // The graph is one process-wide object and is built once: the background thread builds
    // it and applies the player's defaults, and the launch waits for that thread before it
    // returns, so that no song can be chosen (and no track opened) before the graph exists.
    mGraphInitThread = std::thread([this] { backgroundAUGraphInit(); });
    mGraphInitThread.join();
}

void TavoroAppDelegate::backgroundAUGraphInit()
{
    // Background thread. Only the engine is touched here (no widgets): the main thread is
    // waiting in the launch handler meanwhile.
    mGraphController->initializeAUGraph(2);
    mTavoroViewController->setUIDefaults();
}

void TavoroAppDelegate::interruptionDidEnd()
{
    if (mWindow && mWindow->isVisible() && !mWindow->isMinimized())
        applicationDidBecomeActive();
}

void TavoroAppDelegate::applicationDidBecomeActive()
{
    // After InterruptionResume::kDelaySeconds the player's playstart resumes what an
    // interruption stopped, and nothing else.
    if (mTavoroViewController)
        mActivation.applicationDidBecomeActive(mTavoroViewController);
}
