#pragma once
// A wake-up that any thread, the render thread included, can send to the main thread
// without waiting, allocating or taking a lock: raise() marks the signal pending and, the
// first time, writes to an eventfd that the main run loop watches; the handler then runs
// once on the main thread for however many raises came in meanwhile. What the handler is
// to act on is kept by the raising side in atomics of its own.
//
// Threads: create and destroy on the main thread (under a QCoreApplication); raise() from
// any thread; the handler runs on the main thread.

#include <atomic>
#include <functional>
#include <memory>

class QSocketNotifier;

class MainThreadSignal {
public:
    explicit MainThreadSignal(std::function<void()> handler);
    ~MainThreadSignal();
    MainThreadSignal(const MainThreadSignal&) = delete;
    MainThreadSignal& operator=(const MainThreadSignal&) = delete;

    void raise();

private:
    void deliver();

    int mEventFd = -1;
    std::atomic<bool> mPending{false};
    std::function<void()> mHandler;
    std::unique_ptr<QSocketNotifier> mNotifier;
};
