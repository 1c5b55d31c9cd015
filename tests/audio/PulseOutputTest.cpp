// Plays through a real audio server that the test starts itself, and records what reached
// its sink.

#include "AudioTestSupport.h"

#include "PulseDaemon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using pulse_test::End;

namespace {

class PulseOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioOutputSetCapture(nullptr);
        AudioOutputForceNull(false);
        if (const std::string why = server.start("audio-pulse"); !why.empty())
            GTEST_SKIP() << why;
        dir = server.dir;
    }

    void TearDown() override
    {
        server.stop();
        AudioOutputForceNull(true);
    }

    pulse_test::PulseDaemon server;
    fs::path dir;
};

} // namespace

TEST_F(PulseOutput, SamplesReachTheSinkBitForBit)
{
    // A counting signal makes every frame's place in the stream recognisable.
    TestSource source;
    source.signal = pulse_test::CountingSample;
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);

    fs::path recording = dir / "speaker.raw";
    server.record(recording);

    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    std::this_thread::sleep_for(800ms);
    ASSERT_EQ(AUGraphStop(g.graph), noErr);
    EXPECT_FALSE(g.running());
    int64_t played = source.framesPulled.load();
    std::this_thread::sleep_for(200ms);
    server.stopRecording();

    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
    size_t first = 0;
    while (first + 1 < samples.size() && samples[first] == 0)
        first += 2;
    ASSERT_LT(first + 2, samples.size()) << "nothing reached the sink";
    int64_t frame = samples[first] - 1;
    size_t matched = 0;
    for (size_t k = first; k + 1 < samples.size(); k += 2) {
        // Silence is the stop, or an underrun on a busy machine; the sound resumes where it
        // left off, so the next frame must still follow on.
        if (samples[k] == 0 && samples[k + 1] == 0)
            continue;
        ASSERT_EQ(samples[k], source.signal(frame, 0)) << "recorded frame " << k / 2;
        ASSERT_EQ(samples[k + 1], source.signal(frame, 1)) << "recorded frame " << k / 2;
        ++matched;
        ++frame;
    }
    // Paced by the server's requests: what was pulled was heard, all but the buffered part
    // the stop drops. An output that wrote ahead of the server would leave most unheard.
    EXPECT_GT(int64_t(matched), played / 2) << "pulled " << played << " frames";
}

// Plugging headphones in makes them the default device: the music follows them.
TEST_F(PulseOutput, TheStreamFollowsTheDefaultSink)
{
    ASSERT_EQ(server.run({"pactl", "load-module", "module-null-sink", "sink_name=headphones", "norewinds=1"}), 0);
    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.start(&source), noErr);
    ASSERT_EQ(server.run({"pactl", "set-default-sink", "headphones"}), 0);
    std::this_thread::sleep_for(300ms);
    server.record(dir / "headphones.raw", "headphones");
    std::this_thread::sleep_for(500ms);
    server.stopRecording();
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(dir / "headphones.raw");
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; }))
        << "the music stayed on the speaker";
}

TEST_F(PulseOutput, StopFromInsideTheCallbackWindsTheStreamDown)
{
    TestSource source;
    source.onCall = [](TestSource& self) {
        if (self.calls.load() == 40)
            AUGraphStop(self.graph);
    };
    TestGraph g;
    ASSERT_EQ(g.start(&source), noErr);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    for (int i = 0; i < 500 && g.running(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(g.running());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(source.calls.load(), 40);
    // And it plays again.
    source.onCall = nullptr;
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    for (int i = 0; i < 300 && source.calls.load() < 45; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(source.calls.load(), 45);
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
}

TEST_F(PulseOutput, PlaybackGoesOnWhenTheServerGoesAway)
{
    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.start(&source), noErr);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    std::this_thread::sleep_for(100ms);
    End(server.daemon, SIGKILL);
    server.daemon = -1;
    std::this_thread::sleep_for(100ms);
    // The null output carries on: a fifth of a second more is pulled (the limit only stops
    // a test whose playback stopped).
    const int64_t before = source.framesPulled.load();
    for (int i = 0; i < 500 && source.framesPulled.load() - before < 44100 / 5; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(source.framesPulled.load() - before, 44100 / 5);
    EXPECT_TRUE(g.running());
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
}

