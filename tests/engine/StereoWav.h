#pragma once
// The bytes of a 16-bit stereo WAV file at 44100 Hz whose samples a function gives
// (engine tests and benchmarks).

#include "../SoundFiles.h"

template <typename Sample> // int16_t sample(int64_t frame, int channel)
std::string StereoWavBytes(int64_t frames, Sample sample)
{
    std::vector<int16_t> samples(size_t(frames) * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = sample(int64_t(i / 2), int(i % 2));
    return test_files::wavBytes(samples, 44100, 2);
}
