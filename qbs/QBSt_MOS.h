// QBSt_MOS: the stage (room) simulation.
//
// Per channel a short pre-delay feeds a chain of five Schroeder all-pass delay lines and a
// one-pole low-pass; each channel's low-passed end is fed back, inverted and scaled, into
// the other channel's pre-delay, which gives a decaying, diffuse tail. Reverberant signal
// is taken from the third and the fifth all-pass and subtracted from the dry signal.
// Delay lengths follow the sample rate given to QBS_MOS_Init.
#pragma once

#include <atomic>
#include <cstdint>

// Stage preset: 0 "Studio", 1 "Concert Hall", 2 "Stadium"; any other value plays as 0.
// Start value 0. Written from the user-interface thread, read once per block.
extern std::atomic<int16_t> QBS_MOS_PRESET;

// Headroom shift applied to every input sample (start value 1; set by QBS_MOS_Init).
extern std::atomic<int16_t> QBS_MOS_Prescale;

// Feedback gains and tap gains the presets choose from (Q15).
inline constexpr int32_t Gain_LPF[11] = {0,     2130,  4260,  6390,  8520, 10650,
                                         12780, 14909, 17039, 19169, 21299};
inline constexpr int32_t Gain_Rev[11] = {0,    1638,  3277,  4915,  6554, 8192,
                                         9830, 11469, 13107, 14746, 16384};

// Delay lines, per channel, sized for 48000 Hz (rate factor 48); each pair shares a
// read/write index and a length in samples (rate factor times 15, 22, 8, 35, 30, 66 ms).
inline constexpr int32_t QBS_MOS_D1_Capacity = 720;
inline constexpr int32_t QBS_MOS_AP1_Capacity = 1056;
inline constexpr int32_t QBS_MOS_AP2_Capacity = 384;
inline constexpr int32_t QBS_MOS_AP3_Capacity = 1680;
inline constexpr int32_t QBS_MOS_AP4_Capacity = 1440;
inline constexpr int32_t QBS_MOS_AP5_Capacity = 3168;

extern int32_t L_D1_In_Buf[QBS_MOS_D1_Capacity], R_D1_In_Buf[QBS_MOS_D1_Capacity];
extern int32_t L_AP1_In_Buf[QBS_MOS_AP1_Capacity], R_AP1_In_Buf[QBS_MOS_AP1_Capacity];
extern int32_t L_AP2_In_Buf[QBS_MOS_AP2_Capacity], R_AP2_In_Buf[QBS_MOS_AP2_Capacity];
extern int32_t L_AP3_In_Buf[QBS_MOS_AP3_Capacity], R_AP3_In_Buf[QBS_MOS_AP3_Capacity];
extern int32_t L_AP4_In_Buf[QBS_MOS_AP4_Capacity], R_AP4_In_Buf[QBS_MOS_AP4_Capacity];
extern int32_t L_AP5_In_Buf[QBS_MOS_AP5_Capacity], R_AP5_In_Buf[QBS_MOS_AP5_Capacity];
extern int32_t D1_Index, AP1_Index, AP2_Index, AP3_Index, AP4_Index, AP5_Index;
extern int32_t Delay_D1, Delay_AP1, Delay_AP2, Delay_AP3, Delay_AP4, Delay_AP5;

// Stage outputs kept between frames, per channel; LPF_Out is the low-passed tail that
// feeds the other channel's pre-delay, LPF_Buf the low-pass memory.
extern int32_t L_D1_Out, L_AP1_Out, L_AP2_Out, L_AP3_Out, L_AP4_Out, L_AP5_Out, L_LPF_Out,
    L_LPF_Buf;
extern int32_t R_D1_Out, R_AP1_Out, R_AP2_Out, R_AP3_Out, R_AP4_Out, R_AP5_Out, R_LPF_Out,
    R_LPF_Buf;

// Sets the headroom shift (0, 1 or 2 are kept; anything else becomes 1), and before the
// next block empties every delay line, zeroes the indices and stage outputs, and sets the
// lengths for `rate` (8000, 11025, 16000, 22050, 32000, 48000 Hz; any other rate as
// 44100). QBS_MOS_PRESET is left as it is. Safe to call while the render thread is inside
// QBSt_MOS: the clearing is handed to the render thread, which does it at the start of its
// next block.
void QBS_MOS_Init(int16_t shift, int32_t rate);

// Processes one block of interleaved stereo samples; count is the number of 16-bit
// samples (twice the frames). `out` may be `in`.
void QBSt_MOS(int16_t* out, const int16_t* in, int32_t count);
