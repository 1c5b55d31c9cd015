#include "platform/audio/MixerUnit.h"

#include <chrono>
#include <cmath>
#include <cstring>

namespace {

// The mixer whose input callback runs on this thread right now (render thread).
thread_local const MixerUnit* tPullingMixer = nullptr;

constexpr double kSampleRate = 44100.0;
constexpr float kMinGainDb = -120.0f;
constexpr float kMaxGainDb = 20.0f;
constexpr UInt32 kFixed824Flags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked
                                 | (24u << kLinearPCMFormatFlagsSampleFractionShift);

AudioStreamBasicDescription Fixed824Format(bool interleaved)
{
    UInt32 bytes = interleaved ? 8 : 4;
    return {kSampleRate, kAudioFormatLinearPCM,
            kFixed824Flags | (interleaved ? 0u : kAudioFormatFlagIsNonInterleaved), bytes, 1, bytes, 2, 32, 0};
}

bool SameLayout(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b)
{
    return a.mSampleRate == b.mSampleRate && a.mFormatID == b.mFormatID && a.mFormatFlags == b.mFormatFlags
        && a.mBytesPerPacket == b.mBytesPerPacket && a.mFramesPerPacket == b.mFramesPerPacket
        && a.mBytesPerFrame == b.mBytesPerFrame && a.mChannelsPerFrame == b.mChannelsPerFrame
        && a.mBitsPerChannel == b.mBitsPerChannel;
}

// The input bus takes 16-bit interleaved linear PCM at 44100 Hz with 1 or 2 channels.
bool AcceptableInput(const AudioStreamBasicDescription& format)
{
    UInt32 channels = format.mChannelsPerFrame;
    return (channels == 1 || channels == 2) && SameLayout(format, Int16InterleavedFormat(kSampleRate, channels));
}

// The output is stereo 44100 Hz: 8.24 fixed point in either layout, or 16-bit interleaved.
bool AcceptableOutput(const AudioStreamBasicDescription& format)
{
    return SameLayout(format, Fixed824Format(false)) || SameLayout(format, Fixed824Format(true))
        || SameLayout(format, Int16InterleavedFormat(kSampleRate, 2));
}

float DbToLinear(float db)
{
    return std::pow(10.0f, db / 20.0f);
}

int32_t ToFixed824(float sample)
{
    // 2^24 is one; keep clear of the int32 limits (+20 dB of full scale is only 10.0).
    float scaled = sample * 16777216.0f;
    scaled = std::fmin(std::fmax(scaled, -2147483520.0f), 2147483520.0f);
    return static_cast<int32_t>(std::lrint(scaled));
}

int16_t ToInt16(float sample)
{
    float scaled = std::fmin(std::fmax(sample * 32768.0f, -32768.0f), 32767.0f);
    return static_cast<int16_t>(std::lrint(scaled));
}

} // namespace

MixerUnit::MixerUnit()
    : mOutputFormat(DefaultOutputFormat())
{
}

AudioStreamBasicDescription MixerUnit::DefaultOutputFormat()
{
    return Fixed824Format(false);
}

AudioStreamBasicDescription MixerUnit::inputFormat() const
{
    return Int16InterleavedFormat(kSampleRate, mInputChannels.load(std::memory_order_relaxed));
}

OSStatus MixerUnit::setProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                const void* data, UInt32 dataSize)
{
    switch (property) {
    case kAudioUnitProperty_ElementCount: {
        if (scope == kAudioUnitScope_Output)
            return kAudioUnitErr_PropertyNotWritable;
        if (scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidScope;
        UInt32 count = 0;
        if (OSStatus status = ReadPropertyValue(data, dataSize, &count))
            return status;
        // One bus is all this mixer has; asking for one is fine.
        return count == busCount() ? noErr : kAudioUnitErr_InvalidPropertyValue;
    }
    case kAudioUnitProperty_StreamFormat: {
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        if (element >= (scope == kAudioUnitScope_Input ? busCount() : 1u))
            return kAudioUnitErr_InvalidElement;
        AudioStreamBasicDescription format{};
        if (OSStatus status = ReadPropertyValue(data, dataSize, &format))
            return status;
        if (scope == kAudioUnitScope_Input) {
            if (!AcceptableInput(format))
                return kAudioUnitErr_FormatNotSupported;
            // Takes effect at the next block, also while playing.
            mInputChannels.store(format.mChannelsPerFrame, std::memory_order_relaxed);
            return noErr;
        }
        if (!AcceptableOutput(format))
            return kAudioUnitErr_FormatNotSupported;
        if (mInitialized && !SameLayout(format, mOutputFormat))
            return kAudioUnitErr_Initialized;
        mOutputFormat = format;
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        return kAudioUnitErr_PropertyNotWritable;
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus MixerUnit::getProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                void* data, UInt32* dataSize)
{
    switch (property) {
    case kAudioUnitProperty_ElementCount:
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        return WritePropertyValue(UInt32(scope == kAudioUnitScope_Input ? busCount() : 1), data, dataSize);
    case kAudioUnitProperty_StreamFormat:
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        if (element >= (scope == kAudioUnitScope_Input ? busCount() : 1u))
            return kAudioUnitErr_InvalidElement;
        return WritePropertyValue(scope == kAudioUnitScope_Input ? inputFormat() : mOutputFormat, data, dataSize);
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        return WritePropertyValue(kMaxFramesPerSlice, data, dataSize);
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus MixerUnit::setParameter(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                                 AudioUnitParameterValue value)
{
    if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidScope;
    if (element >= (scope == kAudioUnitScope_Input ? busCount() : 1u))
        return kAudioUnitErr_InvalidElement;
    if (!std::isfinite(value))
        return kAudioUnitErr_InvalidParameter;
    switch (parameter) {
    case k3DMixerParam_Gain:
        if (value < kMinGainDb || value > kMaxGainDb)
            return kAudioUnitErr_InvalidParameter;
        (scope == kAudioUnitScope_Output ? mOutputGainDb : mInputGainDb).store(value, std::memory_order_relaxed);
        return noErr;
    case k3DMixerParam_PlaybackRate:
        if (scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidScope;
        if (value < Varispeed::kMinRate || value > Varispeed::kMaxRate)
            return kAudioUnitErr_InvalidParameter;
        mPlaybackRate.store(value, std::memory_order_relaxed);
        return noErr;
    case k3DMixerParam_Azimuth:
    case k3DMixerParam_Elevation:
    case k3DMixerParam_Distance:
        if (scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidScope;
        (parameter == k3DMixerParam_Azimuth     ? mAzimuth
         : parameter == k3DMixerParam_Elevation ? mElevation
                                                : mDistance)
            .store(value, std::memory_order_relaxed);
        return noErr;
    default:
        return kAudioUnitErr_InvalidParameter;
    }
}

OSStatus MixerUnit::getParameter(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                                 AudioUnitParameterValue* value)
{
    if (value == nullptr)
        return kAudio_ParamError;
    if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
        return kAudioUnitErr_InvalidScope;
    if (element >= (scope == kAudioUnitScope_Input ? busCount() : 1u))
        return kAudioUnitErr_InvalidElement;
    switch (parameter) {
    case k3DMixerParam_Gain:
        *value = (scope == kAudioUnitScope_Output ? mOutputGainDb : mInputGainDb).load(std::memory_order_relaxed);
        return noErr;
    case k3DMixerParam_PlaybackRate:
    case k3DMixerParam_Azimuth:
    case k3DMixerParam_Elevation:
    case k3DMixerParam_Distance:
        if (scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidScope;
        *value = (parameter == k3DMixerParam_PlaybackRate ? mPlaybackRate
                  : parameter == k3DMixerParam_Azimuth    ? mAzimuth
                  : parameter == k3DMixerParam_Elevation  ? mElevation
                                                          : mDistance)
                     .load(std::memory_order_relaxed);
        return noErr;
    default:
        return kAudioUnitErr_InvalidParameter;
    }
}

OSStatus MixerUnit::initialize()
{
    if (mInitialized)
        return noErr;
    if (!mVarispeed.prepare(kMaxFramesPerSlice))
        return kAudioUnitErr_FormatNotSupported;
    mInputBlock.assign(size_t(kMaxFramesPerSlice) * 2, 0);
    mMix.assign(size_t(kMaxFramesPerSlice) * 2, 0.0f);
    mInitialized = true;
    return noErr;
}

void MixerUnit::uninitialize()
{
    mInitialized = false;
}

void MixerUnit::prepareForStart()
{
    mVarispeed.reset();
    mSampleTime = 0.0;
    mGainDbSeen = mOutputGainDb.load() + mInputGainDb.load();
    mGain = DbToLinear(mGainDbSeen);
}

OSStatus MixerUnit::setParameterAt(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                                   AudioUnitParameterValue value, UInt32 bufferOffsetInFrames)
{
    const OSStatus status = setParameter(parameter, scope, element, value);
    // Only the render thread inside this mixer's own pull gets here with tPullingMixer set.
    if (status == noErr && parameter == k3DMixerParam_PlaybackRate && tPullingMixer == this)
        mVarispeed.stepAt(value, bufferOffsetInFrames);
    return status;
}

OSStatus MixerUnit::reset()
{
    mResetRequested.store(true, std::memory_order_release);
    return noErr;
}

void MixerUnit::PullInput(void* context, float* stereo, uint32_t frames)
{
    static_cast<MixerUnit*>(context)->pullInput(stereo, frames);
}

void MixerUnit::pullInput(float* stereo, uint32_t frames)
{
    if (mKeepPulling != nullptr && !mKeepPulling->load(std::memory_order_acquire)) {
        std::memset(stereo, 0, size_t(frames) * 2 * sizeof(float));
        return;
    }
    UInt32 channels = mInputChannels.load(std::memory_order_relaxed);
    AudioBufferList list{};
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = channels;
    list.mBuffers[0].mDataByteSize = frames * 2 * channels;
    list.mBuffers[0].mData = mInputBlock.data();

    AudioTimeStamp stamp{};
    stamp.mSampleTime = mSampleTime;
    stamp.mHostTime = UInt64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
    stamp.mRateScalar = 1.0;
    stamp.mFlags = kAudioTimeStampSampleTimeValid | kAudioTimeStampHostTimeValid;
    mSampleTime += frames;

    AudioUnitRenderActionFlags flags = 0;
    OSStatus status = kAudioUnitErr_NoConnection;
    if (mCallback.inputProc) {
        const MixerUnit* outer = tPullingMixer;
        tPullingMixer = this;
        status = mCallback.inputProc(mCallback.inputProcRefCon, &flags, &stamp, 0, frames, &list);
        tPullingMixer = outer;
    }
    if (status != noErr) {
        std::memset(stereo, 0, size_t(frames) * 2 * sizeof(float));
        return;
    }
    // 16-bit samples scale into float exactly, so unit gain gives them back bit for bit.
    constexpr float kScale = 1.0f / 32768.0f;
    const int16_t* in = mInputBlock.data();
    if (channels == 1) {
        for (uint32_t i = 0; i < frames; ++i)
            stereo[2 * i] = stereo[2 * i + 1] = in[i] * kScale;
    } else {
        for (uint32_t i = 0; i < 2 * frames; ++i)
            stereo[i] = in[i] * kScale;
    }
}

void MixerUnit::render(UInt32 frames, AudioBufferList* out, const std::atomic<bool>* keepPulling)
{
    mKeepPulling = keepPulling;
    if (mResetRequested.exchange(false, std::memory_order_acq_rel))
        mVarispeed.reset();
    mVarispeed.render(mMix.data(), frames, mPlaybackRate.load(std::memory_order_relaxed), &PullInput, this);
    mKeepPulling = nullptr;

    // A gain change glides across one block instead of stepping.
    float gainDb = mOutputGainDb.load(std::memory_order_relaxed) + mInputGainDb.load(std::memory_order_relaxed);
    float from = mGain;
    if (gainDb != mGainDbSeen) {
        mGainDbSeen = gainDb;
        mGain = DbToLinear(gainDb);
    }
    float to = mGain;
    if (from != to) {
        float step = (to - from) / float(frames);
        for (UInt32 i = 0; i < frames; ++i) {
            float g = from + step * float(i + 1);
            mMix[2 * i] *= g;
            mMix[2 * i + 1] *= g;
        }
    } else if (to != 1.0f) {
        for (UInt32 i = 0; i < 2 * frames; ++i)
            mMix[i] *= to;
    }
    writeOutput(frames, out);
}

void MixerUnit::writeOutput(UInt32 frames, AudioBufferList* out)
{
    const float* mix = mMix.data();
    if (mOutputFormat.mBitsPerChannel == 16) {
        auto* dst = static_cast<int16_t*>(out->mBuffers[0].mData);
        for (UInt32 i = 0; i < 2 * frames; ++i)
            dst[i] = ToInt16(mix[i]);
        out->mBuffers[0].mDataByteSize = frames * 4;
    } else if (mOutputFormat.mFormatFlags & kAudioFormatFlagIsNonInterleaved) {
        auto* left = static_cast<int32_t*>(out->mBuffers[0].mData);
        auto* right = static_cast<int32_t*>(out->mBuffers[1].mData);
        for (UInt32 i = 0; i < frames; ++i) {
            left[i] = ToFixed824(mix[2 * i]);
            right[i] = ToFixed824(mix[2 * i + 1]);
        }
        out->mBuffers[0].mDataByteSize = out->mBuffers[1].mDataByteSize = frames * 4;
    } else {
        auto* dst = static_cast<int32_t*>(out->mBuffers[0].mData);
        for (UInt32 i = 0; i < 2 * frames; ++i)
            dst[i] = ToFixed824(mix[i]);
        out->mBuffers[0].mDataByteSize = frames * 8;
    }
}
