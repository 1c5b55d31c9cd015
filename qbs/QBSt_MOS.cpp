// The stage simulation: preset, delay lines and the block process.
#include "qbs/QBSt_MOS.h"

#include <algorithm>

#include "qbs/QBS_BlockSupport.h"

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

const Line kLines[6] = {
    {L_D1_In_Buf, R_D1_In_Buf, &D1_Index, &Delay_D1, QBS_MOS_D1_Capacity, 15},
    {L_AP1_In_Buf, R_AP1_In_Buf, &AP1_Index, &Delay_AP1, QBS_MOS_AP1_Capacity, 22},
    {L_AP2_In_Buf, R_AP2_In_Buf, &AP2_Index, &Delay_AP2, QBS_MOS_AP2_Capacity, 8},
    {L_AP3_In_Buf, R_AP3_In_Buf, &AP3_Index, &Delay_AP3, QBS_MOS_AP3_Capacity, 35},
    {L_AP4_In_Buf, R_AP4_In_Buf, &AP4_Index, &Delay_AP4, QBS_MOS_AP4_Capacity, 30},
    {L_AP5_In_Buf, R_AP5_In_Buf, &AP5_Index, &Delay_AP5, QBS_MOS_AP5_Capacity, 66},
};

// One channel's stage outputs, held in locals for the length of a block.
struct Channel {
  int32_t d1, ap[5], lpf_out, lpf_buf;
};

// Where one channel's stage outputs are kept between blocks.
struct ChannelStore {
  int32_t* d1;
  int32_t* ap[5];
  int32_t* lpf_out;
  int32_t* lpf_buf;

  Channel load() const {
    return {*d1, {*ap[0], *ap[1], *ap[2], *ap[3], *ap[4]}, *lpf_out, *lpf_buf};
  }
  void store(const Channel& c) const {
    *d1 = c.d1;
    for (int k = 0; k < 5; ++k) *ap[k] = c.ap[k];
    *lpf_out = c.lpf_out;
    *lpf_buf = c.lpf_buf;
  }
};

const ChannelStore kLeftStore = {
    &L_D1_Out, {&L_AP1_Out, &L_AP2_Out, &L_AP3_Out, &L_AP4_Out, &L_AP5_Out}, &L_LPF_Out,
    &L_LPF_Buf};
const ChannelStore kRightStore = {
    &R_D1_Out, {&R_AP1_Out, &R_AP2_Out, &R_AP3_Out, &R_AP4_Out, &R_AP5_Out}, &R_LPF_Out,
    &R_LPF_Buf};

void reset(int factor) {
  for (const Line& line : kLines) {
    std::fill_n(line.left, line.capacity, 0);
    std::fill_n(line.right, line.capacity, 0);
    *line.index = 0;
    *line.length = factor * line.ms;
  }
  kLeftStore.store(Channel{});
  kRightStore.store(Channel{});
}

int16_t clamp16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

// Frames are processed in pieces of up to kPiece, stage by stage. That gives the same
// numbers as going frame by frame: within a piece no line position is visited twice (a
// piece never crosses a line's wrap), each stage reads only the previous stage's output of
// the same frame, and the one recursion across frames, the low-pass feeding the other
// channel's pre-delay, is written into the pre-delay only after the piece has read it. So
// every stage is a loop without a dependency from one frame to the next.
constexpr int32_t kPiece = 256;

// One channel's run of a piece through the pre-delay read and the five all-passes.
// v: the chain's end (all-pass 5) per frame, ap3: all-pass 3's output per frame.
[[gnu::always_inline]] inline void chain_piece(Channel& c, int32_t* const* base, int32_t n,
                                               int32_t* v, int32_t* ap3) {
  const int32_t* d1 = base[0];
  for (int32_t f = 0; f < n; ++f) v[f] = d1[f];
  c.d1 = v[n - 1];
#pragma GCC unroll 5
  for (int stage = 0; stage < 5; ++stage) {
    // Schroeder all-pass: the output is the delayed value minus a times the input; the
    // line takes a times the output plus the input.
    const int64_t a = kAllPass[stage];
    int32_t* cell = base[stage + 1];
    for (int32_t f = 0; f < n; ++f) {
      const int64_t in = v[f];
      const int64_t out = cell[f] - ((in * a) >> 15);
      cell[f] = static_cast<int32_t>(((out * a) >> 15) + in);
      v[f] = static_cast<int32_t>(out);
    }
    c.ap[stage] = v[n - 1];
    if (stage == 2) std::copy_n(v, n, ap3);
  }
}

// A run of frames in which no line's index wraps, with the preset's gains built in:
// G feeds the tails back, T3 and T5 weigh the taps on all-pass 3 and 5.
template <int64_t G, int64_t T3, int64_t T5>
[[gnu::always_inline]] inline void run_frames(Channel& left, Channel& right,
                                              int32_t* const* left_base,
                                              int32_t* const* right_base, const int16_t* src,
                                              int16_t* dst, int32_t run, int shift) {
  int32_t xl[kPiece], xr[kPiece], vl[kPiece], vr[kPiece], ap3l[kPiece], ap3r[kPiece];
  int32_t lpfl[kPiece + 1], lpfr[kPiece + 1];
  for (int32_t done = 0; done < run; done += kPiece) {
    const int32_t n = std::min(kPiece, run - done);
    int32_t* lb[6];
    int32_t* rb[6];
    for (int k = 0; k < 6; ++k) {
      lb[k] = left_base[k] + done;
      rb[k] = right_base[k] + done;
    }
    const int16_t* in = src + 2 * done;
    int16_t* out = dst + 2 * done;
    for (int32_t f = 0; f < n; ++f) {
      xl[f] = in[2 * f] >> shift;
      xr[f] = in[2 * f + 1] >> shift;
    }
    chain_piece(left, lb, n, vl, ap3l);
    chain_piece(right, rb, n, vr, ap3r);
    // Low-pass of each chain's end; lpf[f + 1] is the output after frame f, lpf[0] the one
    // before the piece. The only recursion from frame to frame: both channels in one loop.
    lpfl[0] = left.lpf_buf;
    lpfr[0] = right.lpf_buf;
    for (int32_t f = 0; f < n; ++f) {
      lpfl[f + 1] = static_cast<int32_t>((kLpfIn * vl[f] + kLpfMem * int64_t{lpfl[f]}) >> 15);
      lpfr[f + 1] = static_cast<int32_t>((kLpfIn * vr[f] + kLpfMem * int64_t{lpfr[f]}) >> 15);
    }
    lpfl[0] = left.lpf_out;  // the tail fed back into the piece's first frame
    lpfr[0] = right.lpf_out;
    left.lpf_out = left.lpf_buf = lpfl[n];
    right.lpf_out = right.lpf_buf = lpfr[n];
    // Pre-delay: each channel's line takes the other channel's low-passed tail of the
    // frame before, subtracted.
    for (int32_t f = 0; f < n; ++f) {
      lb[0][f] = static_cast<int32_t>(xl[f] - ((G * lpfr[f]) >> 15));
      rb[0][f] = static_cast<int32_t>(xr[f] - ((G * lpfl[f]) >> 15));
    }
    for (int32_t f = 0; f < n; ++f) {
      out[2 * f] = clamp16(xl[f] - ((T5 * vl[f] + T3 * ap3l[f]) >> 15));
      out[2 * f + 1] = clamp16(xr[f] - ((T5 * vr[f] + T3 * ap3r[f]) >> 15));
    }
  }
}

// The block loop, compiled twice on x86-64: for processors with AVX2 and for any. The AVX2
// build asks for the full vectorizer cost model, so that the stage loops (no dependency
// from frame to frame) become vector loops with 64-bit products; the cheapest model, the
// default at -O2, leaves them scalar.
#if defined(__x86_64__)
template <int64_t G, int64_t T3, int64_t T5>
[[gnu::target("avx2"), gnu::optimize("vect-cost-model=dynamic")]] void run_frames_avx2(
    Channel& left, Channel& right, int32_t* const* left_base, int32_t* const* right_base,
    const int16_t* src, int16_t* dst, int32_t run, int shift) {
  run_frames<G, T3, T5>(left, right, left_base, right_base, src, dst, run, shift);
}
#endif

template <int64_t G, int64_t T3, int64_t T5>
void run_frames_portable(Channel& left, Channel& right, int32_t* const* left_base,
                         int32_t* const* right_base, const int16_t* src, int16_t* dst,
                         int32_t run, int shift) {
  run_frames<G, T3, T5>(left, right, left_base, right_base, src, dst, run, shift);
}

template <int64_t G, int64_t T3, int64_t T5>
void run_preset(Channel& left, Channel& right, int32_t* const* left_base,
                int32_t* const* right_base, const int16_t* src, int16_t* dst, int32_t run,
                int shift) {
#if defined(__x86_64__)
  if (qbs_support::kUseAvx2) {
    run_frames_avx2<G, T3, T5>(left, right, left_base, right_base, src, dst, run, shift);
    return;
  }
#endif
  run_frames_portable<G, T3, T5>(left, right, left_base, right_base, src, dst, run, shift);
}

}  // namespace

void QBS_MOS_Init(int16_t shift, int32_t rate) {
  QBS_MOS_Prescale.store(static_cast<int16_t>(qbs_support::effective_shift(shift)),
                         std::memory_order_relaxed);
  s_pending_factor.store(rate_factor(rate), std::memory_order_release);
}

// Products and sums are formed in 64 bits: with a headroom shift of 2 every value fits in
// 32 bits and the result is the same; with a shift of 0 the lines of a loud input can
// carry values whose products would not.
void QBSt_MOS(int16_t* out, const int16_t* in, int32_t count) {
  if (count < 2) return;
  if (const int factor = qbs_support::take_request(s_pending_factor); factor != 0) reset(factor);
  // Lengths and indices are module state anyone can write; keep every access in bounds.
  for (const Line& line : kLines) {
    *line.length = std::clamp(*line.length, 1, line.capacity);
    if (*line.index < 0 || *line.index >= *line.length) *line.index = 0;
  }
  const int shift = qbs_support::effective_shift(QBS_MOS_Prescale.load(std::memory_order_relaxed));

  const int16_t preset = QBS_MOS_PRESET.load(std::memory_order_relaxed);

  Channel left = kLeftStore.load();
  Channel right = kRightStore.load();

  const int32_t frames = count / 2;
  int32_t done = 0;
  while (done < frames) {
    // A run of frames in which no line's index wraps.
    int32_t run = frames - done;
    for (const Line& line : kLines) run = std::min(run, *line.length - *line.index);
    int32_t* left_base[6];
    int32_t* right_base[6];
    for (int n = 0; n < 6; ++n) {
      left_base[n] = kLines[n].left + *kLines[n].index;
      right_base[n] = kLines[n].right + *kLines[n].index;
    }
    const int16_t* src = in + 2 * done;
    int16_t* dst = out + 2 * done;
    switch (preset) {
      case 1:  // "Concert Hall"
        run_preset<Gain_LPF[6], Gain_Rev[10], Gain_Rev[8]>(left, right, left_base, right_base,
                                                            src, dst, run, shift);
        break;
      case 2:  // "Stadium"
        run_preset<Gain_LPF[10], Gain_Rev[0], Gain_Rev[10]>(left, right, left_base, right_base,
                                                             src, dst, run, shift);
        break;
      default:  // "Studio", and any other value
        run_preset<Gain_LPF[5], Gain_Rev[10], Gain_Rev[0]>(left, right, left_base, right_base,
                                                            src, dst, run, shift);
        break;
    }

    done += run;
    for (const Line& line : kLines) {
      *line.index += run;
      if (*line.index == *line.length) *line.index = 0;
    }
  }

  kLeftStore.store(left);
  kRightStore.store(right);
}
