#include "platform/audiofile/DecodeAhead.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Offline readers that wait poll the ring this often.
constexpr auto kWaitPoll = std::chrono::microseconds(200);
// A control call gives up waiting for the first part after this long (a stalled disk); the
// reads then run short until decoding catches up. A seek comes from the main thread (a
// dragged slider), which must not freeze: it waits for the first part only briefly.
constexpr auto kPrefillTimeout = std::chrono::seconds(5);
constexpr auto kSeekPrefillTimeout = std::chrono::milliseconds(20);

std::atomic<unsigned> gStallMs{0};
std::atomic<unsigned> gStallEveryMs{0};

} // namespace

void DecodeAhead::StallDecodingForTesting(unsigned stallMs, unsigned everyMs)
{
    gStallMs.store(stallMs);
    gStallEveryMs.store(everyMs);
}

DecodeAhead::DecodeAhead(std::unique_ptr<AudioFileSource> source, UInt32 rate, UInt32 channels)
    : mSource(std::move(source))
{
    mFileFormat = mSource->fileDataFormat();
    mLength.store(mSource->lengthFrames(), std::memory_order_release);
    resizeRing(rate, channels);
    mThread = std::thread([this] { run(); });
}

DecodeAhead::~DecodeAhead()
{
    {
        std::lock_guard lock(mMutex);
        mQuit = true;
    }
    mWake.notify_all();
    mThread.join();
}

void DecodeAhead::resizeRing(UInt32 rate, UInt32 channels)
{
    mRate = rate;
    mChannels = channels;
    mRingFrames = size_t(double(rate) * kAheadSeconds);
    mRing.assign(mRingFrames * channels, 0);
    mChunk.assign(size_t(kChunkFrames) * channels, 0);
}

size_t DecodeAhead::freeFrames() const
{
    // Sequentially consistent against the reads' store of their count: after arming
    // mWakeAtRead, either this sees the read that passed the mark or that read sees it armed.
    const uint64_t used = mWriteCount.load(std::memory_order_relaxed) - mReadCount.load(std::memory_order_seq_cst);
    return mRingFrames - size_t(used);
}

void DecodeAhead::run()
{
    std::unique_lock lock(mMutex);
    std::chrono::steady_clock::time_point lastStall{}; // the first chunk already waits
    for (;;) {
        // Asleep until a control call, or until the reads have emptied half the ring.
        if (mState.load(std::memory_order_relaxed) == Decoding) {
            const uint64_t written = mWriteCount.load(std::memory_order_relaxed);
            const uint64_t kept = mRingFrames - refillFrames();
            mWakeAtRead.store(written > kept ? written - kept : 0, std::memory_order_seq_cst);
        }
        mWake.wait(lock, [this] {
            return mQuit || (mState.load(std::memory_order_relaxed) == Decoding && freeFrames() >= refillFrames());
        });
        mWakeAtRead.store(kNoWake, std::memory_order_relaxed);
        if (mQuit)
            return;
        // One run: fill the ring, unless the track ends first.
        while (mState.load(std::memory_order_relaxed) == Decoding && freeFrames() >= kChunkFrames)
            if (!decodeChunk(lock, lastStall))
                return;
    }
}

bool DecodeAhead::decodeChunk(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point& lastStall)
{
    if (const unsigned every = gStallEveryMs.load(std::memory_order_relaxed)) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastStall >= std::chrono::milliseconds(every)) {
            lastStall = now;
            mWake.waitFor(lock, std::chrono::milliseconds(gStallMs.load()), [this] { return mQuit; });
            // A control call may have restarted the ring meanwhile: look again.
            if (mQuit)
                return false;
            if (mState.load(std::memory_order_relaxed) != Decoding || freeFrames() < kChunkFrames)
                return true;
        }
    }

    UInt32 got = 0;
    const OSStatus status = mSource->read(mChunk.data(), kChunkFrames, &got);
    got = std::min(got, kChunkFrames);
    const uint64_t written = mWriteCount.load(std::memory_order_relaxed);
    const size_t at = size_t(written % mRingFrames);
    const size_t first = std::min<size_t>(got, mRingFrames - at);
    std::memcpy(&mRing[at * mChannels], mChunk.data(), first * mChannels * sizeof(int16_t));
    std::memcpy(mRing.data(), &mChunk[first * mChannels], (got - first) * mChannels * sizeof(int16_t));
    mWriteCount.store(written + got, std::memory_order_release);
    if (status != noErr) {
        mError.store(status, std::memory_order_relaxed);
        mState.store(Failed, std::memory_order_release);
    } else if (got == 0) {
        mLength.store(mSource->lengthFrames(), std::memory_order_release);
        mState.store(Ended, std::memory_order_release);
    }
    return true;
}

void DecodeAhead::restart(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout)
{
    const SInt64 position = mSource->tell();
    mLength.store(mSource->lengthFrames(), std::memory_order_release);
    mWriteCount.store(0, std::memory_order_relaxed);
    mReadCount.store(0, std::memory_order_relaxed);
    mError.store(noErr, std::memory_order_relaxed);
    mState.store(Decoding, std::memory_order_release);
    mPosition.store(position, std::memory_order_relaxed);
    const uint64_t wanted = std::min<uint64_t>(uint64_t(double(mRate) * kPrefillSeconds), mRingFrames - kChunkFrames);
    lock.unlock();
    mWake.notify_all();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (mWriteCount.load(std::memory_order_acquire) < wanted && mState.load(std::memory_order_acquire) == Decoding
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

OSStatus DecodeAhead::setClientFormat(UInt32 rate, UInt32 channels)
{
    std::unique_lock lock(mMutex);
    const OSStatus status = mSource->setClientFormat(rate, channels);
    if (status == noErr)
        resizeRing(rate, channels);
    restart(lock, kPrefillTimeout);
    return status;
}

OSStatus DecodeAhead::seek(SInt64 frame)
{
    std::unique_lock lock(mMutex);
    const OSStatus status = mSource->seek(frame);
    restart(lock, kSeekPrefillTimeout);
    return status;
}

OSStatus DecodeAhead::read(int16_t* out, UInt32 frames, UInt32* delivered, bool wait)
{
    const uint64_t readCount = mReadCount.load(std::memory_order_relaxed);
    // The state first: once it says the decoding is over, the count read after it holds
    // every frame written before.
    int state = mState.load(std::memory_order_acquire);
    uint64_t available = mWriteCount.load(std::memory_order_acquire) - readCount;
    while (wait && available < frames && state == Decoding) {
        mWake.notify_all();
        std::this_thread::sleep_for(kWaitPoll);
        state = mState.load(std::memory_order_acquire);
        available = mWriteCount.load(std::memory_order_acquire) - readCount;
    }
    const UInt32 n = UInt32(std::min<uint64_t>(frames, available));
    const size_t at = size_t(readCount % mRingFrames);
    const size_t first = std::min<size_t>(n, mRingFrames - at);
    std::memcpy(out, &mRing[at * mChannels], first * mChannels * sizeof(int16_t));
    std::memcpy(out + first * mChannels, mRing.data(), (n - first) * mChannels * sizeof(int16_t));
    mReadCount.store(readCount + n, std::memory_order_seq_cst);
    // The read that makes room for a run wakes the sleeping decoder: one compare-exchange
    // and one futex wake, neither of which waits. Only the very mark compared is taken, so a
    // mark armed meanwhile for a later run stays armed.
    uint64_t mark = mWakeAtRead.load(std::memory_order_seq_cst);
    if (readCount + n >= mark && mWakeAtRead.compare_exchange_strong(mark, kNoWake, std::memory_order_relaxed))
        mWake.notify_all();
    mPosition.fetch_add(SInt64(n), std::memory_order_relaxed);
    *delivered = n;
    if (n == 0 && state == Failed)
        return mError.exchange(noErr, std::memory_order_relaxed);
    return noErr;
}

bool DecodeAhead::readEnded() const
{
    const int state = mState.load(std::memory_order_acquire);
    if (state == Decoding || (state == Failed && mError.load(std::memory_order_relaxed) != noErr))
        return false;
    return mWriteCount.load(std::memory_order_acquire) == mReadCount.load(std::memory_order_relaxed);
}
