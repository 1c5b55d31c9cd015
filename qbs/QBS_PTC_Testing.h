// What the speed/pitch block exposes to its tests only; the player has no use for it.
#pragma once

#include <cstdint>

// Frames the block has thrown away since program start because its output queue was full.
// Render thread: read it only between blocks.
int64_t QBS_PTC_DroppedFrames();
