// The render thread never waits for another thread: the end of a track while the main
// thread is busy, a reader whose decoding falls behind, and the reader handed between the
// import's completion thread and seeks on the main thread.

#include "EngineTestSupport.h"
#include "../Watchdog.h"

#include "engine/EngineGlobals.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using EngineHandOver = EngineTest;

TEST_F(EngineHandOver, TrackEndingWhileTheMainThreadIsBusyThenPlayPressedFinishes)
{
    // The graph plays on a thread of its own; the observer hands the end report to the main
    // thread and waits for it, as a player that updates its screen may.
    auto running = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::FreeRunning, kBlock);
    running->setKeepSamples(false);
    AudioOutputSetCapture(running);
    std::atomic<int> ends{0};
    int observer = 0;
    NotificationCenter::defaultCenter().addObserver(&observer, MusicPlayTimerNotification, nullptr, [&](const Notification& n) {
        if (n.userInfo.value(MusciPlayfinishKey).toInt() != 0)
            RunLoop::performOnMainThread([&] { ends.fetch_add(1); }, true);
    });
    ASSERT_TRUE(load(MakeTrack("freeze.wav", 0.5, 44100, 2, "-c:a pcm_s16le")));
    {
        Watchdog watchdog(20.0, "end of track with the main thread busy, then play");
        start();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the main thread is busy
        Stdout([&] {
            engine->startAUGraph(2); // play pressed (the track stands at its end)
            engine->stopAUGraph();
        });
        RunEventsFor(300);
    }
    NotificationCenter::defaultCenter().removeObserver(&observer);
    EXPECT_GE(ends.load(), 1);
    EXPECT_FALSE(engine->isPlaying());
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().value(MusicPlayTimerKey).toLongLong(), engine->frameCount());
    EXPECT_TRUE(onMainThread) << "the end report is posted on the main thread";
}

TEST_F(EngineHandOver, DecoderFallingBehindGivesSilenceAndTheTrackStillEndsOnceAtItsLength)
{
    const std::string path = MakeTrack("behind.wav", 1.5, 44100, 2, "-c:a pcm_s16le");
    const std::vector<int16_t> decoded = audiofile_test::decodeAll(path);
    ExtAudioFileWaitForDecoding(false);
    mode(-1);
    ExtAudioFileStallDecoding(40, 1); // the decoder pauses 40 ms between chunks
    ASSERT_TRUE(load(path));
    start();

    // Pulled four times faster than real time, the ring runs dry again and again.
    size_t silentBlocks = 0;
    for (int guard = 0; guard < 2000; ++guard) {
        const size_t before = capture->frames();
        const size_t pulled = capture->pull(kBlock);
        const std::vector<int16_t> all = capture->samples();
        silentBlocks += std::all_of(all.begin() + before * 2, all.end(), [](int16_t s) { return s == 0; });
        // Up to two blocks past the length: the last one read and the one that finds the end.
        EXPECT_LE(engine->currentFrame(), SInt64(decoded.size() / 2) + 2 * SInt64(kBlock));
        if (pulled < kBlock)
            break;
        std::this_thread::sleep_for(std::chrono::microseconds(5800));
    }
    ExtAudioFileStallDecoding(0, 0);
    RunEventsFor(100);
    EXPECT_GT(silentBlocks, 3u) << "the decoder never fell behind";

    // Taking out the gaps (silent frames, also from the track itself) leaves the track in
    // order, and the end is reported once.
    auto sounding = [](const std::vector<int16_t>& samples) {
        std::vector<int16_t> kept;
        for (size_t i = 0; i + 1 < samples.size(); i += 2)
            if (samples[i] != 0 || samples[i + 1] != 0)
                kept.insert(kept.end(), {samples[i], samples[i + 1]});
        return kept;
    };
    const std::vector<int16_t> played = sounding(capture->samples());
    const std::vector<int16_t> track = sounding(ApplyEffectOffline(-1, decoded, kBlock)); // the bypass' headroom
    ASSERT_EQ(played.size(), track.size());
    const size_t firstDifference = std::mismatch(track.begin(), track.end(), played.begin()).first - track.begin();
    EXPECT_EQ(firstDifference, track.size()) << "the played frames differ from frame " << firstDifference / 2;
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value(MusicPlayTimerKey).toLongLong(), SInt64(decoded.size() / 2));
    EXPECT_EQ(reports[0].value(MusciPlayfinishKey).toInt(), 1);
}

TEST_F(EngineHandOver, SeeksWhileAnImportCompletesAndClosesNeverUseAFreedReaderNorReadWhileItMoves)
{
    // The import's completion thread stops, closes, opens and starts over and over, while
    // the main thread seeks as a dragged slider does; the graph plays all along.
    auto running = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::FreeRunning, kBlock);
    running->setKeepSamples(false);
    AudioOutputSetCapture(running);
    const std::string a = MakeTrack("handA.wav", 1.0, 44100, 2, "-c:a pcm_s16le");
    const std::string b = MakeTrack("handB.m4a", 1.0, 44100, 2, "-c:a aac");
    ASSERT_TRUE(load(a));
    start();
    const long overlapsBefore = ExtAudioFileReadsDuringSeek();
    std::atomic<bool> stop{false};
    std::atomic<int> imports{0};
    Stdout([&] {
        std::thread import([&] {
            for (int i = 0; !stop; ++i) {
                engine->stopAUGraph();
                engine->CloseFile();
                engine->loadFiles(QUrl::fromLocalFile(QString::fromStdString(i % 2 ? a : b)));
                engine->startAUGraph(2);
                imports.fetch_add(1);
            }
        });
        QElapsedTimer timer;
        timer.start();
        for (SInt64 target = 0; timer.elapsed() < 1500 || imports.load() < 5; target = (target + 7919) % 40000) {
            engine->FileSeek(target);
            engine->LockSeekChange(false);
            QCoreApplication::processEvents();
        }
        stop = true;
        import.join();
        engine->stopAUGraph();
    });
    EXPECT_GE(imports.load(), 5);
    EXPECT_EQ(ExtAudioFileReadsDuringSeek() - overlapsBefore, 0) << "a start on the import's thread let blocks read while the reader moved";
    EXPECT_TRUE(running->waitUntilStopped(5.0));
}

} // namespace
