// The render callback allocates nothing and takes no lock, whatever effect runs, whether
// the track is served from memory or decoded from a file; and the whole render path through
// the mixer allocates nothing at any playback rate, across rate changes and restarts.

#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <pthread.h>

namespace {

// Set on the thread under test only: the reader's decoding thread allocates as it likes.
thread_local bool gCounting = false;
std::atomic<long> gAllocations{0};
std::atomic<long> gLocks{0};

void Count(std::atomic<long>& counter)
{
    if (gCounting)
        counter.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

// Every allocation on the thread under test is counted while gCounting is on, including those of the
// dynamically linked libraries on the render path (the resampler): under a sanitizer
// through its allocation hook, otherwise by standing in for malloc, calloc, realloc and the
// aligned allocators over glibc's own (operator new and everything else ends up there).
// Mutex locks of the statically linked code (engine, effects, reader, graph) are counted
// through --wrap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtimes' allocation hook (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));

namespace {

void CountAllocation(const volatile void*, size_t) { Count(gAllocations); }
void IgnoreFree(const volatile void*) {}
[[maybe_unused]] const int gHooked = __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreFree);

} // namespace
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* malloc(size_t size) noexcept { Count(gAllocations); return __libc_malloc(size); }
void* calloc(size_t n, size_t size) noexcept { Count(gAllocations); return __libc_calloc(n, size); }
void* realloc(void* p, size_t size) noexcept { Count(gAllocations); return __libc_realloc(p, size); }
void* memalign(size_t alignment, size_t size) noexcept { Count(gAllocations); return __libc_memalign(alignment, size); }
void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) noexcept
{
    void* p = memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}
}
#endif

extern "C" {
int __real_pthread_mutex_lock(pthread_mutex_t*);
int __wrap_pthread_mutex_lock(pthread_mutex_t* m) { Count(gLocks); return __real_pthread_mutex_lock(m); }
}

namespace {

class EngineRenderPath : public EngineTest {
protected:
    // Serves `frames` frames of a stereo sine from memory.
    bool loadSine(size_t frames)
    {
        pcm.resize(frames * 2);
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = int16_t(12000 * std::sin(double(i) * 0.0627));
        ExtAudioFileRef memory = nullptr;
        if (ExtAudioFileOpenMemory(pcm.data(), frames, 2, &memory) != noErr)
            return false;
        bool ok = false;
        Stdout([&] { ok = engine->loadReader(memory); });
        return ok;
    }
    std::vector<int16_t> pcm;
};

TEST_F(EngineRenderPath, AllocatesNothingAndTakesNoLockForAnyEffectOrReader)
{
    // PCM served from memory, then tracks decoded from files, resampled or not (FFmpeg's
    // own allocator is not counted: it is linked dynamically).
    ExtAudioFileWaitForDecoding(false); // reads as the player makes them
    ASSERT_TRUE(loadSine(44100 * 3));

    std::vector<int16_t> out(kBlock * 2);
    AudioBufferList list{1, {{2, UInt32(out.size() * 2), out.data()}}};
    for (const std::string& path : {std::string(), MakeTrack("alloc.wav", 3.0, 44100, 2, "-c:a pcm_s16le"),
                                    MakeTrack("alloc.m4a", 3.0, 44100, 2, "-c:a aac"), MakeTrack("alloc48.flac", 3.0, 48000, 2, "-c:a flac")}) {
        if (!path.empty()) {
            ASSERT_TRUE(load(path));
        }
        start();
        for (int effect : {-1, 0, 1, 2, 3}) {
            SCOPED_TRACE(path + " effect " + std::to_string(effect));
            mode(effect);
            gAllocations = gLocks = 0;
            for (int block = 0; block < 20; ++block) {
                SeekLock = block % 7 == 6; // the silent path too
                gCounting = true;
                const OSStatus status = AUGraphController::renderInput(engine.get(), nullptr, nullptr, 0, kBlock, &list);
                gCounting = false;
                ASSERT_EQ(status, noErr);
            }
            EXPECT_EQ(gAllocations.load(), 0);
            EXPECT_EQ(gLocks.load(), 0);
        }
    }
}

TEST_F(EngineRenderPath, AllocatesNothingThroughTheMixerAtAnyRateAcrossChangesAndRestarts)
{
    // Output unit, mixer and varispeed included: rates away from 1.0, glides from one to
    // the next, hand-overs back to pass-through and out again, and the first blocks after a
    // stop and start have forgotten what the resampler held. Many blocks after each change.
    ExtAudioFileWaitForDecoding(false);
    ASSERT_TRUE(loadSine(44100 * 40));
    capture->setKeepSamples(false);

    // The second run starts away from 1.0, right after a stop that left the resampler busy.
    constexpr size_t kBlocksPerRate = 48;
    const std::vector<std::vector<int>> runs{{100, 50, 150, 200, 100, 125, 100, 50}, {150, 100, 200, 50, 100, 200}};
    for (const std::vector<int>& percents : runs) {
        engine->setSpeedNormal(percents[0]);
        start();
        for (int percent : percents) {
            SCOPED_TRACE("run " + std::to_string(&percents - runs.data()) + " rate " + std::to_string(percent) + " %");
            engine->setSpeedNormal(percent);
            gAllocations = 0;
            gCounting = true;
            const size_t pulled = capture->pull(kBlocksPerRate * kBlock);
            gCounting = false;
            ASSERT_EQ(pulled, kBlocksPerRate * kBlock);
            EXPECT_EQ(gAllocations.load(), 0);
        }
        Stdout([&] { engine->stopAUGraph(); });
    }
}

} // namespace
