// Speed/pitch block: rate tables and parameters, start-up, Init from another thread, pitch
// of a sine, robustness, and a sample-for-sample comparison with the plain model in
// ptc_model.h. Five-minute runs without gaps or drops are in ptc_steady_test.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "qbs/QBS_PTC.h"
#include "tests/qbs/ptc_model.h"
#include "tests/qbs/ptc_test_support.h"

TEST(PtcTables, MatchAnIndependentComputation) {
  for (int p = -6; p <= 6; ++p) {
    for (int s = 50; s <= 200; ++s) {
      const long double t = 65536.0L * s / 100 * std::exp2l(-p / 12.0L);
      const long double r = 65536.0L * std::exp2l(p / 12.0L) * 100 / s;
      EXPECT_EQ(Tempo_Table[Index(s, p)], std::llround(t)) << s << " " << p;
      const long long up = p == 0 ? (6553600 + s - 1) / s : std::ceil(r);
      EXPECT_EQ(Target_Rate_Table[Index(s, p)], up) << s << " " << p;
    }
  }
}

TEST(PtcSet, RateParametersTraceAndClamping) {
  QBS_PTC_Init(2, 44100);
  const int cases[][5] = {{100, 0, 65536, 3105, 4235}, {200, -6, 23171, 8782, 9912},
                          {50, 6, 185364, 1098, 4235},  {50, 0, 131072, 1553, 4235}};
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    QBS_PTC_Set(c[0], c[1]);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "QBS_Speed:" + std::to_string(c[0]) + " QBS_Pitch:" + std::to_string(c[1]));
    EXPECT_EQ(Target_Rate, c[2]);
    EXPECT_EQ(Hop_Size, c[3]);
    EXPECT_EQ(Required_Sample, c[4]);
  }
  QuietSet(900, -40);  // clamped to speed 200, pitch -6
  EXPECT_EQ(Target_Rate, 23171);
  EXPECT_EQ(Hop_Size, 8782);
  QuietSet(-3, 32000);  // clamped to speed 50, pitch +6
  EXPECT_EQ(Target_Rate, 185364);
  EXPECT_EQ(Hop_Size, 1098);
}

TEST(PtcStart, FirstOutputOnTheEighthCallAndInitKeepsRatesAndQueueCount) {
  Prepare(100, 0);
  const std::vector<int16_t> in = Signal(1024 * 40);
  std::vector<int16_t> out;
  for (int call = 1; call <= 7; ++call) EXPECT_EQ(Call(&in[2048 * (call - 1)], 1024, out), 0);
  EXPECT_EQ(Call(&in[2048 * 7], 1024, out), 1024);
  for (int call = 9; call <= 12; ++call) Call(&in[2048 * (call - 1)], 1024, out);

  QuietSet(137, -2);
  const int32_t rate = Target_Rate, hop = Hop_Size, required = Required_Sample;
  const int32_t queued = Prev_Sample_Index, phase = Window_Index;
  ASSERT_GT(queued, 0);
  QBS_PTC_Init(2, 48000);
  EXPECT_EQ(Target_Rate, rate);
  EXPECT_EQ(Hop_Size, hop);
  EXPECT_EQ(Required_Sample, required);
  EXPECT_EQ(Prev_Sample_Index, queued);
  EXPECT_EQ(Window_Index, phase);
  // The queues are the render thread's: they empty at the start of its next block.
  EXPECT_GT(In_Tempo_Buf_Size, 0);
  QBS_PTC(out.data(), in.data(), 0);
  EXPECT_EQ(In_Tempo_Buf_Size, 0);
  EXPECT_EQ(L_In_FIFO[0], 0);
  EXPECT_EQ(Prev_Sample_Index, queued);
}

TEST(PtcThreads, InitAndSetWhileRenderingLeaveNoTrace) {
  // A render thread runs block after block while this thread switches the effect on again
  // and again (Set, then Init) at two rates. Under ThreadSanitizer this is the race check;
  // in every build, what follows the last Init must be exactly a fresh start.
  Prepare(100, 0);
  const std::vector<int16_t> in = Signal(44100);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread render([&] {
    std::vector<int16_t> out(2 * 1024);
    for (int at = 0; !stop.load(); at = (at + 1024) % 40000) {
      QBS_PTC(out.data(), &in[2 * at], 2 * 1024);
      blocks.fetch_add(1);
    }
  });
  for (int i = 0; i < 60; ++i) {
    const int seen = blocks.load();
    while (blocks.load() < seen + 1 + i % 7) std::this_thread::yield();
    QuietSet(50 + 37 * i % 151, i % 13 - 6);
    QBS_PTC_Init(i % 4 ? 2 : 1, i % 3 ? 44100 : 48000);
  }
  stop.store(true);
  render.join();

  Prev_Sample_Index = 0, Window_Index = 0, L_Prev_Sample = R_Prev_Sample = 0;
  QuietSet(120, 2);
  QBS_PTC_Init(2, 44100);
  PtcModel model;
  model.init(2, 44100), model.set(120, 2);
  for (int at = 0; at < 40 * 1024; at += 1024) {
    std::vector<int16_t> ours(2 * 1024, kUnwritten), theirs = ours;
    QBS_PTC(ours.data(), &in[2 * at], 2 * 1024);
    model.process(theirs.data(), &in[2 * at], 2 * 1024);
    ASSERT_EQ(ours, theirs) << "at frame " << at;
  }
}

TEST(PtcPitch, SineComesOutAtTheExpectedFrequency) {
  const double f0 = 441.0;
  const std::vector<int16_t> in = Signal(44100 * 3, f0, 0);
  for (const auto& [speed, pitch] : {std::pair{100, 3}, {150, 0}, {50, -6}, {200, 6}, {73, -2}}) {
    Prepare(speed, pitch);
    std::vector<int16_t> left, out;
    for (int i = 0; i + 1024 <= 44100 * 3; i += 1024) {
      const int n = Call(&in[2 * i], 1024, out);
      for (int k = 0; k < n; ++k) left.push_back(out[2 * k]);
    }
    // Upward zero crossings, located to a fraction of a sample, after the first 0.3 s.
    std::vector<double> ups;
    for (size_t i = 13230; i + 1 < left.size(); ++i)
      if (left[i] < 0 && left[i + 1] >= 0) ups.push_back(i + double(-left[i]) / (left[i + 1] - left[i]));
    ASSERT_GT(ups.size(), 100u);
    const double measured = 44100.0 * (ups.size() - 1) / (ups.back() - ups.front());
    const double expected = f0 * (100.0 / speed) * std::exp2(pitch / 12.0);
    EXPECT_NEAR(measured / expected, 1.0, 0.002) << speed << " " << pitch;
  }
}

TEST(PtcSafety, OddCountsOversizedBlocksUnsetRatesAndOutOfRangeArguments) {
  std::vector<int16_t> in = Signal(60000), out;
  // Before any Set the rate parameters are 0: the block must neither hang nor queue.
  Target_Rate = 0, Hop_Size = 0, Required_Sample = 0;
  QBS_PTC_Init(2, 44100);
  EXPECT_EQ(Call(in.data(), 4096, out), 0);
  EXPECT_EQ(In_Tempo_Buf_Size, 0);

  Prepare(100, 0);
  Call(in.data(), 3000, out);
  const int32_t queued = In_Tempo_Buf_Size;
  for (int count : {0, -8}) {
    out.assign(4, kUnwritten);
    QBS_PTC(out.data(), in.data(), count);
    EXPECT_EQ(out, std::vector<int16_t>(4, kUnwritten));
    EXPECT_EQ(In_Tempo_Buf_Size, queued);
  }

  // Blocks far beyond the queues, at the settings that keep the most input queued.
  for (int rate : {48000, 44100, 8000})
    for (const auto& [s, p] : {std::pair{200, -6}, {50, 6}, {9999, -99}, {-5, 77}}) {
      Prepare(s, p, rate);
      for (int frames : {60000, 4096, 13001, 1, 30000}) {
        Call(in.data(), frames, out);
        // Every segment the queued input allows has run.
        ASSERT_LT(In_Tempo_Buf_Size, Required_Sample);
      }
    }
}

// Runs the module and the model side by side over a long signal with changing block
// sizes and settings, half of the calls in place, and compares every output sample.
void CompareWithModel(int rate, bool change_settings) {
  Prepare(100, 0, rate);
  PtcModel model;
  model.init(2, rate), model.set(100, 0), model.init(2, rate);
  std::vector<int16_t> in = Signal(44100 * 12);
  // A second of silence: a silent tail weighs every candidate alike, so where the signal
  // resumes the tie rule alone picks the position.
  std::fill(in.begin() + 2 * 44100 * 5, in.begin() + 2 * 44100 * 6, 0);
  uint32_t seed = 7;
  int calls = 0;
  for (int at = 0; at < 44100 * 11;) {
    seed = seed * 1664525u + 1013904223u;
    const int frames = (seed >> 8) % 100 == 0 ? 5000 : 64 + (seed >> 12) % 2000;
    if (change_settings && ++calls % 40 == 0) {
      const int s = 50 + (seed >> 4) % 151, p = static_cast<int>((seed >> 16) % 13) - 6;
      QuietSet(s, p), model.set(s, p);
    }
    std::vector<int16_t> ours(in.begin() + 2 * at, in.begin() + 2 * (at + frames));
    std::vector<int16_t> theirs = ours;
    if (calls % 2) QBS_PTC(ours.data(), ours.data(), 2 * frames);
    else QBS_PTC(ours.data(), &in[2 * at], 2 * frames);
    model.process(theirs.data(), &in[2 * at], 2 * frames);
    ASSERT_EQ(ours, theirs) << "rate " << rate << " at frame " << at;
    at += frames;
  }
}

TEST(PtcModelCheck, SameSamplesAsThePlainModel) {
  CompareWithModel(44100, true);
  CompareWithModel(48000, true);
  CompareWithModel(22050, true);
  CompareWithModel(8000, true);  // no coarse candidate fits: refinements start below 0
}
