// The player driven from the desktop: a session bus started here, the media-player service
// on it, and clients we did not write (playerctl, gdbus, dbus-send) calling it, while the
// player runs on the recording engine.

#include "PlayerTestSupport.h"
#include "../SoundFiles.h"
#include "../SessionBus.h"
#include "../ClientProcess.h"

#include "app/mpris/MprisService.h"
#include "engine/MusicPlayTimerNotification.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QImage>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QUrl>

namespace {

PrivateSessionBus* g_bus = nullptr;

QString playerctl(const QStringList& arguments)
{
    return runClient("playerctl", QStringList{"--player=tavoro"} + arguments).out.trimmed();
}

ClientRun gdbusCall(const QString& method, const QStringList& arguments = {})
{
    return runClient("gdbus", QStringList{"call", "--session", "--dest", kMprisBusName, "--object-path", kMprisObjectPath,
                                          "--method", method} + arguments);
}

QString property(const QString& name)
{
    return gdbusCall("org.freedesktop.DBus.Properties.Get", {"org.mpris.MediaPlayer2.Player", name}).out.trimmed();
}

// Sets a property of the player's interface as dbus-send writes it ("variant:double:1.5").
void setProperty(const QString& name, const QString& value)
{
    runClient("dbus-send", {"--session", "--print-reply", QString("--dest=") + kMprisBusName, kMprisObjectPath,
               "org.freedesktop.DBus.Properties.Set", "string:org.mpris.MediaPlayer2.Player", "string:" + name, value});
}

// A client that prints every signal the player's object sends, as it arrives.
ClientWatcher* signalMonitor()
{
    auto* watcher = new ClientWatcher({"gdbus", "monitor", "--session", "--dest", kMprisBusName, "--object-path",
                                       kMprisObjectPath});
    watcher->settle(QStringLiteral("is owned by"));
    return watcher;
}

class Mpris : public QueueTest {
protected:
    static void SetUpTestSuite()
    {
        g_bus = new PrivateSessionBus;
        ASSERT_FALSE(g_bus->address.isEmpty()) << "dbus-daemon did not start";
        qputenv("DBUS_SESSION_BUS_ADDRESS", g_bus->address.toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete g_bus;
        g_bus = nullptr;
    }
    void SetUp() override
    {
        QueueTest::SetUp();
        service = std::make_unique<MprisService>(
            *h->player, [this] { ++raised; }, [this] { service.reset(); });
        ASSERT_TRUE(service->isRegistered());
    }
    // The engine's calls, without the docking switch of the start-up dock check, which
    // comes 0.5 s after the start at a moment the test does not choose.
    QStringList engineCalls() const
    {
        QStringList calls = h->engine->calls();
        calls.removeAll("setModeChange(4,1)");
        return calls;
    }

    std::unique_ptr<MprisService> service;
    int raised = 0;
};

// A song with tags, a track number and a red cover, made by ffmpeg.
QString makeTaggedSong(const QTemporaryDir& dir)
{
    const QString cover = dir.filePath("cover.png");
    QImage red(32, 32, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(cover);
    const QString path = dir.filePath("tagged song.m4a");
    EXPECT_TRUE(test_files::makeTone(path.toStdString(), 1,
                                     "-i '" + cover.toStdString() + "' -map 0:a -map 1:v -c:a aac -c:v copy "
                                     "-disposition:v:0 attached_pic -metadata title=Tagged -metadata artist='Some Artist' "
                                     "-metadata album='Some Album' -metadata track=3/9"));
    return path;
}

} // namespace

TEST_F(Mpris, OpenedFileAndChosenSongShowTheirMetadata)
{
    EXPECT_EQ(playerctl({"status"}), "Stopped");
    EXPECT_EQ(property("CanPlay"), "(<false>,)");

    QTemporaryDir dir;
    const QString path = makeTaggedSong(dir);
    // The file goes through the import as a chosen song does: exported, then opened.
    playerctl({"open", QUrl::fromLocalFile(path).toString()});
    ASSERT_TRUE(waitFor([&] { return !h->engine->callsStartingWith("loadFiles").isEmpty(); }));
    EXPECT_EQ(h->engine->callsStartingWith("loadFiles"), QStringList{"loadFiles(music.m4a)"});
    EXPECT_EQ(h->player->currentPlayList().size(), 1);
    EXPECT_TRUE(h->player->itemsArray().isEmpty()) << "the list on screen changed";

    const QStringList fields =
        playerctl({"metadata", "--format",
                   "{{title}}|{{artist}}|{{album}}|{{xesam:trackNumber}}|{{mpris:length}}|{{mpris:artUrl}}"})
            .split('|');
    ASSERT_EQ(fields.size(), 6) << fields.join('|').toStdString();
    EXPECT_EQ(fields.mid(0, 4), (QStringList{"Tagged", "Some Artist", "Some Album", "3"}));
    EXPECT_NEAR(fields[4].toLongLong(), 1000000, 60000);
    const QString coverFile = QUrl(fields[5]).toLocalFile();
    const QImage cover(coverFile);
    ASSERT_FALSE(cover.isNull()) << fields[5].toStdString();
    EXPECT_EQ(cover.pixelColor(16, 16), QColor(Qt::red));
    EXPECT_EQ(playerctl({"status"}), "Playing");

    // The types clients rely on: an object path, 64-bit length, 32-bit track, artist list.
    const QString metadata = property("Metadata");
    EXPECT_TRUE(metadata.contains("'mpris:trackid': <objectpath '/org/tavoro/track/")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'mpris:length': <int64 ")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'xesam:trackNumber': <3>")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'xesam:artist': <['Some Artist']>")) << metadata.toStdString();

    // Opening the loaded song again plays it on where it was paused, without a new import.
    h->player->buttonPressedAction(1);
    EXPECT_EQ(playerctl({"status"}), "Paused");
    playerctl({"open", QUrl::fromLocalFile(path).toString()});
    EXPECT_EQ(playerctl({"status"}), "Playing");
    EXPECT_EQ(h->engine->callsStartingWith("loadFiles").size(), 1);

    // A song chosen in a list replaces it, and the old cover file goes.
    h->player->setItemsArray(listOf({makeSong("Listed", "aac", "m4a")}));
    h->player->chooseSongAtListIndex(0);
    EXPECT_EQ(playerctl({"metadata", "title"}), "Listed");
    EXPECT_EQ(playerctl({"metadata", "mpris:artUrl"}), "");
    EXPECT_FALSE(QFile::exists(coverFile));

    // What cannot be opened is refused with an error, and nothing changes.
    const ClientRun web = gdbusCall("org.mpris.MediaPlayer2.Player.OpenUri", {"http://example.org/a.mp3"});
    EXPECT_NE(web.exitCode, 0);
    EXPECT_TRUE(web.err.contains("NotSupported")) << web.err.toStdString();
    const ClientRun text = gdbusCall("org.mpris.MediaPlayer2.Player.OpenUri",
                                     {QUrl::fromLocalFile(dir.filePath("cover.png")).toString()});
    EXPECT_TRUE(text.err.contains("InvalidArgs")) << text.err.toStdString();
    EXPECT_EQ(title(), "Listed");
}

TEST_F(Mpris, TransportThroughTheBusActsAsTheButtons)
{
    choose(0);
    EXPECT_EQ(playerctl({"status"}), "Playing");

    playerctl({"play-pause"});
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "play.png");
    EXPECT_EQ(playerctl({"status"}), "Paused");
    playerctl({"pause"});  // already paused: nothing
    EXPECT_EQ(engineCalls(), QStringList{"stopAUGraph"});
    playerctl({"play"});
    EXPECT_EQ(h->engine->callsStartingWith("startAUGraph").size(), 1);
    EXPECT_EQ(playerctl({"status"}), "Playing");
    // A rate of 0 pauses.
    setProperty("Rate", "variant:double:0");
    EXPECT_EQ(playerctl({"status"}), "Paused");
    playerctl({"play"});

    playerctl({"next"});
    EXPECT_EQ(title(), "Song 1");
    EXPECT_EQ(playerctl({"metadata", "title"}), "Song 1");
    h->engine->loadState = true;  // the 0.8 s delayed load, done
    playerctl({"previous"});
    EXPECT_EQ(title(), "Song 0");
    ASSERT_TRUE(waitFor([&] { return !h->player->choicePending(); }, 2));
    h->engine->loadState = true;

    h->engine->playing = true;
    h->player->playbackSlider->setMaximum(60 * 44100);  // the track is open
    reportPosition(5 * 44100);
    EXPECT_NEAR(playerctl({"position"}).toDouble(), 5.0, 0.5);
    playerctl({"stop"});
    EXPECT_FALSE(h->engine->playing.load());
    EXPECT_EQ(playerctl({"status"}), "Paused");

    // Play-once: next on the last song returns to the list, and the player is stopped.
    choose(2);
    playerctl({"next"});
    EXPECT_TRUE(h->player->currentSong().isNull());
    EXPECT_EQ(playerctl({"status"}), "Stopped");
    EXPECT_EQ(property("CanGoNext"), "(<false>,)");
}

TEST_F(Mpris, PlayModesBothWaysAndAWatchingClientHearsOfThem)
{
    std::unique_ptr<ClientWatcher> monitor(signalMonitor());
    for (const auto& [loop, mode] : {std::pair{"Track", 2}, {"None", 0}, {"Playlist", 1}}) {
        playerctl({"loop", loop});
        EXPECT_EQ(h->player->playModeFlag(), mode) << loop;
        EXPECT_EQ(h->player->playControlArray()->integerValue(PlayModeKey), mode) << loop;
    }
    playerctl({"shuffle", "On"});
    EXPECT_TRUE(h->player->shuffleEnabled());

    // The player's own buttons: the bus reads the new modes, and a watcher is told.
    monitor->settle("'Shuffle': <true>");
    h->player->PlayModeButtonchange(0);
    h->player->PlayModeButtonchange(3);
    EXPECT_TRUE(monitor->waitForText("PropertiesChanged")) << monitor->output().toStdString();
    EXPECT_TRUE(monitor->output().contains("'LoopStatus': <'Track'>")) << monitor->output().toStdString();
    EXPECT_TRUE(monitor->output().contains("'Shuffle': <false>")) << monitor->output().toStdString();
    EXPECT_EQ(monitor->output().count("PropertiesChanged"), 1) << "two presses in one turn, one report";
    EXPECT_EQ(playerctl({"loop"}), "Track");
    EXPECT_EQ(playerctl({"shuffle"}), "Off");

    // A client following the status sees every change the player makes itself.
    choose(0);
    ClientWatcher follower({"playerctl", "--player=tavoro", "--follow", "status"});
    ASSERT_TRUE(follower.waitForText("Playing"));
    h->player->buttonPressedAction(1);
    EXPECT_TRUE(follower.waitForText("Paused"));
    // Next shows "play.png", clears the display and shows the next song: the status the
    // clients see never flickers, while the track changes.
    monitor->settle("Paused");
    h->player->buttonPressedAction(1);
    h->player->buttonPressedAction(3);
    EXPECT_TRUE(monitor->waitForText("Song 1"));
    EXPECT_FALSE(monitor->output().contains("'PlaybackStatus': <'Paused'>")) << monitor->output().toStdString();
}

TEST_F(Mpris, SeeksGoThroughTheSliderAndAreAnnounced)
{
    choose(1);
    h->player->playbackSlider->setMaximum(60 * 44100);  // the track is open
    std::unique_ptr<ClientWatcher> monitor(signalMonitor());

    // A user's drag of the slider: Seeked once, when it is let go.
    QSlider* slider = h->player->playbackSlider;
    slider->setSliderDown(true);
    slider->setValue(10 * 44100);
    slider->setValue(12 * 44100);
    slider->setSliderDown(false);
    EXPECT_TRUE(monitor->waitForText("Seeked (int64 12000000,)")) << monitor->output().toStdString();
    EXPECT_EQ(monitor->output().count("Seeked"), 1);

    // From the bus: absolute, then relative, as slider moves that the engine follows.
    h->engine->clearCalls();
    playerctl({"position", "30"});
    EXPECT_EQ(engineCalls(), (QStringList{"FileSeek(1323000)", "LockSeekChange(0)"}));
    EXPECT_TRUE(monitor->waitForText("Seeked (int64 30000000,)"));
    playerctl({"position", "10-"});
    EXPECT_EQ(slider->value(), 20 * 44100);
    playerctl({"position", "5-"});
    EXPECT_NEAR(playerctl({"position"}).toDouble(), 15.0, 0.5);
    // Repeat one: at its end the song starts over under the same track id, a jump back.
    playerctl({"loop", "Track"});
    reportPosition(60 * 44100, true);
    EXPECT_TRUE(monitor->waitForText("Seeked (int64 0,)")) << monitor->output().toStdString();
    h->engine->loadState = true;
    h->player->playbackSlider->setMaximum(60 * 44100);
    playerctl({"position", "15"});

    // A position for another track changes nothing; past the end is the next song.
    const ClientRun other = gdbusCall("org.mpris.MediaPlayer2.Player.SetPosition", {"/org/tavoro/track/1", "1000000"});
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_EQ(h->engine->callsStartingWith("FileSeek").size(), 4);
    playerctl({"position", "100+"});
    EXPECT_EQ(title(), "Song 2");
}

TEST_F(Mpris, RateFollowsSpeedPitchAndVolumeTheVolumeControl)
{
    std::unique_ptr<ClientWatcher> monitor(signalMonitor());
    EXPECT_EQ(property("Rate"), "(<1.0>,)");
    // Off: a rate is refused, the speed stays.
    setProperty("Rate", "variant:double:1.5");
    EXPECT_TRUE(h->engine->callsStartingWith("setSpeedPitch").isEmpty());

    NotificationCenter::defaultCenter().postNotification(SpeedPitchSettingNotification, nullptr,
                                                         {{SpeedPitchOnOffKey, 2}, {SpeedPitchSpeedKey, 12}});
    EXPECT_TRUE(monitor->waitForText("'Rate': <1.2>")) << monitor->output().toStdString();
    h->engine->clearCalls();
    setProperty("Rate", "variant:double:1.5");
    EXPECT_EQ(engineCalls(), (QStringList{"setSpeedPitch(1,15)", "setSpeedPitch(3,150)"}));
    EXPECT_EQ(h->player->settingValueArray()->integerValue(SpeedPitchSPKey), 150);
    EXPECT_EQ(property("Rate"), "(<1.5>,)");
    setProperty("Rate", "variant:double:4.0");  // out of range
    EXPECT_EQ(property("Rate"), "(<1.5>,)");

    QAbstractSlider* volume = h->player->volumeView->findChild<QAbstractSlider*>();
    ASSERT_NE(volume, nullptr);
    // With no audio server the system volume control stays disabled and a volume from the
    // bus is refused; once the server has reported its volume the control takes it.
    playerctl({"volume", "0.4"});
    EXPECT_EQ(volume->value(), volume->minimum());
    volume->setEnabled(true);
    playerctl({"volume", "0.4"});
    EXPECT_EQ(volume->value(), volume->minimum() + (volume->maximum() - volume->minimum()) * 2 / 5);
    monitor->settle("'Volume': <0.4");
    volume->setValue(volume->maximum());
    EXPECT_TRUE(monitor->waitForText("'Volume': <1.0>")) << monitor->output().toStdString();
    EXPECT_EQ(playerctl({"volume"}).toDouble(), 1.0);
}

TEST_F(Mpris, RaiseQuitAndTheServiceGoneAfterQuitting)
{
    EXPECT_TRUE(runClient("playerctl", {"--list-all"}).out.split('\n').contains("tavoro"));
    EXPECT_EQ(gdbusCall("org.mpris.MediaPlayer2.Raise").exitCode, 0);
    EXPECT_EQ(raised, 1);
    // The quit answers first, then runs the application's quit (here: the service goes).
    EXPECT_EQ(gdbusCall("org.mpris.MediaPlayer2.Quit").exitCode, 0);
    ASSERT_TRUE(waitFor([&] { return !service; }, 5));
    EXPECT_FALSE(runClient("playerctl", {"--list-all"}).out.contains("tavoro"));
    EXPECT_NE(gdbusCall("org.freedesktop.DBus.Peer.Ping").exitCode, 0);
}

TEST(MprisWithoutBus, SaysSoOnceAndThePlayerGoesOn)
{
    AudioSessionResetForTesting();
    PlayerHarness h;
    ::testing::internal::CaptureStderr();
    MprisService service(*h.player, {}, {}, QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nobus"));
    const QString err = QString::fromStdString(::testing::internal::GetCapturedStderr());
    EXPECT_FALSE(service.isRegistered());
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("Desktop media controls are off: no session bus")) << err.toStdString();

    h.player->setItemsArray(listOf({fakeSong("Alone")}));
    h.player->chooseSongAtListIndex(0);
    h.engine->loadState = true;
    h.player->buttonPressedAction(1);
    EXPECT_EQ(h.engine->callsStartingWith("startAUGraph").size(), 1);
}
