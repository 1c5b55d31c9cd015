// The 3D stereo widener: the plain-input setting, mono input, level handling, and a
// sample-exact comparison with a plain transcription of the steps.
#include <gtest/gtest.h>

#include "qbs/QBSt_M3D.h"
#include "qbs/QBSt_M3D_Tables.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;

// The widener written out step by step in 64-bit arithmetic, histories moved along as
// arrays; levels clamped to 0..10. Shares nothing with the library but the tables.
struct ReferenceM3d {
  int64_t hl[8] = {}, el[8] = {}, hr[8] = {}, er[8] = {}, ip[2] = {}, pk[2] = {}, s = 0;
  int shift, u, b;

  static int64_t seventh(int64_t* h, int64_t* e, int64_t v, const int32_t* bk, const int32_t* ak) {
    h[0] = v;
    int64_t acc = 0;
    for (int k = 0; k < 8; ++k) acc += bk[k] * h[k];
    for (int k = 1; k < 8; ++k) acc += ak[k] * e[k];
    e[0] = acc >> 15;
    for (int k = 7; k >= 1; --k) {
      h[k] = h[k - 1];
      e[k] = e[k - 1];
    }
    return e[0];
  }

  Samples run(const Samples& in) {
    Samples out(in.size());
    for (size_t i = 0; i + 1 < in.size(); i += 2) {
      const int64_t xl = in[i] >> shift, xr = in[i + 1] >> shift;
      const int64_t m = (xl + xr) >> 1, d = (xl - xr) >> 1;
      const int64_t ym = seventh(hl, el, m, M3D_SUM_B, M3D_SUM_A);
      const int64_t ys = seventh(hr, er, d, M3D_DIFF_B, M3D_DIFF_A);
      s = (M3D_ALPHA_L[b] * (m + ip[0]) + M3D_GAMMA_L[b] * s) >> 15;
      const int64_t p = (M3D_BETA_H[b] * pk[1] + M3D_GAMMA_H[b] * pk[0] + M3D_ALPHA_H[b] * (m - ip[1])) >> 14;
      pk[1] = pk[0];
      pk[0] = p;
      ip[1] = ip[0];
      ip[0] = m;
      const int64_t bass = ((p * M3D_MU_H[b]) >> 15) + ((s * M3D_MU_L[b]) >> 14);
      const int64_t centre = (M3D_Cmp_Gain[u] * m) >> 15;
      out[i] = qbs_test::clamp16(((M3D_Mid_Gain[u] * xl) >> 15) + ((M3D_Sur_Gain[u] * (ym + ys)) >> 15) + centre + bass);
      out[i + 1] = qbs_test::clamp16(((M3D_Mid_Gain[u] * xr) >> 15) + ((M3D_Sur_Gain[u] * (ym - ys)) >> 15) + centre + bass);
    }
    return out;
  }
};

class QbsM3d : public ::testing::Test {
 protected:
  void TearDown() override {
    QBS_M3D_SURR = 10;
    QBS_M3D_BASS = 2;
    QBS_M3D_Init(2, 44100);
  }
  static void prepare(int shift, int16_t surround, int16_t bass) {
    QBS_M3D_Init(static_cast<int16_t>(shift), 44100);
    QBS_M3D_SURR = surround;
    QBS_M3D_BASS = bass;
  }
};

TEST_F(QbsM3d, SurroundAndBassZeroPassTheScaledInput) {
  prepare(2, 0, 0);
  const Samples in = {4, -4, 32764, -32768, 0, 0, -4, 4};
  EXPECT_EQ(qbs_test::whole(QBSt_M3D, in), (Samples{0, -1, 8190, -8192, 0, 0, -1, 0}));
}

TEST_F(QbsM3d, MonoInputGivesEqualChannelsAtEverySetting) {
  Samples in = qbs_test::noise(3000, 5);
  for (size_t i = 0; i < in.size(); i += 2) in[i + 1] = in[i];
  for (int16_t level : {0, 4, 10}) {
    prepare(2, level, static_cast<int16_t>(10 - level));
    const Samples out = qbs_test::whole(QBSt_M3D, in);
    for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]) << i;
  }
}

TEST_F(QbsM3d, InitKeepsLevelsAndClearsTheFilters) {
  prepare(2, 7, 9);
  qbs_test::whole(QBSt_M3D, qbs_test::noise(500, 6));
  QBS_M3D_Init(2, 44100);
  EXPECT_EQ(QBS_M3D_SURR, 7);
  EXPECT_EQ(QBS_M3D_BASS, 9);
  EXPECT_EQ(qbs_test::whole(QBSt_M3D, Samples(400, 0)), Samples(400, 0));
}

// Each level must steer its own part: bass only changes the bass (so a treble-only side
// signal is left alone), surround only the stereo mix.
TEST_F(QbsM3d, EachLevelChangesItsOwnPart) {
  const Samples in = qbs_test::noise(4000, 8, 8000);
  prepare(2, 10, 0);
  const Samples surround_only = qbs_test::whole(QBSt_M3D, in);
  prepare(2, 10, 10);
  const Samples with_bass = qbs_test::whole(QBSt_M3D, in);
  prepare(2, 0, 10);
  const Samples bass_only = qbs_test::whole(QBSt_M3D, in);
  EXPECT_NE(surround_only, with_bass);
  EXPECT_NE(bass_only, with_bass);
  // The bass is added equally to both channels: the channel difference ignores it.
  for (size_t i = 0; i < in.size(); i += 2) {
    ASSERT_EQ(surround_only[i] - surround_only[i + 1], with_bass[i] - with_bass[i + 1]) << i;
  }
}

// Every shift and level (stray ones included), noise and full-scale squares: random
// blocks processed in place, one whole call and the reference agree sample for sample.
TEST_F(QbsM3d, MatchesTheReferenceAtEverySettingAndBlocking) {
  const int16_t levels[][2] = {{10, 2}, {0, 0}, {10, 10}, {5, 7}, {-3, 40}, {11, -1}};
  uint32_t seed = 30;
  for (int shift = 0; shift <= 2; ++shift) {
    for (const auto& lv : levels) {
      for (const Samples& in : {qbs_test::noise(5000, ++seed), qbs_test::full_scale_square(5000, 30)}) {
        prepare(shift, lv[0], lv[1]);
        const Samples blocked = qbs_test::in_random_blocks(QBSt_M3D, in, ++seed);
        prepare(shift, lv[0], lv[1]);
        EXPECT_EQ(qbs_test::whole(QBSt_M3D, in), blocked);
        ReferenceM3d ref{};
        ref.shift = shift;
        ref.u = std::clamp<int>(lv[0], 0, 10);
        ref.b = std::clamp<int>(lv[1], 0, 10);
        EXPECT_EQ(ref.run(in), blocked) << "shift " << shift << " levels " << lv[0] << "," << lv[1];
      }
    }
  }
}

}  // namespace
