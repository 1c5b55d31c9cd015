// The player prepares the next song while one plays, so that the engine goes straight on to
// it, and skips songs that cannot be played when it moves on by itself.

#include "PlayerTestSupport.h"

#include "engine/MusicPlayTimerNotification.h"

#include "platform/export/AVAssetExportSession.h"
#include "player/AUGraphPlayerEngine.h"

#include <QMessageBox>
#include <QSlider>
#include <QTest>

#include <optional>

namespace {

// The real engine, pulled block by block by the test (faster than real time, but never
// past a song's end before the player had its chance to prepare the next one).
class NextSong : public ::testing::Test {
protected:
    void SetUp() override
    {
        ExtAudioFileWaitForDecoding(true);
        QObject::connect(player, &TavoroViewController::songChanged, [this] {
            titles << (player->currentSong().isNull() ? QString() : player->currentSong().title());
        });
    }
    void TearDown() override
    {
        real.reset();
        ExtAudioFileWaitForDecoding(false);
    }

    // Pulls until `frames` frames were rendered, `done` holds or the graph stays stopped;
    // while fewer than `songs` songs were shown, each block waits for the next song first.
    void play(size_t frames, int songs, const std::function<bool()>& done = [] { return false; })
    {
        bool late = false; // the next song never came: no more waiting for it
        for (int idle = 0; capture->frames() < frames && !done() && idle < 600;) {
            if (titles.size() < songs && !late)
                late = !waitFor([&] { return engine->hasNextFile(); }, 3);
            idle = capture->pull(1024) == 0 ? idle + 1 : 0;
            QTest::qWait(idle ? 5 : 0);
        }
    }

    // The longest run of silent frames between the first and the last sounding frame, and
    // the length of that span.
    std::pair<size_t, size_t> silenceInside() const
    {
        const std::vector<int16_t> s = capture->samples();
        auto silent = [&](size_t f) { return s[2 * f] == 0 && s[2 * f + 1] == 0; };
        size_t first = 0, last = s.size() / 2, run = 0, longest = 0;
        for (; first < last && silent(first); ++first) {}
        for (; last > first && silent(last - 1); --last) {}
        for (size_t f = first; f < last; ++f)
            longest = std::max(longest, run = silent(f) ? run + 1 : 0);
        return {longest, last - first};
    }

    std::optional<RealEnginePlayer> real{std::in_place, AudioCaptureOutput::Pacing::Manual};
    std::shared_ptr<AudioCaptureOutput> capture = real->capture;
    AUGraphController* engine = real->engine;
    TavoroViewController* player = real->player.get();
    QStringList titles;
};

TEST_F(NextSong, RepeatOneAndPlayModeChangesPrepareWhatTheModesMakeNext)
{
    player->setItemsArray(listOf({makeSong("repeat-0", "pcm_s16le", "wav", 0.5),
                                  makeSong("repeat-1", "pcm_s16le", "wav", 0.6)}));
    player->PlayModeButtonchange(0);
    player->PlayModeButtonchange(0); // repeat one
    player->chooseSongAtListIndex(0);
    play(size_t(2.9 * 22050), 3);
    EXPECT_EQ(titles, QStringList({"repeat-0", "repeat-0", "repeat-0"}));
    EXPECT_LT(silenceInside().first, 4u);

    // Back to play once: the song prepared to repeat gives way to the next in the queue.
    player->PlayModeButtonchange(0);
    ASSERT_EQ(player->playModeFlag(), 0) << "the third press goes back to play once";
    play(SIZE_MAX, 4, [&] { return player->currentSong().isNull(); });
    EXPECT_EQ(titles.mid(3), QStringList({"repeat-1", ""}));
    EXPECT_LT(silenceInside().first, 4u);
}

TEST_F(NextSong, AfterNextPressedWhileTheNextSongIsPreparedTheQueueFollowsWithoutSilence)
{
    QList<MPMediaItem> songs;
    for (int i = 0; i < 4; ++i)
        songs << makeSong(QString("press-%1").arg(i), i == 2 ? "flac" : "pcm_s16le", i == 2 ? "flac" : "wav", 0.5 + 0.1 * i);
    player->setItemsArray(listOf(songs));
    AVAssetExportSession::setStartDelayForTesting(300); // song 1 is still being prepared
    player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return engine->isPlaying(); }));
    capture->pull(1024);
    player->buttonPressedAction(3);
    AVAssetExportSession::setStartDelayForTesting(0);
    ASSERT_TRUE(waitFor([&] { return engine->isPlaying(); }));
    capture->clear();
    play(SIZE_MAX, 4, [&] { return player->currentSong().isNull(); });

    EXPECT_EQ(titles, QStringList({"press-0", "press-1", "press-2", "press-3", ""}));
    const auto [silence, span] = silenceInside();
    EXPECT_LT(silence, 4u);
    EXPECT_NEAR(double(span), (0.6 + 0.7 + 0.8) * 44100, 4);
}

// The recording engine: its loads succeed for real files; imports of the undecodable songs
// fail before they reach it.
using UnplayableSongs = QueueTest;

TEST_F(UnplayableSongs, AreSkippedWhenThePlayerMovesOnAndAPassOfNothingPlayableStops)
{
    const MPMediaItem good0 = makeSong("good-0", "pcm_s16le", "wav");
    const MPMediaItem good2 = makeSong("good-2", "pcm_s16le", "wav");
    const MPMediaItem bad = makeSong("broken", "", "ogg");
    auto alerts = [&] { return h->player->findChildren<QMessageBox*>().size(); };

    // In the middle of a queue: skipped with one alert, and the song after it plays.
    h->player->setItemsArray(listOf({good0, bad, good2}));
    h->player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return !h->engine->callsStartingWith("startAUGraph").isEmpty(); }));
    h->engine->clearCalls();
    reportPosition(22050, true);
    ASSERT_TRUE(waitFor([&] { return !h->engine->callsStartingWith("startAUGraph").isEmpty(); }));
    EXPECT_EQ(title(), "good-2");
    EXPECT_EQ(alerts(), 1);
    // Its OK does not skip a second time; a song whose decoding fails is skipped alike.
    h->player->fileErrorAlert()->buttons().first()->click();
    QTest::qWait(50);
    EXPECT_EQ(title(), "good-2");
    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, nullptr,
                                                         {{MusicPlayTimerKey, 4096}, {MusicPlayReadFailedKey, 1}});
    EXPECT_EQ(title(), "") << "play once: the end of the queue";
    EXPECT_EQ(alerts(), 1);

    // Nothing playable, repeating all: after the user's OK, one pass, then it stops, not
    // playing, at position 0, with one alert open.
    h = std::make_unique<PlayerHarness>();
    h->player->setItemsArray(listOf({bad, bad, bad}));
    h->player->PlayModeButtonchange(0); // repeat all
    h->player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return h->player->fileErrorAlert() != nullptr; }));
    h->engine->clearCalls();
    h->player->fileErrorAlert()->buttons().first()->click();
    QTest::qWait(300);
    EXPECT_EQ(h->engine->callsStartingWith("setFileLoadStartFlag").size(), 3);
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "play.png");
    EXPECT_EQ(h->player->playbackSlider->maximum(), 0);
    EXPECT_EQ(alerts(), 1);
}

} // namespace
