// Program entry: answers --help and --version on the terminal, makes sure one player runs
// per store, loads the main interface, and runs the main loop with the launch handler as
// its first event.

#include "app/ApplicationLifecycle.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/TavoroAppDelegate.h"
#include "app/TavoroApplication.h"
#include "app/mpris/MprisService.h"
#include "platform/foundation/ProcessMemory.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (const auto answer = terminalAnswer(argc, argv)) {
        std::fputs(answer->text.c_str(), stdout);
        return answer->status;
    }
    // Diagnostic lines go out as they are written, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    tuneAllocator();

    QApplication app(argc, argv);
    configureTavoroApplication();

    const QString dataDirectory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDirectory);
    SingleInstance instance(dataDirectory);
    if (!instance.claim()) {
        std::printf("tavoro: already running; its window was brought to the front\n");
        return 0;
    }

    TavoroAppDelegate delegate;
    installAudioSessionSetUp(delegate);
    delegate.loadMainInterface();
    ApplicationLifecycle lifecycle(&delegate, delegate.window());
    lifecycle.handleTerminationSignals();
    const auto bringToFront = [&delegate] {
        QWidget* window = delegate.window();
        window->showNormal();
        window->raise();
        window->activateWindow();
    };
    instance.setActivationHandler(bringToFront);

    // The desktop's media controls join once the window is up; quitting through them takes
    // the same way out as closing the window (aboutToQuit runs the background save).
    std::unique_ptr<MprisService> mediaControls;
    QTimer::singleShot(0, &app, [&delegate, &mediaControls, bringToFront] {
        delegate.applicationDidFinishLaunching();
        delegate.applicationDidBecomeActive();
        mediaControls = std::make_unique<MprisService>(*delegate.tavoroViewController(), bringToFront,
                                                       [] { QCoreApplication::quit(); });
    });
    return app.exec();
}
