#pragma once
// Test tracks made at test time with ffmpeg from a signal the tests can predict, and small
// helpers to read a whole reader.

#include "platform/audiofile/ExtAudioFile.h"

#include <string>
#include <vector>

namespace audiofile_test {

// The test signal at `rate`: left a 440 Hz tone plus a rising chirp, right a 660 Hz tone
// plus another chirp, so that any shift in time shows; interleaved 16-bit.
std::vector<int16_t> testSignal(int rate, int channels, int frames);

// A directory for this test run's files, removed at exit.
const std::string& fixtureDir();

// Writes testSignal(rate, channels, frames) through ffmpeg with `encodeArgs` into
// fixtureDir()/name, once per name; returns the path.
std::string makeTrack(const std::string& name, int rate, int channels, int frames, const std::string& encodeArgs);

// The audio stream's duration in its time base as ffprobe reads it from the container.
SInt64 probeStreamDuration(const std::string& path);

std::string writeFile(const std::string& name, const std::string& bytes);

// Opens `path` and sets the client format (16-bit interleaved); fails the test otherwise.
ExtAudioFileRef openWithClient(const std::string& path, UInt32 channels = 2, Float64 rate = 44100);

// Reads up to `frames` frames (all remaining when negative) in blocks of `block`.
std::vector<int16_t> readFrames(ExtAudioFileRef file, long frames = -1, UInt32 block = 1024, UInt32 channels = 2);

SInt64 lengthOf(ExtAudioFileRef file);
AudioStreamBasicDescription fileFormatOf(ExtAudioFileRef file);

// Normalised correlation of two equally long sample sequences at lag 0 (1 = identical shape).
double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

} // namespace audiofile_test
