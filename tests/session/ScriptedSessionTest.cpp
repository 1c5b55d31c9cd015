// The session's set-up and callbacks against a scripted session: the exact lines and the
// exact player calls for each route change and interruption.

#include "PlayerTestSupport.h"

#include "engine/CAXException.h"
#include "engine/RouteChange.h"
#include "platform/session/AudioSessionServer.h"
#include "platform/session/SinkRoute.h"
#include "player/AudioSessionSetup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

std::string fourCC(UInt32 code)
{
    return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// Answers what the script says and records every call by name.
class ScriptedServer final : public AudioSessionServer {
public:
    std::vector<std::string> calls;
    std::map<std::string, OSStatus> failing;
    std::optional<std::string> route = std::string("Speaker");
    OSStatus routeStatus = noErr;

    OSStatus open() override { return step("open"); }
    void close() override { calls.push_back("close"); }
    OSStatus setCategory(UInt32 category) override { return step("category " + fourCC(category)); }
    OSStatus setPreferredIOBufferDuration(Float32 s) override { return step("iobd " + std::to_string(s)); }
    OSStatus setPreferredSampleRate(Float64 hz) override { return step("hwsr " + std::to_string(int(hz))); }
    OSStatus setActive(bool active) override { return step(active ? "active" : "inactive"); }
    OSStatus currentIOBufferDuration(Float32* s) override { *s = 0.02f; return step("chbd"); }
    OSStatus currentSampleRate(Float64* hz) override { *hz = 48000; return step("chsr"); }
    OSStatus currentOutputLatency(Float32* s) override { *s = 0.005f; return step("cool"); }
    OSStatus currentRoute(std::optional<std::string>* r) override
    {
        if (routeStatus == noErr)
            *r = route;
        return routeStatus;
    }

    // The route becomes `to`, and the session hears of it as the server would report it.
    void changeRoute(std::optional<std::string> to, SInt32 reason)
    {
        std::optional<std::string> old = route;
        route = std::move(to);
        AudioSessionReportRouteChange(reason, std::move(old));
    }

private:
    OSStatus step(const std::string& name)
    {
        calls.push_back(name);
        auto it = failing.find(name);
        return it == failing.end() ? noErr : it->second;
    }
};

struct Delegate final : AudioSessionContext {
    TavoroViewController* player = nullptr;
    TavoroViewController* tavoroViewController() const override { return player; }
};

class ScriptedSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioSessionResetForTesting();
        server = std::make_shared<ScriptedServer>();
        AudioSessionSetServerForTesting(server);
        h = std::make_unique<PlayerHarness>();
        delegate.player = h->player.get();
        waitFor([] { return false; }, 0.6); // the player's own dock check at start-up
    }
    void TearDown() override { AudioSessionResetForTesting(); }

    void setUpQuietly()
    {
        testing::internal::CaptureStdout();
        SetUpAudioSession(&delegate);
        testing::internal::GetCapturedStdout();
        server->calls.clear();
    }
    // A song chosen from the list, loaded and playing (or paused).
    void songLoaded(bool playing)
    {
        h->player->setItemsArray(listOf({fakeSong("Song")}));
        h->player->chooseSongAtListIndex(0);
        h->engine->loadState = true;
        h->engine->playing = playing;
        h->engine->clearCalls();
    }
    // Runs the queued session callbacks and answers what they printed.
    std::string deliver()
    {
        testing::internal::CaptureStdout();
        waitFor([] { return false; }, 0.1);
        return testing::internal::GetCapturedStdout();
    }
    int docking() const { return h->player->settingValueArray()->integerValue(DockingoModeChangeKey); }

    std::shared_ptr<ScriptedServer> server;
    std::unique_ptr<PlayerHarness> h;
    Delegate delegate;
};

} // namespace

TEST_F(ScriptedSession, SetUpRunsEveryStepInOrderUntilOneFailsWithOneErrorLine)
{
    const std::vector<std::string> steps = {"open", "category medi", "iobd 0.020000", "hwsr 44100",
                                            "active", "chbd", "chsr", "cool"};
    const struct {
        const char* step; // the failing step; "" for none
        OSStatus status;
        const char* line;
    } cases[] = {
        {"", noErr, ""},
        {"open", kAudioSessionNoHardwareError, "Error: couldn't initialize audio session ('nohw')\n"},
        {"category medi", -50, "Error: couldn't set audio category (-50)\n"},
        {"iobd 0.020000", 199999, "Error: couldn't set i/o buffer duration (199999)\n"},
        {"hwsr 44100", -200000, "Error: couldn't set hw sample rate (0xfffcf2c0)\n"},
        {"active", OSStatus(FourCC("!act")), "Error: couldn't set audio session active\n ('!act')\n"},
        {"chbd", OSStatus(0x80000001), "Error: couldn't get iobuffer duration (0x80000001)\n"},
        {"chsr", OSStatus(0x7f7f7f7f), "Error: couldn't get hw sample rate (0x7f7f7f7f)\n"},
        {"cool", 1, "Error: couldn't get output latency (1)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        AudioSessionResetForTesting();
        server = std::make_shared<ScriptedServer>();
        server->failing[c.step] = c.status;
        server->route = "LineOut";
        AudioSessionSetServerForTesting(server);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        SetUpAudioSession(&delegate);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
        const std::string out = testing::internal::GetCapturedStdout();
        const auto failed = std::find(steps.begin(), steps.end(), c.step);
        EXPECT_EQ(server->calls, std::vector<std::string>(steps.begin(), failed + (failed != steps.end())));
        // A failed initialisation leaves no session: the route is the speaker's.
        EXPECT_EQ(RouteChange().getRouteState(), c.step != std::string("open"));
        if (!*c.step) {
            EXPECT_EQ(out, "Current IOBufferDuration: 20.000000ms\nCurrent Hardware Sample Rate: 48000Hz\n"
                           "Current Hardware Output Latency: 5.000000ms\n");
        }
    }
    // Initialised once: a second set-up fails at its first step.
    testing::internal::CaptureStderr();
    SetUpAudioSession(&delegate);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: couldn't initialize audio session ('init')\n");
    EXPECT_EQ(std::string(CAXException(std::string(300, 'x').c_str(), 0).operation()), std::string(255, 'x'));
}

TEST_F(ScriptedSession, RouteChangesPauseOrDockThePlayerByOldAndNewRoute)
{
    const struct {
        const char* from;
        const char* to;
        bool pauses;
        int docking; // stored Docking Mode afterwards
    } cases[] = {
        {"Headphone", "Speaker", true, 1},    // headphones unplugged
        {"HeadphoneBT", "Speaker", false, 1}, // Bluetooth headphones lost: plays on
        {"Speaker", "LineOut", false, 2},     // docked: effects reduced, plays on
        {"LineOut", "Speaker", true, 1},      // taken out of the dock
        {"Speaker", "Headphone", false, 1},
    };
    setUpQuietly();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        songLoaded(true);
        h->player->setSettingValueList(EqualizerOnOff, 2);
        server->route = c.from;
        server->changeRoute(std::string(c.to), kAudioSessionRouteChangeReason_OldDeviceUnavailable);
        EXPECT_EQ(deliver(), std::string("propertyListener: 1919902568\nAudio Route Change, Reason: 2\nOld Route: ")
                                 + c.from + "\nNew Route: " + c.to + "\n");
        EXPECT_EQ(h->engine->calls().contains("stopAUGraph"), c.pauses);
        EXPECT_EQ(h->engine->isPlaying(), !c.pauses);
        EXPECT_EQ(docking(), c.docking);
        EXPECT_EQ(h->player->volumeView->isHidden(), c.docking == 2);
        EXPECT_EQ(h->player->hwDockingState(), c.docking == 2);
        // Docking switches the master on and the equalizer, stage and speed/pitch off.
        EXPECT_EQ(h->engine->calls().contains("setModeChange(4,1)"), c.docking == 2);
        EXPECT_EQ(h->player->settingValueArray()->integerValue(EqualizerOnOff), c.docking == 2 ? 1 : 2);
    }
}

TEST_F(ScriptedSession, ARouteThatCannotBeReadIsReportedAndIgnored)
{
    setUpQuietly();
    songLoaded(true);
    server->route = "Headphone";
    server->routeStatus = kAudioSessionUnspecifiedError;
    testing::internal::CaptureStderr();
    server->changeRoute(std::string("Speaker"), kAudioSessionRouteChangeReason_OldDeviceUnavailable);
    const std::string out = deliver();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: couldn't get new audio route ('what')\n");
    EXPECT_EQ(out.find("New Route"), std::string::npos);
    EXPECT_TRUE(h->engine->calls().isEmpty());

    // No route at all: the change ends after the old route, and nothing is called.
    server->routeStatus = noErr;
    server->changeRoute(std::nullopt, kAudioSessionRouteChangeReason_OldDeviceUnavailable);
    EXPECT_EQ(deliver(), "propertyListener: 1919902568\nAudio Route Change, Reason: 2\nOld Route: Speaker\n");
    EXPECT_TRUE(h->engine->calls().isEmpty());
    EXPECT_FALSE(RouteChange().getRouteState());
}

TEST_F(ScriptedSession, AnInterruptedSongResumesOnlyAfterTheApplicationIsActiveAgain)
{
    setUpQuietly();
    songLoaded(true);
    InterruptionResume resume;

    AudioSessionReportInterruption(kAudioSessionBeginInterruption);
    EXPECT_EQ(deliver(), "Session interrupted! --- Begin Interruption ---\n");
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph"}));
    EXPECT_TRUE(h->player->interruptPlayStopFlag());
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "play.png");

    AudioSessionReportInterruption(kAudioSessionEndInterruption);
    EXPECT_EQ(deliver(), "Session interrupted! --- End Interruption ---\n");
    EXPECT_EQ(server->calls, std::vector<std::string>{"active"});
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph"})) << "resumed before the application was active";

    resume.applicationDidBecomeActive(h->player.get());
    waitFor([] { return false; }, 0.7);
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph"})) << "resumed before about a second";
    ASSERT_TRUE(waitFor([&] { return h->engine->isPlaying(); }, 2.0));
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph", "startAUGraph(1)"}));
    EXPECT_FALSE(h->player->interruptPlayStopFlag());
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "stop.png");

    // A call while paused: nothing stops, and nothing resumes afterwards.
    h->engine->playing = false;
    h->engine->clearCalls();
    AudioSessionReportInterruption(kAudioSessionBeginInterruption);
    AudioSessionReportInterruption(kAudioSessionEndInterruption);
    deliver();
    EXPECT_FALSE(h->player->interruptPlayStopFlag());
    resume.applicationDidBecomeActive(h->player.get());
    waitFor([&] { return !resume.isPending(); }, 2.0);
    EXPECT_TRUE(h->engine->calls().isEmpty());

    // A report queued before the session ended reaches nobody.
    AudioSessionReportInterruption(kAudioSessionBeginInterruption);
    AudioSessionResetForTesting();
    EXPECT_EQ(deliver(), "");
}

TEST(SinkRoute, TheActivePortDecidesBeforeTheFormFactorAndBluetoothBeforeBoth)
{
    const struct {
        const char* bus;
        const char* formFactor;
        SinkPortKind port;
        const char* route;
    } cases[] = {
        {"pci", "internal", SinkPortKind::Speaker, "Speaker"},
        {"pci", "", SinkPortKind::Headphones, "Headphone"},
        {"usb", "headset", SinkPortKind::Unknown, "Headphone"},
        {"pci", "", SinkPortKind::LineOut, "LineOut"},
        {"usb", "hifi", SinkPortKind::Other, "LineOut"},
        {"pci", "hifi", SinkPortKind::Speaker, "Speaker"},
        {"bluetooth", "headset", SinkPortKind::Headset, "HeadphoneBT"},
        {"", "", SinkPortKind::Unknown, "Speaker"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RouteNameForSink({c.bus, c.formFactor, c.port}), c.route) << c.bus << " " << c.formFactor;
}

// The real session with no audio server to reach: one error line, and the route stays on the
// speaker.
TEST(SessionWithoutServer, SetUpReportsTheMissingServerAndRoutesStayOnTheSpeaker)
{
    AudioSessionResetForTesting();
    const char* saved = getenv("PULSE_SERVER");
    const std::string previous = saved ? saved : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/tavoro-session-test", 1);
    Delegate delegate;
    testing::internal::CaptureStderr();
    SetUpAudioSession(&delegate);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: couldn't initialize audio session ('nohw')\n");
    std::optional<std::string> route;
    AudioSessionCopyAudioRoute(&route);
    EXPECT_EQ(route, "Speaker");
    if (saved)
        setenv("PULSE_SERVER", previous.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}
