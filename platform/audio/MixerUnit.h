#pragma once
// The 3D mixer: one input bus fed by a render callback in the client format (16-bit
// interleaved, 1 or 2 channels), varispeed playback rate, gain in decibels, and an output
// in 8.24 fixed point or 16-bit, always stereo at 44100 Hz.

#include "platform/audio/AudioUnitBase.h"
#include "platform/audio/Varispeed.h"

#include <atomic>
#include <vector>

class MixerUnit final : public OpaqueAudioUnit {
public:
    static constexpr UInt32 kMaxFramesPerSlice = 4096;

    MixerUnit();

    OSStatus setProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 dataSize) override;
    OSStatus getProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                         void* data, UInt32* dataSize) override;
    OSStatus setParameter(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value) override;
    OSStatus getParameter(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue* value) override;
    // The playback rate set by the input callback during its pull steps at that input frame.
    OSStatus setParameterAt(AudioUnitParameterID parameter, AudioUnitScope scope, AudioUnitElement element,
                            AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    OSStatus initialize() override;
    void uninitialize() override;
    const char* kindName() const override { return "3D mixer"; }

    // The callback that feeds input bus 0; not while the graph runs.
    void setInputCallback(const AURenderCallbackStruct& callback) { mCallback = callback; }
    const AURenderCallbackStruct& inputCallback() const { return mCallback; }

    // The output format until one is set: 8.24 fixed point, non-interleaved stereo.
    static AudioStreamBasicDescription DefaultOutputFormat();

    AudioStreamBasicDescription inputFormat() const;
    const AudioStreamBasicDescription& outputFormat() const { return mOutputFormat; }
    UInt32 busCount() const { return 1; }

    // Before the output starts pulling: forgets what the varispeed held.
    void prepareForStart();
    // Any thread: the varispeed forgets what it holds at the start of the next block.
    OSStatus reset() override;

    // Render thread: writes `frames` (at most kMaxFramesPerSlice) frames into `out`, a
    // buffer list laid out in the output format. With `keepPulling`, the input is pulled
    // only while it holds: at a rate away from 1.0 one block pulls the input several times,
    // and once the input callback has stopped the output (the end of a track) the rest of
    // the block is silence rather than further pulls, which would report the end again or
    // read on into whatever the callback's owner opens next.
    void render(UInt32 frames, AudioBufferList* out, const std::atomic<bool>* keepPulling = nullptr);

    // Render-thread view of the varispeed, for diagnostics and tests.
    bool resampling() const { return mVarispeed.resampling(); }
    // Render thread, between two renders: the input frame (counted as the input callback's
    // sample time counts) that the next output frame comes from.
    double inputPosition() const { return mSampleTime - mVarispeed.heldInputFrames(); }

private:
    static void PullInput(void* context, float* stereo, uint32_t frames);
    void pullInput(float* stereo, uint32_t frames);
    void writeOutput(UInt32 frames, AudioBufferList* out);

    AURenderCallbackStruct mCallback{};
    std::atomic<UInt32> mInputChannels{2};
    AudioStreamBasicDescription mOutputFormat{};

    std::atomic<float> mOutputGainDb{0.0f};
    std::atomic<float> mInputGainDb{0.0f};
    std::atomic<float> mPlaybackRate{1.0f};
    std::atomic<float> mAzimuth{0.0f};
    std::atomic<float> mElevation{0.0f};
    std::atomic<float> mDistance{1.0f};
    std::atomic<bool> mResetRequested{false};

    // Render-thread state.
    const std::atomic<bool>* mKeepPulling = nullptr; // during render() only
    Varispeed mVarispeed;
    std::vector<int16_t> mInputBlock;
    std::vector<float> mMix;
    float mGain = 1.0f;
    float mGainDbSeen = 0.0f; // sum of the two gains mGain was computed for
    double mSampleTime = 0.0;
};
