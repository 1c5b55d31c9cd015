#pragma once
// Output selection for tests: a capturing output that receives what the mixer renders, and
// a switch that keeps the graph off the audio server. Both apply at the next AUGraphStart
// of any graph.

#include "platform/audio/AUGraph.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Receives the mixer's output as 16-bit interleaved stereo at 44100 Hz (left first). With
// gain 0 dB and rate 1.0, a 16-bit client sample arrives here unchanged.
//
// Manual pacing: the test renders by calling pull() itself; the calling thread is then the
// render thread for the duration of the call. Free running: from AUGraphStart a thread of
// the capture pulls block after block with no pacing until the graph stops.
class AudioCaptureOutput {
public:
    enum class Pacing { Manual, FreeRunning };

    explicit AudioCaptureOutput(Pacing pacing = Pacing::Manual, UInt32 blockFrames = 1024,
                                size_t reserveFrames = 0);
    ~AudioCaptureOutput();
    AudioCaptureOutput(const AudioCaptureOutput&) = delete;
    AudioCaptureOutput& operator=(const AudioCaptureOutput&) = delete;

    // Manual pacing only: renders up to `frames` frames in blocks of at most blockFrames and
    // keeps them. Answers the frames rendered: fewer when the graph stops during the pull
    // (the block in which it stopped counts, the rest is not rendered), 0 when no graph is
    // running on this capture.
    size_t pull(size_t frames);

    // Free running: waits until the graph stops (true) or the time runs out (false).
    bool waitUntilStopped(double timeoutSeconds);

    // What was captured so far, interleaved, two samples per frame.
    std::vector<int16_t> samples() const;
    size_t frames() const;
    void clear();
    // With false, blocks are counted but not kept (for long runs).
    void setKeepSamples(bool keep);

    Pacing pacing() const { return mPacing; }
    UInt32 blockFrames() const { return mBlockFrames; }

    struct Impl;
    Impl* impl() const { return mImpl.get(); }

private:
    Pacing mPacing;
    UInt32 mBlockFrames;
    std::unique_ptr<Impl> mImpl;
};

// Installs the capture that the next started graph plays into; nullptr goes back to the
// normal output (audio server, or the null output).
void AudioOutputSetCapture(std::shared_ptr<AudioCaptureOutput> capture);

// With true, started graphs play into the null output paced in real time even where an
// audio server can be reached.
void AudioOutputForceNull(bool forceNull);

// Which output the running graph plays into: "pulse", "null", "capture", or "" when it is
// not running.
const char* AudioOutputActiveName(AUGraph graph);
