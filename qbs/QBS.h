// libQBS, the sound-effects library: one header for all five effect blocks.
//
// Every process function takes an output block, an input block and the number of 16-bit
// samples (interleaved stereo, left first, so twice the frames). The render thread calls
// exactly one of them per block; the parameter globals may be written from another thread
// at any time and take effect from the next frame or block.
#pragma once

#include "qbs/QBS_Bypass.h"
#include "qbs/QBS_MEQ.h"
#include "qbs/QBS_PTC.h"
#include "qbs/QBSt_M3D.h"
#include "qbs/QBSt_MOS.h"
