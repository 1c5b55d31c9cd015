#pragma once
// A source that serves 16-bit interleaved PCM at 44100 Hz from memory. It backs the
// memory reader for tests and an empty (0-byte) file, and never allocates while reading.

#include "platform/audiofile/AudioFileSource.h"

#include <vector>

class MemorySource final : public AudioFileSource {
public:
    static constexpr UInt32 kRate = 44100;

    // `samples` holds frames x `channels` (1 or 2) interleaved values.
    MemorySource(std::vector<int16_t> samples, UInt32 channels);

    AudioStreamBasicDescription fileDataFormat() const override;
    OSStatus setClientFormat(UInt32 rate, UInt32 channels) override;
    SInt64 lengthFrames() const override { return SInt64(samples_.size() / channels_); }
    OSStatus read(int16_t* out, UInt32 frames, UInt32* delivered) override;
    OSStatus seek(SInt64 frame) override;
    SInt64 tell() const override { return position_; }

private:
    std::vector<int16_t> samples_;
    UInt32 channels_;
    UInt32 clientChannels_;
    SInt64 position_ = 0;
};
