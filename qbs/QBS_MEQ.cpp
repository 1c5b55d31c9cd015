// The seven-band equalizer: gains, presets, filter state and the block process.
#include "qbs/QBS_MEQ.h"

#include <algorithm>

#include "qbs/QBS_BlockSupport.h"
#include "qbs/QBS_MEQ_Tables.h"

std::atomic<int16_t> QBS_MEQ_BAND[7] = {12, 12, 12, 12, 12, 12, 12};
std::atomic<int16_t> QBS_MEQ_Prescale{1};

int32_t L_MEQ_In_Buffer[2], R_MEQ_In_Buffer[2];
int32_t L_MEQ_LPS_Temp, R_MEQ_LPS_Temp;
int32_t L_MEQ_HPS_Temp, R_MEQ_HPS_Temp;
int32_t L_MEQ_PK1_Buffer[2], L_MEQ_PK2_Buffer[2], L_MEQ_PK3_Buffer[2], L_MEQ_PK4_Buffer[2],
    L_MEQ_PK5_Buffer[2];
int32_t R_MEQ_PK1_Buffer[2], R_MEQ_PK2_Buffer[2], R_MEQ_PK3_Buffer[2], R_MEQ_PK4_Buffer[2],
    R_MEQ_PK5_Buffer[2];

namespace {

constexpr int kBands = 7;
constexpr int kPeaks = 5;
constexpr int kMaxGain = 24;

// Set by QBS_MEQ_Init, taken by the render thread at the start of its next block.
std::atomic<bool> s_clear_pending{false};

// The seven filters of one channel run side by side in the lanes of one vector:
// lanes 0..4 hold peak bands 1..5, lane 5 the low shelf, lane 6 the high shelf, lane 7
// idles (all its factors are 0). Each lane computes
//   out = (alpha x u + gamma x out1 + beta x out2 + round) >> shift
// with u = x - x2 for a peak band, x + x1 for the low shelf, x - x1 for the high shelf.
// While every filter output stays within kSafeOutput (below), these sums and the gain
// products fit in 32 bits, and the fast 32-bit lanes give the exact result. Without
// headroom a full-scale input can carry an output past that (past 2^16 once a gain
// changes while the filters ring); from then on, until the outputs fall back, each sample
// takes the wide path, which forms the products and sums in 64 bits. Either way every
// result that fits in 32 bits is the same, and the filter memories keep 32 bits.
typedef int32_t v8si __attribute__((vector_size(32)));
typedef int64_t v4di __attribute__((vector_size(32)));
typedef uint64_t v4du __attribute__((vector_size(32)));
typedef int32_t v4si __attribute__((vector_size(16)));

// The vector helpers are always inlined, so their vector arguments and returns never
// cross a call boundary: the ABI note about passing them without AVX does not apply (the
// library is built with -Wno-psabi).
[[gnu::always_inline]] inline v4di low_half(v8si v) {
  return __builtin_convertvector(__builtin_shufflevector(v, v, 0, 1, 2, 3), v4di);
}
[[gnu::always_inline]] inline v4di high_half(v8si v) {
  return __builtin_convertvector(__builtin_shufflevector(v, v, 4, 5, 6, 7), v4di);
}
// The low 32 bits of (sum >> shift): a logical shift leaves bits shift..shift+31 exactly
// where an arithmetic one does, and only the fill above them differs.
[[gnu::always_inline]] inline v4si shifted_low32(v4di sum, v4di shift) {
  return __builtin_convertvector(reinterpret_cast<v4du>(sum) >> reinterpret_cast<v4du>(shift), v4si);
}

constexpr int kLaneLow = 5;
constexpr int kLaneHigh = 6;

// The peak bands round (+8192 before the shift) where every other step truncates: their
// poles sit close to 1, so the recursion multiplies a shift's error by up to about 2048,
// and a truncating shift's -0.5 bias would leave a DC offset of thousands on the output (a
// click whenever the equalizer or a preset is switched, and lost headroom). Rounding makes
// that error zero-mean.
constexpr v8si kRound = {8192, 8192, 8192, 8192, 8192, 0, 0, 0};
constexpr v8si kShift = {14, 14, 14, 14, 14, 15, 15, 0};
// u = x + (x1 on the shelf lanes, negated on the high shelf) - (x2 on the peak lanes).
constexpr v8si kShelfLanes = {0, 0, 0, 0, 0, -1, -1, 0};
constexpr v8si kNegateHigh = {0, 0, 0, 0, 0, 0, -1, 0};
constexpr v8si kPeakLanes = {-1, -1, -1, -1, -1, 0, 0, 0};

// The largest filter output for which the next sample's sums stay inside 32 bits, by
// headroom shift: |alpha x u| <= 25736 x 2^(16 - shift), |gamma| + |beta| <= 48584, so
// (2^31 - 1 - 8192 - 25736 x 2^(16 - shift)) / 48584. The gain products stay below 2^31
// too (24421 x 35522 < 2^31).
constexpr int32_t kSafeOutput[3] = {9485, 26843, 35522};

// The factors of the seven filters for one set of band gains.
struct Factors {
  v8si alpha, gamma, beta, mu;
};

void factors_for(const int (&g)[kBands], Factors& f) {
  static const int32_t* const alpha[kPeaks] = {MEQ_ALPHA_1, MEQ_ALPHA_2, MEQ_ALPHA_3,
                                               MEQ_ALPHA_4, MEQ_ALPHA_5};
  static const int32_t* const gamma[kPeaks] = {MEQ_GAMMA_1, MEQ_GAMMA_2, MEQ_GAMMA_3,
                                               MEQ_GAMMA_4, MEQ_GAMMA_5};
  static const int32_t* const beta[kPeaks] = {MEQ_BETA_1, MEQ_BETA_2, MEQ_BETA_3, MEQ_BETA_4,
                                              MEQ_BETA_5};
  f = Factors{};
  for (int k = 0; k < kPeaks; ++k) {
    const int gk = g[k + 1];
    f.alpha[k] = alpha[k][gk];
    f.gamma[k] = gamma[k][gk];
    f.beta[k] = beta[k][gk];
    f.mu[k] = MEQ_MU[gk];
  }
  f.alpha[kLaneLow] = MEQ_ALPHA_L[g[0]];
  f.gamma[kLaneLow] = MEQ_GAMMA_L[g[0]];
  f.mu[kLaneLow] = MEQ_MU[g[0]];
  f.alpha[kLaneHigh] = MEQ_ALPHA_H[g[6]];
  f.gamma[kLaneHigh] = MEQ_GAMMA_H[g[6]];
  f.mu[kLaneHigh] = MEQ_MU[g[6]];
}

// The seven gains as one key (raw stored values), to notice a change cheaply.
struct GainKey {
  uint64_t lo, hi;
  bool operator==(const GainKey&) const = default;
};

[[gnu::always_inline]] inline GainKey read_gains() {
  auto u = [](int b) {
    return static_cast<uint64_t>(static_cast<uint16_t>(QBS_MEQ_BAND[b].load(std::memory_order_relaxed)));
  };
  return {u(0) | u(1) << 16 | u(2) << 32 | u(3) << 48, u(4) | u(5) << 16 | u(6) << 32};
}

void factors_for(const GainKey& key, Factors& f) {
  int g[kBands];
  for (int b = 0; b < kBands; ++b) {
    const uint64_t word = b < 4 ? key.lo >> (16 * b) : key.hi >> (16 * (b - 4));
    g[b] = std::clamp<int>(static_cast<int16_t>(word & 0xffff), 0, kMaxGain);
  }
  factors_for(g, f);
}

// One channel's filter memories, held in vectors for the length of a block.
struct Channel {
  v8si x1, x2;    // shifted input one and two samples back, in every lane
  v8si out1, out2;  // each filter's previous output and the one before

  void load(const int32_t* in_buf, int32_t lps, int32_t hps, int32_t* const* pk) {
    x1 = v8si{} + in_buf[0];
    x2 = v8si{} + in_buf[1];
    out1 = v8si{};
    out2 = v8si{};
    for (int k = 0; k < kPeaks; ++k) {
      out1[k] = pk[k][0];
      out2[k] = pk[k][1];
    }
    out1[kLaneLow] = lps;
    out1[kLaneHigh] = hps;
  }

  void store(int32_t* in_buf, int32_t& lps, int32_t& hps, int32_t* const* pk) const {
    in_buf[0] = x1[0];
    in_buf[1] = x2[0];
    for (int k = 0; k < kPeaks; ++k) {
      pk[k][0] = out1[k];
      pk[k][1] = out2[k];
    }
    lps = out1[kLaneLow];
    hps = out1[kLaneHigh];
  }
};

// One sample of one channel through the seven bands in 64-bit sums; returns the clamped
// output.
[[gnu::always_inline]] inline int32_t equalize_wide(Channel& c, int32_t sample, const Factors& f) {
  const v8si x = v8si{} + sample;
  const v8si shelf_term = ((c.x1 & kShelfLanes) ^ kNegateHigh) - kNegateHigh;
  const v8si u = x + shelf_term - (c.x2 & kPeakLanes);
  const v4di sum_low = low_half(f.alpha) * low_half(u) + low_half(f.gamma) * low_half(c.out1) +
                       low_half(f.beta) * low_half(c.out2) + low_half(kRound);
  const v4di sum_high = high_half(f.alpha) * high_half(u) + high_half(f.gamma) * high_half(c.out1) +
                        high_half(f.beta) * high_half(c.out2) + high_half(kRound);
  const v4si out_low = shifted_low32(sum_low, low_half(kShift));
  const v4si out_high = shifted_low32(sum_high, high_half(kShift));
  const v8si out = __builtin_shufflevector(out_low, out_high, 0, 1, 2, 3, 4, 5, 6, 7);
  c.out2 = c.out1;
  c.out1 = out;
  c.x2 = c.x1;
  c.x1 = x;

  // Seven gain-scaled outputs, summed in 64 bits (several boosted bands without headroom
  // pass 32 bits).
  const v4di scaled = low_half(f.mu) * low_half(out) + high_half(f.mu) * high_half(out);
  const int64_t sum = (scaled[0] + scaled[1]) + (scaled[2] + scaled[3]);
  const int64_t y = sample + (sum >> 13);
  return static_cast<int32_t>(std::clamp<int64_t>(y, INT16_MIN, INT16_MAX));
}

// The same in 32-bit lanes, exact while every filter output is within kSafeOutput.
[[gnu::always_inline]] inline int32_t equalize_fast(Channel& c, int32_t sample, const Factors& f) {
  const v8si x = v8si{} + sample;
  const v8si shelf_term = ((c.x1 & kShelfLanes) ^ kNegateHigh) - kNegateHigh;
  const v8si u = x + shelf_term - (c.x2 & kPeakLanes);
  const v8si out = (f.alpha * u + f.gamma * c.out1 + f.beta * c.out2 + kRound) >> kShift;
  c.out2 = c.out1;
  c.out1 = out;
  c.x2 = c.x1;
  c.x1 = x;

  const v8si scaled = f.mu * out;  // each product is below 2^31; their sum may not be
  const v4di sum4 = low_half(scaled) + high_half(scaled);
  const int64_t sum = (sum4[0] + sum4[1]) + (sum4[2] + sum4[3]);
  const int64_t y = sample + (sum >> 13);
  return static_cast<int32_t>(std::clamp<int64_t>(y, INT16_MIN, INT16_MAX));
}

// Whether a filter's last two outputs leave the range in which the 32-bit lanes are exact.
[[gnu::always_inline]] inline bool beyond(const Channel& c, const v8si& limit) {
  const v8si m = (c.out1 > limit) | (c.out1 < -limit) | (c.out2 > limit) | (c.out2 < -limit);
  const v4di m64 = reinterpret_cast<v4di>(m);
  return (m64[0] | m64[1] | m64[2] | m64[3]) != 0;
}

int32_t* const kLeftPeaks[kPeaks] = {L_MEQ_PK1_Buffer, L_MEQ_PK2_Buffer, L_MEQ_PK3_Buffer,
                                     L_MEQ_PK4_Buffer, L_MEQ_PK5_Buffer};
int32_t* const kRightPeaks[kPeaks] = {R_MEQ_PK1_Buffer, R_MEQ_PK2_Buffer, R_MEQ_PK3_Buffer,
                                      R_MEQ_PK4_Buffer, R_MEQ_PK5_Buffer};

void clear_state() {
  const Channel zero{};
  zero.store(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  zero.store(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);
}

// The block loop, compiled twice on x86-64: for processors with AVX2 and for any.
[[gnu::always_inline]] inline void equalize_block(int16_t* out, const int16_t* in,
                                                  int32_t frames, int shift) {
  Channel left, right;
  left.load(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  right.load(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);
  GainKey key = read_gains();
  Factors f;
  factors_for(key, f);
  const v8si limit = v8si{} + kSafeOutput[shift];
  bool wide = beyond(left, limit) || beyond(right, limit);

  for (int32_t i = 0; i < frames; ++i) {
    // Both channels of a frame use the same gains, read once per frame.
    const GainKey now = read_gains();
    if (!(now == key)) {
      key = now;
      factors_for(key, f);
    }
    const int32_t xl = in[2 * i] >> shift;
    const int32_t xr = in[2 * i + 1] >> shift;
    if (!wide) {
      out[2 * i] = static_cast<int16_t>(equalize_fast(left, xl, f));
      out[2 * i + 1] = static_cast<int16_t>(equalize_fast(right, xr, f));
    } else {
      out[2 * i] = static_cast<int16_t>(equalize_wide(left, xl, f));
      out[2 * i + 1] = static_cast<int16_t>(equalize_wide(right, xr, f));
    }
    wide = beyond(left, limit) || beyond(right, limit);
  }

  left.store(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  right.store(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void equalize_block_avx2(int16_t* out, const int16_t* in, int32_t frames,
                                                 int shift) {
  equalize_block(out, in, frames, shift);
}
#endif

void equalize_block_portable(int16_t* out, const int16_t* in, int32_t frames, int shift) {
  equalize_block(out, in, frames, shift);
}

}  // namespace

void QBS_MEQ_Init(int16_t shift, int32_t /*rate*/) {
  QBS_MEQ_Prescale.store(static_cast<int16_t>(qbs_support::effective_shift(shift)),
                         std::memory_order_relaxed);
  s_clear_pending.store(true, std::memory_order_release);
}

void QBS_MEQ_Set_Mode(int16_t preset) {
  const int row = std::clamp<int>(preset, 0, 8);
  for (int b = 0; b < kBands; ++b) {
    QBS_MEQ_BAND[b].store(QBS_MEQ_PRESET[row][b], std::memory_order_relaxed);
  }
}

void QBSt_MEQ(int16_t* out, const int16_t* in, int32_t count) {
  if (count < 2) return;
  if (qbs_support::take_request(s_clear_pending)) clear_state();
  const int shift = qbs_support::effective_shift(QBS_MEQ_Prescale.load(std::memory_order_relaxed));
#if defined(__x86_64__)
  if (qbs_support::kUseAvx2) {
    equalize_block_avx2(out, in, count / 2, shift);
    return;
  }
#endif
  equalize_block_portable(out, in, count / 2, shift);
}
