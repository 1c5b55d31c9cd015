// QBS_PTC: the speed and pitch block.
//
// The engine plays the source at s/100 of its rate, which moves tempo and pitch together;
// this block multiplies the pitch by R = (100/s) * 2^(p/12) and keeps the duration, so the
// result plays at s % of the source's tempo and p semitones off its pitch. Per channel:
//   1. time stretch by overlap-add of segments of Window_Size samples, each placed where it
//      best matches the tail of the previous one (similarity search on the left channel),
//      a stretch by T = 1/R;
//   2. a linear-interpolation resampler that steps through the stretched signal by
//      Target_Rate (R in Q16), restoring the duration and shifting the pitch by R.
// Each segment consumes exactly as many input frames as its resampling yields, so input
// and output stay in step frame for frame and the output queue neither drifts empty nor
// overflows at any fixed setting. Queues between the stages carry samples from call to
// call; output starts after a few calls and then every call delivers as many frames as it
// receives.
//
// All state is module-level and statically allocated; nothing is allocated at run time.
#pragma once

#include <atomic>
#include <cstdint>

// Table dimensions: 13 pitch rows (-6..+6 semitones), 151 speed columns (50..200 %).
inline constexpr int32_t QBS_PTC_SPEED_MIN = 50;
inline constexpr int32_t QBS_PTC_SPEED_MAX = 200;
inline constexpr int32_t QBS_PTC_PITCH_MIN = -6;
inline constexpr int32_t QBS_PTC_PITCH_MAX = 6;
inline constexpr int32_t QBS_PTC_SPEED_STEPS = QBS_PTC_SPEED_MAX - QBS_PTC_SPEED_MIN + 1;
inline constexpr int32_t QBS_PTC_PITCH_STEPS = QBS_PTC_PITCH_MAX - QBS_PTC_PITCH_MIN + 1;
inline constexpr int32_t QBS_PTC_SEARCH_STAGES = 4;
inline constexpr int32_t QBS_PTC_SEARCH_OFFSETS = 24;

// Capacities in samples per channel.
inline constexpr int32_t QBS_PTC_IN_TEMPO_CAP = 13352;   // input queue
inline constexpr int32_t QBS_PTC_TEMP_CAP = 512;         // tail of the previous segment
inline constexpr int32_t QBS_PTC_OUT_TEMPO_CAP = 3424;   // one stretched segment
inline constexpr int32_t QBS_PTC_OUT_RCONV_CAP = 9689;   // resampled queue
// Output queue (frames). It must hold the start margin (one block plus one hop) and what
// the segments of one more call add on top: for calls of up to 4096 frames at most 18839
// frames at any fixed setting.
inline constexpr int32_t QBS_PTC_IN_FIFO_CAP = 24576;

// Rate tables, Q16, index (pitch + 6) * 151 + (speed - 50).
// Tempo_Table: T = (s/100) * 2^(-p/12), nearest integer.
// Target_Rate_Table: R = (100/s) * 2^(p/12), rounded up.
extern const int32_t Tempo_Table[QBS_PTC_PITCH_STEPS * QBS_PTC_SPEED_STEPS];
extern const int32_t Target_Rate_Table[QBS_PTC_PITCH_STEPS * QBS_PTC_SPEED_STEPS];
// Offsets of the four search stages; a 0 ends a row.
extern const int16_t Search_Offset_Table[QBS_PTC_SEARCH_STAGES][QBS_PTC_SEARCH_OFFSETS];

// Headroom shift applied to every input sample (start value 1). Written by QBS_PTC_Init on
// the calling thread; the render thread reads it once per block.
extern std::atomic<int16_t> QBS_PTC_Prescale;

// Sizes chosen by the last QBS_PTC_Init from the sample rate (start values: those of
// 44100 Hz). Written by QBS_PTC_Init on the calling thread and read by QBS_PTC_Set; the
// render thread never reads these: it takes its own copy when it carries out the Init's
// clearing, at the start of its next block.
extern std::atomic<int32_t> Scan_Size;      // width of the search range (~14 ms)
extern std::atomic<int32_t> Window_Size;    // W: length of one stretch segment (~82 ms)
extern std::atomic<int32_t> Pow_Overlap;    // N: cross-fade length, 2^Pow_Exp
extern std::atomic<int32_t> Pow_Exp;
extern std::atomic<int32_t> Slider_Factor;  // N * N / 3, truncated: divisor of the search weights

// Rate parameters, written by QBS_PTC_Set on the user-interface thread while the render
// thread may be running; each segment reads each of them once. All 0 until the first Set,
// and the block does nothing at all while they are in that state.
extern std::atomic<int32_t> Target_Rate;      // resampler step R, Q16
extern std::atomic<int32_t> Hop_Size;         // about the input one segment consumes
extern std::atomic<int32_t> Required_Sample;  // queued input a segment needs to run

// The queues and memories below belong to the render thread (QBS_PTC). Another thread may
// read or write them only while no block runs (tests, and a stopped engine).
//
// Input queue: In_Tempo_Buf_Size samples starting at In_Tempo_Buf_Index.
extern int16_t L_In_Tempo_Buf[QBS_PTC_IN_TEMPO_CAP], R_In_Tempo_Buf[QBS_PTC_IN_TEMPO_CAP];
extern int32_t In_Tempo_Buf_Size, In_Tempo_Buf_Index;
// Tail of the previous segment (Pow_Overlap samples), cross-faded into the next one.
extern int16_t L_Temp_Buf[QBS_PTC_TEMP_CAP], R_Temp_Buf[QBS_PTC_TEMP_CAP];
extern int16_t Flag_Check_Temp_Buf;  // 0 until the first tail is taken from the input
// Stretched samples of one segment, from index 0.
extern int16_t L_Out_Tempo_Buf[QBS_PTC_OUT_TEMPO_CAP], R_Out_Tempo_Buf[QBS_PTC_OUT_TEMPO_CAP];
extern int32_t Out_Tempo_Buf_Size;
// Resampled queue: Out_RConv_Buf_Size samples starting at Out_RConv_Buf_Index.
extern int16_t L_Out_RConv_Buf[QBS_PTC_OUT_RCONV_CAP], R_Out_RConv_Buf[QBS_PTC_OUT_RCONV_CAP];
extern int32_t Out_RConv_Buf_Size, Out_RConv_Buf_Index;
// Output queue: Prev_Sample_Index frames, held in order (where they start is the render
// thread's own business). The count survives Init.
extern int16_t L_In_FIFO[QBS_PTC_IN_FIFO_CAP], R_In_FIFO[QBS_PTC_IN_FIFO_CAP];
extern int32_t Prev_Sample_Index;
// 0 after Init (and at program start) until the output queue has first been filled to
// its start margin, then 1.
extern int16_t Flag_Check_Out_FIFO;
// Resampler phase (Q16) and the last stretched sample of each channel; survive Init.
extern int32_t Window_Index;
extern int16_t L_Prev_Sample, R_Prev_Sample;

// Chooses the sizes for `rate` (8000, 11025, 16000, 22050, 36000, 48000; any other rate
// gets those of 44100) and sets the headroom shift (0, 1, 2 kept, anything else becomes 1),
// both at once, and asks the render thread to empty the queues and fill them with zeros
// with those sizes at the start of its next block. Leaves the rate parameters,
// Prev_Sample_Index, Window_Index and the previous samples as they are. Callable from any
// thread while QBS_PTC runs: the block in progress finishes as it began, and the render
// thread never waits.
void QBS_PTC_Init(int16_t shift, int32_t rate);

// Prints "QBS_Speed:%d QBS_Pitch:%d" (no line end) and sets the rate parameters for
// speed 50..200 % and pitch -6..+6 semitones from the sizes of the last Init. Values
// outside those ranges are clamped to the nearest valid one. Callable while the render
// thread processes: the change takes effect at the next segment.
void QBS_PTC_Set(int16_t speed, int16_t pitch);
// QBS_PTC_Set without the line: no I/O, so the render thread may call it between blocks
// (a segment then never mixes old and new values).
void QBS_PTC_SetRates(int16_t speed, int16_t pitch);

// Takes count / 2 interleaved stereo frames from `in` and writes at most that many to
// `out`; frames it does not write stay as they were. Any count is accepted: the input is
// queued in pieces that fit the input queue. `out` may be `in`.
void QBS_PTC(int16_t* out, const int16_t* in, int32_t count);
// QBS_PTC that keeps its output queued: the input is taken and its segments run, nothing
// is delivered. Between two blocks this lengthens the queues, for a speed whose
// segments need more input queued than the queues hold now (see QBS_PTC_Shortfall).
void QBS_PTC_Feed(const int16_t* in, int32_t count);
// Frames the input and output queues together lack for the rate parameters in force: with
// fewer frames held than a segment needs, the output queue runs dry before the input
// completes the next segment (a gap). The queues keep what they hold from call to call, so
// a shortfall stays until input is fed without delivery. 0 before the output queue first
// reached its start margin (that margin follows the rates by itself). Render thread, or
// while no block runs.
int32_t QBS_PTC_Shortfall();
