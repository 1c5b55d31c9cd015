// The player on the real audio engine, playing into a capturing output: a chosen song is
// heard, its end returns to the list, and an effect change reaches the engine's flags.

#include "PlayerTestSupport.h"

#include "engine/EngineGlobals.h"
#include "library/DTMusicModelController.h"
#include "platform/audio/AudioCapture.h"
#include "platform/session/AudioSession.h"
#include "player/AUGraphPlayerEngine.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(RealEngine, ChosenSongReachesTheOutputAndItsEndReturnsToTheList)
{
    RealEnginePlayer real;
    TavoroViewController& player = *real.player;
    const std::shared_ptr<AudioCaptureOutput>& capture = real.capture;

    // Equalizer on through the bridge: the engine's own flags follow.
    NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr, {{EqualizerOnOff, 2}});
    EXPECT_TRUE(EqModeOnOffFlag.load());
    EXPECT_FALSE(StereoModeOnOffFlag.load());
    NotificationCenter::defaultCenter().postNotification(EqualizerSettingNotification, nullptr, {{EqualizerOnOff, 1}});
    EXPECT_FALSE(EqModeOnOffFlag.load());

    const MPMediaItem song = makeSong("heard", "aac", "m4a", 0.5);
    player.setItemsArray(listOf({song}));
    player.chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return capture->frames() > 0; }, 10)) << "nothing reached the output";
    // The track plays to its end; the end report runs on the main thread meanwhile.
    ASSERT_TRUE(waitFor([&] { return player.currentSong().isNull(); }, 10));
    EXPECT_TRUE(capture->waitUntilStopped(5));
    EXPECT_FALSE(player.isPlayerViewOnScreen());

    const std::vector<int16_t> samples = capture->samples();
    EXPECT_GE(capture->frames(), size_t(0.45 * 44100));
    const int16_t loudest = *std::max_element(samples.begin(), samples.end());
    EXPECT_GT(loudest, 1000) << "only silence reached the output";
}
