// A song that ends while the player is being destroyed: the render thread hands the end of
// the track to the main thread without waiting for it, so the teardown (which waits for the
// render thread and for handlers running on other threads) never waits for a thread that
// in turn waits for the main thread.

#include "PlayerTestSupport.h"
#include "../Watchdog.h"

#include "platform/audio/AudioCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(EndOfSongTeardown, PlayerDestroyedWithItsSongsEndStillOnTheWayToTheMainThread)
{
    const MPMediaItem song = makeSong("ending", "pcm_s16le", "wav", 0.2);
    Watchdog watchdog(30, "the player's teardown waiting for a song's end that waits for the main thread");
    {
        RealEnginePlayer real;
        real.player->setItemsArray(listOf({song, song})); // the end opens the next song
        real.player->chooseSongAtListIndex(0);
        // From here on the main thread runs no event: the import and the song's end happen
        // on the other threads alone, and the end report stays queued for the main thread.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (real.capture->frames() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GT(real.capture->frames(), 0u) << "the song never started";
        EXPECT_TRUE(real.capture->waitUntilStopped(5)) << "the end of the song waited for the main thread";
    }
    // What was queued for the destroyed player and engine finds them gone.
    waitFor([] { return false; }, 0.2);
}
