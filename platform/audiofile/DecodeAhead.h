#pragma once
// Decoding ahead of the reader: a thread of the reader's own decodes its source into a
// lock-free single-producer/single-consumer ring of client-format PCM, so that a read only
// copies what is already there and never waits, allocates or takes a lock.
//
// Threads: the decoding thread is the ring's only producer. read() is its only consumer,
// called by one thread at a time (the render thread). The control calls (setClientFormat,
// seek, the destructor) come from any other thread, never while a read is in progress (the
// caller keeps them apart, as it keeps reads and seeks apart); they pause the decoding
// thread, change the source, empty the ring and let decoding start again from there.
//
// The decoding thread sleeps until it has work: it fills the ring in one run, then sleeps
// until a control call or until the reads have emptied half of it (a second of audio at
// normal speed). The read that crosses that mark wakes it with one non-blocking system
// call; while nothing reads (paused, stopped, at the end) the thread does not wake at all.

#include "platform/audiofile/AudioFileSource.h"
#include "platform/audiofile/ThreadWake.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class DecodeAhead {
public:
    // Seconds of client-format audio the ring holds when full.
    static constexpr double kAheadSeconds = 2.0;
    // Frames decoded in one go by the decoding thread.
    static constexpr UInt32 kChunkFrames = 2048;
    // After a seek or a format change the control call returns once this much is decoded
    // (or the track ends), so that playback resumes without a gap; a seek waits for it at
    // most 20 ms.
    static constexpr double kPrefillSeconds = 0.25;

    // Takes over a source whose client format (`rate`, `channels`) is set and which stands
    // at client frame 0, and starts decoding.
    DecodeAhead(std::unique_ptr<AudioFileSource> source, UInt32 rate, UInt32 channels);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Control thread.
    OSStatus setClientFormat(UInt32 rate, UInt32 channels);
    OSStatus seek(SInt64 frame);
    AudioStreamBasicDescription fileDataFormat() const { return mFileFormat; }
    SInt64 lengthFrames() const { return mLength.load(std::memory_order_acquire); }

    // Reading thread. Copies up to `frames` frames; fewer when the ring runs short (the
    // decoder is behind) or the track ends. With `wait`, a short ring is waited for
    // instead (offline readers that consume faster than real time). A decoding error is
    // answered once, after the frames decoded before it.
    OSStatus read(int16_t* out, UInt32 frames, UInt32* delivered, bool wait);
    // True once every frame of the track has been read (or its data ended early).
    bool readEnded() const;
    // Client frames read since frame 0.
    SInt64 tell() const { return mPosition.load(std::memory_order_relaxed); }

    // Test hook: the decoding thread sleeps `stallMs` once every `everyMs` (counted from the
    // start of the last sleep; 0 turns it off) and decodes one chunk at least between two
    // sleeps, as a slow disk or a busy machine would hold it up.
    static void StallDecodingForTesting(unsigned stallMs, unsigned everyMs);

private:
    enum State : int { Decoding, Ended, Failed };

    void run();
    // One chunk into the ring (after the test stall, if one is due); false to quit.
    bool decodeChunk(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point& lastStall);
    void resizeRing(UInt32 rate, UInt32 channels);
    // With mMutex held (so the decoding thread is idle): empties the ring and lets decoding
    // start from the source's position; returns once the first part is decoded, or after
    // `timeout`.
    void restart(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout);
    size_t freeFrames() const;
    // The free room that is worth a run of decoding.
    size_t refillFrames() const { return mRingFrames / 2; }

    std::unique_ptr<AudioFileSource> mSource; // used under mMutex only
    AudioStreamBasicDescription mFileFormat{};

    std::vector<int16_t> mRing;
    size_t mRingFrames = 0;
    UInt32 mChannels = 2;
    std::vector<int16_t> mChunk;

    // Frames written and read since the last restart; the consumer owns mReadCount, the
    // producer mWriteCount. Each publishes its count with release and reads the other's
    // with acquire.
    std::atomic<uint64_t> mWriteCount{0};
    std::atomic<uint64_t> mReadCount{0};
    std::atomic<int> mState{Decoding};    // set by the producer after its last frames
    std::atomic<OSStatus> mError{noErr};  // with Failed: the status to answer once
    std::atomic<SInt64> mPosition{0};
    // The source's length, taken again by every control call and by the producer at the
    // end of the data (a file that holds less than it states ends short of it).
    std::atomic<SInt64> mLength{0};

    // Held by the decoding thread except while it sleeps, and by the control calls; never
    // taken by read().
    std::mutex mMutex;
    ThreadWake mWake;
    // While the decoding thread sleeps for room: the read count at which the reads have
    // made room for a run, so the read that reaches it wakes the thread; kNoWake otherwise.
    // Armed by the decoding thread, taken (compare-exchanged) by the read that wakes it.
    static constexpr uint64_t kNoWake = UINT64_MAX;
    std::atomic<uint64_t> mWakeAtRead{kNoWake};
    bool mQuit = false;
    UInt32 mRate = 44100;
    std::thread mThread;
};
