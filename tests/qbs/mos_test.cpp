// The stage simulation: impulse responses, rates, presets, and a sample-exact comparison
// with a plain transcription of the steps.
#include <gtest/gtest.h>

#include <map>

#include "qbs/QBSt_MOS.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;

// The stage written out step by step in 64-bit arithmetic with modulo-indexed lines.
// Shares nothing with the library but the gain tables.
struct ReferenceMos {
  static constexpr int kMs[6] = {15, 22, 8, 35, 30, 66};
  static constexpr int64_t kCoef[5] = {13107, 19661, 9830, 13107, 3277};
  std::vector<int64_t> line[2][6];
  int64_t lpf[2] = {0, 0};
  int len[6];
  long pos = 0;
  int shift;
  int64_t g, t3, t5;

  ReferenceMos(int shift_, int rate, int preset) : shift(shift_) {
    const std::map<int, int> factors = {{8000, 8},   {11025, 11}, {16000, 16},
                                        {22050, 22}, {32000, 32}, {48000, 48}};
    const int k = factors.count(rate) ? factors.at(rate) : 44;
    for (int n = 0; n < 6; ++n) {
      len[n] = k * kMs[n];
      line[0][n].assign(len[n], 0);
      line[1][n].assign(len[n], 0);
    }
    g = preset == 1 ? Gain_LPF[6] : preset == 2 ? Gain_LPF[10] : Gain_LPF[5];
    t3 = preset == 2 ? 0 : Gain_Rev[10];
    t5 = preset == 1 ? Gain_Rev[8] : preset == 2 ? Gain_Rev[10] : 0;
  }

  Samples run(const Samples& in) {
    Samples out(in.size());
    for (size_t i = 0; i + 1 < in.size(); i += 2, ++pos) {
      const int64_t x[2] = {in[i] >> shift, in[i + 1] >> shift};
      const int64_t fed_back[2] = {lpf[1], lpf[0]};
      for (int c = 0; c < 2; ++c) {
        int64_t& d1 = line[c][0][pos % len[0]];
        int64_t v = d1;
        d1 = x[c] - ((g * fed_back[c]) >> 15);
        int64_t ap[5];
        for (int n = 0; n < 5; ++n) {
          int64_t& cell = line[c][n + 1][pos % len[n + 1]];
          const int64_t o = cell - ((v * kCoef[n]) >> 15);
          cell = ((o * kCoef[n]) >> 15) + v;
          ap[n] = v = o;
        }
        lpf[c] = (14445 * ap[4] + 18323 * lpf[c]) >> 15;
        out[i + c] = qbs_test::clamp16(x[c] - ((t5 * ap[4] + t3 * ap[2]) >> 15));
      }
    }
    return out;
  }
};

class QbsMos : public ::testing::Test {
 protected:
  void TearDown() override {
    QBS_MOS_PRESET = 0;
    QBS_MOS_Init(2, 44100);
  }
  static Samples impulse_response(int16_t preset, int32_t rate, int frames) {
    QBS_MOS_Init(2, rate);
    QBS_MOS_PRESET = preset;
    Samples in(2 * frames, 0);
    in[0] = in[1] = 32000;  // 8000 after the shift
    const Samples out = qbs_test::whole(QBSt_MOS, in);
    Samples left(frames);
    for (int i = 0; i < frames; ++i) {
      left[i] = out[2 * i];
      EXPECT_EQ(out[2 * i], out[2 * i + 1]) << i;
    }
    return left;
  }
  static std::map<int, int> nonzero(const Samples& s, int first_frames) {
    std::map<int, int> found;
    for (int i = 0; i < static_cast<int>(s.size()) && static_cast<int>(found.size()) < first_frames; ++i)
      if (s[i] != 0) found[i] = s[i];
    return found;
  }
};

TEST_F(QbsMos, ImpulseRespondsAtTheKnownFramesPerPreset) {
  EXPECT_EQ(nonzero(impulse_response(0, 44100, 2000), 5),
            (std::map<int, int>{{0, 8000}, {660, 288}, {1012, -307}, {1364, -184}, {1628, -605}}));
  EXPECT_EQ(nonzero(impulse_response(2, 44100, 2000), 3),
            (std::map<int, int>{{0, 8000}, {660, 12}, {1012, -12}}));
  // Any preset other than 1 and 2 plays as 0.
  const Samples studio = impulse_response(0, 44100, 9000);
  EXPECT_EQ(impulse_response(7, 44100, 9000), studio);
  EXPECT_EQ(impulse_response(-2, 44100, 9000), studio);
  EXPECT_NE(impulse_response(1, 44100, 9000), studio);
}

TEST_F(QbsMos, RateSetsTheDelayLengths) {
  EXPECT_EQ(nonzero(impulse_response(0, 48000, 2000), 2).rbegin()->first, 720);
  EXPECT_EQ((std::array{Delay_D1, Delay_AP1, Delay_AP2, Delay_AP3, Delay_AP4, Delay_AP5}),
            (std::array{720, 1056, 384, 1680, 1440, 3168}));
  EXPECT_EQ(nonzero(impulse_response(0, 96000, 2000), 2).rbegin()->first, 660);  // as 44100
  EXPECT_EQ(nonzero(impulse_response(0, 8000, 2000), 2).rbegin()->first, 120);
}

TEST_F(QbsMos, InitKeepsThePresetAndEmptiesTheLines) {
  QBS_MOS_PRESET = 1;
  qbs_test::whole(QBSt_MOS, qbs_test::noise(3000, 9));
  QBS_MOS_Init(2, 44100);
  EXPECT_EQ(QBS_MOS_PRESET, 1);
  EXPECT_EQ(qbs_test::whole(QBSt_MOS, Samples(2 * 4000, 0)), Samples(2 * 4000, 0));
  EXPECT_EQ(std::count(L_AP5_In_Buf, L_AP5_In_Buf + QBS_MOS_AP5_Capacity, 0), QBS_MOS_AP5_Capacity);
}

// Every shift, preset and a few rates, noise and full-scale squares (whose tail rings
// through the feedback): random blocks in place, one whole call and the reference agree.
TEST_F(QbsMos, MatchesTheReferenceAtEverySettingAndBlocking) {
  uint32_t seed = 50;
  for (int shift = 0; shift <= 2; ++shift) {
    for (int preset : {0, 1, 2, 5}) {
      for (int rate : {44100, 8000, 48000}) {
        for (const Samples& in : {qbs_test::noise(9000, ++seed), qbs_test::full_scale_square(9000, 700)}) {
          QBS_MOS_Init(static_cast<int16_t>(shift), rate);
          QBS_MOS_PRESET = static_cast<int16_t>(preset);
          const Samples blocked = qbs_test::in_random_blocks(QBSt_MOS, in, ++seed);
          QBS_MOS_Init(static_cast<int16_t>(shift), rate);
          EXPECT_EQ(qbs_test::whole(QBSt_MOS, in), blocked);
          EXPECT_EQ(ReferenceMos(shift, rate, preset).run(in), blocked)
              << "shift " << shift << " preset " << preset << " rate " << rate;
        }
      }
    }
  }
}

}  // namespace
