// The 3D stereo widener: the plain-input setting, Init, and a sample-exact
// comparison with a plain transcription of the steps.
#include "qbs/QBSt_M3D.h"
#include "qbs/QBSt_M3D_Tables.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;

// The widener written out step by step in 64-bit arithmetic, histories moved along as
// arrays, levels clamped to 0..10; it shares nothing with the library but the tables.
struct ReferenceM3d {
  int64_t hist[4][8] = {}, ip[2] = {}, pk[2] = {}, s = 0;
  int shift, u, b;

  static int64_t seventh(int64_t* h, int64_t* e, int64_t v, const int32_t* bk, const int32_t* ak) {
    h[0] = v;
    int64_t acc = 0;
    for (int k = 0; k < 8; ++k) acc += bk[k] * h[k] + (k ? ak[k] * e[k] : 0);
    e[0] = acc >> 15;
    for (int k = 7; k >= 1; --k) h[k] = h[k - 1], e[k] = e[k - 1];
    return e[0];
  }

  Samples run(const Samples& in) {
    Samples out(in.size());
    for (size_t i = 0; i + 1 < in.size(); i += 2) {
      const int64_t xl = in[i] >> shift, xr = in[i + 1] >> shift;
      const int64_t m = (xl + xr) >> 1, d = (xl - xr) >> 1;
      const int64_t ym = seventh(hist[0], hist[1], m, M3D_SUM_B, M3D_SUM_A);
      const int64_t ys = seventh(hist[2], hist[3], d, M3D_DIFF_B, M3D_DIFF_A);
      s = (M3D_ALPHA_L[b] * (m + ip[0]) + M3D_GAMMA_L[b] * s) >> 15;
      const int64_t p = (M3D_BETA_H[b] * pk[1] + M3D_GAMMA_H[b] * pk[0] + M3D_ALPHA_H[b] * (m - ip[1])) >> 14;
      pk[1] = pk[0], pk[0] = p, ip[1] = ip[0], ip[0] = m;
      const int64_t common = ((p * M3D_MU_H[b]) >> 15) + ((s * M3D_MU_L[b]) >> 14) + ((M3D_Cmp_Gain[u] * m) >> 15);
      out[i] = qbs_test::clamp16(((M3D_Mid_Gain[u] * xl) >> 15) + ((M3D_Sur_Gain[u] * (ym + ys)) >> 15) + common);
      out[i + 1] = qbs_test::clamp16(((M3D_Mid_Gain[u] * xr) >> 15) + ((M3D_Sur_Gain[u] * (ym - ys)) >> 15) + common);
    }
    return out;
  }
};

class QbsM3d : public ::testing::Test {
 protected:
  void TearDown() override { prepare(2, 10, 2); }
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

TEST_F(QbsM3d, InitKeepsTheLevels) {
  prepare(2, 7, 9);
  QBS_M3D_Init(2, 44100);
  EXPECT_EQ(QBS_M3D_SURR, 7);
  EXPECT_EQ(QBS_M3D_BASS, 9);
}

// Every shift and level pair (stray ones included), noise and full-scale squares.
TEST_F(QbsM3d, MatchesTheReferenceAtEverySettingAndBlocking) {
  const int16_t levels[][2] = {{10, 2}, {0, 0}, {10, 10}, {5, 7}, {0, 10}, {-3, 40}, {11, -1}};
  uint32_t seed = 30;
  for (int shift = 0; shift <= 2; ++shift) {
    for (const auto& [u, b] : levels) {
      for (const Samples& in : {qbs_test::noise(5000, ++seed), qbs_test::full_scale_square(5000, 30)}) {
        SCOPED_TRACE(testing::Message() << "shift " << shift << " levels " << u << "," << b);
        ReferenceM3d ref{.shift = shift, .u = std::clamp<int>(u, 0, 10), .b = std::clamp<int>(b, 0, 10)};
        qbs_test::expect_stream(QBSt_M3D, [&] { prepare(shift, u, b); }, in, ref.run(in), ++seed);
      }
    }
  }
}

}  // namespace
