#include "platform/audio/Varispeed.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kHistoryFrames = 2048;
// During a glide the resampler is asked for this many output frames at a time, each
// stretch ending on the rate the glide has reached there (it interpolates within one).
constexpr size_t kGlideStepFrames = 64;
// At 2.0 one output block takes two input blocks, a few more while the glide catches up.
constexpr int kMaxPullsPerBlock = 8;

} // namespace

Varispeed::Varispeed() = default;

Varispeed::~Varispeed()
{
    if (mResampler)
        src_delete(mResampler);
}

bool Varispeed::prepare(uint32_t maxFrames)
{
    if (mResampler && maxFrames <= mMaxFrames) {
        reset();
        return true;
    }
    if (mResampler) {
        src_delete(mResampler);
        mResampler = nullptr;
    }
    // The band-limited sinc filter allocates its whole buffer here, sized for any ratio the
    // library allows; processing and resetting it later allocate nothing.
    int error = 0;
    mResampler = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &error);
    if (error || !mResampler) {
        if (mResampler)
            src_delete(mResampler);
        mResampler = nullptr;
        return false;
    }

    mMaxFrames = maxFrames;
    mInput.assign(size_t(maxFrames) * 2, 0.0f);
    // One feed of maxFrames at the slowest rate, plus a margin.
    size_t scratchFrames = size_t(maxFrames / kMinRate) + 4096;
    mScratch.assign(scratchFrames * 2, 0.0f);
    mFifoCapacity = size_t(maxFrames) + scratchFrames + kHistoryFrames;
    mFifo.assign(mFifoCapacity * 2, 0.0f);
    mHistory.assign(kHistoryFrames * 2, 0.0f);
    reset();
    return true;
}

void Varispeed::reset()
{
    if (mResampler)
        src_reset(mResampler);
    mResampling = false;
    mTarget = mGlideFrom = 1.0;
    mGlideLeft = 0;
    mLastRatio = 0.0;
    mPosition = mFed = 0.0;
    mDiscard = 0;
    mStepPending = false;
    mSwitchAt = -1.0;
    mFifoStart = mFifoFrames = 0;
    mHistoryWrite = mHistoryFrames = 0;
}

void Varispeed::render(float* out, uint32_t frames, double rate, Pull pull, void* context)
{
    rate = std::clamp(rate, kMinRate, kMaxRate);
    if (!mResampling && rate != 1.0)
        enter();
    // While primed output is still being dropped the rate stays at 1.0: a glide would
    // already move the dropped part and shift the rest. A step on its way is not
    // disturbed either.
    if (mResampling && mDiscard == 0 && mSwitchAt < 0.0) {
        if (rate != mTarget)
            startGlide(rate);
        else if (rate == 1.0 && mGlideLeft == 0)
            leave();
    }

    size_t first = 0; // output frames already in place
    if (!mResampling && mFifoFrames == 0) {
        // The exact path: the input goes straight to the output.
        pull(context, out, frames);
        if (!mStepPending) {
            remember(out, frames);
            return;
        }
        // The rate steps inside this block: the frames before the step are in place, the
        // rest goes the way of the new rate.
        first = std::min<size_t>(mStepOffset, frames);
        mStepOffset = first;
        std::memcpy(mInput.data(), out, size_t(frames) * 2 * sizeof(float));
        consume(mInput.data(), frames);
        // consume() queued all of the block; what was delivered in place is not wanted again.
        const size_t drop = std::min(first, mFifoFrames);
        mFifoStart += drop;
        mFifoFrames -= drop;
    }
    const size_t wanted = frames - first;
    for (int pulls = 0; mFifoFrames < wanted; ++pulls) {
        if (pulls == kMaxPullsPerBlock) {
            // The resampler makes nothing of its input (it failed): silence rather than
            // pulling for ever on the render thread.
            std::memset(out + first * 2, 0, wanted * 2 * sizeof(float));
            return;
        }
        pull(context, mInput.data(), frames);
        consume(mInput.data(), frames);
    }
    take(out + first * 2, wanted);
}

double Varispeed::heldInputFrames() const
{
    if (!mResampling)
        return double(mFifoFrames); // pass-through: a waiting frame is an input frame
    // What the filter holds back, and what it made that waits, at the rate it was made at.
    const double rate = mLastRatio > 0.0 ? 1.0 / mLastRatio : mTarget;
    return std::max(0.0, mFed - mPosition) + double(mFifoFrames) * rate;
}

void Varispeed::stepAt(double rate, uint32_t offset)
{
    mStepPending = true;
    mStepRate = std::clamp(rate, kMinRate, kMaxRate);
    mStepOffset = offset;
}

void Varispeed::consume(const float* in, size_t frames)
{
    const size_t split = mStepPending ? std::min(mStepOffset, frames) : frames;
    remember(in, split);
    if (mResampling)
        feed(in, split);
    else
        append(in, split);
    if (!mStepPending)
        return;
    mStepPending = false;
    applyStep(mStepRate);
    remember(in + split * 2, frames - split);
    if (mResampling)
        feed(in + split * 2, frames - split);
    else
        append(in + split * 2, frames - split);
}

void Varispeed::applyStep(double rate)
{
    // Entering primes the resampler with the input up to the step, so its next output is
    // the frame at the step.
    if (!mResampling && rate != 1.0)
        enter();
    if (!mResampling)
        return;
    // The filter has made output only up to a little short of the input fed so far: the
    // rest of the input before the step still comes out at the rate it stands at now, and
    // feed() changes the ratio once the output reaches the step.
    mSwitchFrom = mLastRatio > 0.0 ? 1.0 / mLastRatio : mTarget;
    mSwitchAt = mFed;
    mTarget = mGlideFrom = rate;
    mGlideLeft = 0;
}

void Varispeed::enter()
{
    // Resetting clears the filter's buffer in place; it frees nothing.
    src_reset(mResampler);
    mLastRatio = 0.0;
    mSwitchAt = -1.0;
    mPosition = mFed = 0.0;
    mTarget = mGlideFrom = 1.0;
    mGlideLeft = 0;
    mResampling = true;

    // Prime with the recent input and drop the output that belongs to it, so that the next
    // frame out is the one after the last frame already delivered (the filter is centred:
    // its output frame n stands at input frame n).
    mDiscard = mHistoryFrames;
    size_t oldest = (mHistoryWrite + kHistoryFrames - mHistoryFrames) % kHistoryFrames;
    size_t first = std::min(mHistoryFrames, kHistoryFrames - oldest);
    feed(&mHistory[oldest * 2], first);
    if (mHistoryFrames > first)
        feed(&mHistory[0], mHistoryFrames - first);
}

void Varispeed::startGlide(double rate)
{
    // From wherever the rate stands now, also in the middle of another glide.
    mGlideFrom = mLastRatio > 0.0 ? 1.0 / mLastRatio : mTarget;
    mTarget = rate;
    mGlideLeft = kGlideFrames;
}

void Varispeed::leave()
{
    // The resampler's next output would stand at input frame mPosition; everything it was
    // fed from there on is still held back inside it. Replay that input instead, from the
    // nearest whole frame, and forget the resampler.
    size_t held = size_t(std::max(0.0, std::round(mFed - mPosition)));
    size_t replay = std::min(held, mHistoryFrames);
    for (size_t i = replay; i > 0; --i) {
        size_t index = (mHistoryWrite + kHistoryFrames - i) % kHistoryFrames;
        append(&mHistory[index * 2], 1);
    }
    mResampling = false;
    mTarget = mGlideFrom = 1.0;
}

void Varispeed::feed(const float* in, size_t frames)
{
    mFed += double(frames);
    // The resampler takes what input it has room for and makes output as far as that input
    // reaches; keep asking until it does neither.
    for (;;) {
        size_t room = std::min(mScratch.size() / 2, mFifoCapacity - mFifoFrames + mDiscard);
        double rate = mTarget;
        if (mSwitchAt >= 0.0) {
            // Output frames until the one that stands at the step, at the old rate.
            const double left = std::ceil((mSwitchAt - mPosition) / mSwitchFrom - 1e-9);
            if (left <= 0.0) {
                mSwitchAt = -1.0;
                src_set_ratio(mResampler, 1.0 / mTarget);
                mLastRatio = 1.0 / mTarget;
                continue;
            }
            rate = mSwitchFrom;
            room = std::min(room, size_t(left));
        } else if (mGlideLeft > 0) {
            room = std::min({room, kGlideStepFrames, mGlideLeft});
            size_t reached = kGlideFrames - mGlideLeft + room;
            rate = mGlideFrom + (mTarget - mGlideFrom) * double(reached) / double(kGlideFrames);
        }
        if (room == 0)
            break; // no room left: the rest of this block is lost rather than looping

        SRC_DATA data{};
        data.data_in = in;
        data.input_frames = long(frames);
        data.data_out = mScratch.data();
        data.output_frames = long(room);
        data.src_ratio = 1.0 / rate;
        if (src_process(mResampler, &data) != 0)
            break;
        size_t used = size_t(data.input_frames_used);
        size_t done = size_t(data.output_frames_gen);

        // Follow the input position the way the filter steps through it: the ratio moves
        // linearly across the requested output frames, from the one it last used.
        double from = mLastRatio > 0.0 ? mLastRatio : data.src_ratio;
        bool moving = std::fabs(from - data.src_ratio) > 1e-10;
        double ratio = from;
        for (size_t k = 0; k < done; ++k) {
            if (moving)
                ratio = from + double(k) * (data.src_ratio - from) / double(room);
            mPosition += 1.0 / ratio;
        }
        if (done > 0 || mLastRatio <= 0.0)
            mLastRatio = ratio;

        mGlideLeft -= std::min(mGlideLeft, done);
        size_t dropped = std::min(mDiscard, done);
        mDiscard -= dropped;
        append(mScratch.data() + dropped * 2, done - dropped);
        if (used == 0 && done == 0)
            break;
        in += used * 2;
        frames -= used;
    }
}

void Varispeed::remember(const float* in, size_t frames)
{
    if (frames >= kHistoryFrames) {
        std::memcpy(mHistory.data(), in + (frames - kHistoryFrames) * 2, kHistoryFrames * 2 * sizeof(float));
        mHistoryWrite = 0;
        mHistoryFrames = kHistoryFrames;
        return;
    }
    size_t first = std::min(frames, kHistoryFrames - mHistoryWrite);
    std::memcpy(&mHistory[mHistoryWrite * 2], in, first * 2 * sizeof(float));
    std::memcpy(mHistory.data(), in + first * 2, (frames - first) * 2 * sizeof(float));
    mHistoryWrite = (mHistoryWrite + frames) % kHistoryFrames;
    mHistoryFrames = std::min(kHistoryFrames, mHistoryFrames + frames);
}

void Varispeed::append(const float* in, size_t frames)
{
    frames = std::min(frames, mFifoCapacity - mFifoFrames);
    if (mFifoStart + mFifoFrames + frames > mFifoCapacity) {
        std::memmove(mFifo.data(), &mFifo[mFifoStart * 2], mFifoFrames * 2 * sizeof(float));
        mFifoStart = 0;
    }
    std::memcpy(&mFifo[(mFifoStart + mFifoFrames) * 2], in, frames * 2 * sizeof(float));
    mFifoFrames += frames;
}

void Varispeed::take(float* out, size_t frames)
{
    std::memcpy(out, &mFifo[mFifoStart * 2], frames * 2 * sizeof(float));
    mFifoStart += frames;
    mFifoFrames -= frames;
    if (mFifoFrames == 0)
        mFifoStart = 0;
}
