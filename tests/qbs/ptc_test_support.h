// Helpers shared by the speed/pitch tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "qbs/QBS_PTC.h"

// With shift 2 no output sample comes near this, so a frame holding it was not written.
inline constexpr int16_t kUnwritten = 32767;

inline int Index(int s, int p) { return (p + 6) * 151 + (s - 50); }

// Set without its trace line in the test log.
inline void QuietSet(int speed, int pitch) {
  testing::internal::CaptureStdout();
  QBS_PTC_Set(speed, pitch);
  testing::internal::GetCapturedStdout();
}

// The module as at program start (Init resets everything else), then prepared as when
// the effect is switched on. The Init's clearing happens at the next block.
inline void Prepare(int speed, int pitch, int rate = 44100, int shift = 2) {
  Prev_Sample_Index = 0, Window_Index = 0, L_Prev_Sample = R_Prev_Sample = 0;
  QBS_PTC_Init(shift, rate);
  QuietSet(speed, pitch);
  QBS_PTC_Init(shift, rate);
}

// Frames written by one call, found by the first frame still holding kUnwritten.
inline int Call(const int16_t* in, int frames, std::vector<int16_t>& out) {
  out.assign(2 * frames, kUnwritten);
  QBS_PTC(out.data(), in, 2 * frames);
  int n = 0;
  while (n < frames && !(out[2 * n] == kUnwritten && out[2 * n + 1] == kUnwritten)) ++n;
  return n;
}

// Music-like test signal: two tones and some noise, different on each channel.
inline std::vector<int16_t> Signal(int frames, double f = 220.0, int noise_gain = 4) {
  std::vector<int16_t> v(2 * frames);
  uint32_t seed = 12345;
  for (int i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = static_cast<int>(seed >> 20) - 2048;
    const double t = i / 44100.0;
    v[2 * i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * f * t) + noise_gain * noise);
    v[2 * i + 1] = static_cast<int16_t>(9000 * std::sin(2 * M_PI * 1.5 * f * t + 1) - 3 * noise);
  }
  return v;
}
