#pragma once
// The output unit: takes the mixer's output and plays it as 16-bit interleaved stereo at
// 44100 Hz through the chosen output (audio server, null output or a test's capture), and
// owns the running state with the start and stop hand-shake.

#include "platform/audio/AudioUnitBase.h"
#include "platform/audio/OutputBackend.h"
#include "platform/audio/PositionTrail.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class MixerUnit;

class OutputUnit final : public OpaqueAudioUnit {
public:
    static constexpr double kSampleRate = 44100.0;

    OutputUnit();
    ~OutputUnit() override;

    OSStatus setProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 dataSize) override;
    OSStatus getProperty(AudioUnitPropertyID property, AudioUnitScope scope, AudioUnitElement element,
                         void* data, UInt32* dataSize) override;
    OSStatus initialize() override;
    void uninitialize() override;
    const char* kindName() const override { return "output unit"; }

    void connect(MixerUnit* source) { mSource = source; }
    MixerUnit* source() const { return mSource; }

    // Controlling thread. start() picks the output and starts it pulling, or lets a paused
    // output go on where it stands; stop() from the render thread only marks the unit
    // stopped, from any other thread it also waits until no render is in progress and
    // releases the output. pause() is stop() for an output that can hold its place (the
    // audio server's stream is corked): what it has buffered plays after the next start().
    OSStatus start();
    OSStatus stop();
    OSStatus pause();
    // Drops what the output has buffered and not played yet (any controlling thread).
    OSStatus reset() override;
    // Controlling thread: the mixer's input frame (its callback's sample time) whose sound
    // is being played now, from what the output has played of what it rendered. False
    // while nothing was rendered since the start or the output cannot tell.
    bool heardInputFrame(double* frame);
    bool isRunning() const { return mRunning.load(); }
    const char* activeName() const;

    enum class RenderOutcome {
        NotRunning,         // nothing rendered, out holds silence
        Rendered,           // out holds the frames, keep pulling
        RenderedThenStopped // out holds the frames (silence after the stop); wind down
    };
    // Called by the backends: renders `frames` frames as 16-bit interleaved stereo into out.
    RenderOutcome render(int16_t* out, UInt32 frames);

    // True on the thread that is inside render() of any output unit.
    static bool OnRenderThread();

private:
    void reapBackend();

    MixerUnit* mSource = nullptr;
    // Set by start() and cleared by stop() on a controlling thread, or by the input callback
    // on the render thread; read by render() and, during it, by the mixer's input pulls.
    std::atomic<bool> mRunning{false};
    std::atomic<int> mActiveRenders{0};

    std::mutex mControlMutex; // start/stop/pause/reset/reap, never taken on the render thread
    std::unique_ptr<OutputBackend> mBackend;
    bool mPaused = false; // mBackend holds its place (under mControlMutex)
    std::atomic<const char*> mActiveName{""};
    // Output frames rendered since the unit was made (render thread; read by
    // heardInputFrame), and after each rendered piece the mixer input frame that the next
    // output frame comes from.
    std::atomic<int64_t> mRendered{0};
    PositionTrail mTrail;

    // Render-thread buffers in the mixer's output format.
    std::vector<int32_t> mLeft;
    std::vector<int32_t> mRight;
    AudioBufferList* mList = nullptr;
    std::vector<unsigned char> mListStorage;
};
