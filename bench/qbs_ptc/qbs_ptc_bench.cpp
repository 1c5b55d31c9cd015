// Throughput of QBS_PTC in 1024-frame blocks, in multiples of real time (44100 stereo
// frames per second), beside SoundTouch doing the same work: the block keeps the duration
// and moves the pitch by R = (100/s) * 2^(p/12), so SoundTouch gets tempo 1 and pitch R,
// with quick seek, 82 ms sequences, a 14 ms seek window and a 12 ms overlap.
//
// Debian builds SoundTouch for float samples, so its input is converted from the same
// 16-bit signal before timing starts and its float output is not converted back.
//
// Run: qbs_ptc_bench [--benchmark_repetitions=N]. After the table it prints, per
// setting, the median throughputs and their ratio (ours / SoundTouch).
#include <benchmark/benchmark.h>

#include <SoundTouch.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "qbs/QBS_PTC.h"

namespace {

constexpr int kBlock = 1024;
constexpr int kRate = 44100;
constexpr int kSignalFrames = kRate * 8;

// Music-like stereo signal: a few partials with a slow vibrato and some noise.
const std::vector<int16_t>& Signal() {
  static const std::vector<int16_t> signal = [] {
    std::vector<int16_t> v(2 * kSignalFrames);
    uint32_t seed = 1;
    double phase = 0;
    for (int i = 0; i < kSignalFrames; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double t = double(i) / kRate;
      phase += 2 * M_PI * 220 * (1 + 0.01 * std::sin(2 * M_PI * 5 * t)) / kRate;
      const double x = 9000 * std::sin(phase) + 5000 * std::sin(3 * phase + 0.5) +
                       2500 * std::sin(5.02 * phase) + double(int(seed >> 21) - 1024);
      v[2 * i] = static_cast<int16_t>(x);
      v[2 * i + 1] = static_cast<int16_t>(0.8 * x - 1500 * std::sin(7 * phase));
    }
    return v;
  }();
  return signal;
}

// QBS_PTC_Set writes a trace line to standard output; keep it out of the report.
void SetWithoutTrace(int16_t speed, int16_t pitch) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null_fd = open("/dev/null", O_WRONLY);
  dup2(null_fd, STDOUT_FILENO);
  QBS_PTC_Set(speed, pitch);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(null_fd);
  close(saved);
}

void SetRealTimeCounter(benchmark::State& state) {
  state.counters["xRealTime"] = benchmark::Counter(
      double(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void BM_QBS_PTC(benchmark::State& state) {
  const auto speed = static_cast<int16_t>(state.range(0));
  const auto pitch = static_cast<int16_t>(state.range(1));
  QBS_PTC_Init(2, kRate);
  SetWithoutTrace(speed, pitch);
  QBS_PTC_Init(2, kRate);
  const std::vector<int16_t>& in = Signal();
  std::vector<int16_t> out(2 * kBlock);
  int at = 0;
  for (auto _ : state) {
    QBS_PTC(out.data(), &in[2 * at], 2 * kBlock);
    benchmark::DoNotOptimize(out.data());
    at = at + 2 * kBlock > kSignalFrames ? 0 : at + kBlock;
  }
  SetRealTimeCounter(state);
}

void SoundTouchRun(benchmark::State& state, bool aa_filter) {
  const int speed = static_cast<int>(state.range(0));
  const int pitch = static_cast<int>(state.range(1));
  soundtouch::SoundTouch st;
  st.setSampleRate(kRate);
  st.setChannels(2);
  st.setTempo(1.0);
  st.setPitch(100.0 / speed * std::exp2(pitch / 12.0));
  st.setSetting(SETTING_USE_QUICKSEEK, 1);
  st.setSetting(SETTING_SEQUENCE_MS, 82);
  st.setSetting(SETTING_SEEKWINDOW_MS, 14);
  st.setSetting(SETTING_OVERLAP_MS, 12);
  if (!aa_filter) st.setSetting(SETTING_USE_AA_FILTER, 0);
  const std::vector<int16_t>& signal = Signal();
  std::vector<float> in(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) in[i] = signal[i] / 32768.0f;
  std::vector<float> out(2 * kBlock);
  int at = 0;
  for (auto _ : state) {
    st.putSamples(&in[2 * at], kBlock);
    st.receiveSamples(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
    at = at + 2 * kBlock > kSignalFrames ? 0 : at + kBlock;
  }
  SetRealTimeCounter(state);
}

void BM_SoundTouch(benchmark::State& state) { SoundTouchRun(state, true); }
// For reference only: SoundTouch without its anti-alias filter (on by default).
void BM_SoundTouch_NoAAFilter(benchmark::State& state) { SoundTouchRun(state, false); }

void Settings(benchmark::internal::Benchmark* b) {
  b->Args({100, 3})->Args({150, 0})->ArgNames({"speed", "pitch"});
  b->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.3);
}

BENCHMARK(BM_QBS_PTC)->Apply(Settings);
BENCHMARK(BM_SoundTouch)->Apply(Settings);
BENCHMARK(BM_SoundTouch_NoAAFilter)->Apply(Settings);

// Console output plus, at the end, the ratio of the medians for each setting.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.aggregate_name == "median")
        medians_[run.run_name.function_name][run.run_name.args] =
            run.counters.at("xRealTime").value;
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nMedian throughput, multiples of real time (44100 frames/s, 1024-frame blocks):\n");
    for (const auto& [args, ours] : medians_["BM_QBS_PTC"]) {
      const double st = medians_["BM_SoundTouch"][args];
      const double st_noaa = medians_["BM_SoundTouch_NoAAFilter"][args];
      std::printf("  %-18s QBS_PTC %8.0fx  SoundTouch %8.0fx  ratio %.2f"
                  "   (SoundTouch without AA filter %8.0fx, ratio %.2f)\n",
                  args.c_str(), ours, st, ours / st, st_noaa, ours / st_noaa);
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
