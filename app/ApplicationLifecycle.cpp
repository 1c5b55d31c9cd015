#include "app/ApplicationLifecycle.h"

#include "app/TavoroAppDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "player/TavoroViewController.h"

#include <QApplication>
#include <QEvent>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

ApplicationLifecycle::ApplicationLifecycle(TavoroAppDelegate* delegate, QWidget* window)
    : mDelegate(delegate), mWindow(window)
{
    window->installEventFilter(this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ApplicationLifecycle::enterBackground);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { enterBackground(); });
}

ApplicationLifecycle::~ApplicationLifecycle()
{
    if (mWindow)
        mWindow->removeEventFilter(this);
}

void ApplicationLifecycle::handleTerminationSignals()
{
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    mSignalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(mSignalNotifier, &QSocketNotifier::activated, this, [] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();  // aboutToQuit runs the background save
    });
    struct sigaction action = {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void ApplicationLifecycle::enterBackground()
{
    mInBackground = true;
    mDelegate->applicationWillResignActive();
    NotificationCenter::defaultCenter().postNotification(UIApplicationDidEnterBackgroundNotification, qApp, {});
    mDelegate->applicationDidEnterBackground();
}

void ApplicationLifecycle::becomeActive()
{
    if (!mInBackground)
        return;
    mInBackground = false;
    mDelegate->applicationDidBecomeActive();
}

bool ApplicationLifecycle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mWindow) {
        switch (event->type()) {
        case QEvent::Hide:
            if (!mInBackground)
                enterBackground();
            break;
        case QEvent::WindowStateChange:
            if (mWindow->isMinimized()) {
                if (!mInBackground)
                    enterBackground();
            } else if (mWindow->isVisible()) {
                becomeActive();
            }
            break;
        case QEvent::Show:
            becomeActive();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
