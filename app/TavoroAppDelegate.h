#pragma once
// The application delegate: loads the main interface (the window, the navigation stack with
// the player as its root, the player and its audio engine), and runs the launch, the
// return to the foreground and the teardown.
//
// Threads: the main thread runs everything here except backgroundAUGraphInit, which runs on
// a thread of its own during the launch while the main thread waits for it (see
// applicationDidFinishLaunching).

#include "platform/foundation/RunLoop.h"
#include "player/AudioSessionSetup.h"
#include "player/NavigationController.h"
#include "player/TavoroViewController.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>
#include <thread>

class AUGraphController;
class DTMusicModelController;

class TavoroAppDelegate : public QObject, public AudioSessionContext {
    Q_OBJECT

public:
    static constexpr double kLaunchWaitSeconds = 1.0;
    // The smallest window: the phone screen every frame is first laid out for.
    static constexpr QSize kMinimumWindowSize{320, 460};

    TavoroAppDelegate();
    ~TavoroAppDelegate() override;

    // Loads the main interface: the engine object (its position reports start now), the
    // player with its start-up sequence, the navigation stack and the window at the size
    // kept in the settings, not shown.
    void loadMainInterface();

    QWidget* window() const { return mWindow.get(); }
    NavigationController* navigationController() const { return mNavigationController; }
    TavoroViewController* tavoroViewController() const override { return mTavoroViewController; }

    // Launch: wait, show the window, set up the audio session, build the graph and apply
    // the player's audio defaults once.
    void applicationDidFinishLaunching();
    void backgroundAUGraphInit();
    // After the activation wait the player resumes playback an interruption stopped.
    void applicationDidBecomeActive();
    bool activationPending() const { return mActivation.isPending(); }
    // The end of an interruption (a call) while the window is on screen counts as becoming
    // active: no window event would tell, so the song would otherwise never resume and the
    // interruption flag stay set for a later restore. Hidden or minimised, the restore
    // resumes it as usual.
    void interruptionDidEnd() override;
    void applicationWillResignActive() {}
    void applicationDidEnterBackground() {}

    // The launch's audio session step; the application installs the session set-up here
    // (the delegate is the context of the session's callbacks).
    std::function<void(TavoroAppDelegate*)> audioSessionSetUp;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Gives the window the size kept in the settings, within the screen.
    void restoreWindowSize();

    std::unique_ptr<QWidget> mWindow;
    QPointer<NavigationController> mNavigationController;
    QPointer<TavoroViewController> mTavoroViewController;
    std::shared_ptr<DTMusicModelController> mMusicModelController;
    AUGraphController* mGraphController = nullptr;  // owned by the player's engine
    std::thread mGraphInitThread;
    InterruptionResume mActivation;
};
