#pragma once
// The bytes of a 16-bit stereo WAV file at 44100 Hz whose samples a function gives
// (engine tests and benchmarks).

#include <cstdint>
#include <cstring>
#include <string>

template <typename Sample> // int16_t sample(int64_t frame, int channel)
std::string StereoWavBytes(int64_t frames, Sample sample)
{
    std::string bytes(44 + size_t(frames) * 4, '\0');
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&bytes[at], &v, 2); };
    std::memcpy(&bytes[0], "RIFF", 4);
    put32(4, uint32_t(bytes.size() - 8));
    std::memcpy(&bytes[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 44100 * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(&bytes[36], "data", 4);
    put32(40, uint32_t(frames * 4));
    for (int64_t i = 0; i < frames; ++i) {
        put16(44 + size_t(i) * 4, uint16_t(sample(i, 0)));
        put16(46 + size_t(i) * 4, uint16_t(sample(i, 1)));
    }
    return bytes;
}
