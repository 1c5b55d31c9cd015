// The stage simulation: impulse responses, rates, presets, Init, and a sample-exact
// comparison with a plain transcription of the steps.
#include <map>

#include "qbs/QBSt_MOS.h"
#include "tests/qbs/filter_test_support.h"

namespace {

using qbs_test::Samples;

// The stage written out step by step in 64-bit arithmetic with modulo-indexed lines; it
// shares nothing with the library but the gain tables.
struct ReferenceMos {
  std::vector<int64_t> line[2][6];
  int64_t lpf[2] = {0, 0}, g, t3, t5;
  int shift;
  long pos = 0;

  ReferenceMos(int shift_, int rate, int preset) : shift(shift_) {
    const std::map<int, int> factors = {{8000, 8}, {11025, 11}, {16000, 16}, {22050, 22}, {32000, 32}, {48000, 48}};
    const int k = factors.count(rate) ? factors.at(rate) : 44;
    const int ms[6] = {15, 22, 8, 35, 30, 66};
    for (int n = 0; n < 6; ++n) line[0][n].assign(k * ms[n], 0), line[1][n].assign(k * ms[n], 0);
    g = preset == 1 ? Gain_LPF[6] : preset == 2 ? Gain_LPF[10] : Gain_LPF[5];
    t3 = preset == 2 ? 0 : Gain_Rev[10];
    t5 = preset == 1 ? Gain_Rev[8] : preset == 2 ? Gain_Rev[10] : 0;
  }

  Samples run(const Samples& in) {
    const int64_t coef[5] = {13107, 19661, 9830, 13107, 3277};
    Samples out(in.size());
    for (size_t i = 0; i + 1 < in.size(); i += 2, ++pos) {
      const int64_t fed_back[2] = {lpf[1], lpf[0]};
      for (int c = 0; c < 2; ++c) {
        const int64_t x = in[i + c] >> shift;
        int64_t& d1 = line[c][0][pos % line[c][0].size()];
        int64_t v = d1, ap[5];
        d1 = x - ((g * fed_back[c]) >> 15);
        for (int n = 0; n < 5; ++n) {
          int64_t& cell = line[c][n + 1][pos % line[c][n + 1].size()];
          ap[n] = cell - ((v * coef[n]) >> 15);
          cell = ((ap[n] * coef[n]) >> 15) + v;
          v = ap[n];
        }
        lpf[c] = (14445 * ap[4] + 18323 * lpf[c]) >> 15;
        out[i + c] = qbs_test::clamp16(x - ((t5 * ap[4] + t3 * ap[2]) >> 15));
      }
    }
    return out;
  }
};

class QbsMos : public ::testing::Test {
 protected:
  void TearDown() override { prepare(2, 44100, 0); }
  static void prepare(int shift, int32_t rate, int16_t preset) {
    QBS_MOS_Init(static_cast<int16_t>(shift), rate);
    QBS_MOS_PRESET = preset;
  }
  // The left output of an impulse of 8000 (after the shift) on both channels, checking
  // that both channels answer alike.
  static Samples impulse_response(int16_t preset, int32_t rate, int frames) {
    prepare(2, rate, preset);
    Samples in(2 * frames, 0);
    in[0] = in[1] = 32000;
    const Samples out = qbs_test::whole(QBSt_MOS, in);
    Samples left(frames);
    for (int i = 0; i < frames; ++i) {
      left[i] = out[2 * i];
      EXPECT_EQ(out[2 * i], out[2 * i + 1]) << i;
    }
    return left;
  }
  static std::map<int, int> first_nonzero(const Samples& s, size_t count) {
    std::map<int, int> found;
    for (size_t i = 0; i < s.size() && found.size() < count; ++i)
      if (s[i] != 0) found[int(i)] = s[i];
    return found;
  }
};

TEST_F(QbsMos, ImpulseAnswersAtTheKnownFramesPerPresetAndRate) {
  EXPECT_EQ(first_nonzero(impulse_response(0, 44100, 2000), 5),
            (std::map<int, int>{{0, 8000}, {660, 288}, {1012, -307}, {1364, -184}, {1628, -605}}));
  EXPECT_EQ(first_nonzero(impulse_response(2, 44100, 2000), 3), (std::map<int, int>{{0, 8000}, {660, 12}, {1012, -12}}));
  const Samples studio = impulse_response(0, 44100, 9000);  // other presets than 1 and 2 play as 0
  EXPECT_EQ(impulse_response(7, 44100, 9000), studio);
  EXPECT_EQ(impulse_response(-2, 44100, 9000), studio);
  EXPECT_NE(impulse_response(1, 44100, 9000), studio);
  // The pre-delay follows the rate; a rate not in the list plays as 44100.
  EXPECT_EQ(first_nonzero(impulse_response(0, 48000, 2000), 2).rbegin()->first, 720);
  EXPECT_EQ(first_nonzero(impulse_response(0, 96000, 2000), 2).rbegin()->first, 660);
}

TEST_F(QbsMos, InitKeepsThePresetAndEmptiesTheLines) {
  prepare(2, 44100, 1);
  qbs_test::whole(QBSt_MOS, qbs_test::noise(3000, 9));
  QBS_MOS_Init(2, 44100);
  EXPECT_EQ(QBS_MOS_PRESET, 1);
  EXPECT_EQ(qbs_test::whole(QBSt_MOS, Samples(8000, 0)), Samples(8000, 0));
  EXPECT_EQ(std::count(L_AP5_In_Buf, L_AP5_In_Buf + QBS_MOS_AP5_Capacity, 0), QBS_MOS_AP5_Capacity);
}

// Every shift, preset and a few rates, noise and full-scale squares (whose tail rings
// through the feedback).
TEST_F(QbsMos, MatchesTheReferenceAtEverySettingAndBlocking) {
  uint32_t seed = 50;
  for (int shift = 0; shift <= 2; ++shift) {
    for (int16_t preset : {0, 1, 2, 5}) {
      for (int rate : {44100, 8000, 48000}) {
        for (const Samples& in : {qbs_test::noise(9000, ++seed), qbs_test::full_scale_square(9000, 700)}) {
          SCOPED_TRACE(testing::Message() << "shift " << shift << " preset " << preset << " rate " << rate);
          qbs_test::expect_stream(QBSt_MOS, [&] { prepare(shift, rate, preset); }, in,
                                  ReferenceMos(shift, rate, preset).run(in), ++seed);
        }
      }
    }
  }
}

}  // namespace
