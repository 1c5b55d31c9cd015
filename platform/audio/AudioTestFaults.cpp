#include "platform/audio/AudioFaultPoint.h"

#include <array>
#include <atomic>
#include <mutex>

namespace {

struct Fault {
    bool armed = false;
    OSStatus status = noErr;
    unsigned callsBeforeFirst = 0; // calls that pass before the first failing one
    unsigned remaining = 0;        // failing calls left; 0 with `forever`
    bool forever = false;
};

constexpr size_t kCallCount = size_t(AudioCall::AudioUnitGetParameter) + 1;

std::mutex gFaultsMutex;
std::array<Fault, kCallCount> gFaults;
// Lets calls skip the mutex while no fault is armed, which is always the case outside tests.
std::atomic<unsigned> gArmedCount{0};

} // namespace

void AudioTestFailCall(AudioCall call, OSStatus status, unsigned nth, unsigned times)
{
    std::lock_guard lock(gFaultsMutex);
    Fault& fault = gFaults[size_t(call)];
    if (!fault.armed)
        gArmedCount.fetch_add(1);
    fault.armed = true;
    fault.status = status;
    fault.callsBeforeFirst = nth > 0 ? nth - 1 : 0;
    fault.forever = times == 0;
    fault.remaining = times;
}

void AudioTestClearFaults()
{
    std::lock_guard lock(gFaultsMutex);
    gFaults = {};
    gArmedCount.store(0);
}

bool AudioFaultHit(AudioCall call, OSStatus* status)
{
    if (gArmedCount.load(std::memory_order_relaxed) == 0)
        return false;
    std::lock_guard lock(gFaultsMutex);
    Fault& fault = gFaults[size_t(call)];
    if (!fault.armed)
        return false;
    if (fault.callsBeforeFirst > 0) {
        --fault.callsBeforeFirst;
        return false;
    }
    *status = fault.status;
    if (!fault.forever && --fault.remaining == 0) {
        fault.armed = false;
        gArmedCount.fetch_sub(1);
    }
    return true;
}
