#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class OutputThreading : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override { AudioOutputSetCapture(nullptr); AudioOutputForceNull(true); }

    template <typename Predicate>
    static bool WaitFor(Predicate done, std::chrono::milliseconds limit)
    {
        auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

// Stops the graph from inside the callback on its `stopAt`th call, as the engine does at the
// end of a track; records what the graph answered there.
struct StoppingSource : TestSource {
    int stopAt = 3;
    OSStatus stopStatus = 1;
    bool runningAfterStop = true;
    StoppingSource()
    {
        onCall = [](TestSource& base) {
            auto& self = static_cast<StoppingSource&>(base);
            if (self.calls.load() == self.stopAt) {
                self.stopStatus = AUGraphStop(self.graph);
                Boolean running = true;
                AUGraphIsRunning(self.graph, &running);
                self.runningAfterStop = running;
            }
        };
    }
};

} // namespace

TEST_F(OutputThreading, StopFromInsideTheCallbackOnEveryKindOfOutput)
{
    for (auto pacing : {AudioCaptureOutput::Pacing::Manual, AudioCaptureOutput::Pacing::FreeRunning}) {
        auto capture = std::make_shared<AudioCaptureOutput>(pacing, 512);
        AudioOutputSetCapture(capture);
        StoppingSource source;
        TestGraph g;
        ASSERT_EQ(g.start(&source), noErr);
        if (pacing == AudioCaptureOutput::Pacing::Manual) {
            EXPECT_EQ(capture->pull(100000), 3u * 512); // the stopping block still counts
        }
        ASSERT_TRUE(capture->waitUntilStopped(5.0));
        EXPECT_EQ(source.stopStatus, noErr);
        EXPECT_FALSE(source.runningAfterStop);
        EXPECT_FALSE(g.running());
        EXPECT_EQ(source.calls.load(), 3);
        EXPECT_EQ(capture->pull(1024), 0u);
    }

    // The null output's own thread: it winds down, and the graph starts again afterwards.
    AudioOutputSetCapture(nullptr);
    StoppingSource source;
    source.stopAt = 2;
    TestGraph g;
    ASSERT_EQ(g.start(&source), noErr);
    EXPECT_STREQ(AudioOutputActiveName(g.graph), "null");
    ASSERT_TRUE(WaitFor([&] { return source.calls.load() >= 2; }, 2000ms));
    ASSERT_TRUE(WaitFor([&] { return !g.running(); }, 1000ms));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(source.calls.load(), 2);
    source.stopAt = 1000;
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    EXPECT_TRUE(WaitFor([&] { return source.calls.load() >= 4; }, 2000ms));
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
}

TEST_F(OutputThreading, StopFromAnotherThreadWaitsForTheCallbackInProgress)
{
    TestSource source;
    // A slow callback makes a stop in the middle of one likely.
    source.onCall = [](TestSource&) { std::this_thread::sleep_for(2ms); };
    auto capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::FreeRunning, 256);
    capture->setKeepSamples(false);
    AudioOutputSetCapture(capture);
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);
    for (int round = 0; round < 20; ++round) {
        int before = source.calls.load();
        ASSERT_EQ(AUGraphStart(g.graph), noErr);
        EXPECT_STREQ(AudioOutputActiveName(g.graph), "capture");
        ASSERT_TRUE(WaitFor([&] { return source.calls.load() > before; }, 2000ms));
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
        ASSERT_EQ(AUGraphStop(g.graph), noErr);
        ASSERT_FALSE(source.inCallback.load()) << "round " << round;
        int calls = source.calls.load();
        std::this_thread::sleep_for(5ms);
        ASSERT_EQ(source.calls.load(), calls) << "a callback ran after the stop, round " << round;
        EXPECT_STREQ(AudioOutputActiveName(g.graph), "");
    }
}

TEST_F(OutputThreading, UnreachableServerFallsBackToTheNullOutput)
{
    std::filesystem::path home = std::filesystem::temp_directory_path() / ("audio-test-home-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/audio/native", 1);
    AudioOutputForceNull(false);

    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.start(&source), noErr);
    EXPECT_STREQ(AudioOutputActiveName(g.graph), "null");
    EXPECT_TRUE(WaitFor([&] { return source.calls.load() >= 2; }, 2000ms));
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
    unsetenv("PULSE_SERVER");
    setenv("HOME", savedHome.c_str(), 1);
    std::filesystem::remove_all(home);
}
