#include "platform/audiofile/FailureInjection.h"

#include <atomic>

namespace {

// One slot per call kind. `status` non-zero arms the slot; `pass` counts the calls that
// still succeed before it fires. Atomics, because the render thread consumes read failures
// that the test thread arms.
struct Slot {
    std::atomic<OSStatus> status{noErr};
    std::atomic<unsigned> pass{0};
};

constexpr int kCallKinds = int(ExtAudioFileCall::Seek) + 1;
Slot slots[kCallKinds];

} // namespace

void ExtAudioFileFailNext(ExtAudioFileCall call, OSStatus status, unsigned afterCalls)
{
    Slot& slot = slots[int(call)];
    slot.status.store(noErr);
    slot.pass.store(afterCalls);
    slot.status.store(status);
}

void ExtAudioFileClearFailures()
{
    for (Slot& slot : slots)
        slot.status.store(noErr);
}

OSStatus takeInjectedFailure(ExtAudioFileCall call)
{
    Slot& slot = slots[int(call)];
    if (slot.status.load(std::memory_order_relaxed) == noErr)
        return noErr;
    unsigned pass = slot.pass.load();
    while (pass > 0) {
        if (slot.pass.compare_exchange_weak(pass, pass - 1))
            return noErr;
    }
    return slot.status.exchange(noErr);
}
