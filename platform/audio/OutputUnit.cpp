#include "platform/audio/OutputUnit.h"

#include "platform/audio/MixerUnit.h"
#include "platform/audio/OutputSelection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace {

thread_local const OutputUnit* tRenderingUnit = nullptr;

constexpr AudioStreamBasicDescription kDeviceFormat = Int16InterleavedFormat(OutputUnit::kSampleRate, 2);

bool SameFormat(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int16_t Fixed824ToInt16(int32_t value)
{
    // Round to the nearest 16-bit step; a value that came from 16 bits comes back unchanged.
    int32_t rounded = (value >> 9) + ((value >> 8) & 1);
    return static_cast<int16_t>(std::clamp(rounded, -32768, 32767));
}

} // namespace

OutputUnit::OutputUnit() = default;

OutputUnit::~OutputUnit()
{
    stop();
}

bool OutputUnit::OnRenderThread()
{
    return tRenderingUnit != nullptr;
}

OSStatus OutputUnit::setProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                 const void* data, UInt32 dataSize)
{
    switch (property) {
    case kAudioUnitProperty_StreamFormat: {
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        if (element != 0)
            return kAudioUnitErr_InvalidElement;
        AudioStreamBasicDescription format{};
        if (OSStatus status = ReadPropertyValue(data, dataSize, &format))
            return status;
        // The input follows the connected mixer, the output is the device's: both fixed.
        AudioStreamBasicDescription current{};
        UInt32 size = sizeof current;
        getProperty(property, scope, element, &current, &size);
        return SameFormat(format, current) ? noErr : kAudioUnitErr_FormatNotSupported;
    }
    case kAudioUnitProperty_ElementCount:
    case kAudioUnitProperty_MaximumFramesPerSlice:
        return kAudioUnitErr_PropertyNotWritable;
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus OutputUnit::getProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                                 void* data, UInt32* dataSize)
{
    switch (property) {
    case kAudioUnitProperty_StreamFormat: {
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        if (element != 0)
            return kAudioUnitErr_InvalidElement;
        if (scope == kAudioUnitScope_Output)
            return WritePropertyValue(kDeviceFormat, data, dataSize);
        return WritePropertyValue(mSource ? mSource->outputFormat() : MixerUnit::DefaultOutputFormat(), data,
                                  dataSize);
    }
    case kAudioUnitProperty_ElementCount:
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            return kAudioUnitErr_InvalidScope;
        return WritePropertyValue(UInt32(1), data, dataSize);
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        return WritePropertyValue(MixerUnit::kMaxFramesPerSlice, data, dataSize);
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus OutputUnit::initialize()
{
    if (mInitialized)
        return noErr;
    if (mSource == nullptr)
        return kAudioUnitErr_NoConnection;
    mLeft.assign(MixerUnit::kMaxFramesPerSlice * 2, 0);
    mRight.assign(MixerUnit::kMaxFramesPerSlice, 0);
    mListStorage.assign(sizeof(AudioBufferList) + sizeof(AudioBuffer), 0);
    mList = new (mListStorage.data()) AudioBufferList{};
    mInitialized = true;
    return noErr;
}

void OutputUnit::uninitialize()
{
    stop();
    mInitialized = false;
}

OSStatus OutputUnit::start()
{
    if (!mInitialized || mSource == nullptr || !mSource->isInitialized())
        return kAudioUnitErr_Uninitialized;
    if (tRenderingUnit == this)
        return kAudioUnitErr_CannotDoInCurrentContext; // would wait for its own render
    std::lock_guard lock(mControlMutex);
    if (mRunning.load())
        return noErr;
    if (mPaused) {
        // Going on where it stands: the mixer keeps what its varispeed holds, too.
        mPaused = false;
        mRunning.store(true);
        if (mBackend->resume())
            return noErr;
        mRunning.store(false);
    }
    // A render that stopped the unit itself may still be winding down.
    reapBackend();
    mSource->prepareForStart();
    // The mixer's sample time starts again at the next output frame.
    mTrail.add(mRendered.load(), 0, true);
    mRunning.store(true);
    mBackend = StartOutputBackend(*this);
    mActiveName.store(mBackend->name());
    return noErr;
}

OSStatus OutputUnit::stop()
{
    if (tRenderingUnit == this) {
        // From inside our own render: the backend winds down once this render returns.
        mRunning.store(false);
        return noErr;
    }
    std::lock_guard lock(mControlMutex);
    mRunning.store(false);
    reapBackend();
    return noErr;
}

OSStatus OutputUnit::pause()
{
    if (tRenderingUnit == this)
        return stop();
    std::lock_guard lock(mControlMutex);
    if (mPaused || !mRunning.load())
        return noErr;
    // The output stops pulling first, so no render sees the unit stopped and winds it down.
    if (mBackend && mBackend->pause()) {
        mPaused = true;
        mRunning.store(false);
        while (mActiveRenders.load() > 0)
            std::this_thread::yield();
        return noErr;
    }
    mRunning.store(false);
    reapBackend();
    return noErr;
}

OSStatus OutputUnit::reset()
{
    if (tRenderingUnit == this)
        return kAudioUnitErr_CannotDoInCurrentContext;
    std::lock_guard lock(mControlMutex);
    if (mBackend)
        mBackend->flush();
    return noErr;
}

bool OutputUnit::heardInputFrame(double* frame)
{
    if (tRenderingUnit == this)
        return false;
    std::lock_guard lock(mControlMutex);
    int64_t played = 0;
    if (!mBackend || !mBackend->playedFrames(mRendered, &played))
        return false;
    const std::optional<int64_t> input = mTrail.valueAt(played);
    if (input)
        *frame = double(*input);
    return input.has_value();
}

void OutputUnit::reapBackend()
{
    mPaused = false;
    if (mBackend) {
        mBackend->stop();
        mActiveName.store("");
        mBackend.reset();
    }
    // A render that got past its running check before the stop finishes here.
    while (mActiveRenders.load() > 0)
        std::this_thread::yield();
}

const char* OutputUnit::activeName() const
{
    const char* name = mActiveName.load();
    return mRunning.load() ? name : "";
}

OutputUnit::RenderOutcome OutputUnit::render(int16_t* out, UInt32 frames)
{
    mActiveRenders.fetch_add(1);
    if (!mRunning.load() || mSource == nullptr) {
        mRendered.fetch_add(frames, std::memory_order_relaxed);
        mActiveRenders.fetch_sub(1);
        std::memset(out, 0, size_t(frames) * 4);
        return RenderOutcome::NotRunning;
    }
    const OutputUnit* outer = tRenderingUnit;
    tRenderingUnit = this;

    const AudioStreamBasicDescription& format = mSource->outputFormat();
    bool nonInterleaved = (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0;
    UInt32 done = 0;
    while (done < frames) {
        if (!mRunning.load()) {
            // Stopped by the callback: what is left of this request is silence (inside a
            // chunk the mixer stops pulling at the same moment, see MixerUnit::render).
            std::memset(out + size_t(done) * 2, 0, size_t(frames - done) * 4);
            mRendered.fetch_add(frames - done, std::memory_order_relaxed);
            break;
        }
        UInt32 chunk = std::min(frames - done, MixerUnit::kMaxFramesPerSlice);
        int16_t* dst = out + size_t(done) * 2;
        if (format.mBitsPerChannel == 16) {
            mList->mNumberBuffers = 1;
            mList->mBuffers[0] = {2, chunk * 4, dst};
            mSource->render(chunk, mList, &mRunning);
        } else if (nonInterleaved) {
            mList->mNumberBuffers = 2;
            mList->mBuffers[0] = {1, chunk * 4, mLeft.data()};
            mList->mBuffers[1] = {1, chunk * 4, mRight.data()};
            mSource->render(chunk, mList, &mRunning);
            for (UInt32 i = 0; i < chunk; ++i) {
                dst[2 * i] = Fixed824ToInt16(mLeft[i]);
                dst[2 * i + 1] = Fixed824ToInt16(mRight[i]);
            }
        } else {
            mList->mNumberBuffers = 1;
            mList->mBuffers[0] = {2, chunk * 8, mLeft.data()};
            mSource->render(chunk, mList, &mRunning);
            for (UInt32 i = 0; i < 2 * chunk; ++i)
                dst[i] = Fixed824ToInt16(mLeft[i]);
        }
        done += chunk;
        mRendered.fetch_add(chunk, std::memory_order_relaxed);
        mTrail.add(mRendered.load(std::memory_order_relaxed), std::llround(mSource->inputPosition()));
    }

    tRenderingUnit = outer;
    bool running = mRunning.load();
    mActiveRenders.fetch_sub(1);
    return running ? RenderOutcome::Rendered : RenderOutcome::RenderedThenStopped;
}
