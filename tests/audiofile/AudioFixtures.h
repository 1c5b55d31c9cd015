#pragma once
// Test tracks made at test time with ffmpeg from a signal the tests can predict, and
// helpers to read a reader.

#include "platform/audiofile/ExtAudioFile.h"

#include <string>
#include <vector>

namespace audiofile_test {

// Left a 440 Hz tone plus a rising chirp, right a 660 Hz tone plus another chirp, so any
// shift in time shows; interleaved 16-bit at `rate`.
std::vector<int16_t> testSignal(int rate, int channels, int frames);

// A directory for this run's files, removed at exit.
const std::string& fixtureDir();
std::string writeFile(const std::string& name, const std::string& bytes);
std::string readWhole(const std::string& path);

// Encodes testSignal(rate, channels, frames) with ffmpeg `encodeArgs` into fixtureDir()/name
// (once per name) and returns the path.
std::string makeTrack(const std::string& name, int rate, int channels, int frames, const std::string& encodeArgs);
// Encodes `count` interleaved 16-bit `samples` the same way (each time it is called).
std::string encodeSamples(const std::string& name, const int16_t* samples, size_t count, int rate, int channels,
                          const std::string& encodeArgs);

// The audio stream's duration in its time base, as ffprobe reads it from the container.
SInt64 probeStreamDuration(const std::string& path);

AudioStreamBasicDescription clientFormat(Float64 rate, UInt32 channels);
// Opens `path` and sets the client format; fails the test otherwise.
ExtAudioFileRef openWithClient(const std::string& path, UInt32 channels = 2, Float64 rate = 44100);
// Reads up to `frames` frames (all when negative) in blocks of `block`.
std::vector<int16_t> readFrames(ExtAudioFileRef file, long frames = -1, UInt32 block = 1024, UInt32 channels = 2);
// The whole of `path` in the client format: 16-bit at 44100 Hz with `channels` channels.
std::vector<int16_t> decodeAll(const std::string& path, UInt32 channels = 2);
SInt64 lengthOf(ExtAudioFileRef file);

} // namespace audiofile_test
