#pragma once
// Lets work on other threads (an export's completion) use an object only while the
// object lives: enter() answers false once the owner has closed the gate, and close()
// waits until every worker that entered has left.

#include <condition_variable>
#include <mutex>

class CompletionGate {
public:
    bool enter()
    {
        std::lock_guard lock(mMutex);
        if (!mOpen)
            return false;
        ++mActive;
        return true;
    }
    void leave()
    {
        std::lock_guard lock(mMutex);
        --mActive;
        mCondition.notify_all();
    }
    void close()
    {
        std::unique_lock lock(mMutex);
        mOpen = false;
        mCondition.wait(lock, [this] { return mActive == 0; });
    }

private:
    std::mutex mMutex;
    std::condition_variable mCondition;
    bool mOpen = true;
    int mActive = 0;
};
