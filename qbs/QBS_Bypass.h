// QBS_Bypass: the plain pass-through, used whenever no effect is selected.
#pragma once

#include <cstdint>

// Headroom shift of the pass-through: 2, so that a bypassed block plays at the same
// 12 dB below the source as every effect. Nothing sets it; a value outside 0..15 is
// treated as 2.
extern int16_t QBS_BYPASS_Prescale;

// Copies one block of interleaved stereo samples, each shifted right (arithmetically) by
// QBS_BYPASS_Prescale. count is the number of 16-bit samples (twice the frames); only
// whole frames are processed. `out` may be `in`; the input is never written otherwise.
void QBS_BYPASS(int16_t* out, const int16_t* in, int32_t count);
