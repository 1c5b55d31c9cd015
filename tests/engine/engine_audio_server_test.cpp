// The engine playing into a real audio server that the test starts itself: 30 s of a track
// with the reader's decoding held up again and again and the render callback descheduled
// now and then (the server's buffering and the decoding ahead ride it out); pauses that
// lose and repeat nothing and show the position heard; seeks after which only the new
// position is heard.

#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"
#include "platform/audio/AudioOutputEvents.h"
#include "platform/foundation/NotificationCenter.h"
#include "qbs/QBS.h"
#include "tests/audio/PulseDaemon.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

using pulse_test::CountingSample;

std::string CountingWav(const std::string& name, int64_t frames)
{
    return StereoWav(name, frames, CountingSample);
}

std::atomic<int> gCalls{0};

// The engine's render callback, descheduled for 25 ms on every 50th call (about once a
// second), as a busy machine does to the audio server's client thread.
OSStatus DescheduledRender(void* context, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* stamp, UInt32 bus,
                           UInt32 frames, AudioBufferList* data)
{
    if (gCalls.fetch_add(1) % 50 == 49)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return AUGraphController::renderInput(context, flags, stamp, bus, frames, data);
}

class EngineOnAudioServer : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AudioOutputSetCapture(nullptr);
        AudioOutputForceNull(false);
        ExtAudioFileWaitForDecoding(false); // real-time reads, as in the player
        QBS_BYPASS_Prescale = 0; // no headroom: the sink gets the track itself
        if (const std::string why = server.start("engine-pulse"); !why.empty())
            GTEST_SKIP() << why;
    }
    void TearDown() override
    {
        if (engine)
            Stdout([&] { engine->stopAUGraph(); });
        QBS_BYPASS_Prescale = 2; // once no block runs
        server.stop();
        EngineTest::TearDown();
    }
    pulse_test::PulseDaemon server;
};

TEST_F(EngineOnAudioServer, StalledDecodingAndADescheduledCallbackNeverUnderflowAndPlayTheTrackBitForBit)
{
    const int64_t frames = 44100 * 30;
    const std::string path = CountingWav("counting.wav", frames);
    ASSERT_TRUE(load(path));
    AURenderCallbackStruct callback{&DescheduledRender, engine.get()};
    ASSERT_EQ(AUGraphSetNodeInputCallback(mGraph, mMixerNode, 0, &callback), noErr);
    ExtAudioFileStallDecoding(50, 200);

    const auto recording = server.dir / "speaker.raw";
    server.record(recording);
    const long underflowsBefore = AudioOutputUnderflowCount();
    long underflows = -1;
    int observer = 0;
    NotificationCenter::defaultCenter().addObserver(&observer, MusicPlayTimerNotification, nullptr, [&](const Notification&) {
        // Counted up to the end of the track: the server runs dry once the last of it has
        // played out, as it should.
        underflows = AudioOutputUnderflowCount() - underflowsBefore;
    });
    start();
    ASSERT_STREQ(AudioOutputActiveName(mGraph), "pulse");
    QElapsedTimer timer;
    timer.start();
    while (reports.empty() && timer.elapsed() < 40000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    ExtAudioFileStallDecoding(0, 0);
    QThread::msleep(300);
    server.stopRecording();
    NotificationCenter::defaultCenter().removeObserver(&observer);
    std::printf("underflows while playing: %ld, after the end: %ld\n", underflows,
                AudioOutputUnderflowCount() - underflowsBefore - underflows);

    ASSERT_EQ(reports.size(), 1u) << "the track ended once";
    EXPECT_EQ(reports[0].value(MusicPlayTimerKey).toLongLong(), frames);
    EXPECT_EQ(underflows, 0);
    EXPECT_GT(gCalls.load(), 1000) << "the callback was called in pieces of about 20 ms";

    // Silence before and after; in between every frame of the track, in order, no gap.
    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
    size_t at = 0;
    while (at + 1 < samples.size() && samples[at] == 0 && samples[at + 1] == 0)
        at += 2;
    int64_t frame = 0;
    for (; frame < frames && at + 1 < samples.size(); ++frame, at += 2) {
        ASSERT_EQ(samples[at], CountingSample(frame, 0)) << "recorded frame " << at / 2 << ", track frame " << frame;
        ASSERT_EQ(samples[at + 1], CountingSample(frame, 1)) << "recorded frame " << at / 2;
    }
    EXPECT_EQ(frame, frames) << "the recording ends before the track";
}

// Pauses lose and repeat no frame, and at each the engine shows what the listener heard
// through the sink: not what it read, which runs ahead by what the server (and the mixer)
// still hold.
TEST_F(EngineOnAudioServer, PausesLoseAndRepeatNoFrameAndShowTheFramesHeard)
{
    const int64_t frames = 44100 * 4;
    ASSERT_TRUE(load(CountingWav("pauses.wav", frames)));
    const auto recording = server.dir / "speaker.raw";
    server.record(recording);
    start();
    for (int pause = 0; pause < 3; ++pause) {
        QThread::msleep(400 + 130 * pause);
        Stdout([&] { engine->stopAUGraph(); });
        const int64_t shown = engine->heardFrame();
        QThread::msleep(300); // the recorder takes in what played up to the pause
        const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
        const int64_t heard = std::count_if(samples.begin(), samples.end(), [](int16_t s) { return s > 0; });
        EXPECT_NEAR(double(shown), double(heard), double(kBlock)) << "pause " << pause << ", read " << engine->currentFrame();
        start();
    }
    QElapsedTimer timer;
    timer.start();
    while (reports.empty() && timer.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QThread::msleep(300);
    server.stopRecording();
    ASSERT_EQ(reports.size(), 1u) << "the track ended";

    // With the pauses' silence cut out, the track itself: every frame once, in order.
    std::vector<int16_t> left;
    for (int16_t sample : pulse_test::PulseDaemon::Recorded(recording))
        if (sample > 0) // the right channel is negative, silence 0
            left.push_back(sample);
    ASSERT_EQ(left.size(), size_t(frames)) << "frames lost or repeated";
    for (int64_t frame = 0; frame < frames; ++frame)
        ASSERT_EQ(left[size_t(frame)], CountingSample(frame, 0)) << "track frame " << frame;
}

// A seek while paused, with the speed/pitch effect off and on: the server, the varispeed
// and the effect all hold audio from before the seek then. The track is 1 kHz up to the
// seek target and 300 Hz from there; after the pause nothing at 1 kHz may be heard.
class SeekOnAudioServer : public EngineOnAudioServer, public ::testing::WithParamInterface<bool> {};

TEST_P(SeekOnAudioServer, AfterASeekOnlyTheNewPositionIsHeard)
{
    const int64_t target = 44100 * 5;
    ASSERT_TRUE(load(StereoWav("seek.wav", target * 2, [&](int64_t frame, int) {
        const double hz = frame < target ? 1000.0 : 300.0;
        return int16_t(12000 * std::sin(2 * M_PI * hz * double(frame) / 44100.0));
    })));
    if (GetParam()) {
        mode(3);
        Stdout([&] { engine->setSpeedPitch(1, 15); });
        RunEventsFor(300); // the lock after switching the effect on is released
    }
    const auto recording = server.dir / "speaker.raw";
    server.record(recording);
    start();
    QThread::msleep(800);
    Stdout([&] {
        engine->stopAUGraph();
        engine->FileSeek(target);
        engine->LockSeekChange(false);
    });
    QThread::msleep(300);
    start();
    QThread::msleep(800);
    server.stopRecording();

    // Sign changes per 10 ms: about 20 at 1 kHz, about 6 at 300 Hz.
    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
    const auto sound = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    size_t at = size_t(std::search_n(sound, samples.end(), 882, 0) - samples.begin()) & ~size_t(1); // the pause
    int windows = 0;
    for (; at + 882 < samples.size(); at += 882, ++windows) {
        int changes = 0;
        for (size_t i = at + 2; i < at + 882; i += 2)
            changes += (samples[i - 2] < 0) != (samples[i] < 0);
        ASSERT_LT(changes, 13) << "1 kHz heard " << windows * 10 << " ms after the pause began";
    }
    EXPECT_GT(windows, 50);
}

INSTANTIATE_TEST_SUITE_P(SpeedPitchOffAndOn, SeekOnAudioServer, ::testing::Bool());

} // namespace
