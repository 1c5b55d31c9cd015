// The application as a whole: the launch, a chosen song heard, calls and hiding, the
// settings kept across a quit, and the real program: its answers on the terminal, the songs
// of its arguments and of later starts, the quit from the desktop controls, a foreign lock.

#include "AppTestSupport.h"
#include "../SessionBus.h"
#include "../ClientProcess.h"

#include "app/SingleInstance.h"
#include "engine/EngineGlobals.h"
#include "library/DTMusicModelController.h"
#include "library/SettingKeys.h"
#include "player/AudioSessionSetup.h"
#include "player/ListView.h"
#include "player/PlayerImages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <sys/stat.h>

TEST(Launch, EndsOnTheListWithNoSongAndFreshModesAndQuittingKeepsTheEqualizerAndTheWindowSize)
{
    {
        LaunchedApp first;
        TavoroViewController& player = first.player();
        EXPECT_TRUE(first.delegate->window()->isVisible());
        EXPECT_FALSE(player.isPlayerViewOnScreen());
        EXPECT_TRUE(player.currentSong().isNull());
        EXPECT_TRUE(player.infoButtonItem->isHidden());
        EXPECT_EQ(imageNameOf(player.allOncerepeatButton), "repeat.png");
        EXPECT_EQ(imageNameOf(player.shuffleModeButton), "random.png");
        saveScreenshot(first.delegate->window(), "list-view");

        // The equalizer on with the "Rock" preset, a larger window; then quit. (The play
        // modes' round trip through the store is the player's own, tested with it.)
        first.delegate->window()->resize(400, 580);
        NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr,
                                                             {{EqualizerOnOff, 2}, {EqModeChangeKey, 2}});
        first.lifecycle->enterBackground();  // what quitting runs (the program test quits for real)
    }
    LaunchedApp second;
    TavoroViewController& player = second.player();
    EXPECT_EQ(player.settingValueArray()->integerValue(EqualizerOnOff), 2);
    EXPECT_TRUE(EqModeOnOffFlag.load());
    EXPECT_EQ(second.delegate->window()->size(), QSize(400, 580));
    EXPECT_EQ(player.listTable()->PlayListButton->geometry().bottomRight(), QPoint(399, 579));
    // Leave the store as a fresh install would have it for the tests that follow.
    second.delegate->window()->resize(320, 460);
    NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr, {{EqualizerOnOff, 1}});
    second.lifecycle->enterBackground();
}

TEST(Launch, ACallResumesOnceTheWindowIsOnScreenAndHidingOrMinimisingSaves)
{
    LaunchedApp app;
    TavoroViewController& player = app.player();
    QWidget* window = app.delegate->window();
    AudioSessionContext* session = app.delegate.get();  // what the session's callbacks get
    const auto playing = [&] { return player.graphController().isPlaying(); };
    const auto storedShuffle = [] {
        return storeAnswer(DTMusicModelController().storeURL().toLocalFile(), "SELECT shuffleEnable FROM PlayControl;");
    };
    ASSERT_TRUE(waitFor([&] { return !app.delegate->activationPending(); }, 3));  // the launch's own
    app.chooseSong(1);
    ASSERT_TRUE(waitFor(playing, 10));
    // A call ending while the window is on screen resumes, once: the flag is cleared.
    interruptionListener(session, kAudioSessionBeginInterruption);
    EXPECT_TRUE(player.interruptPlayStopFlag());
    EXPECT_FALSE(playing());
    interruptionListener(session, kAudioSessionEndInterruption);
    ASSERT_TRUE(waitFor(playing, 3)) << "not resumed after the call";
    EXPECT_FALSE(player.interruptPlayStopFlag()) << "a later restore would start playback";

    // Hidden, the settings are saved; a call that ends meanwhile resumes once the window is
    // back, after the activation wait.
    player.PlayModeButtonchange(3);
    interruptionListener(session, kAudioSessionBeginInterruption);
    window->hide();
    EXPECT_TRUE(app.lifecycle->isInBackground());
    EXPECT_EQ(storedShuffle(), "1");
    interruptionListener(session, kAudioSessionEndInterruption);
    window->show();
    EXPECT_FALSE(app.lifecycle->isInBackground());
    EXPECT_TRUE(app.delegate->activationPending());
    EXPECT_FALSE(playing());
    ASSERT_TRUE(waitFor(playing, 3));

    player.PlayModeButtonchange(3);
    window->showMinimized();
    EXPECT_TRUE(app.lifecycle->isInBackground());
    EXPECT_EQ(storedShuffle(), "0");
}

TEST(Playback, ChoosingASongFlipsToThePlayerAndItsSamplesReachTheOutput)
{
    LaunchedApp app;
    TavoroViewController& player = app.player();
    app.chooseSong(1);
    EXPECT_TRUE(player.isPlayerViewOnScreen());
    EXPECT_EQ(player.currentSong(), generatedSongs()[1]);
    ASSERT_TRUE(waitFor([&] { return app.capture->frames() > 44100; }, 15)) << "the song did not reach the output";
    const std::vector<int16_t> samples = app.capture->samples();
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 1000) << "only silence reached the output";
    EXPECT_FALSE(imageNameOf(player.coverArtView).startsWith("noimage")) << "the MP3 song's cover is not shown";
    EXPECT_FALSE(generatedSongs()[5].artwork().isNull()) << "the Ogg Vorbis song's cover was not found";
    // The song plays to its end and the player goes back to the list.
    EXPECT_TRUE(waitFor([&] { return player.currentSong().isNull(); }, 10));
}

TEST(Program, AnswersOnTheTerminalWithoutADisplay)
{
    QTemporaryDir home;
    QProcessEnvironment headless = programEnvironment(home.path());
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        headless.remove(variable);
    const ClientRun version = runClient(TAVORO_BINARY, {"--version"}, headless);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tavoro " TAVORO_VERSION "\n");
    const ClientRun help = runClient(TAVORO_BINARY, {"--help"}, headless);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tavoro")) << help.out.toStdString();
    const ClientRun unknown = runClient(TAVORO_BINARY, {"--bogus"}, headless);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.startsWith("tavoro: unknown option '--bogus'\nUsage: tavoro")) << unknown.err.toStdString();
    // No display in the environment, then one that cannot be reached: one line, status 1.
    const QString noDisplay = "tavoro: no display found; run with QT_QPA_PLATFORM=offscreen to play without a window\n";
    const ClientRun none = runClient(TAVORO_BINARY, {}, headless);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err.toStdString(), noDisplay.toStdString());
    headless.insert("DISPLAY", ":4242");
    const ClientRun unreachable = runClient(TAVORO_BINARY, {}, headless);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_TRUE(unreachable.err.endsWith(noDisplay)) << unreachable.err.toStdString();
}

TEST(Program, PlaysItsArgumentsAndThoseOfLaterStartsAndQuitsFromTheDesktopControlsWithTheSave)
{
    // generatedSongs: album 1 tracks 1-4 (FLAC, MP3, AAC, WAV), album 2 tracks 1-2 (ALAC, Ogg Vorbis).
    const QList<MPMediaItem>& songs = generatedSongs();
    QTemporaryDir home;
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QProcessEnvironment env = programEnvironment(home.path());
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    // Two songs outside the music folder, with a playlist file (not a song) between them.
    QDir(home.path()).mkpath("elsewhere");
    ASSERT_TRUE(QFile::copy(songs[5].assetURL().toLocalFile(), home.filePath("elsewhere/one.ogg")));
    ASSERT_TRUE(QFile::copy(songs[0].assetURL().toLocalFile(), home.filePath("elsewhere/two.flac")));
    ASSERT_TRUE(QFile::copy(generatedLibraryDirectory() + "/Demo Mix.m3u", home.filePath("elsewhere/list.m3u")));

    // Every change of song is announced on the bus, so none is missed between two looks.
    ClientWatcher monitor({"gdbus", "monitor", "--address", bus.address, "--dest", "org.mpris.MediaPlayer2.tavoro"});
    const auto announced = [](const MPMediaItem& song) { return "'xesam:title': <'" + song.title() + "'>"; };
    QProcess app;
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(home.filePath("elsewhere"));
    app.start(TAVORO_BINARY, {"-platform", "offscreen", "one.ogg", "list.m3u", "two.flac"});
    ASSERT_TRUE(monitor.waitForText(announced(songs[5]), 30)) << "the first song of the arguments does not play";
    ASSERT_TRUE(monitor.waitForText(announced(songs[0]), 30)) << "the second song did not follow the first";
    EXPECT_LT(monitor.output().indexOf(announced(songs[5])), monitor.output().indexOf(announced(songs[0])));
    monitor.settle(announced(songs[0]));

    // Later starts defer to it and end: one without songs, and one with a folder whose first
    // song then plays.
    const ClientRun bare = runClient(TAVORO_BINARY, {}, env);
    EXPECT_EQ(bare.exitCode, 0);
    EXPECT_TRUE(bare.out.contains("already running")) << bare.out.toStdString();
    const ClientRun second = runClient(TAVORO_BINARY, {generatedLibraryDirectory() + "/Demo Album 2"}, env);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains("already running")) << second.out.toStdString();
    EXPECT_TRUE(monitor.waitForText(announced(songs[4]), 30)) << "the running player did not play what it was handed";

    // Quit from the desktop's media controls: answered, then the program ends through the
    // background save and leaves the bus.
    EXPECT_TRUE(callPlayer(env, {"org.mpris.MediaPlayer2.Quit"}));
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_FALSE(callPlayer(env, {"org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2", "Identity"}))
        << "the service outlived the player";
    EXPECT_EQ(savedSettingRows(home.path()), "1") << "quitting through the bus must save the settings";
    EXPECT_EQ(QString::fromLocal8Bit(app.readAllStandardOutput()).count("initializeAUGraph"), 1)
        << "the graph must be built exactly once";
    const QString err = QString::fromLocal8Bit(app.readAllStandardError());
    EXPECT_TRUE(err.contains("tavoro: list.m3u: not a song the player can play\n")) << err.toStdString();
}

TEST(Program, StartsDespiteAForeignLockInItsPrivateFolder)
{
    QTemporaryDir home;
    generatedSongs();
    QProcessEnvironment env = programEnvironment(home.path());
    env.remove("XDG_RUNTIME_DIR");
    // The lock the program takes without a runtime directory, found as it finds it.
    const QString dataDirectory = home.filePath("data/Tavoro");
    QDir().mkpath(dataDirectory);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString lockPath = SingleInstance(dataDirectory).lockPath();
    qputenv("XDG_RUNTIME_DIR", runtime);
    ASSERT_TRUE(lockPath.startsWith(dataDirectory + "/")) << lockPath.toStdString();
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(lockPath).path()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    // A lock held by a player on another machine: never stale, and nobody answers.
    QFile lock(lockPath);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("4242\ntavoro\nanother-machine\n");
    lock.close();

    ClientWatcher app({TAVORO_BINARY}, env);
    EXPECT_TRUE(app.waitForText("Input callbacks", 30)) << "the player did not start: " << app.output().toStdString();
    EXPECT_FALSE(app.output().contains("already running"));
    EXPECT_TRUE(app.output().contains("is held, but no player answers")) << app.output().toStdString();
}
