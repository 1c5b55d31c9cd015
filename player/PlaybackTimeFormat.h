#pragma once
// The time texts of the player screen. Positions and lengths are frames at 44100 per
// second; times are whole seconds, truncated toward zero, and the minute field is two
// characters wide, padded with a space (5 s shows as " 0:05").

#include <QString>

#include <cstdint>

constexpr int64_t kPlayerFramesPerSecond = 44100;

// Elapsed time "%2d:%02d" of a position; minutes are not wrapped at 60.
QString elapsedTimeText(int64_t position);
// Remaining time "-%2d:%02d" of a track of `length` frames at `position`. A position up
// to one block past the end (the engine counts requested frames) shows as "- 0:00".
QString remainingTimeText(int64_t length, int64_t position);
// The length shown when a song is chosen, from its duration in seconds: "%2d:%02d" with
// the hours dropped (minutes modulo 60).
QString songLengthText(double durationSeconds);
