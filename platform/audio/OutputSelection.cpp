#include "platform/audio/OutputSelection.h"

#include "platform/audio/AudioCapture.h"
#include "platform/audio/CaptureBackend.h"
#include "platform/audio/NullOutput.h"
#include "platform/audio/OutputUnit.h"
#include "platform/audio/PulseOutput.h"

#include <atomic>
#include <mutex>

namespace {

std::mutex gSelectionMutex;
std::shared_ptr<AudioCaptureOutput> gCapture;
std::atomic<bool> gForceNull{false};

} // namespace

void AudioOutputSetCapture(std::shared_ptr<AudioCaptureOutput> capture)
{
    std::lock_guard lock(gSelectionMutex);
    gCapture = std::move(capture);
}

void AudioOutputForceNull(bool forceNull)
{
    gForceNull.store(forceNull);
}

std::unique_ptr<OutputBackend> StartOutputBackend(OutputUnit& unit)
{
    std::shared_ptr<AudioCaptureOutput> capture;
    {
        std::lock_guard lock(gSelectionMutex);
        capture = gCapture;
    }
    if (capture) {
        auto backend = std::make_unique<CaptureBackend>(std::move(capture));
        backend->start(unit);
        return backend;
    }
    if (!gForceNull.load()) {
        auto backend = std::make_unique<PulseOutput>();
        if (backend->start(unit))
            return backend;
    }
    auto backend = std::make_unique<NullOutput>();
    backend->start(unit);
    return backend;
}
