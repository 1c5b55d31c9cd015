#include "platform/foundation/RunLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace RunLoop {

bool isMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

namespace {

// Work handed to the main thread waits in this queue, under a standard mutex, so that the
// hand-over of its captures is plain to every tool (a thread sanitizer does not see into
// Qt's own event-queue locking when Qt is not built with it). Qt only wakes the main
// thread, with a call that carries nothing. The queue lives as long as the process and is
// never destroyed: a worker thread (a library scan, an export) may still hand work on while
// the program exits, after the static objects have begun to go.
struct MainQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> work;
};

MainQueue& mainQueue()
{
    static MainQueue* const queue = new MainQueue;
    return *queue;
}

void RunQueued()
{
    std::deque<std::function<void()>> ready;
    {
        std::lock_guard lock(mainQueue().mutex);
        ready.swap(mainQueue().work);
    }
    for (std::function<void()>& work : ready)
        work();
}

void Enqueue(QCoreApplication* app, std::function<void()> work)
{
    {
        std::lock_guard lock(mainQueue().mutex);
        mainQueue().work.push_back(std::move(work));
    }
    QMetaObject::invokeMethod(app, &RunQueued, Qt::QueuedConnection);
}

} // namespace

void performOnMainThread(std::function<void()> work, bool wait)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || (wait && isMainThread())) {
        work();
        return;
    }
    if (!wait) {
        Enqueue(app, std::move(work));
        return;
    }
    struct Completion {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto completion = std::make_shared<Completion>();
    Enqueue(app, [completion, work = std::move(work)] {
        work();
        std::lock_guard lock(completion->mutex);
        completion->finished = true;
        completion->done.notify_all();
    });
    std::unique_lock lock(completion->mutex);
    completion->done.wait(lock, [&] { return completion->finished; });
}

void detachNewThread(std::function<void()> work)
{
    std::thread(std::move(work)).detach();
}

} // namespace RunLoop

DelayedCall::DelayedCall() : mTimer(std::make_unique<QTimer>())
{
    mTimer->setSingleShot(true);
    QObject::connect(mTimer.get(), &QTimer::timeout, [this] {
        // Taken out first: the work may schedule the next call.
        std::function<void()> work = std::move(mWork);
        mWork = nullptr;
        if (work)
            work();
    });
}

DelayedCall::~DelayedCall() = default;

void DelayedCall::schedule(double seconds, std::function<void()> work)
{
    mWork = std::move(work);
    mTimer->start(std::max(0, int(seconds * 1000.0 + 0.5)));
}

void DelayedCall::cancel()
{
    mTimer->stop();
    mWork = nullptr;
}

bool DelayedCall::isPending() const
{
    return mTimer->isActive();
}
