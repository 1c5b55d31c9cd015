#include "engine/RenderGate.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

std::atomic<uint64_t> sRenderSequence{0};
thread_local bool tInsideRender = false;

} // namespace

namespace RenderGate {

void enter()
{
    sRenderSequence.fetch_add(1, std::memory_order_seq_cst);
}

void leave()
{
    sRenderSequence.fetch_add(1, std::memory_order_seq_cst);
}

CallbackScope::CallbackScope() : mOuter(tInsideRender)
{
    tInsideRender = true;
}

CallbackScope::~CallbackScope()
{
    tInsideRender = mOuter;
}

bool onRenderThread()
{
    return tInsideRender;
}

void waitForRenderIdle()
{
    if (tInsideRender)
        return;
    const uint64_t seen = sRenderSequence.load(std::memory_order_seq_cst);
    if ((seen & 1) == 0)
        return;
    // One callback is inside; any change of the counter means it has left (a callback
    // entering after our change was published sees the change). A block takes well under
    // a millisecond, so spin briefly before sleeping.
    for (int spins = 0; sRenderSequence.load(std::memory_order_seq_cst) == seen; ++spins) {
        if (spins < 1000)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

} // namespace RenderGate
