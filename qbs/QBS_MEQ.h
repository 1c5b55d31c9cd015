// QBS_MEQ: the seven-band graphic equalizer.
//
// Per channel, seven filters run side by side on the same shifted input: a first-order
// low shelf (band 0), five second-order peak bands (bands 1..5, rising in frequency) and a
// first-order high shelf (band 6). Each filter yields the part of the signal its band
// covers; the band's gain factor MEQ_MU scales it and the seven scaled parts are added to
// the dry signal. Coefficients (QBS_MEQ_Tables.h) are for 44100 Hz.
#pragma once

#include <atomic>
#include <cstdint>

// Gain index of each band, 0 (-12 dB) .. 24 (+12 dB), 12 = flat; start value 12.
// Written from the user-interface thread at any time; the render thread reads the seven
// gains once per frame, so both channels of a frame always use the same gains. A stored
// value outside 0..24 acts as the nearest of the two.
extern std::atomic<int16_t> QBS_MEQ_BAND[7];

// Headroom shift applied to every input sample (start value 1; set by QBS_MEQ_Init).
extern std::atomic<int16_t> QBS_MEQ_Prescale;

// Filter state, left (L_) and right (R_) channel, owned by the render thread.
// In_Buffer: shifted input one (word 0) and two (word 1) samples back.
// LPS_Temp / HPS_Temp: previous output of the low / high shelf.
// PKn_Buffer: peak band n's previous output (word 0) and the one before (word 1).
extern int32_t L_MEQ_In_Buffer[2], R_MEQ_In_Buffer[2];
extern int32_t L_MEQ_LPS_Temp, R_MEQ_LPS_Temp;
extern int32_t L_MEQ_HPS_Temp, R_MEQ_HPS_Temp;
extern int32_t L_MEQ_PK1_Buffer[2], L_MEQ_PK2_Buffer[2], L_MEQ_PK3_Buffer[2],
    L_MEQ_PK4_Buffer[2], L_MEQ_PK5_Buffer[2];
extern int32_t R_MEQ_PK1_Buffer[2], R_MEQ_PK2_Buffer[2], R_MEQ_PK3_Buffer[2],
    R_MEQ_PK4_Buffer[2], R_MEQ_PK5_Buffer[2];

// Sets the headroom shift (0, 1 or 2 are kept; anything else becomes 1) and clears the
// filter state of both channels before the next block. The rate is not used: the tables
// are for 44100 Hz. The band gains are left as they are. Safe to call while the render
// thread is inside QBSt_MEQ: the clearing is handed to the render thread, which does it
// at the start of its next block.
void QBS_MEQ_Init(int16_t shift, int32_t rate);

// Copies preset row `preset` (0..8; other values are clamped to that range) into
// QBS_MEQ_BAND, bands 0 to 6 in order. The filter state is not touched.
void QBS_MEQ_Set_Mode(int16_t preset);

// Equalizes one block of interleaved stereo samples; count is the number of 16-bit
// samples (twice the frames). `out` may be `in`.
void QBSt_MEQ(int16_t* out, const int16_t* in, int32_t count);
