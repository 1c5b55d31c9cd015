// The seven-band equalizer: gains, presets, filter state and the block process.
#include "qbs/QBS_MEQ.h"

#include <algorithm>
#include <array>

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

// One gain index's coefficients of a filter, side by side, so that a frame selects a
// filter's whole row through one pointer.
struct ShelfRow {
  int32_t alpha;  // Q15
  int32_t gamma;  // Q15
  int32_t mu;     // Q13
};
struct PeakRow {
  int32_t alpha;  // Q14
  int32_t gamma;  // Q14
  int32_t beta;   // Q14
  int32_t mu;     // Q13
};

constexpr auto make_shelf_rows(const int32_t (&alpha)[25], const int32_t (&gamma)[25]) {
  std::array<ShelfRow, 25> rows{};
  for (int g = 0; g < 25; ++g) rows[g] = {alpha[g], gamma[g], MEQ_MU[g]};
  return rows;
}

constexpr auto make_peak_rows(const int32_t (&alpha)[25], const int32_t (&gamma)[25],
                              const int32_t (&beta)[25]) {
  std::array<PeakRow, 25> rows{};
  for (int g = 0; g < 25; ++g) rows[g] = {alpha[g], gamma[g], beta[g], MEQ_MU[g]};
  return rows;
}

constexpr auto kLowShelf = make_shelf_rows(MEQ_ALPHA_L, MEQ_GAMMA_L);
constexpr auto kHighShelf = make_shelf_rows(MEQ_ALPHA_H, MEQ_GAMMA_H);
constexpr std::array<std::array<PeakRow, 25>, kPeaks> kPeak = {
    make_peak_rows(MEQ_ALPHA_1, MEQ_GAMMA_1, MEQ_BETA_1),
    make_peak_rows(MEQ_ALPHA_2, MEQ_GAMMA_2, MEQ_BETA_2),
    make_peak_rows(MEQ_ALPHA_3, MEQ_GAMMA_3, MEQ_BETA_3),
    make_peak_rows(MEQ_ALPHA_4, MEQ_GAMMA_4, MEQ_BETA_4),
    make_peak_rows(MEQ_ALPHA_5, MEQ_GAMMA_5, MEQ_BETA_5),
};

// The rows the current frame uses, one per band.
struct FrameRows {
  const ShelfRow* low;
  const ShelfRow* high;
  const PeakRow* peak[kPeaks];
};

FrameRows read_band_rows() {
  int g[kBands];
  for (int b = 0; b < kBands; ++b) {
    g[b] = std::clamp<int>(QBS_MEQ_BAND[b].load(std::memory_order_relaxed), 0, kMaxGain);
  }
  FrameRows rows;
  rows.low = &kLowShelf[g[0]];
  for (int k = 0; k < kPeaks; ++k) rows.peak[k] = &kPeak[k][g[k + 1]];
  rows.high = &kHighShelf[g[6]];
  return rows;
}

// One channel's filter memories, held in locals for the length of a block.
struct Channel {
  int32_t x1, x2;  // shifted input one and two samples back
  int32_t lp, hp;  // previous shelf outputs
  int32_t p1[kPeaks], p2[kPeaks];

  void load(const int32_t* in_buf, int32_t lps, int32_t hps, int32_t* const* pk) {
    x1 = in_buf[0];
    x2 = in_buf[1];
    lp = lps;
    hp = hps;
    for (int k = 0; k < kPeaks; ++k) {
      p1[k] = pk[k][0];
      p2[k] = pk[k][1];
    }
  }

  void store(int32_t* in_buf, int32_t& lps, int32_t& hps, int32_t* const* pk) const {
    in_buf[0] = x1;
    in_buf[1] = x2;
    lps = lp;
    hps = hp;
    for (int k = 0; k < kPeaks; ++k) {
      pk[k][0] = p1[k];
      pk[k][1] = p2[k];
    }
  }

  // One sample through the seven bands. Products and sums are formed in 64 bits: with a
  // headroom shift of 2 every value fits in 32 bits and the result is the same, with a
  // shift of 0 the gain sum of several boosted bands would not fit in 32 bits.
  int32_t process(int32_t x, const FrameRows& r) {
    const int64_t lp_new = (int64_t{r.low->alpha} * (x + x1) + int64_t{r.low->gamma} * lp) >> 15;
    const int64_t hp_new =
        (int64_t{r.high->alpha} * (x - x1) + int64_t{r.high->gamma} * hp) >> 15;
    lp = static_cast<int32_t>(lp_new);
    hp = static_cast<int32_t>(hp_new);
    int64_t sum = int64_t{r.low->mu} * lp + int64_t{r.high->mu} * hp;

    const int64_t u = int64_t{x} - x2;
    for (int k = 0; k < kPeaks; ++k) {
      const PeakRow& c = *r.peak[k];
      // The peak bands round (+8192 before the shift) where every other step truncates:
      // their poles sit close to 1, so the recursion multiplies a shift's error by up to
      // about 2048, and a truncating shift's -0.5 bias would leave a DC offset of
      // thousands (a click whenever the equalizer or a preset is switched, and lost
      // headroom). Rounding makes that error zero-mean.
      const int64_t pk =
          (int64_t{c.alpha} * u + int64_t{c.gamma} * p1[k] + int64_t{c.beta} * p2[k] + 8192) >>
          14;
      p2[k] = p1[k];
      p1[k] = static_cast<int32_t>(pk);
      sum += int64_t{c.mu} * p1[k];
    }

    x2 = x1;
    x1 = x;
    const int64_t y = x + (sum >> 13);
    return static_cast<int32_t>(std::clamp<int64_t>(y, INT16_MIN, INT16_MAX));
  }
};

int32_t* const kLeftPeaks[kPeaks] = {L_MEQ_PK1_Buffer, L_MEQ_PK2_Buffer, L_MEQ_PK3_Buffer,
                                     L_MEQ_PK4_Buffer, L_MEQ_PK5_Buffer};
int32_t* const kRightPeaks[kPeaks] = {R_MEQ_PK1_Buffer, R_MEQ_PK2_Buffer, R_MEQ_PK3_Buffer,
                                      R_MEQ_PK4_Buffer, R_MEQ_PK5_Buffer};

void clear_state() {
  const Channel zero{};
  zero.store(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  zero.store(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);
}

// The headroom shift in use: a stored value outside 0..2 acts as 1, as Init stores it.
int effective_shift(int16_t stored) { return (stored >= 0 && stored <= 2) ? stored : 1; }

}  // namespace

void QBS_MEQ_Init(int16_t shift, int32_t /*rate*/) {
  QBS_MEQ_Prescale.store(static_cast<int16_t>(effective_shift(shift)), std::memory_order_relaxed);
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
  if (s_clear_pending.load(std::memory_order_relaxed) &&
      s_clear_pending.exchange(false, std::memory_order_acquire)) {
    clear_state();
  }
  const int shift = effective_shift(QBS_MEQ_Prescale.load(std::memory_order_relaxed));

  Channel left, right;
  left.load(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  right.load(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);

  const int32_t frames = count / 2;
  for (int32_t i = 0; i < frames; ++i) {
    const FrameRows rows = read_band_rows();
    const int32_t xl = in[2 * i] >> shift;
    const int32_t xr = in[2 * i + 1] >> shift;
    out[2 * i] = static_cast<int16_t>(left.process(xl, rows));
    out[2 * i + 1] = static_cast<int16_t>(right.process(xr, rows));
  }

  left.store(L_MEQ_In_Buffer, L_MEQ_LPS_Temp, L_MEQ_HPS_Temp, kLeftPeaks);
  right.store(R_MEQ_In_Buffer, R_MEQ_LPS_Temp, R_MEQ_HPS_Temp, kRightPeaks);
}
