#pragma once
// The desktop's counterpart of the phone's application states. The application "enters the
// background" when its window is hidden or minimised, and before it quits (the window
// closed, the session logging out, SIGTERM or SIGINT): each time it posts
// "UIApplicationDidEnterBackgroundNotification" with the application as sender, which makes
// the player save its settings and play modes, and tells the delegate. When the window comes
// back (shown again or restored) the delegate hears that the application became active.
//
// Threads: main thread. The signal handler only writes one byte into a pipe; the main run
// loop reads it and quits the application there.

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;
class TavoroAppDelegate;

class ApplicationLifecycle : public QObject {
    Q_OBJECT

public:
    ApplicationLifecycle(TavoroAppDelegate* delegate, QWidget* window);
    ~ApplicationLifecycle() override;

    // Makes SIGTERM and SIGINT quit the application through the main run loop.
    void handleTerminationSignals();

    bool isInBackground() const { return mInBackground; }
    // Posts the background notification (again, if already in the background: a quit must
    // save whatever changed since).
    void enterBackground();
    void becomeActive();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TavoroAppDelegate* mDelegate;
    QPointer<QWidget> mWindow;
    bool mInBackground = false;
    QSocketNotifier* mSignalNotifier = nullptr;
};
