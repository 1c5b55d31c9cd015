#include "library/VolumeLeveling.h"

#include <algorithm>
#include <cmath>

int32_t levelingGain(const ReplayGainValues& values, int levelingMode, bool preventClipping)
{
    constexpr int32_t kUnity = 1 << 16;
    if (levelingMode != kLevelingTrack && levelingMode != kLevelingAlbum)
        return kUnity;
    const bool album = levelingMode == kLevelingAlbum && values.albumGain != ReplayGainValues::kNoGain;
    const int16_t gain = album ? values.albumGain : values.trackGain;
    const uint16_t peak = album ? values.albumPeak : values.trackPeak;
    if (gain == ReplayGainValues::kNoGain)
        return kUnity;
    double factor = std::pow(10.0, gain / 2000.0);  // hundredths of a dB
    if (preventClipping && peak > 0)
        factor = std::min(factor, 10000.0 / peak);
    // The tags allow up to +60 dB; 16.16 holds well over that.
    return int32_t(std::lround(std::clamp(factor, 0.0, 32767.0) * kUnity));
}
