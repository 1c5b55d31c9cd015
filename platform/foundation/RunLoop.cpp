#include "platform/foundation/RunLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <thread>

namespace RunLoop {

bool isMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void performOnMainThread(std::function<void()> work, bool wait)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || (wait && isMainThread())) {
        work();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
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
