#pragma once
// Helpers of the engine tests: standard output capture, fixtures made at test time, the
// reference decode, and resetting the engine's process-wide state between tests.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Captures what is written to file descriptor 1 while it lives.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    // Stops capturing (once) and answers everything written.
    std::string finish();

private:
    int mSaved = -1;
    std::string mPath;
    bool mDone = false;
    std::string mText;
};

// Runs `work` with standard output captured and answers the text.
std::string CaptureStdout(const std::function<void()>& work);

// A status line as the engine prints it, for comparing with captured text.
std::string StatusLine(const std::string& prefix, OSStatus status);
std::string StatusLineUnsigned(const std::string& prefix, OSStatus status);

// Runs a shell command; true when it exits with 0.
bool RunCommand(const std::string& command);

// A folder of fixtures for one test; files are made with ffmpeg.
class Fixtures {
public:
    Fixtures();
    // A two-tone signal of `seconds` at `rate` Hz with `channels` channels, encoded by the
    // ffmpeg arguments `codec` into name (its extension picks the container).
    std::string make(const std::string& name, double seconds, int rate, int channels, const std::string& codec);
    std::string path(const std::string& name) const;
    QString url(const std::string& name) const;

private:
    QTemporaryDir mDir;
};

// Decodes a file as the engine does (16-bit interleaved stereo at 44100 Hz), from its
// start or from a seek to `fromFrame`.
std::vector<int16_t> DecodeStereo(const std::string& path, SInt64 fromFrame = 0);

// Puts the engine's globals and the effect modules' history back to the start state.
void ResetEngineState();

// The effect `mode` (0..3, or -1 for none) applied offline to `input` in blocks of
// `blockFrames`, each block zero-padded as the render path pads the last one, starting
// from fresh module state.
std::vector<int16_t> ApplyEffectOffline(int mode, const std::vector<int16_t>& input, size_t blockFrames);
