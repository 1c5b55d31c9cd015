// The application as a whole: the launch, a chosen song heard, the settings kept across a
// quit, and the program's own answers on the terminal.

#include "AppTestSupport.h"

#include "engine/EngineGlobals.h"
#include "library/DTMusicModelController.h"
#include "library/SettingKeys.h"
#include "player/AudioSessionSetup.h"
#include "player/PlayerImages.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

TEST(Launch, EndsOnTheListWithNoSongAndTheStoredModesAndQuittingKeepsTheSettings)
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

        // Shuffle on, repeat all, the equalizer on with the "Rock" preset; then quit.
        player.PlayModeButtonchange(3);
        player.PlayModeButtonchange(0);
        NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr,
                                                             {{EqualizerOnOff, 2}, {EqModeChangeKey, 2}});
        first.lifecycle->enterBackground();  // what quitting runs (the program test quits for real)
    }
    LaunchedApp second;
    TavoroViewController& player = second.player();
    EXPECT_TRUE(player.currentSong().isNull());
    EXPECT_EQ(imageNameOf(player.shuffleModeButton), "random_select.png");
    EXPECT_EQ(imageNameOf(player.allOncerepeatButton), "repeat_select.png");
    EXPECT_EQ(player.settingValueArray()->integerValue(EqualizerOnOff), 2);
    EXPECT_TRUE(EqModeOnOffFlag.load());
    // Leave the store as a fresh install would have it for the tests that follow.
    player.PlayModeButtonchange(3);
    player.PlayModeButtonchange(0);
    player.PlayModeButtonchange(0);
    NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr, {{EqualizerOnOff, 1}});
    second.lifecycle->enterBackground();
}

TEST(Launch, HidingOrMinimisingTheWindowSavesAndShowingItResumesAfterTheWait)
{
    LaunchedApp app;
    TavoroViewController& player = app.player();
    QWidget* window = app.delegate->window();
    player.PlayModeButtonchange(3);
    window->hide();
    EXPECT_TRUE(app.lifecycle->isInBackground());
    const auto storedShuffle = [] {
        QProcess sqlite;
        sqlite.start("sqlite3", {DTMusicModelController().storeURL().toLocalFile(), "SELECT shuffleEnable FROM PlayControl;"});
        sqlite.waitForFinished();
        return sqlite.readAllStandardOutput().trimmed();
    };
    EXPECT_EQ(storedShuffle(), "1");
    // Back on screen: after the activation wait, playback an interruption stopped resumes.
    app.chooseSong(1);
    ASSERT_TRUE(waitFor([&] { return app.delegate->tavoroViewController()->graphController().isPlaying(); }, 10));
    player.graphController().stopAUGraph();
    player.setInterruptPlayStopFlag(true);
    window->show();
    EXPECT_FALSE(app.lifecycle->isInBackground());
    EXPECT_TRUE(app.delegate->activationPending());
    EXPECT_FALSE(player.graphController().isPlaying());
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 3));

    player.PlayModeButtonchange(3);
    window->showMinimized();
    EXPECT_TRUE(app.lifecycle->isInBackground());
    EXPECT_EQ(storedShuffle(), "0");
}

TEST(Launch, ACallEndingWhileTheWindowIsOnScreenResumesOnceAndClearsTheFlag)
{
    LaunchedApp app;
    TavoroViewController& player = app.player();
    ASSERT_TRUE(waitFor([&] { return !app.delegate->activationPending(); }, 3)); // the launch's own
    app.chooseSong(1);
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 10));
    AudioSessionContext* session = app.delegate.get(); // what the session's callbacks get
    interruptionListener(session, kAudioSessionBeginInterruption);
    EXPECT_TRUE(player.interruptPlayStopFlag());
    EXPECT_FALSE(player.graphController().isPlaying());
    interruptionListener(session, kAudioSessionEndInterruption);
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 3)) << "not resumed after the call";
    EXPECT_FALSE(player.interruptPlayStopFlag()) << "a later restore would start playback";
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

namespace {

struct ProcessRun {
    int exitCode;
    QString out;
};

ProcessRun runTavoro(const QStringList& arguments, const QString& home)
{
    QProcess process;
    process.setProcessEnvironment(programEnvironment(home));
    process.start(TAVORO_BINARY, arguments);
    process.waitForFinished(20000);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput())};
}

} // namespace

TEST(Program, AnswersHelpAndVersionAndASecondLaunchDefersToTheFirst)
{
    QTemporaryDir home;
    const ProcessRun version = runTavoro({"--version"}, home.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tavoro " TAVORO_VERSION "\n");
    const ProcessRun help = runTavoro({"--help"}, home.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tavoro")) << help.out.toStdString();

    generatedSongs();
    QProcess first;
    first.setProcessEnvironment(programEnvironment(home.path()));
    first.start(TAVORO_BINARY);
    ASSERT_TRUE(first.waitForStarted());
    // Launched: the graph line appears once the launch handler has run.
    QString firstOut;
    QElapsedTimer timer;
    timer.start();
    while (!firstOut.contains("Input callbacks") && timer.elapsed() < 15000) {
        first.waitForReadyRead(200);
        firstOut += QString::fromLocal8Bit(first.readAllStandardOutput());
    }
    ASSERT_TRUE(firstOut.contains("initializeAUGraph")) << firstOut.toStdString();

    const ProcessRun second = runTavoro({}, home.path());
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains("already running")) << second.out.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    // SIGTERM quits through the background save: the store has its settings row afterwards.
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    firstOut += QString::fromLocal8Bit(first.readAllStandardOutput());
    EXPECT_EQ(firstOut.count("initializeAUGraph"), 1) << "the graph must be built exactly once";
    EXPECT_EQ(savedSettingRows(home.path()), "1");
}

TEST(Program, QuitFromTheDesktopMediaControlsSavesTheSettingsAndLeavesTheBus)
{
    QTemporaryDir home;
    generatedSongs();
    // A session bus of the test's own.
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "dbus-daemon did not start";
    const QString address = QString::fromLocal8Bit(bus.readLine()).trimmed();
    QProcessEnvironment env = programEnvironment(home.path());
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    const auto callPlayer = [&](const QStringList& call) {
        QProcess gdbus;
        gdbus.setProcessEnvironment(env);
        gdbus.start("gdbus", QStringList{"call", "--session", "--dest", "org.mpris.MediaPlayer2.tavoro",
                                         "--object-path", "/org/mpris/MediaPlayer2", "--method"}
                                 + call);
        gdbus.waitForFinished(10000);
        return gdbus.exitStatus() == QProcess::NormalExit && gdbus.exitCode() == 0;
    };
    const QStringList identity{"org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2", "Identity"};

    QProcess app;
    app.setProcessEnvironment(env);
    app.start(TAVORO_BINARY);
    ASSERT_TRUE(app.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    bool onTheBus = false;
    while (!(onTheBus = callPlayer(identity)) && timer.elapsed() < 15000)
        QTest::qWait(200);
    ASSERT_TRUE(onTheBus) << "the running player never joined the session bus";

    EXPECT_TRUE(callPlayer({"org.mpris.MediaPlayer2.Quit"}));
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_FALSE(callPlayer(identity)) << "the service outlived the player";
    EXPECT_EQ(savedSettingRows(home.path()), "1") << "quitting through the bus must save the settings";
    bus.kill();
    bus.waitForFinished();
}
