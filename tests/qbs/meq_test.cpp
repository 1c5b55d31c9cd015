// The seven-band equalizer: settling values, presets, a sample-exact comparison with a
// plain transcription of the filter steps, and the absence of a DC offset.
#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "qbs/QBS_MEQ.h"
#include "qbs/QBS_MEQ_Tables.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;

void set_bands(std::array<int16_t, 7> g) {
  for (int b = 0; b < 7; ++b) QBS_MEQ_BAND[b] = g[b];
}

std::array<int16_t, 7> bands() {
  std::array<int16_t, 7> g;
  for (int b = 0; b < 7; ++b) g[b] = QBS_MEQ_BAND[b];
  return g;
}

// The equalizer written out step by step, one channel at a time, in 64-bit arithmetic,
// with out-of-range gains clamped; it shares nothing with the library but the tables.
struct ReferenceEq {
  struct Ch {
    int64_t in[2] = {0, 0}, lps = 0, hps = 0, pk[5][2] = {};
  } ch[2];
  int shift;
  std::array<int, 7> g;
  std::vector<int64_t> left_sums;  // the gain sum of every left sample, before its shift

  ReferenceEq(int shift_, std::array<int16_t, 7> gains) : shift(shift_) {
    for (int b = 0; b < 7; ++b) g[b] = std::clamp<int>(gains[b], 0, 24);
  }

  int16_t step(Ch& c, int16_t sample) {
    static const int32_t* alpha[5] = {MEQ_ALPHA_1, MEQ_ALPHA_2, MEQ_ALPHA_3, MEQ_ALPHA_4, MEQ_ALPHA_5};
    static const int32_t* gamma[5] = {MEQ_GAMMA_1, MEQ_GAMMA_2, MEQ_GAMMA_3, MEQ_GAMMA_4, MEQ_GAMMA_5};
    static const int32_t* beta[5] = {MEQ_BETA_1, MEQ_BETA_2, MEQ_BETA_3, MEQ_BETA_4, MEQ_BETA_5};
    const int64_t x = sample >> shift, x1 = c.in[0], x2 = c.in[1];
    const int64_t lp = (MEQ_ALPHA_L[g[0]] * (x + x1) + MEQ_GAMMA_L[g[0]] * c.lps) >> 15;
    c.lps = lp;
    const int64_t hp = (MEQ_ALPHA_H[g[6]] * (x - x1) + MEQ_GAMMA_H[g[6]] * c.hps) >> 15;
    c.hps = hp;
    int64_t sum = MEQ_MU[g[0]] * lp + MEQ_MU[g[6]] * hp;
    for (int k = 0; k < 5; ++k) {
      const int gk = g[k + 1];
      const int64_t pk =
          (alpha[k][gk] * (x - x2) + gamma[k][gk] * c.pk[k][0] + beta[k][gk] * c.pk[k][1] + 8192) >> 14;
      c.pk[k][1] = c.pk[k][0];
      c.pk[k][0] = pk;
      sum += MEQ_MU[gk] * pk;
    }
    c.in[1] = x1;
    c.in[0] = x;
    if (&c == &ch[0]) left_sums.push_back(sum);
    return qbs_test::clamp16(x + (sum >> 13));
  }

  Samples run(const Samples& in) {
    Samples out(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = step(ch[i % 2], in[i]);
    return out;
  }
};

class QbsMeq : public ::testing::Test {
 protected:
  void SetUp() override {
    QBS_MEQ_Init(2, 44100);
    QBS_MEQ_Set_Mode(0);
  }
  void TearDown() override {
    QBS_MEQ_Init(2, 44100);
    QBS_MEQ_Set_Mode(0);
  }
};

TEST_F(QbsMeq, FlatGainsGiveTheShiftedInputWhateverTheFilterHolds) {
  QBS_MEQ_Set_Mode(1);
  qbs_test::whole(QBSt_MEQ, qbs_test::noise(500, 1));  // fill the filters
  QBS_MEQ_Set_Mode(0);
  const Samples in = qbs_test::noise(500, 2);
  const Samples out = qbs_test::whole(QBSt_MEQ, in);
  for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], in[i] >> 2) << i;
}

// Low shelf alone at +12 dB; the truncating shelf settles differently for the two signs.
TEST_F(QbsMeq, LowShelfSettlesAtTheKnownValues) {
  struct Case {
    int16_t shifted_input, shelf, output;
  } cases[] = {{1000, 912, 3718}, {-1000, -1000, -3982}, {4000, -1, 15661}};
  for (const Case& c : cases) {
    QBS_MEQ_Init(2, 44100);
    set_bands({24, 12, 12, 12, 12, 12, 12});
    const Samples out = qbs_test::whole(QBSt_MEQ, Samples(2 * 20000, int16_t(4 * c.shifted_input)));
    EXPECT_EQ(out[out.size() - 2], c.output) << c.shifted_input;
    EXPECT_EQ(out[out.size() - 1], c.output) << c.shifted_input;
    if (c.shelf != -1) {
      EXPECT_EQ(L_MEQ_LPS_Temp, c.shelf);
      EXPECT_EQ(R_MEQ_LPS_Temp, c.shelf);
    }
  }
}

TEST_F(QbsMeq, SetModeCopiesPresetRowsAndInitKeepsTheBands) {
  QBS_MEQ_Set_Mode(1);
  EXPECT_EQ(bands(), (std::array<int16_t, 7>{16, 14, 12, 10, 9, 12, 16}));
  QBS_MEQ_Set_Mode(7);
  QBS_MEQ_Init(0, 44100);
  EXPECT_EQ(bands(), (std::array<int16_t, 7>{16, 15, 14, 13, 12, 12, 12}));
  QBS_MEQ_Set_Mode(99);  // clamped to the last row
  EXPECT_EQ(bands(), (std::array<int16_t, 7>{12, 12, 12, 13, 14, 15, 16}));
  QBS_MEQ_Set_Mode(-4);
  EXPECT_EQ(bands(), (std::array<int16_t, 7>{12, 12, 12, 12, 12, 12, 12}));
}

TEST_F(QbsMeq, InitShiftRuleAndClearing) {
  for (int16_t requested : {3, -1}) {
    QBS_MEQ_Init(requested, 44100);
    EXPECT_EQ(qbs_test::whole(QBSt_MEQ, {-5, 9}), (Samples{-3, 4}));
  }
  QBS_MEQ_Init(0, 44100);
  EXPECT_EQ(qbs_test::whole(QBSt_MEQ, {-5, 9}), (Samples{-5, 9}));

  QBS_MEQ_Set_Mode(5);
  qbs_test::whole(QBSt_MEQ, qbs_test::noise(300, 3));
  QBS_MEQ_Init(2, 44100);
  const Samples out = qbs_test::whole(QBSt_MEQ, Samples(200, 0));
  EXPECT_EQ(out, Samples(200, 0)) << "Init must clear the filters before the next block";
}

// Every shift, presets and stray gains (out-of-range ones included), loud noise and
// full-scale squares: the block output equals the reference sample for sample, whether
// the stream is cut into random blocks processed in place or handed over in one call.
TEST_F(QbsMeq, MatchesTheReferenceAtEverySettingAndBlocking) {
  const std::array<int16_t, 7> settings[] = {
      {16, 14, 12, 10, 9, 12, 16}, {24, 24, 24, 24, 24, 24, 24}, {0, 0, 0, 0, 0, 0, 0},
      {24, 0, 24, 0, 24, 0, 24},   {-7, 30, 12, 999, -1, 25, 13}, {3, 19, 22, 7, 14, 24, 1}};
  uint32_t seed = 10;
  for (int shift = 0; shift <= 2; ++shift) {
    for (const auto& g : settings) {
      for (const Samples& in : {qbs_test::noise(6000, ++seed), qbs_test::full_scale_square(6000, 40)}) {
        QBS_MEQ_Init(static_cast<int16_t>(shift), 44100);
        set_bands(g);
        const Samples blocked = qbs_test::in_random_blocks(QBSt_MEQ, in, ++seed);
        QBS_MEQ_Init(static_cast<int16_t>(shift), 44100);
        EXPECT_EQ(qbs_test::whole(QBSt_MEQ, in), blocked);
        EXPECT_EQ(ReferenceEq(shift, g).run(in), blocked) << "shift " << shift << " gains " << g[0];
      }
    }
  }
}

// With no headroom shift, boosted bands 0, 1, 5 and 6 and the other peaks cut, an input
// that follows the signs of the gain sum's impulse response carries that sum past 32 bits;
// the output must still match the reference and clamp instead of wrapping.
TEST_F(QbsMeq, GainSumPastThirtyTwoBitsClampsInsteadOfWrapping) {
  const std::array<int16_t, 7> g = {24, 24, 0, 0, 0, 24, 24};
  const int frames = 3000;
  Samples impulse(2 * frames, 0);
  impulse[0] = impulse[1] = INT16_MAX;
  ReferenceEq probe(0, g);
  probe.run(impulse);
  Samples in(2 * frames);
  for (int n = 0; n < frames; ++n) {
    in[2 * n] = in[2 * n + 1] = probe.left_sums[frames - 1 - n] >= 0 ? INT16_MAX : INT16_MIN;
  }
  ReferenceEq ref(0, g);
  const Samples expected = ref.run(in);
  ASSERT_GT(*std::max_element(ref.left_sums.begin(), ref.left_sums.end()), int64_t{INT32_MAX});

  QBS_MEQ_Init(0, 44100);
  set_bands(g);
  const Samples out = qbs_test::in_random_blocks(QBSt_MEQ, in, 5);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out[out.size() - 2], INT16_MAX);
}

// A zero-mean signal must come out without a DC offset at every preset. The truncating
// low shelf leaves a small one (about -15 on the shifted scale with it at +4 dB); peak
// bands that truncated would leave -270 with "Rock", -344 with "Classical" and -435 with
// "Full Bass".
TEST_F(QbsMeq, ZeroMeanInputLeavesNoDcOffsetAtAnyPreset) {
  // Noise followed by its own negation: the mean is exactly zero.
  Samples in = qbs_test::noise(60000, 77, 20000);
  for (size_t i = 0, n = in.size(); i < n; ++i) in.push_back(static_cast<int16_t>(-in[i]));
  auto mean = [](const Samples& s) {
    return std::accumulate(s.begin(), s.end(), 0.0) / static_cast<double>(s.size());
  };
  Samples shifted(in.size());
  for (size_t i = 0; i < in.size(); ++i) shifted[i] = static_cast<int16_t>(in[i] >> 2);
  for (int16_t preset = 0; preset <= 8; ++preset) {
    QBS_MEQ_Init(2, 44100);
    QBS_MEQ_Set_Mode(preset);
    const Samples out = qbs_test::whole(QBSt_MEQ, in);
    EXPECT_NEAR(mean(out), mean(shifted), 20.0) << "preset " << preset;
  }
}

}  // namespace
