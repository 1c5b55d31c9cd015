#include "platform/audio/Varispeed.h"

#include <soxr.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kHistoryFrames = 2048;
// The variable-rate filter's output trails its input by about 1.6 frames; the hand-overs
// round that to whole frames, leaving well under a frame of offset.
constexpr size_t kFilterLagFrames = 2;

} // namespace

Varispeed::Varispeed() = default;

Varispeed::~Varispeed()
{
    if (mResampler)
        soxr_delete(mResampler);
}

bool Varispeed::prepare(uint32_t maxFrames)
{
    if (mResampler && maxFrames <= mMaxFrames) {
        reset();
        return true;
    }
    if (mResampler) {
        soxr_delete(mResampler);
        mResampler = nullptr;
    }
    soxr_error_t error = nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_VR);
    // In variable-rate mode the first rate is the largest input/output ratio to be asked for.
    mResampler = soxr_create(kMaxRate, 1.0, 2, &error, &io, &quality, nullptr);
    if (error || !mResampler) {
        mResampler = nullptr;
        return false;
    }
    soxr_set_io_ratio(mResampler, 1.0, 0);

    mMaxFrames = maxFrames;
    mInput.assign(size_t(maxFrames) * 2, 0.0f);
    // One feed of maxFrames at the slowest rate, plus what a drain releases.
    size_t scratchFrames = size_t(maxFrames / kMinRate) + 4096;
    mScratch.assign(scratchFrames * 2, 0.0f);
    mFifoCapacity = size_t(maxFrames) + scratchFrames + kHistoryFrames;
    mFifo.assign(mFifoCapacity * 2, 0.0f);
    mHistory.assign(kHistoryFrames * 2, 0.0f);
    mResamplerState.store(Clean);
    reset();
    return true;
}

void Varispeed::reset()
{
    // No render is in progress, but a parameter change on another thread may be readying
    // the resampler: take it over through the same state changes.
    if (mResampler) {
        int expected = mResampling ? InUse : Dirty;
        if (mResamplerState.compare_exchange_strong(expected, Cleaning)) {
            soxr_clear(mResampler);
            soxr_set_io_ratio(mResampler, 1.0, 0);
            mResamplerState.store(Clean);
        }
    }
    mResampling = false;
    mRatio = 1.0;
    mGlideLeft = 0;
    mDiscard = 0;
    mFifoStart = mFifoFrames = 0;
    mHistoryWrite = mHistoryFrames = 0;
}

void Varispeed::maintain()
{
    int expected = Dirty;
    if (!mResamplerState.compare_exchange_strong(expected, Cleaning))
        return;
    soxr_clear(mResampler);
    soxr_set_io_ratio(mResampler, 1.0, 0);
    mResamplerState.store(Clean);
}

void Varispeed::render(float* out, uint32_t frames, double rate, Pull pull, void* context)
{
    rate = std::clamp(rate, kMinRate, kMaxRate);
    if (!mResampling && rate != 1.0)
        enter();
    // While primed output is still being dropped the rate stays at 1.0: a glide would
    // already move the dropped part and shift the rest.
    if (mResampling && mDiscard == 0) {
        if (rate != mRatio) {
            soxr_set_io_ratio(mResampler, rate, kGlideFrames);
            mRatio = rate;
            mGlideLeft = kGlideFrames;
        } else if (rate == 1.0 && mGlideLeft == 0) {
            leave();
        }
    }

    if (!mResampling && mFifoFrames == 0) {
        // The exact path: the input goes straight to the output.
        pull(context, out, frames);
        remember(out, frames);
        return;
    }
    while (mFifoFrames < frames) {
        pull(context, mInput.data(), frames);
        remember(mInput.data(), frames);
        if (mResampling)
            feed(mInput.data(), frames);
        else
            append(mInput.data(), frames);
    }
    take(out, frames);
}

void Varispeed::enter()
{
    int expected = Clean;
    if (!mResamplerState.compare_exchange_strong(expected, InUse)) {
        // Nobody readied it since the last hand-over: do it here rather than not at all.
        expected = Dirty;
        if (!mResamplerState.compare_exchange_strong(expected, InUse))
            return; // being readied right now; try again next block
        soxr_clear(mResampler);
    }
    soxr_set_io_ratio(mResampler, 1.0, 0);
    mRatio = 1.0;
    mGlideLeft = 0;
    mResampling = true;

    // Prime with the recent input and drop the output that belongs to it, so that the next
    // frame out is the one after the last frame already delivered.
    mDiscard = mHistoryFrames + kFilterLagFrames;
    size_t oldest = (mHistoryWrite + kHistoryFrames - mHistoryFrames) % kHistoryFrames;
    size_t first = std::min(mHistoryFrames, kHistoryFrames - oldest);
    feed(&mHistory[oldest * 2], first);
    if (mHistoryFrames > first)
        feed(&mHistory[0], mHistoryFrames - first);
}

void Varispeed::leave()
{
    // Drain everything the resampler still holds...
    for (;;) {
        size_t done = 0;
        size_t room = std::min(mScratch.size() / 2, mFifoCapacity - mFifoFrames);
        soxr_process(mResampler, nullptr, 0, nullptr, mScratch.data(), room, &done);
        if (done == 0)
            break;
        append(mScratch.data(), done);
    }
    // ...and replay the input its last frames trail by.
    size_t replay = std::min(kFilterLagFrames, mHistoryFrames);
    for (size_t i = replay; i > 0; --i) {
        size_t index = (mHistoryWrite + kHistoryFrames - i) % kHistoryFrames;
        append(&mHistory[index * 2], 1);
    }
    mResampling = false;
    mRatio = 1.0;
    mResamplerState.store(Dirty);
}

void Varispeed::feed(const float* in, size_t frames)
{
    while (frames > 0) {
        size_t used = 0, done = 0;
        size_t room = std::min(mScratch.size() / 2, mFifoCapacity - mFifoFrames + mDiscard);
        soxr_process(mResampler, in, frames, &used, mScratch.data(), room, &done);
        mGlideLeft -= std::min(mGlideLeft, done);
        size_t dropped = std::min(mDiscard, done);
        mDiscard -= dropped;
        append(mScratch.data() + dropped * 2, done - dropped);
        if (used == 0 && done == 0)
            break; // no room left: the rest of this block is lost rather than looping
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
