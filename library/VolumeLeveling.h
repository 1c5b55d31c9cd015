#pragma once
// Volume leveling: the gain a song plays with, from its ReplayGain values and the
// "Volume Leveling" settings (VolumeLevelingKey, PreventClippingKey). Worked out on the
// controlling thread when a song is loaded, and handed to its reader (see ExtAudioFile.h).

#include "platform/media/MediaItemProperties.h"

#include <cstdint>

// Values of VolumeLevelingKey.
constexpr int kLevelingOff = 1;
constexpr int kLevelingTrack = 2;
constexpr int kLevelingAlbum = 3;

// The gain in 16.16 fixed point (65536 = unchanged). Album mode takes the album gain and
// peak, or the track's where the album has no gain; a song without a gain plays unchanged.
// With `preventClipping` the gain is lowered so that the tagged peak reaches at most full
// scale.
int32_t levelingGain(const ReplayGainValues& values, int levelingMode, bool preventClipping);
