#pragma once
// The main run loop's services on QtCore: running work on the main thread, delayed calls
// that can be cancelled, and detached worker threads. The main thread is the thread of the
// QCoreApplication object.

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace RunLoop {

bool isMainThread();

// Runs `work` on the main thread. With `wait` the caller blocks until it has run (it runs
// at once when the caller is the main thread); without, it is queued.
void performOnMainThread(std::function<void()> work, bool wait);

// Runs `work` once on a new thread of its own, which then ends.
void detachNewThread(std::function<void()> work);

} // namespace RunLoop

// A call scheduled on the run loop of the thread that creates it, after a delay. Scheduling
// again replaces the pending call; cancel() drops it. Destroying it cancels it.
class DelayedCall {
public:
    DelayedCall();
    ~DelayedCall();
    DelayedCall(const DelayedCall&) = delete;
    DelayedCall& operator=(const DelayedCall&) = delete;

    void schedule(double seconds, std::function<void()> work);
    void cancel();
    bool isPending() const;

private:
    std::unique_ptr<QTimer> mTimer;
    std::function<void()> mWork;
};
