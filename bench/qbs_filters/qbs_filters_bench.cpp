// Throughput of the filtering effect blocks at 1024-frame blocks, on one core, reported
// as multiples of real time ("x_realtime": frames per second / 44100).
//
//   qbs_filters_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "qbs/QBS_Bypass.h"
#include "qbs/QBS_MEQ.h"
#include "qbs/QBSt_M3D.h"
#include "qbs/QBSt_MOS.h"

namespace {

constexpr int kFrames = 1024;
constexpr int kBlocks = 64;  // a few seconds' worth of distinct music-like blocks

std::vector<int16_t> make_signal() {
  std::mt19937 rng(2024);
  std::normal_distribution<double> dist(0.0, 6000.0);
  std::vector<int16_t> s(2 * kFrames * kBlocks);
  double l = 0, r = 0;
  for (size_t i = 0; i < s.size(); i += 2) {
    l = 0.9 * l + dist(rng);  // some low-frequency weight, as in music
    r = 0.9 * r + dist(rng);
    s[i] = static_cast<int16_t>(std::clamp(l, -32768.0, 32767.0));
    s[i + 1] = static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
  }
  return s;
}

void run(benchmark::State& state, void (*process)(int16_t*, const int16_t*, int32_t)) {
  static const std::vector<int16_t> input = make_signal();
  std::vector<int16_t> out(2 * kFrames);
  size_t block = 0;
  for (auto _ : state) {
    process(out.data(), input.data() + 2 * kFrames * block, 2 * kFrames);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocks;
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames / 44100.0, benchmark::Counter::kIsRate);
}

void BM_Bypass(benchmark::State& state) { run(state, QBS_BYPASS); }

void BM_EqualizerRock(benchmark::State& state) {
  QBS_MEQ_Init(2, 44100);
  QBS_MEQ_Set_Mode(1);
  run(state, QBSt_MEQ);
}

void BM_Stereo3dSurround10Bass2(benchmark::State& state) {
  QBS_M3D_Init(2, 44100);
  QBS_M3D_SURR = 10;
  QBS_M3D_BASS = 2;
  run(state, QBSt_M3D);
}

void BM_StageConcertHall(benchmark::State& state) {
  QBS_MOS_Init(2, 44100);
  QBS_MOS_PRESET = 1;
  run(state, QBSt_MOS);
}

BENCHMARK(BM_Bypass);
BENCHMARK(BM_EqualizerRock);
BENCHMARK(BM_Stereo3dSurround10Bass2);
BENCHMARK(BM_StageConcertHall);

}  // namespace

BENCHMARK_MAIN();
