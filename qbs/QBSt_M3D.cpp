// The 3D stereo widener: levels, filter state and the block process.
#include "qbs/QBSt_M3D.h"

#include <algorithm>

#include "qbs/QBS_BlockSupport.h"
#include "qbs/QBSt_M3D_Tables.h"

std::atomic<int16_t> QBS_M3D_SURR{10};
std::atomic<int16_t> QBS_M3D_BASS{2};
std::atomic<int16_t> QBS_M3D_Prescale{1};

int32_t QBS_M3D_H_L[8], QBS_M3D_E_L[8];
int32_t QBS_M3D_H_R[8], QBS_M3D_E_R[8];
int32_t QBS_M3D_IP[2], QBS_M3D_PK[2], QBS_M3D_S;

namespace {

constexpr int kMaxLevel = 10;

// Set by QBS_M3D_Init, taken by the render thread at the start of its next block.
std::atomic<bool> s_clear_pending{false};

// One seventh-order filter, run in transposed form for the length of a block:
//   y(n)   = (b0 x(n) + s1(n-1)) >> 15
//   sk(n)  = bk x(n) + ak y(n) + s(k+1)(n-1),   k = 1..7, s8 = 0
// s1(n-1) is exactly the sum of the seven history products, so y is the same integer as
// the direct form's. The seven partial sums are vector lanes, so a frame costs two
// vector multiply-adds instead of fourteen scalar products. They are held as doubles:
// every product and partial sum is an integer below 2^40, which doubles represent
// exactly, and flooring the scaled sum is the arithmetic right shift.
typedef double v4df __attribute__((vector_size(32)));

struct SeventhOrder {
  v4df s_lo, s_hi;  // s1..s4, then s5..s7 and a zero lane
  v4df b_lo, b_hi, a_lo, a_hi;
  double b0;
  double recent_x[8], recent_y[8];  // the block's last inputs and outputs, by frame & 7
  const int32_t* old_x;             // the stored histories at the start of the block
  const int32_t* old_y;

  void load(const int32_t* hist_in, const int32_t* hist_out, const int32_t (&b)[8],
            const int32_t (&a)[8]) {
    b0 = b[0];
    b_lo = v4df{double(b[1]), double(b[2]), double(b[3]), double(b[4])};
    b_hi = v4df{double(b[5]), double(b[6]), double(b[7]), 0.0};
    a_lo = v4df{double(a[1]), double(a[2]), double(a[3]), double(a[4])};
    a_hi = v4df{double(a[5]), double(a[6]), double(a[7]), 0.0};
    // sk = sum over j = k..7 of bj x(j-k+1 frames back) + aj y(j-k+1 frames back).
    double sk[8] = {};
    for (int k = 1; k < 8; ++k) {
      for (int j = k; j < 8; ++j) {
        sk[k] += double(b[j]) * hist_in[j - k + 1] + double(a[j]) * hist_out[j - k + 1];
      }
    }
    s_lo = v4df{sk[1], sk[2], sk[3], sk[4]};
    s_hi = v4df{sk[5], sk[6], sk[7], 0.0};
    old_x = hist_in;
    old_y = hist_out;
  }

  [[gnu::always_inline]] int64_t step(int32_t frame, double x) {
    const double y = __builtin_floor((b0 * x + s_lo[0]) * (1.0 / 32768.0));
    const v4df xv = v4df{} + x;
    const v4df yv = v4df{} + y;
    const v4df zero{};
    s_lo = b_lo * xv + a_lo * yv + __builtin_shufflevector(s_lo, s_hi, 1, 2, 3, 4);
    s_hi = b_hi * xv + a_hi * yv + __builtin_shufflevector(s_hi, zero, 1, 2, 3, 4);
    recent_x[frame & 7] = x;
    recent_y[frame & 7] = y;
    return static_cast<int64_t>(y);
  }

  // Back to the stored layout after `frames` frames: word k (k >= 1) is the value k frames
  // before the next one, word 0 the newest.
  void store(int32_t frames, int32_t* hist_in, int32_t* hist_out) const {
    // An output can only leave the 32-bit range if the stored state was written with
    // values the filter never produces; the clamp keeps even that conversion defined.
    auto word = [](double v) { return static_cast<int32_t>(std::clamp<double>(v, INT32_MIN, INT32_MAX)); };
    int32_t x[8], y[8];
    for (int k = 1; k < 8; ++k) {
      const int32_t back = frames - k;  // frame of this block, or before it if negative
      x[k] = back >= 0 ? word(recent_x[back & 7]) : old_x[-back];
      y[k] = back >= 0 ? word(recent_y[back & 7]) : old_y[-back];
    }
    x[0] = x[1];
    y[0] = y[1];
    std::copy_n(x, 8, hist_in);
    std::copy_n(y, 8, hist_out);
  }
};

int level(const std::atomic<int16_t>& stored) {
  return std::clamp<int>(stored.load(std::memory_order_relaxed), 0, kMaxLevel);
}

int16_t clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

void clear_state() {
  std::fill_n(QBS_M3D_H_L, 8, 0);
  std::fill_n(QBS_M3D_E_L, 8, 0);
  std::fill_n(QBS_M3D_H_R, 8, 0);
  std::fill_n(QBS_M3D_E_R, 8, 0);
  QBS_M3D_IP[0] = QBS_M3D_IP[1] = 0;
  QBS_M3D_PK[0] = QBS_M3D_PK[1] = 0;
  QBS_M3D_S = 0;
}

// The bass and mixing steps form their products and sums in 64 bits: with a headroom
// shift of 2 every value fits in 32 bits and the result is the same; with a shift of 0
// the widened signal of a full-scale input would not.
[[gnu::always_inline]] inline void widen_block(int16_t* out, const int16_t* in, int32_t frames,
                                               int shift) {
  SeventhOrder sum_filter, diff_filter;
  sum_filter.load(QBS_M3D_H_L, QBS_M3D_E_L, M3D_SUM_B, M3D_SUM_A);
  diff_filter.load(QBS_M3D_H_R, QBS_M3D_E_R, M3D_DIFF_B, M3D_DIFF_A);
  int32_t ip0 = QBS_M3D_IP[0], ip1 = QBS_M3D_IP[1];
  int32_t pk0 = QBS_M3D_PK[0], pk1 = QBS_M3D_PK[1];
  int32_t s = QBS_M3D_S;

  for (int32_t i = 0; i < frames; ++i) {
    const int u = level(QBS_M3D_SURR);
    const int b = level(QBS_M3D_BASS);
    const int32_t xl = in[2 * i] >> shift;
    const int32_t xr = in[2 * i + 1] >> shift;
    const int32_t m = (xl + xr) >> 1;
    const int32_t d = (xl - xr) >> 1;

    const int64_t y_mid = sum_filter.step(i, m);
    const int64_t y_side = diff_filter.step(i, d);
    // Bass: a low-pass boost and a band-pass cut, both of the sum signal.
    s = static_cast<int32_t>(
        (int64_t{M3D_ALPHA_L[b]} * (int64_t{m} + ip0) + int64_t{M3D_GAMMA_L[b]} * s) >> 15);
    const auto pk = static_cast<int32_t>(
        (int64_t{M3D_BETA_H[b]} * pk1 + int64_t{M3D_GAMMA_H[b]} * pk0 +
         int64_t{M3D_ALPHA_H[b]} * (int64_t{m} - ip1)) >> 14);
    pk1 = pk0;
    pk0 = pk;
    ip1 = ip0;
    ip0 = m;
    const int64_t bass =
        ((int64_t{pk} * M3D_MU_H[b]) >> 15) + ((int64_t{s} * M3D_MU_L[b]) >> 14);

    const int64_t centre = (int64_t{M3D_Cmp_Gain[u]} * m) >> 15;
    const int64_t mid = M3D_Mid_Gain[u];
    const int64_t sur = M3D_Sur_Gain[u];
    const int64_t left = ((mid * xl) >> 15) + ((sur * (y_mid + y_side)) >> 15) + centre + bass;
    const int64_t right = ((mid * xr) >> 15) + ((sur * (y_mid - y_side)) >> 15) + centre + bass;
    out[2 * i] = clamp16(left);
    out[2 * i + 1] = clamp16(right);
  }

  // The histories are written back first: the filters read the stored ones until then.
  int32_t hist[4][8];
  sum_filter.store(frames, hist[0], hist[1]);
  diff_filter.store(frames, hist[2], hist[3]);
  std::copy_n(hist[0], 8, QBS_M3D_H_L);
  std::copy_n(hist[1], 8, QBS_M3D_E_L);
  std::copy_n(hist[2], 8, QBS_M3D_H_R);
  std::copy_n(hist[3], 8, QBS_M3D_E_R);
  QBS_M3D_IP[0] = ip0;
  QBS_M3D_IP[1] = ip1;
  QBS_M3D_PK[0] = pk0;
  QBS_M3D_PK[1] = pk1;
  QBS_M3D_S = s;
}

// The block loop, compiled twice on x86-64: for processors with AVX2 and for any.
#if defined(__x86_64__)
[[gnu::target("avx2")]] void widen_block_avx2(int16_t* out, const int16_t* in, int32_t frames,
                                              int shift) {
  widen_block(out, in, frames, shift);
}
#endif

void widen_block_portable(int16_t* out, const int16_t* in, int32_t frames, int shift) {
  widen_block(out, in, frames, shift);
}

}  // namespace

void QBS_M3D_Init(int16_t shift, int32_t /*rate*/) {
  QBS_M3D_Prescale.store(static_cast<int16_t>(qbs_support::effective_shift(shift)),
                         std::memory_order_relaxed);
  s_clear_pending.store(true, std::memory_order_release);
}

void QBSt_M3D(int16_t* out, const int16_t* in, int32_t count) {
  if (count < 2) return;
  if (qbs_support::take_request(s_clear_pending)) clear_state();
  const int shift = qbs_support::effective_shift(QBS_M3D_Prescale.load(std::memory_order_relaxed));
#if defined(__x86_64__)
  if (qbs_support::kUseAvx2) {
    widen_block_avx2(out, in, count / 2, shift);
    return;
  }
#endif
  widen_block_portable(out, in, count / 2, shift);
}
