// The seven-band equalizer: settling values, presets, a sample-exact comparison with a
// plain transcription of the filter steps, and the absence of a DC offset.
#include <array>
#include <numeric>

#include "qbs/QBS_MEQ.h"
#include "qbs/QBS_MEQ_Tables.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;
using Gains = std::array<int16_t, 7>;

void set_bands(const Gains& g) {
  for (int b = 0; b < 7; ++b) QBS_MEQ_BAND[b] = g[b];
}

Gains bands() {
  Gains g;
  for (int b = 0; b < 7; ++b) g[b] = QBS_MEQ_BAND[b];
  return g;
}

// The equalizer written out step by step per channel in 64-bit arithmetic, out-of-range
// gains clamped; it shares nothing with the library but the tables.
struct ReferenceEq {
  int64_t in[2][2] = {}, lps[2] = {}, hps[2] = {}, pk[2][5][2] = {};
  int shift;
  std::array<int, 7> g;
  std::vector<int64_t> left_sums;  // the gain sum of every left sample

  ReferenceEq(int shift_, const Gains& gains) : shift(shift_) {
    for (int b = 0; b < 7; ++b) g[b] = std::clamp<int>(gains[b], 0, 24);
  }

  Samples run(const Samples& samples) {
    static const int32_t* const peak[5][3] = {{MEQ_ALPHA_1, MEQ_GAMMA_1, MEQ_BETA_1}, {MEQ_ALPHA_2, MEQ_GAMMA_2, MEQ_BETA_2},
        {MEQ_ALPHA_3, MEQ_GAMMA_3, MEQ_BETA_3}, {MEQ_ALPHA_4, MEQ_GAMMA_4, MEQ_BETA_4}, {MEQ_ALPHA_5, MEQ_GAMMA_5, MEQ_BETA_5}};
    Samples out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      const int c = i % 2;
      const int64_t x = samples[i] >> shift, x1 = in[c][0], x2 = in[c][1];
      lps[c] = (MEQ_ALPHA_L[g[0]] * (x + x1) + MEQ_GAMMA_L[g[0]] * lps[c]) >> 15;
      hps[c] = (MEQ_ALPHA_H[g[6]] * (x - x1) + MEQ_GAMMA_H[g[6]] * hps[c]) >> 15;
      int64_t sum = MEQ_MU[g[0]] * lps[c] + MEQ_MU[g[6]] * hps[c];
      for (int k = 0; k < 5; ++k) {
        const int gk = g[k + 1];
        int64_t(&p)[2] = pk[c][k];
        const int64_t y = (peak[k][0][gk] * (x - x2) + peak[k][1][gk] * p[0] + peak[k][2][gk] * p[1] + 8192) >> 14;
        p[1] = p[0];
        p[0] = y;
        sum += MEQ_MU[gk] * y;
      }
      in[c][1] = x1;
      in[c][0] = x;
      if (c == 0) left_sums.push_back(sum);
      out[i] = qbs_test::clamp16(x + (sum >> 13));
    }
    return out;
  }
};

class QbsMeq : public ::testing::Test {
 protected:
  void SetUp() override { prepare(2, {12, 12, 12, 12, 12, 12, 12}); }
  void TearDown() override { SetUp(); }
  static void prepare(int shift, const Gains& g) {
    QBS_MEQ_Init(static_cast<int16_t>(shift), 44100);
    set_bands(g);
  }
};

// Low shelf alone at +12 dB; the truncating shelf settles differently for the two signs.
TEST_F(QbsMeq, LowShelfSettlesAtTheKnownValues) {
  const int settled[][3] = {{1000, 912, 3718}, {-1000, -1000, -3982}, {4000, 0, 15661}};
  for (const auto& [input, shelf, output] : settled) {
    prepare(2, {24, 12, 12, 12, 12, 12, 12});
    const Samples out = qbs_test::whole(QBSt_MEQ, Samples(40000, int16_t(4 * input)));
    EXPECT_EQ(out[out.size() - 2], output);
    EXPECT_EQ(out[out.size() - 1], output);
    if (shelf != 0) {
      EXPECT_EQ(L_MEQ_LPS_Temp, shelf);
    }
  }
}

TEST_F(QbsMeq, SetModeCopiesClampedPresetRowsAndInitKeepsTheBands) {
  QBS_MEQ_Set_Mode(1);
  EXPECT_EQ(bands(), (Gains{16, 14, 12, 10, 9, 12, 16}));
  QBS_MEQ_Set_Mode(7);
  QBS_MEQ_Init(0, 44100);
  EXPECT_EQ(bands(), (Gains{16, 15, 14, 13, 12, 12, 12}));
  QBS_MEQ_Set_Mode(99);
  EXPECT_EQ(bands(), (Gains{12, 12, 12, 13, 14, 15, 16}));
  QBS_MEQ_Set_Mode(-4);
  EXPECT_EQ(bands(), (Gains{12, 12, 12, 12, 12, 12, 12}));
}

// That Init clears the filters, here and in the other modules, shows in every comparison
// with the reference: expect_stream runs Init again after a run has filled them.
TEST_F(QbsMeq, InitAppliesTheShiftRule) {
  const std::pair<int16_t, Samples> shifts[] = {{3, {-3, 4}}, {-1, {-3, 4}}, {0, {-5, 9}}};
  for (const auto& [requested, expected] : shifts) {
    QBS_MEQ_Init(requested, 44100);
    EXPECT_EQ(qbs_test::whole(QBSt_MEQ, {-5, 9}), expected) << requested;
  }
}

// Every shift, flat gains (the shifted input, whatever the filters hold), presets and stray
// gains (out-of-range ones included), loud noise and full-scale squares.
TEST_F(QbsMeq, MatchesTheReferenceAtEverySettingAndBlocking) {
  const Gains settings[] = {{12, 12, 12, 12, 12, 12, 12}, {16, 14, 12, 10, 9, 12, 16}, {24, 24, 24, 24, 24, 24, 24},
                            {0, 0, 0, 0, 0, 0, 0},       {24, 0, 24, 0, 24, 0, 24},
                            {-7, 30, 12, 999, -1, 25, 13}, {3, 19, 22, 7, 14, 24, 1}};
  uint32_t seed = 10;
  for (int shift = 0; shift <= 2; ++shift) {
    for (const Gains& g : settings) {
      for (const Samples& in : {qbs_test::noise(6000, ++seed), qbs_test::full_scale_square(6000, 40)}) {
        SCOPED_TRACE(testing::Message() << "shift " << shift << " gains " << g[0] << "," << g[1]);
        qbs_test::expect_stream(QBSt_MEQ, [&] { prepare(shift, g); }, in, ReferenceEq(shift, g).run(in), ++seed);
      }
    }
  }
}

// With no headroom shift, bands 0, 1, 5 and 6 boosted and the other peaks cut, an input
// that follows the signs of the gain sum's impulse response carries that sum past 32 bits;
// the output must still match the reference and clamp instead of wrapping.
TEST_F(QbsMeq, GainSumPastThirtyTwoBitsClampsInsteadOfWrapping) {
  const Gains g = {24, 24, 0, 0, 0, 24, 24};
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
  EXPECT_EQ(expected.back(), INT16_MAX);
  qbs_test::expect_stream(QBSt_MEQ, [&] { prepare(0, g); }, in, expected, 5);
}

// With no headroom shift, a gain change while the filters ring with a full-scale square
// wave drives peak band 2 to about -88700, past 2^16: its filter sum and its gain product
// then pass 32 bits, and must neither wrap nor clamp early. The loud square runs in both
// channels, in the left only and in the right only (the other silent): the wide path is
// needed as soon as either channel leaves the safe range.
TEST_F(QbsMeq, GainChangeWhileRingingWithoutHeadroomNeverWraps) {
  const Gains before = {7, 6, 4, 24, 2, 13, 5}, after = {24, 20, 24, 24, 24, 21, 21};
  const int frames = 2000, change = 812;
  for (int loud : {0, 1, 2}) {  // both channels, left only, right only
    SCOPED_TRACE(testing::Message() << "loud channels " << loud);
    Samples in(2 * frames, 0);
    for (int n = 0; n < frames; ++n) {
      const int16_t square = (n / 135) % 2 ? INT16_MAX : INT16_MIN;
      if (loud == 0) in[2 * n + 1] = (n / 90) % 2 ? INT16_MIN : INT16_MAX;
      in[2 * n + (loud == 2)] = square;
    }
    const Samples first(in.begin(), in.begin() + 2 * change), rest(in.begin() + 2 * change, in.end());
    ReferenceEq ref(0, before);
    Samples expected = ref.run(first);
    std::copy(after.begin(), after.end(), ref.g.begin());
    const Samples tail = ref.run(rest);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(expected[2 * 825 + (loud == 2)], INT16_MIN);

    prepare(0, before);
    Samples out(in.size());
    QBSt_MEQ(out.data(), first.data(), static_cast<int32_t>(first.size()));
    set_bands(after);
    QBSt_MEQ(out.data() + first.size(), rest.data(), static_cast<int32_t>(rest.size()));
    EXPECT_EQ(out, expected);
  }
}

// A zero-mean signal must come out without a DC offset at every preset. The truncating
// low shelf leaves a small one (about -15 on the shifted scale with it at +4 dB); peak
// bands that truncated would leave -270 with "Rock", -344 with "Classical" and -435 with
// "Full Bass".
TEST_F(QbsMeq, ZeroMeanInputLeavesNoDcOffsetAtAnyPreset) {
  Samples in = qbs_test::noise(60000, 77, 20000);
  for (size_t i = 0, n = in.size(); i < n; ++i) in.push_back(static_cast<int16_t>(-in[i]));
  auto mean = [](const Samples& s) { return std::accumulate(s.begin(), s.end(), 0.0) / double(s.size()); };
  Samples shifted(in.size());
  for (size_t i = 0; i < in.size(); ++i) shifted[i] = static_cast<int16_t>(in[i] >> 2);
  for (int16_t preset = 0; preset <= 8; ++preset) {
    QBS_MEQ_Init(2, 44100);
    QBS_MEQ_Set_Mode(preset);
    EXPECT_NEAR(mean(qbs_test::whole(QBSt_MEQ, in)), mean(shifted), 20.0) << "preset " << preset;
  }
}

}  // namespace
