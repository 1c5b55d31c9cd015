// QBS_PTC: time stretch by similarity-placed overlap-add, then a linear-interpolation
// resampler; see QBS_PTC.h for the outline and the state.
#include "qbs/QBS_PTC.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "qbs/QBS_BlockSupport.h"
#include "qbs/QBS_PTC_Testing.h"

std::atomic<int16_t> QBS_PTC_Prescale{1};

std::atomic<int32_t> Scan_Size{618};
std::atomic<int32_t> Window_Size{3617};
std::atomic<int32_t> Pow_Overlap{512};
std::atomic<int32_t> Pow_Exp{9};
std::atomic<int32_t> Slider_Factor{87381};

std::atomic<int32_t> Target_Rate{0};
std::atomic<int32_t> Hop_Size{0};
std::atomic<int32_t> Required_Sample{0};

int16_t L_In_Tempo_Buf[QBS_PTC_IN_TEMPO_CAP], R_In_Tempo_Buf[QBS_PTC_IN_TEMPO_CAP];
int32_t In_Tempo_Buf_Size = 0, In_Tempo_Buf_Index = 0;
int16_t L_Temp_Buf[QBS_PTC_TEMP_CAP], R_Temp_Buf[QBS_PTC_TEMP_CAP];
int16_t Flag_Check_Temp_Buf = 0;
int16_t L_Out_Tempo_Buf[QBS_PTC_OUT_TEMPO_CAP], R_Out_Tempo_Buf[QBS_PTC_OUT_TEMPO_CAP];
int32_t Out_Tempo_Buf_Size = 0;
int16_t L_Out_RConv_Buf[QBS_PTC_OUT_RCONV_CAP], R_Out_RConv_Buf[QBS_PTC_OUT_RCONV_CAP];
int32_t Out_RConv_Buf_Size = 0, Out_RConv_Buf_Index = 0;
int16_t L_In_FIFO[QBS_PTC_IN_FIFO_CAP], R_In_FIFO[QBS_PTC_IN_FIFO_CAP];
int32_t Prev_Sample_Index = 0;
int16_t Flag_Check_Out_FIFO = 0;
int32_t Window_Index = 0;
int16_t L_Prev_Sample = 0, R_Prev_Sample = 0;

namespace {

constexpr int32_t kOne = 65536;  // 1.0 in Q16

struct RateSizes {
  int32_t rate, scan, window, overlap, exp, slider;
};

// Sizes per sample rate: search range ~14 ms, segment ~82 ms, cross-fade 2^exp samples,
// slider = overlap^2 / 3 (truncated). Unlisted rates use the 44100 Hz row.
constexpr RateSizes kRateSizes[] = {
    {8000, 112, 656, 128, 7, 5461},      {11025, 155, 905, 256, 8, 21845},
    {16000, 224, 1312, 256, 8, 21845},   {22050, 309, 1809, 512, 9, 87381},
    {36000, 504, 2952, 512, 9, 87381},   {44100, 618, 3617, 512, 9, 87381},
    {48000, 672, 3936, 512, 9, 87381},
};
constexpr int32_t kDefaultRow = 5;  // 44100 Hz
constexpr int32_t kRateRows = sizeof kRateSizes / sizeof kRateSizes[0];

// The sizes the render thread works with; only QBS_PTC reads and writes them.
RateSizes s_sizes = kRateSizes[kDefaultRow];
// Frames thrown away because the output queue was full; render thread only.
int64_t s_dropped_frames = 0;
// Where the oldest of the Prev_Sample_Index queued output frames lies; render thread only.
// Delivery moves it on instead of moving the remaining frames to the front after every
// block; they are moved only when new frames would not fit behind them.
int32_t s_out_head = 0;

// An Init's request to the render thread: the row of kRateSizes plus one, 0 for none.
std::atomic<int32_t> s_pending_init{0};

int32_t TableIndex(int32_t speed, int32_t pitch) {
  speed = std::clamp(speed, QBS_PTC_SPEED_MIN, QBS_PTC_SPEED_MAX);
  pitch = std::clamp(pitch, QBS_PTC_PITCH_MIN, QBS_PTC_PITCH_MAX);
  return (pitch - QBS_PTC_PITCH_MIN) * QBS_PTC_SPEED_STEPS + (speed - QBS_PTC_SPEED_MIN);
}

// Smallest and largest step the resampler can be given (speed 200 pitch -6, speed 50
// pitch +6).
int32_t MinTargetRate() { return Target_Rate_Table[TableIndex(200, -6)]; }
int32_t MaxTargetRate() { return Target_Rate_Table[TableIndex(50, 6)]; }

struct Rates {
  int32_t target, hop, required;
};

// Reads the three rate parameters once. Answers false while they are no usable set:
// before the first QBS_PTC_Set all three are 0, and a block run with them would never
// consume its input (hop 0) nor leave the resampler (step 0), so the block then does
// nothing. A step outside the table's range would also let one segment's resampled output
// outgrow its queue.
bool LoadRates(Rates& r) {
  r.target = Target_Rate.load(std::memory_order_relaxed);
  r.hop = Hop_Size.load(std::memory_order_relaxed);
  r.required = Required_Sample.load(std::memory_order_relaxed);
  if (r.target < MinTargetRate() || r.target > MaxTargetRate() || r.hop < 1 ||
      r.required > QBS_PTC_IN_TEMPO_CAP)
    return false;
  // A segment reads up to Window_Size + Scan_Size - 1 samples past the queue head. The
  // parameters always ask for at least that when Set ran with the sizes now in force.
  r.required = std::max(r.required, s_sizes.window + s_sizes.scan);
  return true;
}

// Search weights: the tail shaped by the parabolic window 3n(N - n)/N^2, truncated to
// 16 bits. They depend only on the tail, so they are formed once per segment rather than
// once per candidate. weight[0] is 0 (the window vanishes at its ends).
[[gnu::always_inline]] inline void Weights(int32_t n_overlap, int32_t slider, int16_t* weight) {
  weight[0] = 0;
  for (int32_t n = 1; n < n_overlap; ++n)
    weight[n] = static_cast<int16_t>((n * L_Temp_Buf[n] * (n_overlap - n)) / slider);
}

// Windowed cross-correlation between the weights and the candidate's start; each product
// is shifted on its own before it is added. As weight[0] is 0 the sum may start at n = 0,
// which makes the loop count a power of two.
[[gnu::always_inline]] inline int32_t Score(const int16_t* weight, const int16_t* x,
                                             int32_t n_overlap, int32_t exp) {
  int32_t sum = 0;
  for (int32_t n = 0; n < n_overlap; ++n) sum += (int32_t{weight[n]} * x[n]) >> exp;
  return sum;
}

// Finds the offset, from the queue head `in` (left channel), at which the next segment
// best continues the previous tail: a coarse scan of the search range, then three
// refinements around the best position so far. Ties keep the earlier candidate.
template <typename ScoreFn>
[[gnu::always_inline]] inline int32_t SearchWith(const int16_t* in, ScoreFn score_at) {
  int32_t best_score = -1;
  int32_t best_pos = 0;
  for (int32_t stage = 0; stage < QBS_PTC_SEARCH_STAGES; ++stage) {
    const int32_t base = stage == 0 ? 0 : best_pos;
    for (int32_t i = 0; i < QBS_PTC_SEARCH_OFFSETS; ++i) {
      const int32_t offset = Search_Offset_Table[stage][i];
      if (offset == 0) break;
      const int32_t pos = base + offset;
      if (pos >= s_sizes.scan) break;
      // With no coarse candidate above -1 the base stays 0 and the refinements would look
      // before the queued input: such positions are skipped.
      if (pos < 0) continue;
      const int32_t score = score_at(in + pos);
      if (score > best_score) {
        best_score = score;
        best_pos = pos;
      }
    }
  }
  return best_pos;
}

// The search with the sizes it is given.
[[gnu::always_inline]] inline int32_t Search(const int16_t* in, int32_t n_overlap, int32_t exp,
                                             int32_t slider) {
  alignas(32) int16_t weight[QBS_PTC_TEMP_CAP];
  Weights(n_overlap, slider, weight);
  return SearchWith(in, [&](const int16_t* x) { return Score(weight, x, n_overlap, exp); });
}

// The sizes come in three fixed sets; each gets its own copy of the search with its
// constants built in (a constant divisor becomes a multiplication, a constant length a
// vector loop).
int32_t SearchBestPosition(const int16_t* in) {
  const int32_t n_overlap = s_sizes.overlap, exp = s_sizes.exp, slider = s_sizes.slider;
  if (n_overlap == 512 && exp == 9 && slider == 87381) return Search(in, 512, 9, 87381);
  if (n_overlap == 256 && exp == 8 && slider == 21845) return Search(in, 256, 8, 21845);
  if (n_overlap == 128 && exp == 7 && slider == 5461) return Search(in, 128, 7, 5461);
  return Search(in, n_overlap, exp, slider);
}

// Builds one channel's segment at `best` from the queue head: the previous tail faded
// out against the new start, then the body; keeps the segment's end as the next tail.
void StretchChannel(const int16_t* in, int16_t* tail, int16_t* seg, int32_t best) {
  const int32_t n_overlap = s_sizes.overlap;
  const int32_t exp = s_sizes.exp;
  const int32_t window = s_sizes.window;
  const int16_t* src = in + best;
  for (int32_t n = 0; n < n_overlap; ++n)
    seg[n] = static_cast<int16_t>(((n_overlap - n) * tail[n] + n * src[n]) >> exp);
  std::memcpy(seg + n_overlap, src + n_overlap,
              sizeof(int16_t) * (window - 2 * n_overlap));
  std::memcpy(tail, src + window - n_overlap, sizeof(int16_t) * n_overlap);
}

// Reads the stretched segment at `rate` input samples per output sample (Q16) and
// appends the result to the resampled queue. The phase and each channel's last sample
// carry over, so consecutive segments join without a seam.
//
// Stepping: an output sample at phase ph in (0, 1.0] past Seg[k] lies between Seg[k] and
// Seg[k + 1] (at 1.0 it is Seg[k + 1]); after it the phase grows by `rate`, and each whole
// 1.0 beyond the first moves k on by one; the segment ends when k reaches size - 1.
// Counting in one position ph + 65536 k, the outputs are exactly those at positions up
// to (size - 1) * 65536, so their number is known in advance and no branch depends on
// the phase. Answers the number of samples appended.
int32_t Resample(int32_t rate) {
  const int32_t size = Out_Tempo_Buf_Size;
  const int16_t* seg_l = L_Out_Tempo_Buf;
  const int16_t* seg_r = R_Out_Tempo_Buf;
  int16_t* out_l = L_Out_RConv_Buf + Out_RConv_Buf_Index + Out_RConv_Buf_Size;
  int16_t* out_r = R_Out_RConv_Buf + Out_RConv_Buf_Index + Out_RConv_Buf_Size;
  // The phase never leaves 0..largest step in operation; the clamp only guards the
  // products below against a phase stored from outside.
  int32_t ph = std::clamp(Window_Index, 0, MaxTargetRate());
  int32_t m = 0;

  // Between the previous segment's last sample and this segment's first.
  if (ph <= kOne) {
    const int32_t prev_l = L_Prev_Sample, prev_r = R_Prev_Sample;
    const int32_t first_l = seg_l[0], first_r = seg_r[0];
    const int32_t count = (kOne - ph) / rate + 1;
    for (int32_t j = 0; j < count; ++j, ph += rate) {
      out_l[j] = static_cast<int16_t>((ph * first_l + prev_l * (kOne - ph)) >> 16);
      out_r[j] = static_cast<int16_t>((ph * first_r + prev_r * (kOne - ph)) >> 16);
    }
    m = count;
  }
  ph -= kOne;  // now > 0: position past Seg[0]

  // Within the segment. Positions stay below 3424 * 65536 + the largest step.
  const int32_t end = (size - 1) * kOne;
  if (ph <= end) {
    const int32_t count = (end - ph) / rate + 1;
    for (int32_t j = 0; j < count; ++j, ph += rate) {
      const int32_t k = (ph - 1) >> 16;
      const int32_t f = ph - (k << 16);
      out_l[m + j] = static_cast<int16_t>((seg_l[k + 1] * f + seg_l[k] * (kOne - f)) >> 16);
      out_r[m + j] = static_cast<int16_t>((seg_r[k + 1] * f + seg_r[k] * (kOne - f)) >> 16);
    }
    m += count;
  }
  Window_Index = ph - end;
  L_Prev_Sample = seg_l[size - 1];
  R_Prev_Sample = seg_r[size - 1];
  Out_RConv_Buf_Size += m;
  return m;
}

// Moves the resampled queue into the output queue, oldest first; frames that find the
// output queue full are dropped.
//
// It runs after every segment rather than once after all the segments of a call: the
// output queue receives the same frames in the same order (it only grows while frames
// arrive), and the resampled queue never has to hold more than one segment (at most
// 65536 * 3424 / 23171 + 1 = 9685 samples), however many segments one block runs.
void Drain() {
  if (s_out_head + Prev_Sample_Index + Out_RConv_Buf_Size > QBS_PTC_IN_FIFO_CAP) {
    std::memmove(L_In_FIFO, L_In_FIFO + s_out_head, sizeof(int16_t) * Prev_Sample_Index);
    std::memmove(R_In_FIFO, R_In_FIFO + s_out_head, sizeof(int16_t) * Prev_Sample_Index);
    s_out_head = 0;
  }
  const int32_t end = s_out_head + Prev_Sample_Index;
  const int32_t n = std::min(Out_RConv_Buf_Size, QBS_PTC_IN_FIFO_CAP - end);
  std::memcpy(L_In_FIFO + end, L_Out_RConv_Buf + Out_RConv_Buf_Index, sizeof(int16_t) * n);
  std::memcpy(R_In_FIFO + end, R_Out_RConv_Buf + Out_RConv_Buf_Index, sizeof(int16_t) * n);
  Prev_Sample_Index += n;
  s_dropped_frames += Out_RConv_Buf_Size - n;
  Out_RConv_Buf_Size = 0;
  Out_RConv_Buf_Index = 0;
}

// One segment: search, cross-fade and body on both channels, new tail, resample, consume,
// drain.
//
// The segment consumes exactly the input frames that its resampling appended, not
// Hop_Size: Hop_Size is the rounded ideal, while a segment yields (W - N) * 65536 /
// Target_Rate frames give or take one, so consuming Hop_Size made input and output drift
// apart by a fraction of a frame per segment, until the output queue ran dry (gaps) or
// overflowed (drops) a minute or so into a song. Consuming what was produced keeps input
// and output frame for frame in step at every setting.
//
// One consequence: at program start the phase is 0, so the very first segment also
// yields the stored previous sample (0) in front of its own, one frame more than every
// later segment, and consumes that frame too. At speed 100 pitch 0 a rising ramp
// therefore skips one value, once, where the second segment begins; every later segment
// continues seamlessly.
void RunSegment(const Rates& rates) {
  const int16_t* in_l = L_In_Tempo_Buf + In_Tempo_Buf_Index;
  const int16_t* in_r = R_In_Tempo_Buf + In_Tempo_Buf_Index;
  const int32_t best = SearchBestPosition(in_l);
  StretchChannel(in_l, L_Temp_Buf, L_Out_Tempo_Buf, best);
  StretchChannel(in_r, R_Temp_Buf, R_Out_Tempo_Buf, best);
  Out_Tempo_Buf_Size = s_sizes.window - s_sizes.overlap;

  const int32_t consumed = std::min(Resample(rates.target), In_Tempo_Buf_Size);
  In_Tempo_Buf_Index += consumed;
  In_Tempo_Buf_Size -= consumed;
  if (In_Tempo_Buf_Size == 0) In_Tempo_Buf_Index = 0;

  Out_Tempo_Buf_Size = 0;
  Drain();
}

// Splitting the interleaved input into the two channel queues and joining the output queue
// back into interleaved frames, in runs of a fixed length with pointers that do not overlap
// (the caller's blocks are never the module's arrays), which the compiler turns into vector
// code; the rest of a block goes one frame at a time (`frames` of them).
constexpr int32_t kRun = 16;

template <int32_t kLength>
[[gnu::always_inline]] inline void Split(int16_t* __restrict left, int16_t* __restrict right,
                                         const int16_t* __restrict in, int shift,
                                         int32_t frames = kLength) {
  for (int32_t i = 0; i < (kLength > 1 ? kLength : frames); ++i) {
    left[i] = static_cast<int16_t>(int32_t{in[2 * i]} >> shift);
    right[i] = static_cast<int16_t>(int32_t{in[2 * i + 1]} >> shift);
  }
}

template <int32_t kLength>
[[gnu::always_inline]] inline void Join(int16_t* __restrict out, const int16_t* __restrict left,
                                        const int16_t* __restrict right,
                                        int32_t frames = kLength) {
  for (int32_t i = 0; i < (kLength > 1 ? kLength : frames); ++i) {
    out[2 * i] = left[i];
    out[2 * i + 1] = right[i];
  }
}

// Moves the queued input to the start of its arrays and appends up to `frames` frames of
// `in`, each sample shifted right by `shift`. Answers the frames taken: no more than
// the queue has room for.
int32_t Enqueue(const int16_t* in, int32_t frames, int shift) {
  if (In_Tempo_Buf_Index != 0) {
    std::memmove(L_In_Tempo_Buf, L_In_Tempo_Buf + In_Tempo_Buf_Index,
                 sizeof(int16_t) * In_Tempo_Buf_Size);
    std::memmove(R_In_Tempo_Buf, R_In_Tempo_Buf + In_Tempo_Buf_Index,
                 sizeof(int16_t) * In_Tempo_Buf_Size);
    In_Tempo_Buf_Index = 0;
  }
  const int32_t taken = std::min(frames, QBS_PTC_IN_TEMPO_CAP - In_Tempo_Buf_Size);
  int16_t* dst_l = L_In_Tempo_Buf + In_Tempo_Buf_Size;
  int16_t* dst_r = R_In_Tempo_Buf + In_Tempo_Buf_Size;
  int32_t i = 0;
  for (; i + kRun <= taken; i += kRun) Split<kRun>(dst_l + i, dst_r + i, in + 2 * i, shift);
  Split<1>(dst_l + i, dst_r + i, in + 2 * i, shift, taken - i);
  In_Tempo_Buf_Size += taken;
  return taken;
}

// Writes up to `frames` frames from the output queue to `out`, interleaved.
//
// Start margin: between segments the output queue only drains, and a segment arrives
// only once enough input has queued up. If delivery began as soon as the first segment
// arrived, the queue would now and then run dry even at a fixed setting (speed 100,
// pitch 0, 1024-frame blocks: the 41st block after Init gets only 397 frames: an audible
// gap). So after Init (and at program start) nothing is delivered until the queue holds
// the block's frames plus one hop (at most its capacity); from then on each call delivers
// as usual, and as a segment consumes what it yields the queue keeps that reserve.
void Deliver(int16_t* out, int32_t frames) {
  if (Flag_Check_Out_FIFO == 0) {
    const int64_t hop = std::max(Hop_Size.load(std::memory_order_relaxed), 0);
    const int64_t margin = std::min<int64_t>(int64_t{frames} + hop, QBS_PTC_IN_FIFO_CAP);
    if (Prev_Sample_Index < margin) return;
    Flag_Check_Out_FIFO = 1;
  }
  if (Prev_Sample_Index == 0) return;
  // With fewer than `frames` queued everything goes out and the rest of `out` stays as
  // it was.
  const int32_t n = std::min(frames, Prev_Sample_Index);
  const int16_t* left = L_In_FIFO + s_out_head;
  const int16_t* right = R_In_FIFO + s_out_head;
  int32_t i = 0;
  for (; i + kRun <= n; i += kRun) Join<kRun>(out + 2 * i, left + i, right + i);
  Join<1>(out + 2 * i, left + i, right + i, n - i);
  Prev_Sample_Index -= n;
  s_out_head = Prev_Sample_Index == 0 ? 0 : s_out_head + n;
}

// Carries out an Init on the render thread: empties the input queue, the segment buffer
// and the resampled queue, fills every queue and the tail with zeros (the output queue's
// frame count stays, so frames still queued come out as silence) and takes the sizes of
// the Init's rate.
void ClearForInit(int32_t row) {
  In_Tempo_Buf_Size = 0;
  In_Tempo_Buf_Index = 0;
  Out_Tempo_Buf_Size = 0;
  Out_RConv_Buf_Size = 0;
  Out_RConv_Buf_Index = 0;
  Flag_Check_Temp_Buf = 0;
  Flag_Check_Out_FIFO = 0;
  std::memset(L_In_Tempo_Buf, 0, sizeof L_In_Tempo_Buf);
  std::memset(R_In_Tempo_Buf, 0, sizeof R_In_Tempo_Buf);
  std::memset(L_Temp_Buf, 0, sizeof L_Temp_Buf);
  std::memset(R_Temp_Buf, 0, sizeof R_Temp_Buf);
  std::memset(L_Out_Tempo_Buf, 0, sizeof L_Out_Tempo_Buf);
  std::memset(R_Out_Tempo_Buf, 0, sizeof R_Out_Tempo_Buf);
  std::memset(L_Out_RConv_Buf, 0, sizeof L_Out_RConv_Buf);
  std::memset(R_Out_RConv_Buf, 0, sizeof R_Out_RConv_Buf);
  std::memset(L_In_FIFO, 0, sizeof L_In_FIFO);
  std::memset(R_In_FIFO, 0, sizeof R_In_FIFO);
  s_sizes = kRateSizes[std::clamp(row, 0, kRateRows - 1)];
}

}  // namespace

int64_t QBS_PTC_DroppedFrames() { return s_dropped_frames; }

void QBS_PTC_Init(int16_t shift, int32_t rate) {
  int32_t row = kDefaultRow;
  for (int32_t i = 0; i < kRateRows; ++i)
    if (kRateSizes[i].rate == rate) row = i;
  const RateSizes& sizes = kRateSizes[row];
  Scan_Size.store(sizes.scan, std::memory_order_relaxed);
  Window_Size.store(sizes.window, std::memory_order_relaxed);
  Pow_Overlap.store(sizes.overlap, std::memory_order_relaxed);
  Pow_Exp.store(sizes.exp, std::memory_order_relaxed);
  Slider_Factor.store(sizes.slider, std::memory_order_relaxed);
  QBS_PTC_Prescale.store(static_cast<int16_t>(qbs_support::effective_shift(shift)),
                         std::memory_order_relaxed);
  // The queues belong to the render thread: it empties them at the start of its next
  // block (ClearForInit).
  s_pending_init.store(row + 1, std::memory_order_release);
}

void QBS_PTC_Set(int16_t speed, int16_t pitch) {
  std::printf("QBS_Speed:%d QBS_Pitch:%d", speed, pitch);
  QBS_PTC_SetRates(speed, pitch);
}

void QBS_PTC_SetRates(int16_t speed, int16_t pitch) {
  const int32_t index = TableIndex(speed, pitch);
  const int64_t tempo = Tempo_Table[index];
  const int32_t window = Window_Size.load(std::memory_order_relaxed);
  const int32_t overlap = Pow_Overlap.load(std::memory_order_relaxed);
  const int32_t scan = Scan_Size.load(std::memory_order_relaxed);
  const int32_t hop = static_cast<int32_t>(((window - overlap) * tempo + 32768) >> 16);
  const int32_t required = window < hop + overlap ? hop + overlap + scan : window + scan;
  Target_Rate.store(Target_Rate_Table[index], std::memory_order_relaxed);
  Hop_Size.store(hop, std::memory_order_relaxed);
  Required_Sample.store(required, std::memory_order_relaxed);
}

namespace {

// Queues `count / 2` interleaved stereo frames and runs the segments they complete.
// Answers false when the block may deliver nothing (no usable rates, or the first tail
// not complete yet).
bool Take(const int16_t* in, int32_t count) {
  if (const int32_t row = qbs_support::take_request(s_pending_init); row != 0)
    ClearForInit(row - 1);
  Rates rates;
  if (!LoadRates(rates)) return false;
  // State that survives Init is kept inside its range.
  Prev_Sample_Index = std::clamp(Prev_Sample_Index, 0, QBS_PTC_IN_FIFO_CAP);
  if (s_out_head < 0 || s_out_head > QBS_PTC_IN_FIFO_CAP - Prev_Sample_Index) s_out_head = 0;

  const int32_t frames = count > 0 ? count / 2 : 0;
  const int shift = qbs_support::effective_shift(QBS_PTC_Prescale.load(std::memory_order_relaxed));
  int32_t done = 0;
  // A block larger than the input queue's free room is taken in pieces, running the
  // segments that each piece completes before the next one is queued. Segments only read
  // queued input, so they come out exactly as if the whole block had been queued at
  // once; the output block is written once, after the last piece.
  do {
    const int32_t taken = Enqueue(in + 2 * done, frames - done, shift);
    done += taken;

    if (Flag_Check_Temp_Buf == 0) {
      // The first tail comes straight from the input.
      const int32_t n_overlap = s_sizes.overlap;
      if (In_Tempo_Buf_Size < n_overlap) return false;
      std::memcpy(L_Temp_Buf, L_In_Tempo_Buf + In_Tempo_Buf_Index, sizeof(int16_t) * n_overlap);
      std::memcpy(R_Temp_Buf, R_In_Tempo_Buf + In_Tempo_Buf_Index, sizeof(int16_t) * n_overlap);
      In_Tempo_Buf_Index += n_overlap;
      In_Tempo_Buf_Size -= n_overlap;
      Flag_Check_Temp_Buf = 1;
    }

    while (LoadRates(rates) && In_Tempo_Buf_Size >= rates.required) RunSegment(rates);

    // With usable rate parameters a full queue always runs a segment; should they turn
    // unusable in the middle of a block, the rest of the block is left out.
    if (taken == 0) break;
  } while (done < frames);
  return true;
}

}  // namespace

void QBS_PTC(int16_t* out, const int16_t* in, int32_t count) {
  if (Take(in, count)) Deliver(out, count > 0 ? count / 2 : 0);
}

void QBS_PTC_Feed(const int16_t* in, int32_t count) { Take(in, count); }

int32_t QBS_PTC_Shortfall() {
  Rates rates;
  if (Flag_Check_Out_FIFO == 0 || !LoadRates(rates)) return 0;
  // A call whose input leaves the queue one frame short of a segment still delivers a
  // whole block only if the output queue holds it: held >= required - 1 keeps it fed.
  return std::max(0, rates.required - 1 - (In_Tempo_Buf_Size + Prev_Sample_Index));
}
