#pragma once
// Runs one effect of the effects library over a whole stereo signal, block by block, set up
// the way the engine sets it up when a track opens and the effect is switched on.

#include "tools/qbs-render/RenderOptions.h"

#include <cstdint>
#include <vector>

// Prepares the effect named in `options`: its Init with the shift and rate given, then its
// parameters (equalizer: preset, then bands; 3D stereo: levels; stage: preset; speed/pitch:
// QBS_PTC_Set and a second Init).
void prepareEffect(const RenderOptions& options);

// Processes interleaved stereo `samples` in blocks of `options.blockFrames` frames, in order,
// the last block with its own smaller count. Speed/pitch blocks start zero-filled, so frames
// that the block does not write come out as silence.
std::vector<int16_t> processBlocks(const RenderOptions& options, const std::vector<int16_t>& samples);
