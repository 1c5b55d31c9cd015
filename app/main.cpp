// Program entry: reads the command line (--help, --version, the songs to play), makes sure
// a display is there before Qt needs one, hands the songs to a player that already runs
// on the same store or else becomes that player: loads the main interface, and runs the
// main loop with the launch handler as its first event.

#include "app/ApplicationLifecycle.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/TavoroAppDelegate.h"
#include "app/TavoroApplication.h"
#include "app/mpris/MprisService.h"
#include "platform/foundation/ProcessMemory.h"
#include "player/OpenedSongs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

void reportProblems(const OpenedSongs& opened)
{
    for (const QString& line : opened.problems)
        std::fprintf(stderr, "%s\n", qPrintable(line));
}

} // namespace

int main(int argc, char** argv)
{
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (const auto& answer = commandLine.answer) {
        std::fputs(answer->text.c_str(), answer->toStandardError ? stderr : stdout);
        return answer->status;
    }
    if (const std::string line = missingDisplayLine(commandLine); !line.empty()) {
        std::fputs(line.c_str(), stderr);
        return 1;
    }
    // Diagnostic lines go out as they are written, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    tuneAllocator();

    exitCleanlyWhenThePlatformFails(true);
    QApplication app(argc, argv);
    exitCleanlyWhenThePlatformFails(false);
    configureTavoroApplication();

    // The songs named on the command line, read here whichever player will play them, so
    // that what cannot be played is reported where it was asked for.
    const OpenedSongs opened = songsOfArguments(commandLine.operands, QFile::encodeName(QDir::currentPath()));
    reportProblems(opened);
    if (!commandLine.operands.isEmpty() && opened.songs.isEmpty())
        std::fprintf(stderr, "tavoro: nothing to play among the arguments; starting as usual\n");
    QList<QByteArray> songPaths;
    for (const MPMediaItem& song : opened.songs)
        songPaths.append(song.properties().filePath);

    const QString dataDirectory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDirectory);
    SingleInstance instance(dataDirectory);
    if (instance.claim(songPaths) == SingleInstance::Claim::Answered) {
        std::printf(songPaths.isEmpty() ? "tavoro: already running; its window was brought to the front\n"
                                        : "tavoro: already running; the songs were handed to it\n");
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

    // The desktop's media controls join once the window is up; quitting through them takes
    // the same way out as closing the window (aboutToQuit runs the background save). The
    // songs of the command line, and those later starts hand over, play once the graph is
    // built.
    std::unique_ptr<MprisService> mediaControls;
    QTimer::singleShot(0, &app, [&] {
        delegate.applicationDidFinishLaunching();
        delegate.applicationDidBecomeActive();
        mediaControls = std::make_unique<MprisService>(*delegate.tavoroViewController(), bringToFront,
                                                       [] { QCoreApplication::quit(); });
        TavoroViewController& player = *delegate.tavoroViewController();
        playSongsAsChosenList(player, opened.songs);
        instance.setOpenHandler([&player, bringToFront](const QList<QByteArray>& paths) {
            bringToFront();
            const OpenedSongs handed = songsOfFiles(paths);
            reportProblems(handed);
            playSongsAsChosenList(player, handed.songs);
        });
    });
    return app.exec();
}
