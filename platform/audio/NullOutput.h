#pragma once
// The output used where no audio server can be reached: a thread that pulls one block per
// block duration, paced by the steady clock, and drops the sound.

#include "platform/audio/OutputBackend.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class NullOutput final : public OutputBackend {
public:
    static constexpr uint32_t kBlockFrames = 1024;

    ~NullOutput() override;
    const char* name() const override { return "null"; }
    bool start(OutputUnit& unit) override;
    void stop() override;

private:
    void run(OutputUnit& unit);

    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mQuit = false;
    std::vector<int16_t> mBlock;
};
