#pragma once
// Ends the test binary with a message when `seconds` pass before it is disarmed (destroyed):
// a deadlock must fail the test, not hang the run. Shared by the suites that test thread
// hand-overs.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

class Watchdog {
public:
    Watchdog(double seconds, const char* what)
        : mThread([this, seconds, what] {
              std::unique_lock lock(mMutex);
              if (!mDone.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return mDisarmed; })) {
                  std::fprintf(stderr, "still blocked after %.0f s: %s\n", seconds, what);
                  std::_Exit(3);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mMutex);
            mDisarmed = true;
        }
        mDone.notify_all();
        mThread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mMutex;
    std::condition_variable mDone;
    bool mDisarmed = false;
    std::thread mThread;
};
