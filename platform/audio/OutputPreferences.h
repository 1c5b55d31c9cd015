#pragma once
// The audio session's preference for the output's callback size: how much audio each
// request of the audio server asks for. Any thread; the playback stream reads it when it
// is made.

// Seconds; 0 (the start value) leaves the choice to the audio server.
void AudioOutputSetPreferredIOBufferDuration(double seconds);
double AudioOutputPreferredIOBufferDuration();
