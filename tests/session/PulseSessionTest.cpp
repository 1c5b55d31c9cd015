// The session on a real audio server: null sinks stand for the speaker, wired headphones,
// Bluetooth headphones and a dock's line output; a phone-role stream interrupts music. The
// player plays a real song through the real engine, and recordings of the sinks' monitors
// tell what was heard where.

#include "PlayerTestSupport.h"
#include "../audio/PulseDaemon.h"

#include "engine/EngineGlobals.h"
#include "library/DTMusicModelController.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audio/OutputUnit.h"
#include "player/AUGraphPlayerEngine.h"
#include "player/AudioSessionSetup.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace {

// Counts the callbacks that reach the player, and those that came on a wrong thread.
struct Delegate final : AudioSessionContext {
    TavoroViewController* player = nullptr;
    mutable std::atomic<int> calls{0}, offMainThread{0};
    TavoroViewController* tavoroViewController() const override
    {
        ++calls;
        if (!RunLoop::isMainThread() || OutputUnit::OnRenderThread())
            ++offMainThread;
        return player;
    }
};

std::optional<std::string> currentRoute()
{
    std::optional<std::string> route;
    AudioSessionCopyAudioRoute(&route);
    return route;
}

class PulseSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioSessionResetForTesting();
        const std::string why = daemon.start("session-pulse", {
            "module-null-sink sink_name=headphones norewinds=1 sink_properties=device.form_factor=headphone",
            "module-null-sink sink_name=bt norewinds=1 "
            "sink_properties='device.bus=bluetooth device.form_factor=headset'",
            "module-null-sink sink_name=dock norewinds=1 sink_properties=device.form_factor=hifi",
            "module-role-cork trigger_roles=phone cork_roles=music",
        });
        if (!why.empty())
            GTEST_SKIP() << why;
        ASSERT_EQ(daemon.run({"pactl", "set-default-sink", "speaker"}), 0);
        AudioOutputSetCapture(nullptr);
        AudioOutputForceNull(false);
    }

    void TearDown() override
    {
        player.reset();
        AudioSessionResetForTesting();
        AudioOutputForceNull(true);
        daemon.stop();
        EXPECT_EQ(delegate.offMainThread.load(), 0) << "a session callback ran off the main thread";
    }

    // The player on the real engine, with the session set up as at launch.
    void launch()
    {
        auto made = std::make_unique<AUGraphPlayerEngine>();
        engine = &made->controller();
        player = std::make_unique<TavoroViewController>(std::move(made), std::make_shared<DTMusicModelController>());
        player->viewDidLoad();
        delegate.player = player.get();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        SetUpAudioSession(&delegate);
        setUpErrors = testing::internal::GetCapturedStderr();
        setUpLines = testing::internal::GetCapturedStdout();
        engine->initializeAUGraph(2);
        player->setUIDefaults();
    }

    void playSong()
    {
        player->setItemsArray(listOf({makeSong("session", "aac", "m4a", 30.0)}));
        player->chooseSongAtListIndex(0);
        ASSERT_TRUE(waitFor([&] { return engine->isPlaying() && engine->currentFrame() > 0; }, 10));
    }

    void setDefault(const std::string& sink, const std::string& route)
    {
        const int callbacks = delegate.calls.load();
        ASSERT_EQ(daemon.run({"pactl", "set-default-sink", sink}), 0);
        ASSERT_TRUE(waitFor([&] { return delegate.calls.load() > callbacks; }, 5)) << "no route change for " << sink;
        ASSERT_EQ(currentRoute(), route);
    }

    // Records the sink's monitor for `seconds`; true when music (not silence) reached it.
    bool heardOn(const std::string& sink, double seconds = 0.6)
    {
        const std::filesystem::path file = daemon.dir / (sink + ".raw");
        daemon.record(file, sink);
        waitFor([] { return false; }, seconds);
        daemon.stopRecording();
        const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(file);
        return std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s > 500 || s < -500; });
    }

    int docking() const { return player->settingValueArray()->integerValue(DockingoModeChangeKey); }

    pulse_test::PulseDaemon daemon;
    Delegate delegate;
    AUGraphController* engine = nullptr;
    std::unique_ptr<TavoroViewController> player;
    std::string setUpLines, setUpErrors;
};

} // namespace

TEST_F(PulseSession, RouteChangesWhilePlayingPauseOrDockAsTheOutputDemands)
{
    launch();
    EXPECT_EQ(setUpErrors, "");
    // The set-up's lines are checked against a scripted session; here, the server's rate.
    EXPECT_NE(setUpLines.find("Current Hardware Sample Rate: 44100Hz\n"), std::string::npos) << setUpLines;
    EXPECT_EQ(currentRoute(), "Speaker");
    playSong();
    EXPECT_TRUE(heardOn("speaker"));

    // Wired headphones plugged in: the music follows, nothing else happens.
    setDefault("headphones", "Headphone");
    EXPECT_TRUE(engine->isPlaying());
    EXPECT_TRUE(heardOn("headphones"));
    // ... and unplugged: paused, the position kept, the speaker silent.
    setDefault("speaker", "Speaker");
    ASSERT_TRUE(waitFor([&] { return !engine->isPlaying(); }, 3)) << "headphones unplugged and still playing";
    const int64_t pausedAt = engine->currentFrame();
    EXPECT_GT(pausedAt, 0);
    EXPECT_FALSE(heardOn("speaker"));
    EXPECT_EQ(imageNameOf(player->playOrPauseToggleButton), "play.png");

    // Bluetooth headphones lost: playback goes on through the speaker.
    player->buttonPressedAction(1);
    setDefault("bt", "HeadphoneBT");
    setDefault("speaker", "Speaker");
    EXPECT_TRUE(engine->isPlaying());
    EXPECT_TRUE(heardOn("speaker"));
    EXPECT_GT(engine->currentFrame(), pausedAt);

    // Into the dock: Docking Mode on and the music on the dock's line output (what docking
    // switches off and hides is checked against a scripted session).
    setDefault("dock", "LineOut");
    EXPECT_EQ(docking(), 2);
    EXPECT_TRUE(DockingModeOnOffFlag.load());
    EXPECT_TRUE(engine->isPlaying());
    EXPECT_TRUE(heardOn("dock"));

    // Out of the dock: Docking Mode off, paused.
    setDefault("speaker", "Speaker");
    EXPECT_TRUE(waitFor([&] { return !engine->isPlaying(); }, 3)) << "taken out of the dock and still playing";
    EXPECT_EQ(docking(), 1);
}

TEST_F(PulseSession, APhoneCallInterruptsAndPlaybackResumesWhereItStoppedAfterActivation)
{
    launch();
    playSong();
    InterruptionResume resume;

    testing::internal::CaptureStdout();
    pid_t call = daemon.spawn({"pacat", "--playback", "--property=media.role=phone", "--raw", "--format=s16le",
                                "--rate=44100", "--channels=2", "/dev/zero"});
    const bool stopped = waitFor([&] { return !engine->isPlaying(); }, 5);
    std::string lines = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(stopped) << "the call did not interrupt the music";
    EXPECT_NE(lines.find("Session interrupted! --- Begin Interruption ---\n"), std::string::npos);
    EXPECT_TRUE(player->interruptPlayStopFlag());
    EXPECT_EQ(imageNameOf(player->playOrPauseToggleButton), "play.png");
    const int64_t stoppedAt = engine->currentFrame();
    EXPECT_FALSE(heardOn("speaker", 0.5)) << "music heard during the call";

    testing::internal::CaptureStdout();
    pulse_test::End(call, SIGINT);
    waitFor([] { return false; }, 1.0);
    lines = testing::internal::GetCapturedStdout();
    EXPECT_NE(lines.find("Session interrupted! --- End Interruption ---\n"), std::string::npos) << lines;
    EXPECT_FALSE(engine->isPlaying()) << "resumed before the application became active";

    resume.applicationDidBecomeActive(player.get());
    ASSERT_TRUE(waitFor([&] { return engine->isPlaying(); }, 3));
    EXPECT_GE(engine->currentFrame(), stoppedAt);
    EXPECT_LT(engine->currentFrame(), stoppedAt + 44100 / 2) << "did not resume where it stopped";
    EXPECT_FALSE(player->interruptPlayStopFlag());
    EXPECT_TRUE(heardOn("speaker"));
}

TEST(PulseSessionWithoutServer, SetUpReportsTheMissingServerAndRoutesStayOnTheSpeaker)
{
    AudioSessionResetForTesting();
    const char* saved = getenv("PULSE_SERVER");
    const std::string previous = saved ? saved : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/tavoro-session-test", 1);
    Delegate delegate;
    testing::internal::CaptureStderr();
    SetUpAudioSession(&delegate);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: couldn't initialize audio session ('nohw')\n");
    EXPECT_EQ(currentRoute(), "Speaker");
    if (saved)
        setenv("PULSE_SERVER", previous.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}
