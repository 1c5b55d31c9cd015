#include "player/PlaybackTimeFormat.h"

#include <cmath>

namespace {

QString minutesSeconds(int64_t minutes, int64_t seconds)
{
    return QString::asprintf("%2d:%02d", int(minutes), int(seconds));
}

} // namespace

QString elapsedTimeText(int64_t position)
{
    const int64_t s = position / kPlayerFramesPerSecond;
    return minutesSeconds(s / 60, s % 60);
}

QString remainingTimeText(int64_t length, int64_t position)
{
    int64_t s = (length - position) / kPlayerFramesPerSecond;
    // The engine's position may run past the length; a negative count would print as
    // "-0:-1", so the label stops at zero.
    if (s < 0)
        s = 0;
    return QStringLiteral("-") + minutesSeconds(s / 60, s % 60);
}

QString songLengthText(double durationSeconds)
{
    const int64_t d = std::isfinite(durationSeconds) && durationSeconds > 0 ? int64_t(durationSeconds) : 0;
    return minutesSeconds(d / 60 - (d / 3600) * 60, d % 60);
}
