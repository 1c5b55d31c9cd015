// Helpers shared by the filtering-module tests: test signals and block-wise processing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace qbs_test {

using Samples = std::vector<int16_t>;
using ProcessFn = void (*)(int16_t*, const int16_t*, int32_t);

// Interleaved stereo noise, uniform over [-amplitude, amplitude].
inline Samples noise(int frames, uint32_t seed, int amplitude = 32767) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-amplitude, amplitude);
  Samples s(2 * frames);
  for (auto& v : s) v = static_cast<int16_t>(dist(rng));
  return s;
}

// Full-scale square wave of `period` frames, the channels in opposite phase.
inline Samples full_scale_square(int frames, int period) {
  Samples s(2 * frames);
  for (int i = 0; i < frames; ++i) {
    const bool high = (i / (period / 2)) % 2 == 0;
    s[2 * i] = high ? INT16_MAX : INT16_MIN;
    s[2 * i + 1] = high ? INT16_MIN : INT16_MAX;
  }
  return s;
}

inline Samples whole(ProcessFn process, const Samples& in) {
  Samples out(in.size());
  process(out.data(), in.data(), static_cast<int32_t>(in.size()));
  return out;
}

// Runs `process` over `in` in place, in blocks of random length: a third of them 0 to 9
// frames (shorter than any filter's memory), the others up to 3000 frames.
inline Samples in_random_blocks(ProcessFn process, const Samples& in, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> tiny(0, 9), large(10, 3000), pick(0, 2);
  Samples buf = in;
  for (size_t pos = 0; pos < buf.size();) {
    const size_t n = std::min(buf.size() - pos, size_t(2 * (pick(rng) ? large(rng) : tiny(rng))));
    process(buf.data() + pos, buf.data() + pos, static_cast<int32_t>(n));
    pos += n;
  }
  return buf;
}

// The stream must come out as `expected` both in one call and in random in-place blocks;
// `prepare` sets the module up (Init and parameters) before each run.
template <class Prepare>
void expect_stream(ProcessFn process, Prepare prepare, const Samples& in, const Samples& expected,
                   uint32_t seed) {
  prepare();
  EXPECT_EQ(whole(process, in), expected) << "one block";
  prepare();
  EXPECT_EQ(in_random_blocks(process, in, seed), expected) << "random blocks in place";
}

inline int16_t clamp16(int64_t v) {
  return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
}

}  // namespace qbs_test
