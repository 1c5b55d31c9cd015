// The stage simulation: preset, delay lines and the block process.
#include "qbs/QBSt_MOS.h"

#include <algorithm>

std::atomic<int16_t> QBS_MOS_PRESET{0};
std::atomic<int16_t> QBS_MOS_Prescale{1};

int32_t L_D1_In_Buf[QBS_MOS_D1_Capacity], R_D1_In_Buf[QBS_MOS_D1_Capacity];
int32_t L_AP1_In_Buf[QBS_MOS_AP1_Capacity], R_AP1_In_Buf[QBS_MOS_AP1_Capacity];
int32_t L_AP2_In_Buf[QBS_MOS_AP2_Capacity], R_AP2_In_Buf[QBS_MOS_AP2_Capacity];
int32_t L_AP3_In_Buf[QBS_MOS_AP3_Capacity], R_AP3_In_Buf[QBS_MOS_AP3_Capacity];
int32_t L_AP4_In_Buf[QBS_MOS_AP4_Capacity], R_AP4_In_Buf[QBS_MOS_AP4_Capacity];
int32_t L_AP5_In_Buf[QBS_MOS_AP5_Capacity], R_AP5_In_Buf[QBS_MOS_AP5_Capacity];
int32_t D1_Index, AP1_Index, AP2_Index, AP3_Index, AP4_Index, AP5_Index;
// Lengths before the first Init are those of 44100 Hz.
int32_t Delay_D1 = 660, Delay_AP1 = 968, Delay_AP2 = 352, Delay_AP3 = 1540, Delay_AP4 = 1320,
        Delay_AP5 = 2904;

int32_t L_D1_Out, L_AP1_Out, L_AP2_Out, L_AP3_Out, L_AP4_Out, L_AP5_Out, L_LPF_Out, L_LPF_Buf;
int32_t R_D1_Out, R_AP1_Out, R_AP2_Out, R_AP3_Out, R_AP4_Out, R_AP5_Out, R_LPF_Out, R_LPF_Buf;

namespace {

// All-pass coefficients (Q15): 0.4, 0.6, 0.3, 0.4, 0.1.
constexpr int64_t kAllPass[5] = {13107, 19661, 9830, 13107, 3277};
// Low-pass factors on the input and on the memory (Q15, summing to 1.0).
constexpr int64_t kLpfIn = 14445;
constexpr int64_t kLpfMem = 18323;

// Rate factor chosen by QBS_MOS_Init, taken by the render thread at the start of its next
// block (0: nothing pending).
std::atomic<int16_t> s_pending_factor{0};

int effective_shift(int16_t stored) { return (stored >= 0 && stored <= 2) ? stored : 1; }

int16_t rate_factor(int32_t rate) {
  switch (rate) {
    case 8000: return 8;
    case 11025: return 11;
    case 16000: return 16;
    case 22050: return 22;
    case 32000: return 32;
    case 48000: return 48;
    default: return 44;
  }
}

// One delay line of both channels: the two arrays, their shared index and length.
struct Line {
  int32_t* left;
  int32_t* right;
  int32_t* index;
  int32_t* length;
  int32_t capacity;
  int32_t ms;
};

Line lines[6] = {
    {L_D1_In_Buf, R_D1_In_Buf, &D1_Index, &Delay_D1, QBS_MOS_D1_Capacity, 15},
    {L_AP1_In_Buf, R_AP1_In_Buf, &AP1_Index, &Delay_AP1, QBS_MOS_AP1_Capacity, 22},
    {L_AP2_In_Buf, R_AP2_In_Buf, &AP2_Index, &Delay_AP2, QBS_MOS_AP2_Capacity, 8},
    {L_AP3_In_Buf, R_AP3_In_Buf, &AP3_Index, &Delay_AP3, QBS_MOS_AP3_Capacity, 35},
    {L_AP4_In_Buf, R_AP4_In_Buf, &AP4_Index, &Delay_AP4, QBS_MOS_AP4_Capacity, 30},
    {L_AP5_In_Buf, R_AP5_In_Buf, &AP5_Index, &Delay_AP5, QBS_MOS_AP5_Capacity, 66},
};

void reset(int factor) {
  for (Line& line : lines) {
    std::fill_n(line.left, line.capacity, 0);
    std::fill_n(line.right, line.capacity, 0);
    *line.index = 0;
    *line.length = factor * line.ms;
  }
  L_D1_Out = L_AP1_Out = L_AP2_Out = L_AP3_Out = L_AP4_Out = L_AP5_Out = 0;
  R_D1_Out = R_AP1_Out = R_AP2_Out = R_AP3_Out = R_AP4_Out = R_AP5_Out = 0;
  L_LPF_Out = L_LPF_Buf = R_LPF_Out = R_LPF_Buf = 0;
}

// One channel's stage outputs, held in locals for the length of a block.
struct Channel {
  int32_t d1, ap[5], lpf_out, lpf_buf;
};

// Schroeder all-pass at one position of its line: the output is the delayed value minus
// a times the input; the line takes a times the output plus the input. Values between
// the stages stay far inside 32 bits (the loop gain is below 1), so they are carried in
// 64-bit registers and only the line stores them as 32-bit words.
[[gnu::always_inline]] inline int64_t all_pass(int32_t& cell, int64_t v, int64_t a) {
  const int64_t out = cell - ((v * a) >> 15);
  cell = static_cast<int32_t>(((out * a) >> 15) + v);
  return out;
}

// The chain after the pre-delay for one channel at position f of every line, then the
// low-pass; returns the reverberant signal (T5 x AP5 + T3 x AP3) scaled back to samples.
template <int64_t T3, int64_t T5>
[[gnu::always_inline]] inline int64_t chain(Channel& c, int32_t* const* base, int32_t f) {
  int64_t v = c.d1;
#pragma GCC unroll 5
  for (int n = 0; n < 5; ++n) {
    v = all_pass(base[n + 1][f], v, kAllPass[n]);
    c.ap[n] = static_cast<int32_t>(v);
  }
  c.lpf_out = static_cast<int32_t>((kLpfIn * v + kLpfMem * c.lpf_buf) >> 15);
  c.lpf_buf = c.lpf_out;
  return (T5 * c.ap[4] + T3 * c.ap[2]) >> 15;
}

int16_t clamp16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

// A run of frames in which no line's index wraps, with the preset's gains built in:
// G feeds the tails back, T3 and T5 weigh the taps on all-pass 3 and 5.
template <int64_t G, int64_t T3, int64_t T5>
void run_frames(Channel& left, Channel& right, int32_t* const* left_base,
                int32_t* const* right_base, const int16_t* src, int16_t* dst, int32_t run,
                int shift) {
  for (int32_t f = 0; f < run; ++f) {
    const int32_t xl = src[2 * f] >> shift;
    const int32_t xr = src[2 * f + 1] >> shift;

    // Pre-delay: each channel's line takes the other channel's low-passed tail, subtracted.
    left.d1 = left_base[0][f];
    right.d1 = right_base[0][f];
    left_base[0][f] = static_cast<int32_t>(xl - ((G * right.lpf_out) >> 15));
    right_base[0][f] = static_cast<int32_t>(xr - ((G * left.lpf_out) >> 15));

    const int64_t rev_l = chain<T3, T5>(left, left_base, f);
    const int64_t rev_r = chain<T3, T5>(right, right_base, f);
    dst[2 * f] = clamp16(xl - rev_l);
    dst[2 * f + 1] = clamp16(xr - rev_r);
  }
}

}  // namespace

void QBS_MOS_Init(int16_t shift, int32_t rate) {
  QBS_MOS_Prescale.store(static_cast<int16_t>(effective_shift(shift)), std::memory_order_relaxed);
  s_pending_factor.store(rate_factor(rate), std::memory_order_release);
}

// Products and sums are formed in 64 bits: with a headroom shift of 2 every value fits in
// 32 bits and the result is the same; with a shift of 0 the lines of a loud input can
// carry values whose products would not.
void QBSt_MOS(int16_t* out, const int16_t* in, int32_t count) {
  if (count < 2) return;
  if (s_pending_factor.load(std::memory_order_relaxed) != 0) {
    const int factor = s_pending_factor.exchange(0, std::memory_order_acquire);
    if (factor != 0) reset(factor);
  }
  // Lengths and indices are module state anyone can write; keep every access in bounds.
  for (Line& line : lines) {
    *line.length = std::clamp(*line.length, 1, line.capacity);
    if (*line.index < 0 || *line.index >= *line.length) *line.index = 0;
  }
  const int shift = effective_shift(QBS_MOS_Prescale.load(std::memory_order_relaxed));

  const int16_t preset = QBS_MOS_PRESET.load(std::memory_order_relaxed);

  Channel left{L_D1_Out, {L_AP1_Out, L_AP2_Out, L_AP3_Out, L_AP4_Out, L_AP5_Out},
               L_LPF_Out, L_LPF_Buf};
  Channel right{R_D1_Out, {R_AP1_Out, R_AP2_Out, R_AP3_Out, R_AP4_Out, R_AP5_Out},
                R_LPF_Out, R_LPF_Buf};

  const int32_t frames = count / 2;
  int32_t done = 0;
  while (done < frames) {
    // A run of frames in which no line's index wraps.
    int32_t run = frames - done;
    for (const Line& line : lines) run = std::min(run, *line.length - *line.index);
    int32_t* left_base[6];
    int32_t* right_base[6];
    for (int n = 0; n < 6; ++n) {
      left_base[n] = lines[n].left + *lines[n].index;
      right_base[n] = lines[n].right + *lines[n].index;
    }
    const int16_t* src = in + 2 * done;
    int16_t* dst = out + 2 * done;
    switch (preset) {
      case 1:  // "Concert Hall"
        run_frames<Gain_LPF[6], Gain_Rev[10], Gain_Rev[8]>(left, right, left_base, right_base,
                                                            src, dst, run, shift);
        break;
      case 2:  // "Stadium"
        run_frames<Gain_LPF[10], Gain_Rev[0], Gain_Rev[10]>(left, right, left_base, right_base,
                                                             src, dst, run, shift);
        break;
      default:  // "Studio", and any other value
        run_frames<Gain_LPF[5], Gain_Rev[10], Gain_Rev[0]>(left, right, left_base, right_base,
                                                            src, dst, run, shift);
        break;
    }

    done += run;
    for (Line& line : lines) {
      *line.index += run;
      if (*line.index == *line.length) *line.index = 0;
    }
  }

  L_D1_Out = left.d1;
  L_AP1_Out = left.ap[0];
  L_AP2_Out = left.ap[1];
  L_AP3_Out = left.ap[2];
  L_AP4_Out = left.ap[3];
  L_AP5_Out = left.ap[4];
  L_LPF_Out = left.lpf_out;
  L_LPF_Buf = left.lpf_buf;
  R_D1_Out = right.d1;
  R_AP1_Out = right.ap[0];
  R_AP2_Out = right.ap[1];
  R_AP3_Out = right.ap[2];
  R_AP4_Out = right.ap[3];
  R_AP5_Out = right.ap[4];
  R_LPF_Out = right.lpf_out;
  R_LPF_Buf = right.lpf_buf;
}
