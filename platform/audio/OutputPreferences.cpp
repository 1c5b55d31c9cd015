#include "platform/audio/OutputPreferences.h"

#include <atomic>

namespace {
std::atomic<double> gPreferredIOBufferDuration{0.0};
}

void AudioOutputSetPreferredIOBufferDuration(double seconds)
{
    gPreferredIOBufferDuration.store(seconds > 0.0 ? seconds : 0.0);
}

double AudioOutputPreferredIOBufferDuration()
{
    return gPreferredIOBufferDuration.load();
}
