#pragma once
// A sleep for one thread that any other thread ends with a single non-blocking system call
// (a futex wake), so that even the render thread may end it: waking takes no lock and never
// waits. It is used like a condition variable over a mutex the sleeper holds while awake:
// a waker changes what the sleeper's condition reads (atomics, or state under the mutex),
// then calls notify_all().
//
// Threads: wait() and waitFor() on the one sleeping thread; notify_all() on any thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

class ThreadWake {
public:
    // Ends the current or next sleep: a sleeper that has looked at its condition before
    // this call returns at once instead of sleeping.
    void notify_all();

    // With `lock` held: returns once `done()` holds, sleeping with the lock released while
    // it does not.
    template <typename Done>
    void wait(std::unique_lock<std::mutex>& lock, Done done)
    {
        for (;;) {
            const uint32_t seen = mSequence.load(std::memory_order_seq_cst);
            if (done())
                return;
            lock.unlock();
            sleep(seen, -1);
            lock.lock();
        }
    }

    // The same, giving up after `timeout`; answers done().
    template <typename Done>
    bool waitFor(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout, Done done)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const uint32_t seen = mSequence.load(std::memory_order_seq_cst);
            if (done())
                return true;
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            lock.unlock();
            sleep(seen, left.count());
            lock.lock();
        }
    }

private:
    // Sleeps while the sequence still reads `seen`, at most `nanoseconds` (-1: no limit).
    void sleep(uint32_t seen, int64_t nanoseconds);

    // Counts the notifications; a sleeper sleeps only while it has not changed since it
    // looked at its condition, so no notification is lost.
    std::atomic<uint32_t> mSequence{0};
};
