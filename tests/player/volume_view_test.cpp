// The volume slider follows the server's volume by the server's own change reports. The
// test delivers only posted events (never timers), so a slider that asked the server again
// on a timer would never see the changes.

#include "player/MPVolumeView.h"

#include "../audio/PulseDaemon.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSlider>

#include <chrono>
#include <thread>

namespace {

bool ShowsVolume(MPVolumeView& view, int percent)
{
    for (int i = 0; i < 1000; ++i) {
        QCoreApplication::sendPostedEvents();
        if (view.systemVolume() == percent && view.slider()->value() == percent)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(VolumeView, FollowsVolumeAndDefaultSinkChangesMadeElsewhere)
{
    pulse_test::PulseDaemon server;
    const std::string why = server.start("volume-view", {"module-null-sink sink_name=wired norewinds=1"});
    if (!why.empty())
        GTEST_SKIP() << why;
    ASSERT_EQ(server.run({"pactl", "set-default-sink", "speaker"}), 0);
    ASSERT_EQ(server.run({"pactl", "set-sink-volume", "speaker", "40%"}), 0);
    ASSERT_EQ(server.run({"pactl", "set-sink-volume", "wired", "70%"}), 0);
    {
        MPVolumeView view;
        ASSERT_TRUE(ShowsVolume(view, 40));
        EXPECT_TRUE(view.slider()->isEnabled());

        ASSERT_EQ(server.run({"pactl", "set-sink-volume", "speaker", "55%"}), 0);
        EXPECT_TRUE(ShowsVolume(view, 55)) << "a volume change made elsewhere";
        ASSERT_EQ(server.run({"pactl", "set-default-sink", "wired"}), 0);
        EXPECT_TRUE(ShowsVolume(view, 70)) << "the new default sink's volume";
    }
    server.stop();
}
