#include "platform/audiofile/MemorySource.h"

#include "platform/audiofile/ExtAudioFile.h"

#include <algorithm>
#include <cstring>

MemorySource::MemorySource(std::vector<int16_t> samples, UInt32 channels)
    : samples_(std::move(samples)), channels_(channels), clientChannels_(channels)
{
}

AudioStreamBasicDescription MemorySource::fileDataFormat() const
{
    return Int16InterleavedFormat(kRate, channels_);
}

OSStatus MemorySource::setClientFormat(UInt32 rate, UInt32 channels)
{
    // No resampler here: the memory reader stands for a file already at the engine's rate.
    if (rate != kRate)
        return kAudioFileUnsupportedDataFormatError;
    clientChannels_ = channels;
    position_ = 0;
    return noErr;
}

OSStatus MemorySource::read(int16_t* out, UInt32 frames, UInt32* delivered)
{
    const SInt64 count = std::min<SInt64>(frames, lengthFrames() - position_);
    *delivered = UInt32(count);
    if (count == 0)
        return noErr;
    const int16_t* in = samples_.data() + position_ * channels_;
    if (clientChannels_ == channels_) {
        std::memcpy(out, in, size_t(count) * channels_ * sizeof(int16_t));
    } else if (clientChannels_ == 2) { // one channel played on both sides
        for (SInt64 i = 0; i < count; ++i)
            out[2 * i] = out[2 * i + 1] = in[i];
    } else { // two channels folded into one: their mean, rounded
        for (SInt64 i = 0; i < count; ++i) {
            const int sum = in[2 * i] + in[2 * i + 1];
            out[i] = int16_t((sum + (sum >= 0 ? 1 : 0)) >> 1);
        }
    }
    position_ += count;
    return noErr;
}

OSStatus MemorySource::seek(SInt64 frame)
{
    position_ = std::min(frame, lengthFrames());
    return noErr;
}
