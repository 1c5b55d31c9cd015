#pragma once
// A stream description with operations of its own: the canonical formats of the engine
// (16-bit integer for the client side, 8.24 fixed point for the mixer's output) and a
// readable text for the diagnostic lines. It adds no data, so it is the same 40 bytes as
// the plain description and can be passed wherever one is expected.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <cstdio>
#include <string>

class CAStreamBasicDescription : public AudioStreamBasicDescription {
public:
    // Every field zero.
    CAStreamBasicDescription();
    CAStreamBasicDescription(const AudioStreamBasicDescription& description);
    CAStreamBasicDescription(double sampleRate, UInt32 formatID, UInt32 bytesPerPacket,
                             UInt32 framesPerPacket, UInt32 bytesPerFrame, UInt32 channelsPerFrame,
                             UInt32 bitsPerChannel, UInt32 formatFlags);

    CAStreamBasicDescription& operator=(const AudioStreamBasicDescription& description);

    // 16-bit signed packed linear PCM with `channels` channels: flags 12 interleaved (bytes
    // per packet and frame 2 x channels), 44 otherwise (2 bytes each). The sample rate is
    // left as it is.
    void SetCanonical(UInt32 channels, bool interleaved);
    // 8.24 fixed point in 32-bit words: flags 3084 interleaved (4 x channels bytes), 3116
    // otherwise (4 bytes). The sample rate is left as it is.
    void SetAUCanonical(UInt32 channels, bool interleaved);

    // Writes indent, label, a blank, the text of AsString and a newline.
    void PrintFormat(FILE* file, const char* indent, const char* label) const;
    // PrintFormat to standard output with no indent and the label "AudioStreamBasicDescription:".
    void Print() const;

    // The description as text: " 2 ch,  44100 Hz, 'lpcm' (0x0000000C) 16-bit little-endian
    // signed integer". Writes at most bufferSize bytes including the terminator; answers buffer.
    char* AsString(char* buffer, size_t bufferSize) const;
    std::string AsString() const;

    bool IsPCM() const { return mFormatID == kAudioFormatLinearPCM; }
    bool IsInterleaved() const { return (mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0; }
    bool IsFloat() const { return (mFormatFlags & kAudioFormatFlagIsFloat) != 0; }
    bool IsSignedInteger() const { return (mFormatFlags & kAudioFormatFlagIsSignedInteger) != 0; }
    bool IsBigEndian() const { return (mFormatFlags & kAudioFormatFlagIsBigEndian) != 0; }
    // Bits of the fixed-point fraction (24 for 8.24, 0 for plain integers).
    UInt32 FractionBits() const
    {
        return (mFormatFlags & kLinearPCMFormatFlagsSampleFractionMask) >> kLinearPCMFormatFlagsSampleFractionShift;
    }
    UInt32 NumberChannels() const { return mChannelsPerFrame; }
    // Buffers a buffer list in this format holds: one, or one per channel when non-interleaved.
    UInt32 NumberChannelStreams() const { return IsInterleaved() ? 1 : mChannelsPerFrame; }
    // Channels in each of those buffers.
    UInt32 NumberInterleavedChannels() const { return IsInterleaved() ? mChannelsPerFrame : 1; }
    // Bytes of one sample word, 0 when the description does not say.
    UInt32 SampleWordSize() const;
    UInt32 FramesToBytes(UInt32 frames) const { return frames * mBytesPerFrame; }
    UInt32 BytesToFrames(UInt32 bytes) const { return mBytesPerFrame ? bytes / mBytesPerFrame : 0; }

    // Field for field.
    bool operator==(const AudioStreamBasicDescription& other) const;
};
