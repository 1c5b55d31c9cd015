#include "platform/audio/AudioCapture.h"

#include "platform/audio/CaptureBackend.h"
#include "platform/audio/OutputUnit.h"

#include <chrono>
#include <condition_variable>
#include <thread>

struct AudioCaptureOutput::Impl {
    AudioCaptureOutput& owner;
    std::atomic<OutputUnit*> unit{nullptr};
    std::atomic<int> pulling{0};

    mutable std::mutex samplesMutex;
    std::vector<int16_t> samples;
    size_t frames = 0;
    bool keep = true;

    std::mutex stateMutex;
    std::condition_variable stateChanged;
    bool stopped = true;

    std::thread thread;
    std::atomic<bool> quit{false};
    std::vector<int16_t> block;

    explicit Impl(AudioCaptureOutput& o)
        : owner(o)
    {
    }

    void markStopped()
    {
        {
            std::lock_guard lock(stateMutex);
            stopped = true;
        }
        stateChanged.notify_all();
    }

    void keepBlock(const int16_t* data, size_t count)
    {
        std::lock_guard lock(samplesMutex);
        frames += count;
        if (keep)
            samples.insert(samples.end(), data, data + count * 2);
    }

    // Renders one block through the unit and keeps it.
    OutputUnit::RenderOutcome renderBlock(OutputUnit& target, UInt32 count)
    {
        auto outcome = target.render(block.data(), count);
        // A block in which the graph stopped still carries what the callback delivered.
        if (outcome != OutputUnit::RenderOutcome::NotRunning)
            keepBlock(block.data(), count);
        if (outcome != OutputUnit::RenderOutcome::Rendered)
            markStopped();
        return outcome;
    }

    void attach(OutputUnit& target)
    {
        block.assign(size_t(owner.blockFrames()) * 2, 0);
        {
            std::lock_guard lock(stateMutex);
            stopped = false;
        }
        unit.store(&target);
        if (owner.pacing() == Pacing::FreeRunning) {
            quit.store(false);
            thread = std::thread([this, &target] {
                while (!quit.load()
                       && renderBlock(target, owner.blockFrames()) == OutputUnit::RenderOutcome::Rendered) {
                }
                markStopped();
            });
        }
    }

    void detach()
    {
        quit.store(true);
        if (thread.joinable())
            thread.join();
        unit.store(nullptr);
        while (pulling.load() > 0)
            std::this_thread::yield();
        markStopped();
    }
};

AudioCaptureOutput::AudioCaptureOutput(Pacing pacing, UInt32 blockFrames, size_t reserveFrames)
    : mPacing(pacing)
    , mBlockFrames(blockFrames == 0 ? 1024 : blockFrames)
    , mImpl(std::make_unique<Impl>(*this))
{
    mImpl->samples.reserve(reserveFrames * 2);
}

AudioCaptureOutput::~AudioCaptureOutput()
{
    mImpl->detach();
}

size_t AudioCaptureOutput::pull(size_t frames)
{
    if (mPacing != Pacing::Manual)
        return 0;
    mImpl->pulling.fetch_add(1);
    size_t done = 0;
    if (OutputUnit* target = mImpl->unit.load()) {
        while (done < frames) {
            UInt32 count = UInt32(std::min<size_t>(frames - done, mBlockFrames));
            auto outcome = mImpl->renderBlock(*target, count);
            if (outcome == OutputUnit::RenderOutcome::NotRunning)
                break;
            done += count;
            if (outcome == OutputUnit::RenderOutcome::RenderedThenStopped)
                break;
        }
    }
    mImpl->pulling.fetch_sub(1);
    return done;
}

bool AudioCaptureOutput::waitUntilStopped(double timeoutSeconds)
{
    std::unique_lock lock(mImpl->stateMutex);
    return mImpl->stateChanged.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                        [this] { return mImpl->stopped; });
}

std::vector<int16_t> AudioCaptureOutput::samples() const
{
    std::lock_guard lock(mImpl->samplesMutex);
    return mImpl->samples;
}

size_t AudioCaptureOutput::frames() const
{
    std::lock_guard lock(mImpl->samplesMutex);
    return mImpl->frames;
}

void AudioCaptureOutput::clear()
{
    std::lock_guard lock(mImpl->samplesMutex);
    mImpl->samples.clear();
    mImpl->frames = 0;
}

void AudioCaptureOutput::setKeepSamples(bool keep)
{
    std::lock_guard lock(mImpl->samplesMutex);
    mImpl->keep = keep;
}

CaptureBackend::CaptureBackend(std::shared_ptr<AudioCaptureOutput> capture)
    : mCapture(std::move(capture))
{
}

CaptureBackend::~CaptureBackend()
{
    stop();
}

bool CaptureBackend::start(OutputUnit& unit)
{
    mCapture->impl()->attach(unit);
    mStarted = true;
    return true;
}

void CaptureBackend::stop()
{
    if (mStarted) {
        mCapture->impl()->detach();
        mStarted = false;
    }
}
