#pragma once
// Helpers of the engine tests: standard output capture, fixtures made at test time by
// ffmpeg, the reference decode and effect pass, and the engine's start state.

#include "engine/AUGraphController.h"
#include "platform/audio/AudioCapture.h"

#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs `work` with standard output captured and answers the text.
std::string Stdout(const std::function<void()>& work);
// A status line as the engine prints it ("%ld %08X %4.4s", or "%lu %4.4s" when unsigned).
std::string StatusLine(const std::string& prefix, OSStatus status, bool asUnsigned = false);
bool RunCommand(const std::string& command);

// A two-tone signal (different on each side) of `seconds` at `rate` Hz, encoded by the
// ffmpeg arguments `codec` into a file named `name` in a temporary folder.
class Fixtures {
public:
    std::string make(const std::string& name, double seconds, int rate, int channels, const std::string& codec);
    std::string path(const std::string& name) const;
    QUrl url(const std::string& name) const;

private:
    QTemporaryDir mDir;
};

// Decodes a file as the engine does (16-bit at 44100 Hz, stereo or one channel), from its
// start or from a seek to `fromFrame`.
std::vector<int16_t> DecodeStereo(const std::string& path, SInt64 fromFrame = 0, UInt32 channels = 2);
// Effect `mode` (0..3, -1 bypass) applied to `input` from fresh module state in blocks of
// `blockFrames`, the last one zero-padded as the render path pads it.
std::vector<int16_t> ApplyEffectOffline(int mode, const std::vector<int16_t>& input, size_t blockFrames);
// Clears what the speed/pitch block keeps across its Init, so runs start alike.
void ResetEffectHistory();
// Puts the engine's globals, the effects' history and the platform hooks back to the start.
void ResetEngineState();

// An engine with a built graph that plays into a manually pulled capture at 0 dB.
class EngineTest : public ::testing::Test {
protected:
    static constexpr size_t kBlock = 1024;
    void SetUp() override;
    void TearDown() override;
    bool load(const std::string& name);
    void start() { Stdout([&] { engine->startAUGraph(2); }); }
    void mode(int effect); // master on, then `effect` on (-1: none)
    // Pulls until the graph stops; answers everything captured.
    std::vector<int16_t> playToEnd();

    double reportInterval = 3600.0;
    Fixtures fixtures;
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<AUGraphController> engine;
};
