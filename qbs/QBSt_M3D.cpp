// The 3D stereo widener: levels, filter state and the block process.
#include "qbs/QBSt_M3D.h"

#include <algorithm>

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

// One seventh-order filter with its input and output histories, held in locals for the
// length of a block.
struct SeventhOrder {
  int32_t h[8];
  int32_t e[8];

  void load(const int32_t* hist_in, const int32_t* hist_out) {
    std::copy_n(hist_in, 8, h);
    std::copy_n(hist_out, 8, e);
  }
  void store(int32_t* hist_in, int32_t* hist_out) const {
    std::copy_n(h, 8, hist_in);
    std::copy_n(e, 8, hist_out);
  }

  [[gnu::always_inline]] int32_t step(int32_t v, const int32_t (&b)[8], const int32_t (&a)[8]) {
    h[0] = v;
    int64_t acc = int64_t{b[0]} * v;
#pragma GCC unroll 8
    for (int k = 1; k < 8; ++k) acc += int64_t{b[k]} * h[k] + int64_t{a[k]} * e[k];
    const auto y = static_cast<int32_t>(acc >> 15);
    e[0] = y;
#pragma GCC unroll 8
    for (int k = 7; k >= 2; --k) {
      h[k] = h[k - 1];
      e[k] = e[k - 1];
    }
    h[1] = v;
    e[1] = y;
    return y;
  }
};

int effective_shift(int16_t stored) { return (stored >= 0 && stored <= 2) ? stored : 1; }

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

}  // namespace

void QBS_M3D_Init(int16_t shift, int32_t /*rate*/) {
  QBS_M3D_Prescale.store(static_cast<int16_t>(effective_shift(shift)), std::memory_order_relaxed);
  s_clear_pending.store(true, std::memory_order_release);
}

// All products and sums are formed in 64 bits: with a headroom shift of 2 every value fits
// in 32 bits and the result is the same; with a shift of 0 the filter sums of a full-scale
// input would not.
void QBSt_M3D(int16_t* out, const int16_t* in, int32_t count) {
  if (count < 2) return;
  if (s_clear_pending.load(std::memory_order_relaxed) &&
      s_clear_pending.exchange(false, std::memory_order_acquire)) {
    clear_state();
  }
  const int shift = effective_shift(QBS_M3D_Prescale.load(std::memory_order_relaxed));

  SeventhOrder sum_filter, diff_filter;
  sum_filter.load(QBS_M3D_H_L, QBS_M3D_E_L);
  diff_filter.load(QBS_M3D_H_R, QBS_M3D_E_R);
  int32_t ip0 = QBS_M3D_IP[0], ip1 = QBS_M3D_IP[1];
  int32_t pk0 = QBS_M3D_PK[0], pk1 = QBS_M3D_PK[1];
  int32_t s = QBS_M3D_S;

  const int32_t frames = count / 2;
  for (int32_t i = 0; i < frames; ++i) {
    const int u = level(QBS_M3D_SURR);
    const int b = level(QBS_M3D_BASS);
    const int32_t xl = in[2 * i] >> shift;
    const int32_t xr = in[2 * i + 1] >> shift;
    const int32_t m = (xl + xr) >> 1;
    const int32_t d = (xl - xr) >> 1;

    const int64_t y_mid = sum_filter.step(m, M3D_SUM_B, M3D_SUM_A);
    const int64_t y_side = diff_filter.step(d, M3D_DIFF_B, M3D_DIFF_A);

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

  sum_filter.store(QBS_M3D_H_L, QBS_M3D_E_L);
  diff_filter.store(QBS_M3D_H_R, QBS_M3D_E_R);
  QBS_M3D_IP[0] = ip0;
  QBS_M3D_IP[1] = ip1;
  QBS_M3D_PK[0] = pk0;
  QBS_M3D_PK[1] = pk1;
  QBS_M3D_S = s;
}
