// The player prepares the next song while one plays, so that the engine goes straight on to
// it, and skips songs that cannot be played when it moves on by itself.

#include "PlayerTestSupport.h"

#include "library/DTMusicModelController.h"
#include "platform/audio/AudioCapture.h"
#include "platform/export/AVAssetExportSession.h"
#include "platform/session/AudioSession.h"
#include "player/AUGraphPlayerEngine.h"

#include <QMessageBox>
#include <QSlider>
#include <QTest>

#include <algorithm>

namespace {

// The real engine, pulled block by block by the test (faster than real time, but never
// past a song's end before the player had its chance to prepare the next one).
class NextSong : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioSessionResetForTesting();
        ExtAudioFileWaitForDecoding(true);
        capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024);
        AudioOutputSetCapture(capture);
        auto made = std::make_unique<AUGraphPlayerEngine>();
        engine = &made->controller();
        player = std::make_unique<TavoroViewController>(std::move(made), std::make_shared<DTMusicModelController>());
        player->viewDidLoad();
        engine->initializeAUGraph(2);
        player->setUIDefaults();
        QObject::connect(player.get(), &TavoroViewController::songChanged, [this] {
            titles << (player->currentSong().isNull() ? QString() : player->currentSong().title());
        });
    }
    void TearDown() override
    {
        player.reset();
        AudioOutputSetCapture(nullptr);
        ExtAudioFileWaitForDecoding(false);
    }

    // Pulls until `frames` frames were rendered or `done` holds. Before each block it gives
    // the player time to prepare the next song while fewer than `songs` songs were shown.
    void play(size_t frames, int songs, const std::function<bool()>& done = [] { return false; })
    {
        bool late = false; // the next song never came: no more waiting for it
        int idle = 0;
        for (int guard = 0; guard < 20000 && capture->frames() < frames && !done(); ++guard) {
            if (titles.size() < songs && !late)
                late = !waitFor([&] { return engine->hasNextFile(); }, 3);
            if (capture->pull(1024) == 0 && ++idle > 600)
                break; // stopped for good
            if (capture->frames() == 0 || idle > 0)
                QTest::qWait(5);
            QCoreApplication::processEvents();
        }
    }

    // The longest run of silent frames between the first and the last sounding frame, and
    // the length of that span.
    std::pair<size_t, size_t> silenceInside() const
    {
        const std::vector<int16_t> s = capture->samples();
        auto sounding = [&](size_t f) { return s[2 * f] != 0 || s[2 * f + 1] != 0; };
        size_t first = 0, last = s.size() / 2;
        while (first < last && !sounding(first))
            ++first;
        while (last > first && !sounding(last - 1))
            --last;
        size_t run = 0, longest = 0;
        for (size_t f = first; f < last; ++f) {
            run = sounding(f) ? 0 : run + 1;
            longest = std::max(longest, run);
        }
        return {longest, last - first};
    }

    std::shared_ptr<AudioCaptureOutput> capture;
    AUGraphController* engine = nullptr;
    std::unique_ptr<TavoroViewController> player;
    QStringList titles;
};

TEST_F(NextSong, SongsOfAQueueFollowOneAnotherWithoutSilence)
{
    const QList<MPMediaItem> songs = {makeSong("gapless-0", "pcm_s16le", "wav", 0.7),
                                      makeSong("gapless-1", "flac", "flac", 0.6),
                                      makeSong("gapless-2", "pcm_s16le", "wav", 0.5)};
    player->setItemsArray(listOf(songs));
    player->chooseSongAtListIndex(0);
    play(SIZE_MAX, 3, [&] { return player->currentSong().isNull(); });

    EXPECT_EQ(titles, QStringList({"gapless-0", "gapless-1", "gapless-2", ""}));
    const auto [silence, span] = silenceInside();
    EXPECT_LT(silence, 4u) << "silence between the songs";
    EXPECT_NEAR(double(span), 0.7 * 44100 + 0.6 * 44100 + 0.5 * 44100, 4);
}

TEST_F(NextSong, RepeatOneAndPlayModeChangesPrepareWhatTheModesMakeNext)
{
    const QList<MPMediaItem> songs = {makeSong("repeat-0", "pcm_s16le", "wav", 0.5),
                                      makeSong("repeat-1", "pcm_s16le", "wav", 0.6)};
    player->setItemsArray(listOf(songs));
    player->PlayModeButtonchange(0);
    player->PlayModeButtonchange(0); // repeat one
    player->chooseSongAtListIndex(0);
    play(size_t(2.9 * 22050), 3);
    EXPECT_EQ(titles, QStringList({"repeat-0", "repeat-0", "repeat-0"}));
    EXPECT_LT(silenceInside().first, 4u);

    // Back to play once: the song prepared to repeat gives way to the next in the queue.
    player->PlayModeButtonchange(0);
    play(SIZE_MAX, 4, [&] { return player->currentSong().isNull(); });
    EXPECT_EQ(titles.mid(3), QStringList({"repeat-1", ""}));
    EXPECT_LT(silenceInside().first, 4u);
}

TEST_F(NextSong, NextPressedWhileTheNextSongIsBeingPreparedPlaysOnFromTheSongItChose)
{
    const QList<MPMediaItem> songs = {makeSong("press-0", "pcm_s16le", "wav", 0.5),
                                      makeSong("press-1", "pcm_s16le", "wav", 0.6),
                                      makeSong("press-2", "pcm_s16le", "wav", 0.7)};
    player->setItemsArray(listOf(songs));
    AVAssetExportSession::setStartDelayForTesting(300); // song 1 is still being prepared
    player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return engine->isPlaying(); }));
    capture->pull(1024);
    player->buttonPressedAction(3);
    AVAssetExportSession::setStartDelayForTesting(0);
    ASSERT_TRUE(waitFor([&] { return engine->isPlaying(); }));
    capture->clear();
    play(SIZE_MAX, 3, [&] { return player->currentSong().isNull(); });

    EXPECT_EQ(titles, QStringList({"press-0", "press-1", "press-2", ""}));
    const auto [silence, span] = silenceInside();
    EXPECT_LT(silence, 4u);
    EXPECT_NEAR(double(span), 0.6 * 44100 + 0.7 * 44100, 4);
}

TEST_F(NextSong, SongThatFailsToDecodeIsSkippedWithOneAlert)
{
    const QList<MPMediaItem> songs = {makeSong("decode-0", "pcm_s16le", "wav", 0.5),
                                      makeSong("decode-1", "pcm_s16le", "wav", 0.6),
                                      makeSong("decode-2", "pcm_s16le", "wav", 0.5)};
    player->setItemsArray(listOf(songs));
    ExtAudioFileFailNext(ExtAudioFileCall::Read, kAudioFileInvalidFileError, 32); // inside the second song
    player->chooseSongAtListIndex(0);
    play(SIZE_MAX, 2, [&] { return player->currentSong().isNull(); });
    ExtAudioFileClearFailures();

    EXPECT_EQ(titles, QStringList({"decode-0", "decode-1", "decode-2", ""}));
    ASSERT_NE(player->fileErrorAlert(), nullptr);
    EXPECT_EQ(player->findChildren<QMessageBox*>().size(), 1);
}

// The recording engine: its loads succeed for real files; imports of the undecodable songs
// fail before they reach it.
using UnplayableSongs = QueueTest;

TEST_F(UnplayableSongs, AreSkippedWhenThePlayerMovesOnAndAPassOfNothingPlayableStops)
{
    const MPMediaItem good0 = makeSong("good-0", "pcm_s16le", "wav");
    const MPMediaItem good2 = makeSong("good-2", "pcm_s16le", "wav");
    const MPMediaItem bad = makeSong("broken", "", "ogg");
    auto alerts = [&] {
        const auto all = h->player->findChildren<QMessageBox*>();
        return std::count_if(all.begin(), all.end(), [](QMessageBox* box) { return box->windowTitle() == "NOTICE!"; });
    };

    // In the middle of a queue: skipped with one alert, and the song after it plays.
    h->player->setItemsArray(listOf({good0, bad, good2}));
    h->player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return !h->engine->callsStartingWith("startAUGraph").isEmpty(); }));
    h->engine->clearCalls();
    reportPosition(22050, true);
    ASSERT_TRUE(waitFor([&] { return !h->engine->callsStartingWith("startAUGraph").isEmpty(); }));
    EXPECT_EQ(title(), "good-2");
    EXPECT_EQ(alerts(), 1);
    // Its OK does not skip a second time.
    h->player->fileErrorAlert()->buttons().first()->click();
    QTest::qWait(50);
    EXPECT_EQ(title(), "good-2");

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
