#pragma once
// Runs one effect of the effects library block by block, set up the way the engine sets it
// up when a track opens and the effect is switched on.

#include "tools/qbs-render/RenderOptions.h"

#include <cstdint>

// Prepares the effect named in `options`: its Init with the shift and rate given, then its
// parameters (equalizer: preset, then bands; 3D stereo: levels; stage: preset; speed/pitch:
// QBS_PTC_Set and a second Init).
void prepareEffect(const RenderOptions& options);

// Runs the effect once over `count` samples (interleaved stereo, twice the frames) of `in`
// into `out`. The speed/pitch block leaves frames it does not deliver as they were.
void processBlock(const RenderOptions& options, int16_t* out, const int16_t* in, int32_t count);
