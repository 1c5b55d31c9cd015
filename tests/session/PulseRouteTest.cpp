// The session on a real audio server, without the player: the route of each kind of
// device, the reports of route changes, and interruptions while nothing plays.

#include "../EventLoopWait.h"
#include "../audio/PulseDaemon.h"

#include "platform/foundation/RunLoop.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QString>
#include <QVariantMap>

#include <csignal>

namespace {

struct Heard {
    std::vector<std::string> events;
    int offMainThread = 0;
};

void onInterruption(void* data, UInt32 state)
{
    auto* heard = static_cast<Heard*>(data);
    heard->offMainThread += RunLoop::isMainThread() ? 0 : 1;
    heard->events.push_back(state == kAudioSessionBeginInterruption ? "begin" : "end");
}

void onRouteChange(void* data, AudioSessionPropertyID, UInt32, const void* details)
{
    auto* heard = static_cast<Heard*>(data);
    heard->offMainThread += RunLoop::isMainThread() ? 0 : 1;
    const auto& map = *static_cast<const QVariantMap*>(details);
    heard->events.push_back("reason " + map.value(kAudioSession_AudioRouteChangeKey_Reason).toString().toStdString()
                            + " from " + map.value(kAudioSession_AudioRouteChangeKey_OldRoute).toString().toStdString());
}

std::optional<std::string> currentRoute()
{
    std::optional<std::string> route;
    AudioSessionCopyAudioRoute(&route);
    return route;
}

} // namespace

TEST(PulseRoute, RoutesChangesAndInterruptionsAsTheServerReportsThem)
{
    pulse_test::PulseDaemon daemon;
    const std::string why = daemon.start("session-route", {
        "module-null-sink sink_name=headphones norewinds=1 sink_properties=device.form_factor=headphone",
        "module-null-sink sink_name=bt norewinds=1 sink_properties='device.bus=bluetooth device.form_factor=headset'",
        "module-null-sink sink_name=dock norewinds=1 sink_properties=device.form_factor=hifi",
        "module-role-cork trigger_roles=phone cork_roles=music",
    });
    if (!why.empty())
        GTEST_SKIP() << why;
    ASSERT_EQ(daemon.run({"pactl", "set-default-sink", "speaker"}), 0);
    AudioSessionResetForTesting();
    Heard heard;
    ASSERT_EQ(AudioSessionInitialize(nullptr, nullptr, &onInterruption, &heard), noErr);
    ASSERT_EQ(AudioSessionAddPropertyListener(kAudioSessionProperty_AudioRouteChange, &onRouteChange, &heard), noErr);
    ASSERT_EQ(AudioSessionSetActive(true), noErr);
    EXPECT_EQ(currentRoute(), "Speaker");
    Float64 rate = 0;
    UInt32 size = sizeof rate;
    ASSERT_EQ(AudioSessionGetProperty(kAudioSessionProperty_CurrentHardwareSampleRate, &size, &rate), noErr);
    EXPECT_EQ(rate, 44100.0) << "the null sinks' rate";

    const std::pair<const char*, const char*> sinks[] = {
        {"headphones", "Headphone"}, {"bt", "HeadphoneBT"}, {"dock", "LineOut"}, {"speaker", "Speaker"}};
    for (const auto& [sink, route] : sinks) {
        ASSERT_EQ(daemon.run({"pactl", "set-default-sink", sink}), 0);
        EXPECT_TRUE(waitFor([&] { return currentRoute() == route; }, 5)) << sink;
    }
    // A volume change is no route change.
    ASSERT_EQ(daemon.run({"pactl", "set-sink-volume", "speaker", "50%"}), 0);
    waitFor([&] { return heard.events.size() >= 4; }, 5);
    waitFor([] { return false; }, 0.3);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"reason 1 from Speaker", "reason 1 from Headphone",
                                                      "reason 1 from HeadphoneBT", "reason 1 from LineOut"}));

    // The device in use goes away: the old device is reported unavailable.
    std::string module;
    ASSERT_EQ(daemon.run({"pactl", "load-module", "module-null-sink", "sink_name=wired", "norewinds=1",
                          "sink_properties=device.form_factor=headset"},
                         &module),
              0);
    heard.events.clear();
    ASSERT_EQ(daemon.run({"pactl", "set-default-sink", "wired"}), 0);
    ASSERT_TRUE(waitFor([&] { return heard.events.size() == 1; }, 5));
    ASSERT_EQ(currentRoute(), "Headphone");
    heard.events.clear();
    ASSERT_EQ(daemon.run({"pactl", "unload-module", module.substr(0, module.find('\n'))}), 0);
    EXPECT_TRUE(waitFor([&] { return !heard.events.empty(); }, 5));
    waitFor([] { return false; }, 0.3);
    EXPECT_EQ(heard.events, std::vector<std::string>{"reason 2 from Headphone"});

    // A phone call while nothing of ours plays: the session hears its begin and its end,
    // once each even when a second call joins.
    heard.events.clear();
    const std::vector<std::string> phone = {"pacat", "--playback", "--property=media.role=phone", "--raw",
                                            "/dev/zero"};
    pid_t call = daemon.spawn(phone);
    EXPECT_TRUE(waitFor([&] { return heard.events.size() == 1; }, 5));
    pid_t second = daemon.spawn(phone);
    waitFor([] { return false; }, 0.5);
    pulse_test::End(call, SIGINT);
    waitFor([] { return false; }, 0.3);
    pulse_test::End(second, SIGINT);
    EXPECT_TRUE(waitFor([&] { return heard.events.size() == 2; }, 5));
    waitFor([] { return false; }, 0.3);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(heard.offMainThread, 0);

    // Inactive, the session no longer stands on the server: no calls reach it.
    ASSERT_EQ(AudioSessionSetActive(false), noErr);
    call = daemon.spawn(phone);
    waitFor([] { return false; }, 0.5);
    EXPECT_EQ(heard.events.size(), 2u);
    AudioSessionResetForTesting();
}
