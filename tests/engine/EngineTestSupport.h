#pragma once
// Helpers of the engine tests: standard output capture, the reference effect pass and the
// engine's start state. Tracks are made and decoded by the reader tests' fixtures.

#include "engine/AUGraphController.h"
#include "platform/audio/AudioCapture.h"
#include "tests/audiofile/AudioFixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs `work` with standard output captured and answers the text.
std::string Stdout(const std::function<void()>& work);
// A status line as the engine prints it ("%ld %08X %4.4s", or "%lu %4.4s" when unsigned).
std::string StatusLine(const std::string& prefix, OSStatus status, bool asUnsigned = false);

// A track of `seconds` of the fixtures' test signal at `rate` Hz, encoded by the ffmpeg
// arguments `codec`; answers its path.
std::string MakeTrack(const std::string& name, double seconds, int rate, int channels, const std::string& codec);
// A 16-bit stereo WAV at 44100 Hz of `frames` frames whose samples `sample(frame, channel)`
// gives; answers its path.
std::string StereoWav(const std::string& name, int64_t frames, const std::function<int16_t(int64_t, int)>& sample);
// Effect `mode` (0..3, -1 bypass) applied to `input` from fresh module state in blocks of
// `blockFrames`, the last one zero-padded as the render path pads it. The engine's effect
// tests compare against this, the same effects library applied offline: they check the
// plumbing (which effect runs, on which frames, in which blocks) and cannot see a fault
// inside an effect; the effects' own results are checked in tests/qbs.
std::vector<int16_t> ApplyEffectOffline(int mode, const std::vector<int16_t>& input, size_t blockFrames);
// Clears what the speed/pitch block keeps across its Init, so runs start alike.
void ResetEffectHistory();
// Runs the main run loop's events for `ms` milliseconds.
void RunEventsFor(int ms);
// Puts the engine's globals, the effects' history and the platform hooks back to the start.
void ResetEngineState();

// An engine with a built graph that plays into a manually pulled capture at 0 dB, its
// reports recorded.
class EngineTest : public ::testing::Test {
protected:
    static constexpr size_t kBlock = 1024;
    void SetUp() override;
    void TearDown() override;
    // Opens the track at `path`; its log goes to `log` when given.
    bool load(const std::string& path, std::string* log = nullptr);
    void start() { Stdout([&] { engine->startAUGraph(2); }); }
    void mode(int effect); // master on, then `effect` on (-1: none)
    // Pulls until the graph stops; answers everything captured.
    std::vector<int16_t> playToEnd();

    double reportInterval = 3600.0;
    // The position and end reports posted while the test ran, and whether all of them
    // reached the observer on the main thread.
    std::vector<QVariantMap> reports;
    bool onMainThread = true;
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<AUGraphController> engine;
};
