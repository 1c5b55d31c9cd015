// Start-up of the whole application over a large library, timed as a tool run.
//
//   app_start_bench [--dir DIR] [--songs N] [--runs R] [--music MUSIC]
//
// Makes DIR/music once (N generated songs, default 10 000, and a playlist), or takes the
// library in MUSIC as it stands (for example a generated one copied ten times), lets a first
// start scan it and build its store (not timed), then starts the application R times (default
// 5), each in a fresh process with the same store, and prints the medians of: the time from
// process start to the playlists list shown in the visible window (the launch's own 1.0 s
// wait included), and the resident memory after 5 s of playing a song of that library.
// Each start plays into the null output (real time), so no sound card is needed.

#include "app/DemoLibrary.h"
#include "app/TavoroAppDelegate.h"
#include "app/TavoroApplication.h"
#include "platform/audio/AudioCapture.h"
#include "platform/foundation/ProcessMemory.h"
#include "platform/media/MPMediaLibrary.h"
#include "player/ListView.h"
#include "player/MusicListEntry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Seconds since this process started, from /proc.
double secondsSinceProcessStart()
{
    QFile stat("/proc/self/stat");
    stat.open(QIODevice::ReadOnly);
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();  // field 22 of the whole line
    QFile uptime("/proc/uptime");
    uptime.open(QIODevice::ReadOnly);
    const double up = uptime.readAll().split(' ').first().toDouble();
    return up - startTicks / double(sysconf(_SC_CLK_TCK));
}

double residentMegabytes()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

bool waitFor(const std::function<bool()>& done, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return done();
}

// One start in this process: prints "shown SECONDS" and "resident MB".
int child(int argc, char** argv, bool play)
{
    tuneAllocator();  // as the application's main does
    QApplication app(argc, argv);
    configureTavoroApplication();
    AudioOutputForceNull(true);
    TavoroAppDelegate delegate;
    installAudioSessionSetUp(delegate);
    delegate.loadMainInterface();
    delegate.applicationDidFinishLaunching();
    delegate.applicationDidBecomeActive();
    TavoroViewController& player = *delegate.tavoroViewController();
    // The launch handler returns with the window on screen showing the playlists list.
    const bool shown = delegate.window()->isVisible() && !player.isPlayerViewOnScreen() &&
                       player.listTable()->isVisible();
    const double shownAt = secondsSinceProcessStart();
    if (!shown) {
        std::printf("list not shown\n");
        return 1;
    }
    std::printf("shown %.3f\n", shownAt);
    if (play) {
        // The first start's scan of a large library runs long after the list is shown.
        MPMediaLibrary::defaultMediaLibrary()->waitUntilScanned(900000);
        waitFor([] { return false; }, 1.0);
        const QList<MPMediaItem> songs = MPMediaLibrary::defaultMediaLibrary()->allItems();
        MusicList list;
        for (const MPMediaItem& song : songs)
            if (song.assetURL().path().endsWith(".mp3") && list.size() < 50)
                list.append(MusicListEntry(song));
        player.setItemsArray(list);
        player.chooseSongAtListIndex(0);
        waitFor([] { return false; }, 5.0);
        std::printf("playing %d\n", int(player.graphController().isPlaying()));
        std::printf("resident %.1f\n", residentMegabytes());
    }
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QString dir = QDir::tempPath() + "/tavoro-app-bench";
    QString music;
    int songs = 10000, runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--child"))
            return child(argc, argv, i + 1 < argc && !std::strcmp(argv[i + 1], "play"));
        if (!std::strcmp(argv[i], "--dir") && i + 1 < argc)
            dir = argv[++i];
        else if (!std::strcmp(argv[i], "--songs") && i + 1 < argc)
            songs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--music") && i + 1 < argc)
            music = QString::fromLocal8Bit(argv[++i]);
    }
    if (music.isEmpty()) {
        music = dir + "/music";
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        DemoLibraryOptions options;
        options.songs = songs;
        options.seconds = 8.0;
        QString error;
        std::printf("library: %d songs in %s\n", songs, qPrintable(music));
        if (generateDemoLibrary(music, options, &error).isEmpty()) {
            std::fprintf(stderr, "app_start_bench: %s\n", qPrintable(error));
            return 1;
        }
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_MUSIC_DIR", music);
    env.insert("XDG_DATA_HOME", dir + "/data");
    env.insert("XDG_CONFIG_HOME", dir + "/config");
    env.insert("XDG_RUNTIME_DIR", dir + "/runtime");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QDir().mkpath(dir + "/runtime");
    QFile::setPermissions(dir + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    std::vector<double> shown, resident;
    for (int run = -1; run < runs; ++run) {  // run -1: the first start scans and fills the cache
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(argv[0]), {"--child", "play"});
        process.waitForFinished(1200000);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        for (const QString& line : out.split('\n')) {
            if (run >= 0 && line.startsWith("shown "))
                shown.push_back(line.mid(6).toDouble());
            if (run >= 0 && line.startsWith("resident "))
                resident.push_back(line.mid(9).toDouble());
        }
    }
    std::printf("process start to list shown: median %.3f s over %zu starts (launch wait 1.000 s)\n", median(shown),
                shown.size());
    std::printf("resident memory after 5 s of playing: median %.1f MB\n", median(resident));
    return shown.size() == size_t(runs) ? 0 : 1;
}
