// The render callback, fed from memory, allocates nothing and takes no lock, whatever
// effect runs.

#include "EngineTestSupport.h"

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <pthread.h>

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
std::atomic<long> gLocks{0};

void* CountedAllocation(size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

// Every allocation through operator new in this binary is counted while gCounting is on.
void* operator new(size_t size) { return CountedAllocation(size); }
void* operator new[](size_t size) { return CountedAllocation(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

// malloc, calloc, realloc and mutex locks called from the statically linked code (the
// engine, the effects, the reader, the graph) are counted as well (linked with --wrap).
extern "C" {
void* __real_malloc(size_t);
void* __real_calloc(size_t, size_t);
void* __real_realloc(void*, size_t);
int __real_pthread_mutex_lock(pthread_mutex_t*);

void* __wrap_malloc(size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __real_malloc(size);
}
void* __wrap_calloc(size_t n, size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __real_calloc(n, size);
}
void* __wrap_realloc(void* p, size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __real_realloc(p, size);
}
int __wrap_pthread_mutex_lock(pthread_mutex_t* m)
{
    if (gCounting.load(std::memory_order_relaxed))
        gLocks.fetch_add(1, std::memory_order_relaxed);
    return __real_pthread_mutex_lock(m);
}
}

namespace {

TEST(EngineRenderPath, AllocatesNothingAndTakesNoLockForAnyEffect)
{
    ResetEngineState();
    AudioOutputSetCapture(std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024));
    auto engine = std::make_unique<AUGraphController>(3600.0);
    CaptureStdout([&] { engine->initializeAUGraph(2); });

    const size_t frames = 44100 * 3;
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        pcm[2 * i] = int16_t(12000 * std::sin(i * 0.0627));
        pcm[2 * i + 1] = int16_t(9000 * std::sin(i * 0.1443));
    }
    ExtAudioFileRef memory = nullptr;
    ASSERT_EQ(ExtAudioFileOpenMemory(pcm.data(), frames, 2, &memory), noErr);
    bool ok = false;
    CaptureStdout([&] {
        ok = engine->loadReader(memory);
        engine->setModeChange(4, 1);
        engine->startAUGraph(2);
    });
    ASSERT_TRUE(ok);

    std::vector<int16_t> out(1024 * 2);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0] = {2, UInt32(out.size() * 2), out.data()};
    for (int effect : {-1, 0, 1, 2, 3}) {
        SCOPED_TRACE("effect " + std::to_string(effect));
        CaptureStdout([&] {
            if (effect >= 0)
                engine->setModeChange(effect, 1);
            else
                engine->setModeChange(0, 0);
        });
        SeekLock = false; // the speed/pitch lock is released at once here
        gAllocations = 0;
        gLocks = 0;
        for (int block = 0; block < 20; ++block) {
            // A seek lock now and then takes the silent path as well.
            SeekLock = block % 7 == 6;
            gCounting = true;
            const OSStatus status = AUGraphController::renderInput(engine.get(), nullptr, nullptr, 0, 1024, &list);
            gCounting = false;
            ASSERT_EQ(status, noErr);
        }
        SeekLock = false;
        EXPECT_EQ(gAllocations.load(), 0);
        EXPECT_EQ(gLocks.load(), 0);
    }
    CaptureStdout([&] { engine.reset(); });
    ResetEngineState();
}

} // namespace
