#pragma once
// What a reader reference is backed by: a decoded file or PCM held in memory. Positions and
// lengths are in client frames; output is 16-bit signed interleaved at the client rate.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <cstdint>

class AudioFileSource {
public:
    virtual ~AudioFileSource() = default;

    // The file's own format, as the FileDataFormat property reports it.
    virtual AudioStreamBasicDescription fileDataFormat() const = 0;

    // Switches the output to `channels` (1 or 2) at `rate` Hz and moves to client frame 0.
    // All buffers reads need are sized here.
    virtual OSStatus setClientFormat(UInt32 rate, UInt32 channels) = 0;

    // Frames that reads deliver from client frame 0 to the end.
    virtual SInt64 lengthFrames() const = 0;

    // Writes up to `frames` client frames to `out`; *delivered = frames written. 0 frames
    // with noErr means the end.
    virtual OSStatus read(int16_t* out, UInt32 frames, UInt32* delivered) = 0;

    // Moves to client frame `frame` (>= 0; at or past the length means the end).
    virtual OSStatus seek(SInt64 frame) = 0;

    virtual SInt64 tell() const = 0;
};
