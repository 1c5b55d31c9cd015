#pragma once
// Varispeed for interleaved stereo float: plays the input at a rate from 0.5 to 2.0, so
// tempo and pitch change together, through a variable-rate resampler that glides to a new
// rate instead of jumping to it. At rate 1.0 with no change under way the input is passed
// through untouched, and the resampler is left out altogether.
//
// Hand-overs between pass-through and resampling keep the signal continuous: on the way in
// the resampler is primed with the most recent input and its output lined up with the next
// input frame; on the way out the input it still held back is replayed from where its last
// output stood.
//
// Everything, the resampler's own state included, is allocated by prepare(); entering,
// resampling, gliding, leaving and reset() allocate nothing and take no lock.

#include <cstddef>
#include <cstdint>
#include <vector>

struct SRC_STATE_tag;

class Varispeed {
public:
    // Fills `frames` frames of interleaved stereo input at `stereo`.
    using Pull = void (*)(void* context, float* stereo, uint32_t frames);

    static constexpr double kMinRate = 0.5;
    static constexpr double kMaxRate = 2.0;
    // Output frames over which the resampler glides from one rate to the next (about 46 ms).
    static constexpr size_t kGlideFrames = 2048;

    Varispeed();
    ~Varispeed();
    Varispeed(const Varispeed&) = delete;
    Varispeed& operator=(const Varispeed&) = delete;

    // Sizes every buffer for output blocks of up to maxFrames and creates the resampler;
    // never on the render thread. False when the resampler cannot be created.
    bool prepare(uint32_t maxFrames);
    bool prepared() const { return mResampler != nullptr; }

    // Back to pass-through with nothing held. Only while no render is in progress.
    void reset();

    // Writes exactly `frames` (at most the prepared size) output frames at `rate` (clamped to
    // 0.5..2.0), pulling input in blocks of `frames`. Render thread.
    void render(float* out, uint32_t frames, double rate, Pull pull, void* context);

    // Render thread, from inside the pull of render(): the rate steps to `rate` (no glide)
    // at input frame `offset` of the block being pulled, so the frames from there on play
    // at the new rate and those before it at the old one. The resampler's filter holds back
    // the last input it was fed, so the step is applied when its output reaches that input
    // frame, not when the frame is fed.
    void stepAt(double rate, uint32_t offset);

    // Render-thread view, for diagnostics and tests.
    bool resampling() const { return mResampling; }
    // Render thread: input frames pulled whose sound has not been delivered yet (held in
    // the resampler or made and waiting), so the next frame delivered stands that far back
    // from the last frame pulled.
    double heldInputFrames() const;

private:
    // Takes one pulled block: the input history, then the resampler or the FIFO, split at
    // a step scheduled during its pull.
    void consume(const float* in, size_t frames);
    void applyStep(double rate);
    void enter();
    void leave();
    void startGlide(double rate);
    void feed(const float* in, size_t frames);
    void remember(const float* in, size_t frames);
    void append(const float* in, size_t frames);
    void take(float* out, size_t frames);

    SRC_STATE_tag* mResampler = nullptr;
    bool mResampling = false;
    // Rates here are input frames per output frame; the resampler takes their inverse.
    double mTarget = 1.0;     // where the rate is going
    double mGlideFrom = 1.0;  // where the current glide started
    size_t mGlideLeft = 0;    // output frames until the glide reaches mTarget
    double mLastRatio = 0.0;  // the resampler's ratio after its last output (0: none yet)
    double mPosition = 0.0;   // input position of its next output, in frames fed since enter()
    double mFed = 0.0;        // input frames fed since enter()
    size_t mDiscard = 0;
    bool mStepPending = false;
    double mStepRate = 1.0;
    size_t mStepOffset = 0;
    // A step fed but not reached yet: the resampler keeps mSwitchFrom until its output
    // stands at input frame mSwitchAt (-1: none waits), then takes mTarget.
    double mSwitchAt = -1.0;
    double mSwitchFrom = 1.0;

    uint32_t mMaxFrames = 0;
    std::vector<float> mInput;   // one pulled block
    std::vector<float> mScratch; // resampler output of one feed
    std::vector<float> mFifo;    // produced, not yet delivered
    size_t mFifoCapacity = 0;    // frames
    size_t mFifoStart = 0;
    size_t mFifoFrames = 0;
    std::vector<float> mHistory; // ring of the latest input frames
    size_t mHistoryWrite = 0;
    size_t mHistoryFrames = 0;
};
