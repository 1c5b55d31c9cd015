// QBSt_M3D: the 3D stereo widener.
//
// Each frame is split into a sum (centre) and a difference (side) signal; each is shaped
// by a fixed seventh-order recursive filter and the two are recombined as left and right.
// The surround level cross-fades from the plain input to the widened signal; the bass
// level adds a low-frequency boost and a slight cut around 400 Hz, taken from the sum
// signal and added equally to both channels. Coefficients (QBSt_M3D_Tables.h) are for
// 44100 Hz.
#pragma once

#include <atomic>
#include <cstdint>

// Surround level 0..10 (start value 10) and bass level 0..10 (start value 2). Written
// from the user-interface thread at any time and read once per frame; a stored value
// outside 0..10 acts as the nearest of the two.
extern std::atomic<int16_t> QBS_M3D_SURR;
extern std::atomic<int16_t> QBS_M3D_BASS;

// Headroom shift applied to every input sample (start value 1; set by QBS_M3D_Init).
extern std::atomic<int16_t> QBS_M3D_Prescale;

// Filter state, owned by the render thread. H_x: input history (word k = k frames back,
// word 0 the current sample), E_x: output history, L for the sum filter, R for the
// difference filter. IP: sum sample one and two frames back for the bass filters; PK: the
// bass band-pass outputs one and two frames back; S: the bass low-pass's previous output.
extern int32_t QBS_M3D_H_L[8], QBS_M3D_E_L[8];
extern int32_t QBS_M3D_H_R[8], QBS_M3D_E_R[8];
extern int32_t QBS_M3D_IP[2], QBS_M3D_PK[2], QBS_M3D_S;

// Sets the headroom shift (0, 1 or 2 are kept; anything else becomes 1) and clears the
// filter state before the next block. The rate is not used. The levels are left as they
// are. Safe to call while the render thread is inside QBSt_M3D: the clearing is handed to
// the render thread, which does it at the start of its next block.
void QBS_M3D_Init(int16_t shift, int32_t rate);

// Widens one block of interleaved stereo samples; count is the number of 16-bit samples
// (twice the frames). `out` may be `in`.
void QBSt_M3D(int16_t* out, const int16_t* in, int32_t count);
