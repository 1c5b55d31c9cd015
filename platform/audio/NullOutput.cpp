#include "platform/audio/NullOutput.h"

#include "platform/audio/OutputUnit.h"

#include <chrono>

NullOutput::~NullOutput()
{
    stop();
}

bool NullOutput::start(OutputUnit& unit)
{
    mBlock.assign(size_t(kBlockFrames) * 2, 0);
    mQuit = false;
    mThread = std::thread([this, &unit] { run(unit); });
    return true;
}

void NullOutput::stop()
{
    {
        std::lock_guard lock(mMutex);
        mQuit = true;
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
}

void NullOutput::run(OutputUnit& unit)
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kBlockFrames / OutputUnit::kSampleRate));
    auto due = Clock::now();
    for (;;) {
        if (unit.render(mBlock.data(), kBlockFrames) != OutputUnit::RenderOutcome::Rendered)
            return; // stopped, possibly by the render callback itself
        due += period;
        std::unique_lock lock(mMutex);
        if (mWake.wait_until(lock, due, [this] { return mQuit; }))
            return;
    }
}
