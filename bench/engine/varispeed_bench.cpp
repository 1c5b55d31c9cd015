// The mixer's varispeed at rates away from 1.0: output blocks of 1024 stereo frames, in
// multiples of real time (44100 output frames per second; counter `x_real_time`), beside
// SoundTouch changing its rate (tempo and pitch together) on the same signal.
// Run: varispeed_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "platform/audio/Varispeed.h"

#include <SoundTouch.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kBlock = 1024;

struct Sine {
    long next = 0;
    static void Pull(void* context, float* stereo, uint32_t frames)
    {
        auto* sine = static_cast<Sine*>(context);
        for (uint32_t i = 0; i < frames; ++i, ++sine->next)
            stereo[2 * i] = stereo[2 * i + 1] = float(0.5 * std::sin(double(sine->next) * 0.0627));
    }
};

void SetRealTime(benchmark::State& state, double frames)
{
    state.counters["x_real_time"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

void BM_Varispeed(benchmark::State& state)
{
    const double rate = double(state.range(0)) / 100.0;
    Varispeed varispeed;
    varispeed.prepare(kBlock);
    Sine sine;
    std::vector<float> out(2 * kBlock);
    for (int i = 0; i < 50; ++i) // through the glide
        varispeed.render(out.data(), kBlock, rate, &Sine::Pull, &sine);
    for (auto _ : state) {
        varispeed.render(out.data(), kBlock, rate, &Sine::Pull, &sine);
        benchmark::DoNotOptimize(out.data());
    }
    SetRealTime(state, double(state.iterations()) * kBlock);
}

void BM_SoundTouchRate(benchmark::State& state)
{
    const double rate = double(state.range(0)) / 100.0;
    soundtouch::SoundTouch st;
    st.setSampleRate(44100);
    st.setChannels(2);
    st.setRate(rate);
    Sine sine;
    std::vector<float> in(2 * kBlock), out(2 * kBlock);
    double produced = 0;
    for (auto _ : state) {
        // Input as needed for about one output block, then what it has ready.
        while (st.numSamples() < kBlock) {
            Sine::Pull(&sine, in.data(), kBlock);
            st.putSamples(in.data(), kBlock);
        }
        produced += st.receiveSamples(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    SetRealTime(state, produced);
}

void Rates(benchmark::internal::Benchmark* b)
{
    b->Arg(50)->Arg(125)->Arg(200)->ArgName("rate_pct");
}

BENCHMARK(BM_Varispeed)->Apply(Rates);
BENCHMARK(BM_SoundTouchRate)->Apply(Rates);

} // namespace

BENCHMARK_MAIN();
