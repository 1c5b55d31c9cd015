// The render callback allocates nothing and takes no lock, whatever effect runs, whether
// the track is served from memory or decoded from a file.

#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <pthread.h>

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
std::atomic<long> gLocks{0};

void Count(std::atomic<long>& counter)
{
    if (gCounting.load(std::memory_order_relaxed))
        counter.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

// operator new everywhere in this binary, and malloc, calloc, realloc and mutex locks
// called from the statically linked code (engine, effects, reader, graph; linked with
// --wrap) are counted while gCounting is on.
void* operator new(size_t size)
{
    Count(gAllocations);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

extern "C" {
void* __real_malloc(size_t);
void* __real_calloc(size_t, size_t);
void* __real_realloc(void*, size_t);
int __real_pthread_mutex_lock(pthread_mutex_t*);
void* __wrap_malloc(size_t size) { Count(gAllocations); return __real_malloc(size); }
void* __wrap_calloc(size_t n, size_t size) { Count(gAllocations); return __real_calloc(n, size); }
void* __wrap_realloc(void* p, size_t size) { Count(gAllocations); return __real_realloc(p, size); }
int __wrap_pthread_mutex_lock(pthread_mutex_t* m) { Count(gLocks); return __real_pthread_mutex_lock(m); }
}

namespace {

using EngineRenderPath = EngineTest;

TEST_F(EngineRenderPath, AllocatesNothingAndTakesNoLockForAnyEffectOrReader)
{
    // PCM served from memory, then tracks decoded from files, resampled or not (FFmpeg's
    // own allocator is not counted: it is linked dynamically).
    ExtAudioFileWaitForDecoding(false); // reads as the player makes them
    const size_t frames = 44100 * 3;
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(12000 * std::sin(double(i) * 0.0627));
    ExtAudioFileRef memory = nullptr;
    ASSERT_EQ(ExtAudioFileOpenMemory(pcm.data(), frames, 2, &memory), noErr);
    bool ok = false;
    Stdout([&] { ok = engine->loadReader(memory); });
    ASSERT_TRUE(ok);

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

} // namespace
